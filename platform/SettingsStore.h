// SettingsStore: per-user text settings addressed by application title,
// section and key (VB's GetSetting and SaveSetting). The global buffer folder
// and size live here, so that every engine of one user shares them.
#pragma once

#include "platform/Text.h"

#include <filesystem>
#include <map>
#include <memory>

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
