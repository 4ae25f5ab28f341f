#include "platform/posix/XdgSystemFolders.h"

#include "platform/Path.h"

#include <cstdlib>
#include <filesystem>

namespace fillahead {

Text XdgSystemFolders::CommonFilesFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data) {
        return fromPath(std::filesystem::path(data));
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
        return fromPath(std::filesystem::path(home) / ".local" / "share");
    }
    return u"0";
}

} // namespace fillahead
