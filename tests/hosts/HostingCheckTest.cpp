// FillaheadControl in containers that are not ours: the system's ActiveX
// host window (AtlAxWin of atl.dll) and a generic OLE container that creates
// the control with OleCreate, runs it, activates it in place, saves it with
// OleSave and loads it again with OleLoad. Each creates, activates,
// persists and releases the control cleanly: afterwards nothing of the
// library is alive, so it agrees to be unloaded.
#include "tests/hosts/HostTesting.h"

#include <ole2.h>

namespace fillahead::hosts::testing {
namespace {

HRESULT LibraryCanUnload() {
    const HMODULE library = GetModuleHandleW(L"FillaheadLib2.dll");
    if (library == nullptr) {
        return S_OK;
    }
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    return canUnload != nullptr ? canUnload() : E_FAIL;
}

std::wstring GroupOf(IUnknown* control) {
    ComPtr<IDispatch> dispatch;
    control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ControlGroupName")};
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    Value group;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, group.Out(),
                     nullptr, nullptr);
    return group.Text();
}

void SetGroup(IUnknown* control, const std::wstring& group) {
    ComPtr<IDispatch> dispatch;
    control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ControlGroupName")};
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    const Value value(group);
    VARIANT argument = *value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &put, 1, 1};
    EXPECT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                               nullptr, nullptr, nullptr),
              S_OK);
}

TEST(HostingCheck, TheSystemsActiveXHostWindowCreatesPersistsAndReleasesTheControl) {
    const HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_NE(atl, nullptr) << "the system has no atl.dll";
    using Init = BOOL(WINAPI*)();
    using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
    const auto init =
        reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    const auto getControl = reinterpret_cast<GetControl>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(getControl, nullptr);
    ASSERT_TRUE(init());
    {
        TestForm form;
        // The host window creates the control from its ProgID.
        const HWND host = CreateWindowExW(0, L"AtlAxWin", L"FillaheadLib.FillaheadControl",
                                          WS_CHILD | WS_VISIBLE, 300, 16, 24, 32, form.Window(),
                                          nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        Pump(std::chrono::milliseconds(200));
        ComPtr<IUnknown> control;
        ASSERT_EQ(getControl(host, &control), S_OK);
        ASSERT_NE(control.Get(), nullptr);
        CLSID clsid{};
        ComPtr<IPersistStreamInit> persist;
        ASSERT_EQ(control.As(&persist), S_OK);
        EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_FillaheadControl));

        // Saved to a stream, and a new control loaded from it.
        SetGroup(control.Get(), L"Hosted");
        ComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
        const LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        ComPtr<IPersistStreamInit> again;
        ASSERT_EQ(CoCreateInstance(CLSID_FillaheadControl, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IPersistStreamInit,
                                   reinterpret_cast<void**>(again.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(again->Load(stream.Get()), S_OK);
        EXPECT_EQ(GroupOf(again.Get()), L"Hosted");

        persist.Reset();
        again.Reset();
        control.Reset();
        DestroyWindow(host);
        Pump(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(LibraryCanUnload(), S_OK);
}

TEST(HostingCheck, AGenericContainerCreatesRunsActivatesSavesLoadsAndReleasesIt) {
    {
        TestForm form;
        const ComPtr<IOleClientSite> site = form.NewSite(L"Fillahead1");
        ComPtr<IStorage> storage;
        ASSERT_EQ(StgCreateDocfile(nullptr,
                                   STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE |
                                       STGM_DELETEONRELEASE,
                                   0, &storage),
                  S_OK);
        ComPtr<IOleObject> control;
        ASSERT_EQ(OleCreate(CLSID_FillaheadControl, IID_IOleObject, OLERENDER_NONE, nullptr,
                            site.Get(), storage.Get(),
                            reinterpret_cast<void**>(control.GetAddressOf())),
                  S_OK);
        EXPECT_EQ(OleRun(control.Get()), S_OK);
        RECT where{300, 16, 324, 48};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, form.Window(),
                                  &where),
                  S_OK);
        // Active in place: a window of its own on the form, hidden while
        // the form runs.
        ComPtr<IOleInPlaceObject> inPlace;
        ASSERT_EQ(control.As(&inPlace), S_OK);
        HWND window = nullptr;
        ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
        EXPECT_EQ(GetParent(window), form.Window());
        EXPECT_FALSE(IsWindowVisible(window));

        SetGroup(control.Get(), L"Generic");
        ComPtr<IPersistStorage> persist;
        ASSERT_EQ(control.As(&persist), S_OK);
        ASSERT_EQ(OleSave(persist.Get(), storage.Get(), TRUE), S_OK);
        EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        persist.Reset();
        inPlace.Reset();
        control.Reset();

        ComPtr<IOleObject> loaded;
        ASSERT_EQ(OleLoad(storage.Get(), IID_IOleObject, site.Get(),
                          reinterpret_cast<void**>(loaded.GetAddressOf())),
                  S_OK);
        EXPECT_EQ(GroupOf(loaded.Get()), L"Generic");
        EXPECT_EQ(loaded->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(loaded->SetClientSite(nullptr), S_OK);
    }
    EXPECT_EQ(LibraryCanUnload(), S_OK);
}

} // namespace
} // namespace fillahead::hosts::testing
