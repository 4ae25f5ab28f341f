// FileSettingsStore: the settings store in a file, where there is no
// registry (and in the tests of both builds, which keep their settings in a
// temporary folder).
#pragma once

#include "platform/SettingsStore.h"
#include "platform/Text.h"

#include <filesystem>

namespace fillahead {

// Settings in one INI-style file per application: <folder>/<application>/settings.ini
// with [section] headers and key=value lines. Each save replaces the file
// atomically as a buffer file is replaced (AtomicFile), so a crash never
// leaves half a file. The folder is $XDG_CONFIG_HOME, or ~/.config, by default.
class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(std::filesystem::path folder = DefaultFolder());
    static std::filesystem::path DefaultFolder();

    Text GetSetting(TextView application, TextView section, TextView key,
                    TextView defaultValue) override;
    void SaveSetting(TextView application, TextView section, TextView key, TextView value) override;

private:
    std::filesystem::path fileOf(TextView application) const;
    std::filesystem::path folder_;
};

} // namespace fillahead
