// A client process that knows nothing of the library but its ProgID: exit
// code 0 when it created the engine and called it, 1 when the class is not
// available, 2 when the engine misbehaved.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    int result = 1;
    CLSID clsid{};
    IDispatch* engine = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"FillaheadLib.Fillahead", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&engine)))) {
        LPOLESTR name = const_cast<LPOLESTR>(L"MaxDisplayRows");
        DISPID id = 0;
        VARIANT rows;
        VariantInit(&rows);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        const bool answered =
            SUCCEEDED(engine->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) &&
            SUCCEEDED(engine->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     &rows, nullptr, nullptr)) &&
            V_VT(&rows) == VT_I4 && V_I4(&rows) == 8;
        std::printf("created the engine; MaxDisplayRows %s\n", answered ? "is 8" : "is wrong");
        result = answered ? 0 : 2;
        engine->Release();
    }
    CoUninitialize();
    return result;
}
