// PlatformServices: everything the portable core reaches the outside world
// through, handed to an engine at construction.
#pragma once

#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/SystemFolders.h"

#include <memory>

namespace fillahead {

// The application title and section under which the global settings live.
inline constexpr char16_t kApplicationTitle[] = u"Fillahead";
inline constexpr char16_t kSettingsSection[] = u"PropertySection";

struct PlatformServices {
    std::shared_ptr<FileSystem> fileSystem;
    std::shared_ptr<SettingsStore> settings;
    std::shared_ptr<SystemFolders> systemFolders;
    std::shared_ptr<Desktop> desktop;
};

// The services of the platform being built: the registry, user32 and the
// real windows on Windows; the per-user files and the simulated desktop
// elsewhere.
PlatformServices DefaultPlatformServices();

} // namespace fillahead
