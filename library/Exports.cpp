// The entry points COM and regsvr32 call, exported through FillaheadLib2.def.
#include <windows.h>

#include "library/ClassFactory.h"
#include "library/ComObject.h"
#include "library/Dispatch.h"
#include "library/Registration.h"

#include <olectl.h>

namespace {

using fillahead::library::RegistrationScope;

// DllInstall's command line: none for machine-wide, "user" for the current
// user (regsvr32 /n /i:user).
bool scopeOf(LPCWSTR commandLine, RegistrationScope& scope) {
    if (commandLine == nullptr || *commandLine == L'\0') {
        scope = RegistrationScope::Machine;
        return true;
    }
    if (_wcsicmp(commandLine, L"user") == 0) {
        scope = RegistrationScope::User;
        return true;
    }
    return false;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return fillahead::library::GetClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    if (!fillahead::library::ModuleIsIdle()) {
        return S_FALSE;
    }
    fillahead::library::ReleaseTypeInfo();
    return S_OK;
}

STDAPI DllRegisterServer() {
    return fillahead::library::RegisterServer(RegistrationScope::Machine);
}

STDAPI DllUnregisterServer() {
    return fillahead::library::UnregisterServer(RegistrationScope::Machine);
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    RegistrationScope scope;
    if (!scopeOf(commandLine, scope)) {
        return E_INVALIDARG;
    }
    return install ? fillahead::library::RegisterServer(scope)
                   : fillahead::library::UnregisterServer(scope);
}

} // extern "C"
