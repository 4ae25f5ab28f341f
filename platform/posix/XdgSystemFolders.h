// XdgSystemFolders: the system folders away from Windows.
#pragma once

#include "platform/SystemFolders.h"

namespace fillahead {

// The per-user data folder, $XDG_DATA_HOME or ~/.local/share, stands in for
// the common-files folder.
class XdgSystemFolders final : public SystemFolders {
public:
    Text CommonFilesFolder() override;
};

} // namespace fillahead
