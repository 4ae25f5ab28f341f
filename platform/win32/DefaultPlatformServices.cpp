#include "platform/FileChooser.h"
#include "platform/PlatformServices.h"
#include "platform/win32/ErrorTrace.h"
#include "platform/win32/FileChooserWin32.h"
#include "platform/win32/Registry.h"
#include "platform/win32/Win32Desktop.h"

namespace fillahead {

PlatformServices DefaultPlatformServices() {
    win32::TraceIgnoredErrorsWhenWanted();
    PlatformServices services;
    services.fileSystem = std::make_shared<PortableFileSystem>();
    services.settings = std::make_shared<win32::RegistrySettingsStore>();
    services.systemFolders = std::make_shared<win32::RegistrySystemFolders>();
    services.desktop = std::make_shared<win32::Win32Desktop>();
    return services;
}

std::shared_ptr<FileChooser> DefaultFileChooser() {
    return std::make_shared<win32::Win32FileChooser>();
}

} // namespace fillahead
