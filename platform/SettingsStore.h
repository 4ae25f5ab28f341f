// SettingsStore: per-user text settings addressed by application title,
// section and key (VB's GetSetting and SaveSetting). The global buffer folder
// and size live here, so that every engine of one user shares them. On
// Windows the registry key VB uses (platform/win32/Registry.h); elsewhere, and
// in tests, a file (platform/simulated/FileSettingsStore.h).
#pragma once

#include "platform/Text.h"

namespace fillahead {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultValue when there is none (never fails).
    virtual Text GetSetting(TextView application, TextView section, TextView key,
                            TextView defaultValue) = 0;
    // Raises AutomationError when the store cannot be written.
    virtual void SaveSetting(TextView application, TextView section, TextView key,
                             TextView value) = 0;
};

} // namespace fillahead
