// Registration of FillaheadLib2.dll, produced from the registration table:
// machine-wide (DllRegisterServer, under HKEY_LOCAL_MACHINE\Software\Classes)
// or for the current user (DllInstall "user", under
// HKEY_CURRENT_USER\Software\Classes, with the type library registered for
// the user). Unregistering removes exactly what registering wrote: the class
// keys, the ProgIDs that still name our classes, and the type library with
// its interfaces. A registration that fails part-way is rolled back.
#pragma once

#include <windows.h>

#include "library/RegistrationTable.h"

#include <span>
#include <string>

namespace fillahead::library {

enum class RegistrationScope { Machine, User };

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

// The class and ProgID keys of a table under a classes root (a key like
// HKEY_LOCAL_MACHINE\Software\Classes). Raise AutomationError on failure.
void WriteClassKeys(HKEY classesRoot, std::span<const ClassEntry> classes,
                    const TypeLibraryEntry& typeLibrary, const std::wstring& modulePath);
void RemoveClassKeys(HKEY classesRoot, std::span<const ClassEntry> classes);

// The full path of this module.
std::wstring ModulePath();

} // namespace fillahead::library
