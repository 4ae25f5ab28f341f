// Using the Fillahead engine from C++ through COM: vtable calls on
// _Fillahead, and the events of __Fillahead received by a sink.
//
// Register the library once (as administrator): regsvr32 FillaheadLib2.dll
// Build against the header widl makes of FillaheadLib.idl (or #import the
// type library with Visual C++), link ole32, oleaut32 and uuid, and run.
//
// A host forwards what happens in its text box to the engine: the focus
// arriving (OnControlChange), every change of the text (OnTextChange), every
// key (OnKeyDown) and the focus leaving (CloseList, which stores the value).
// Here a "text box" named City on a form named Address is played by hand.
#include <windows.h>

#include "library/generated/FillaheadLib.h"

#include <ocidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <filesystem>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// Receives __Fillahead. A dispinterface sink is an IDispatch whose Invoke is
// called with the event's DISPID; Cancel arguments come as VT_BYREF|VT_BOOL.
class Events final : public IDispatch {
public:
    std::wstring completed; // the last TextChange
    int stored = 0;         // AfterSaveRecord count

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___Fillahead) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The sink lives on main's stack, longer than any connection.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID event, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        switch (event) {
        case 1: // TextChange(NewText): write the completed value into the text box
            completed = V_BSTR(&params->rgvarg[0]);
            std::printf("  event TextChange(\"%ls\")\n", completed.c_str());
            break;
        case 2: // BeforeListShow: place the list under the text box (screen pixels)
            std::printf("  event BeforeListShow\n");
            engine->put_Left(200);
            engine->put_Top(300);
            engine->put_Width(160);
            break;
        case 3: // BeforeAddRecord(Cancel): set *Cancel to keep a value out of the history
            std::printf("  event BeforeAddRecord\n");
            *V_BOOLREF(&params->rgvarg[0]) = VARIANT_FALSE;
            break;
        case 5: // AfterSaveRecord
            ++stored;
            break;
        default: // BeforeSaveRecord, BeforeOpenRecordset, BeforeSaveRecordset, ...
            break;
        }
        return S_OK;
    }

    _Fillahead* engine = nullptr;
};

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

bool run(const std::filesystem::path& folder) {
    ComPtr<_Fillahead> engine;
    if (FAILED(CoCreateInstance(CLSID_Fillahead, nullptr, CLSCTX_INPROC_SERVER, IID__Fillahead,
                                reinterpret_cast<void**>(engine.GetAddressOf())))) {
        std::printf("FillaheadLib.Fillahead is not registered (regsvr32 FillaheadLib2.dll)\n");
        return false;
    }
    engine->put_PrivateBufferLocation(Bstr(folder.wstring().c_str()));
    engine->put_BufferUsage(buePrivate);
    engine->put_ControlGroupName(Bstr(L"Address"));

    // Connect the sink to the engine's default source.
    Events events;
    events.engine = engine.Get();
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    engine.As(&container);
    container->FindConnectionPoint(DIID___Fillahead, &point);
    point->Advise(&events, &cookie);

    std::printf("Storing three cities:\n");
    for (const wchar_t* city : {L"London", L"Lyon", L"Leeds"}) {
        engine->OnControlChange(Bstr(L"City"), Bstr(L""));
        engine->OnTextChange(Bstr(city));
        engine->CloseList();
    }

    std::printf("Typing \"ly\", Down, Return:\n");
    engine->OnControlChange(Bstr(L"City"), Bstr(L""));
    engine->OnTextChange(Bstr(L"ly"));
    short key = VK_DOWN;
    short shift = 0;
    engine->OnKeyDown(&key, &shift);
    const bool downConsumed = key == 0; // 0: the text box must not see the key
    key = VK_RETURN;
    engine->OnKeyDown(&key, &shift);
    engine->CloseList();

    point->Unadvise(cookie);
    std::printf("%d values stored, Down %s, \"%ls\" completed\n", events.stored,
                downConsumed ? "consumed" : "not consumed", events.completed.c_str());
    return events.stored == 3 && downConsumed && events.completed == L"Lyon";
}

} // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "FillaheadHost";
    std::filesystem::remove_all(folder);
    const bool passed = run(folder);
    std::filesystem::remove_all(folder);
    CoUninitialize();
    std::printf(passed ? "RESULT: PASS\n" : "RESULT: FAIL\n");
    return passed ? 0 : 1;
}
