// SystemFolders: where the system keeps files shared by programs, the base of
// the default buffer folder.
#pragma once

#include "platform/Text.h"

namespace fillahead {

class SystemFolders {
public:
    virtual ~SystemFolders() = default;
    // The common-files folder without a trailing separator, or "0" when it
    // cannot be read (the default buffer folder then becomes "0" followed by
    // the separator and "Fillahead", relative to the current folder).
    virtual Text CommonFilesFolder() = 0;
};

} // namespace fillahead
