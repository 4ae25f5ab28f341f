// The registry realisations of the settings store and the system folders.
#pragma once

#include "platform/SettingsStore.h"
#include "platform/SystemFolders.h"

namespace fillahead::win32 {

// Where VB's GetSetting and SaveSetting keep their values:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// values as REG_SZ, so that settings written by existing installations are
// found.
class RegistrySettingsStore final : public SettingsStore {
public:
    Text GetSetting(TextView application, TextView section, TextView key,
                    TextView defaultValue) override;
    void SaveSetting(TextView application, TextView section, TextView key, TextView value) override;
};

// The common-files folder: "CommonFilesDir" under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion.
class RegistrySystemFolders final : public SystemFolders {
public:
    Text CommonFilesFolder() override;
};

} // namespace fillahead::win32
