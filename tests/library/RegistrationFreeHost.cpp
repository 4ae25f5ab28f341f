// A host that uses FillaheadLib2.dll with nothing registered: its application
// manifest depends on the assembly FillaheadLib2, whose manifest lies beside
// the DLL in the host's folder. Prints "RESULT: PASS" when the engine was
// created by its class and by its ProgID, answered through its vtable and by
// name, and the library could be unloaded afterwards.
#include <windows.h>

#include "library/generated/FillaheadLib.h"

#include <oleauto.h>

#include <cstdio>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAIL %s\n", what);
        ++failures;
    }
}

void UseEngine() {
    HKEY registered = nullptr;
    const bool inRegistry =
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{5AC1BBD0-DAC6-4296-BC10-591C53664171}", 0,
                      KEY_READ, &registered) == ERROR_SUCCESS;
    if (inRegistry) {
        RegCloseKey(registered);
    }
    Check(!inRegistry, "the class must not be registered for this test");

    // In an activation context a ProgID may name an alias of the class
    // identifier; what it creates must be our class.
    CLSID byProgId{};
    IPersist* named = nullptr;
    Check(SUCCEEDED(CLSIDFromProgID(L"FillaheadLib.Fillahead", &byProgId)) &&
              SUCCEEDED(CoCreateInstance(byProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                                         reinterpret_cast<void**>(&named))),
          "the ProgID comes from the manifest");
    if (named != nullptr) {
        CLSID clsid{};
        Check(SUCCEEDED(named->GetClassID(&clsid)) && IsEqualCLSID(clsid, CLSID_Fillahead),
              "the ProgID creates the engine");
        named->Release();
    }

    _Fillahead* engine = nullptr;
    const HRESULT created = CoCreateInstance(CLSID_Fillahead, nullptr, CLSCTX_INPROC_SERVER,
                                             IID__Fillahead, reinterpret_cast<void**>(&engine));
    Check(SUCCEEDED(created), "the class comes from the manifest");
    if (FAILED(created)) {
        return;
    }
    BSTR group = SysAllocString(L"Orders");
    Check(SUCCEEDED(engine->put_ControlGroupName(group)), "a property is written");
    SysFreeString(group);

    LPOLESTR name = const_cast<LPOLESTR>(L"ControlGroupName");
    DISPID id = 0;
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Check(SUCCEEDED(engine->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) &&
              SUCCEEDED(engine->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                       &none, &value, nullptr, nullptr)) &&
              V_VT(&value) == VT_BSTR && wcscmp(V_BSTR(&value), L"Orders") == 0,
          "the property is read back by name");
    VariantClear(&value);
    engine->Release();
}

} // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::printf("FAIL no apartment\n");
        return 1;
    }
    UseEngine();
    const HMODULE library = GetModuleHandleW(L"FillaheadLib2.dll");
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = library == nullptr ? nullptr
                                              : reinterpret_cast<CanUnload>(reinterpret_cast<void*>(
                                                    GetProcAddress(library, "DllCanUnloadNow")));
    Check(canUnload != nullptr && canUnload() == S_OK, "every object was released");
    CoUninitialize();
    std::printf(failures == 0 ? "RESULT: PASS\n" : "RESULT: FAIL\n");
    return failures == 0 ? 0 : 1;
}
