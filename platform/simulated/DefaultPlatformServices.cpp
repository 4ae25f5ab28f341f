#include "platform/PlatformServices.h"
#include "platform/simulated/SimulatedDesktop.h"

namespace fillahead {

PlatformServices DefaultPlatformServices() {
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    services.settings = std::make_shared<FileSettingsStore>();
    services.systemFolders = std::make_shared<XdgSystemFolders>();
    services.desktop = std::make_shared<SimulatedDesktop>();
    return services;
}

} // namespace fillahead
