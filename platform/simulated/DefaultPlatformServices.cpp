#include "platform/FileChooser.h"
#include "platform/PlatformServices.h"
#include "platform/posix/XdgSystemFolders.h"
#include "platform/simulated/FileSettingsStore.h"
#include "platform/simulated/SimulatedDesktop.h"
#include "platform/simulated/SimulatedFileChooser.h"

namespace fillahead {

PlatformServices DefaultPlatformServices() {
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    services.settings = std::make_shared<FileSettingsStore>();
    services.systemFolders = std::make_shared<XdgSystemFolders>();
    services.desktop = std::make_shared<SimulatedDesktop>();
    return services;
}

// Nobody sits at a simulated dialog: every one is cancelled.
std::shared_ptr<FileChooser> DefaultFileChooser() {
    return std::make_shared<SimulatedFileChooser>();
}

} // namespace fillahead
