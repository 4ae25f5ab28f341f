#include "platform/Path.h"

#include <string>

namespace fillahead {

#ifdef _WIN32
// wchar_t is UTF-16 on Windows, so the text passes through unchanged.
std::filesystem::path toPath(TextView text) {
    return std::wstring(text.begin(), text.end());
}

Text fromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return Text(wide.begin(), wide.end());
}
#else
std::filesystem::path toPath(TextView text) {
    return std::filesystem::path(toUtf8(text));
}

Text fromPath(const std::filesystem::path& path) {
    return fromUtf8(path.native());
}
#endif

} // namespace fillahead
