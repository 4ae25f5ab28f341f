#include "platform/PlatformServices.h"
#include "platform/simulated/SimulatedDesktop.h"
#include "platform/win32/Registry.h"

namespace fillahead {

PlatformServices DefaultPlatformServices() {
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    services.settings = std::make_shared<win32::RegistrySettingsStore>();
    services.systemFolders = std::make_shared<win32::RegistrySystemFolders>();
    services.desktop = std::make_shared<SimulatedDesktop>();
    return services;
}

} // namespace fillahead
