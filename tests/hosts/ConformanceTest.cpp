// FillaheadControl as a container's tools see it through COM: the
// interfaces it answers and those it does not, its type information (the
// about box at -552, the events 1 to 6, the help strings), its OLEMISC flags
// in the object and in the registry, its failure rules, and its persistence
// in a stream and a storage, damaged data included.
#include "tests/hosts/HostTesting.h"

#include <olectl.h>

#include <string>

namespace fillahead::hosts::testing {
namespace {

constexpr DWORD kMiscStatus = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE;

ComPtr<IUnknown> NewControl() {
    ComPtr<IUnknown> control;
    EXPECT_EQ(CoCreateInstance(CLSID_FillaheadControl, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(control.GetAddressOf())),
              S_OK);
    return control;
}

template <typename I>
ComPtr<I> As(IUnknown* object, REFIID iid) {
    ComPtr<I> result;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(result.GetAddressOf())), S_OK);
    return result;
}

HRESULT InvokeMember(IDispatch* object, DISPID id, WORD flags, VARIANT* result,
                     std::vector<VARIANT> arguments = {}) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                      &exception, nullptr);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return hr == DISP_E_EXCEPTION ? exception.scode : hr;
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
}

std::wstring RegistryText(const std::wstring& key, const wchar_t* value = nullptr) {
    wchar_t text[512] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return L"<missing>";
    }
    return text;
}

bool KeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

std::wstring ClsidText() {
    LPOLESTR text = nullptr;
    StringFromCLSID(CLSID_FillaheadControl, &text);
    std::wstring result(text);
    CoTaskMemFree(text);
    return result;
}

TEST(ControlConformance, AnswersEveryPromisedInterfaceAsOneObjectAndNoOther) {
    const ComPtr<IUnknown> control = NewControl();
    const IID promised[] = {IID_IDispatch,
                            IID__FillaheadControl,
                            IID_IConnectionPointContainer,
                            IID_IProvideClassInfo,
                            IID_IProvideClassInfo2,
                            IID_IOleObject,
                            IID_IOleControl,
                            IID_IOleWindow,
                            IID_IOleInPlaceObject,
                            IID_IOleInPlaceActiveObject,
                            IID_IViewObject,
                            IID_IViewObject2,
                            IID_IPersist,
                            IID_IPersistStreamInit,
                            IID_IPersistPropertyBag,
                            IID_IPersistStorage,
                            IID_ISpecifyPropertyPages,
                            IID_ISupportErrorInfo};
    for (const IID& iid : promised) {
        ComPtr<IUnknown> face;
        ASSERT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(face.GetAddressOf())),
                  S_OK);
        ComPtr<IUnknown> identity;
        face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf()));
        EXPECT_EQ(identity.Get(), control.Get());
    }
    const IID refused[] = {
        IID__Fillahead,       IID_IPersistStream, IID_IOleInPlaceObjectWindowless,
        IID_IQuickActivate,   IID_IDataObject,    IID_IRunnableObject,
        IID_IConnectionPoint, IID_IPropertyPage,  IID_IPointerInactive};
    for (const IID& iid : refused) {
        ComPtr<IUnknown> face;
        EXPECT_EQ(control->QueryInterface(iid, reinterpret_cast<void**>(face.GetAddressOf())),
                  E_NOINTERFACE);
        EXPECT_EQ(face.Get(), nullptr);
    }
    // The property page it names is FillaheadPage.
    CAUUID pages{};
    ASSERT_EQ(As<ISpecifyPropertyPages>(control.Get(), IID_ISpecifyPropertyPages)->GetPages(&pages),
              S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    wchar_t page[40] = {};
    StringFromGUID2(pages.pElems[0], page, 40);
    EXPECT_STREQ(page, L"{2A15A55E-1991-4219-A370-3D1A3A212F24}");
    CoTaskMemFree(pages.pElems);
}

TEST(ControlConformance, TypeInformationNamesTheAboutBoxTheEventsAndTheHelpStrings) {
    const ComPtr<IUnknown> control = NewControl();
    const ComPtr<IDispatch> dispatch = As<IDispatch>(control.Get(), IID_IDispatch);
    EXPECT_EQ(IdOf(dispatch.Get(), L"Abuot"), DISPID_ABOUTBOX);

    ComPtr<ITypeInfo> classInfo;
    ASSERT_EQ(
        As<IProvideClassInfo2>(control.Get(), IID_IProvideClassInfo2)->GetClassInfo(&classInfo),
        S_OK);
    GUID source{};
    As<IProvideClassInfo2>(control.Get(), IID_IProvideClassInfo2)
        ->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source);
    EXPECT_TRUE(IsEqualIID(source, DIID___FillaheadControl));

    ComPtr<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(classInfo->GetContainingTypeLib(&library, &index), S_OK);
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(library->GetTypeInfoOfGuid(DIID___FillaheadControl, &events), S_OK);
    const wchar_t* const names[] = {L"BeforeAddRecord",     L"BeforeSaveRecord",
                                    L"AfterSaveRecord",     L"BeforeOpenRecordset",
                                    L"BeforeSaveRecordset", L"Change"};
    for (DISPID id = 1; id <= 6; ++id) {
        LPOLESTR name[] = {const_cast<LPOLESTR>(names[id - 1])};
        MEMBERID found = MEMBERID_NIL;
        EXPECT_EQ(events->GetIDsOfNames(name, 1, &found), S_OK);
        EXPECT_EQ(found, id) << names[id - 1];
    }
    BSTR help = nullptr;
    events->GetDocumentation(6, nullptr, &help, nullptr, nullptr);
    EXPECT_STREQ(help, L"Indicates that the contents of a control have changed.");
    SysFreeString(help);

    ComPtr<ITypeInfo> members;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__FillaheadControl, &members), S_OK);
    const std::pair<const wchar_t*, const wchar_t*> helps[] = {
        {L"ControlGroupName", L"Get/Set the name to group controls by"},
        {L"SetParent", L"Force setting the parent container of the Fillahead ActiveX Control"},
        {L"CaptureReturnKey",
         L"Prevent the parent from detecting the enter key while the Fillahead list is open"},
        {L"BoundText",
         L"Returns/sets the value of the data field named in the BoundColumn property."},
    };
    for (const auto& [name, text] : helps) {
        LPOLESTR member[] = {const_cast<LPOLESTR>(name)};
        MEMBERID id = MEMBERID_NIL;
        ASSERT_EQ(members->GetIDsOfNames(member, 1, &id), S_OK) << name;
        BSTR doc = nullptr;
        members->GetDocumentation(id, nullptr, &doc, nullptr, nullptr);
        EXPECT_STREQ(doc, text) << name;
        SysFreeString(doc);
    }
}

TEST(ControlConformance, MiscStatusToolboxBitmapAndCategoryAreRegisteredAsAnswered) {
    const ComPtr<IUnknown> control = NewControl();
    DWORD status = 0;
    ASSERT_EQ(
        As<IOleObject>(control.Get(), IID_IOleObject)->GetMiscStatus(DVASPECT_CONTENT, &status),
        S_OK);
    EXPECT_EQ(status, kMiscStatus);

    const std::wstring key = L"CLSID\\" + ClsidText();
    EXPECT_EQ(RegistryText(key + L"\\MiscStatus\\1"), std::to_wstring(kMiscStatus));
    EXPECT_TRUE(KeyExists(key + L"\\Control"));
    EXPECT_TRUE(
        KeyExists(key + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));
    // The toolbox bitmap: "<the DLL>, <resource>", and the resource is a
    // 16 by 15 bitmap of that DLL.
    const std::wstring toolbox = RegistryText(key + L"\\ToolboxBitmap32");
    const std::size_t comma = toolbox.rfind(L", ");
    ASSERT_NE(comma, std::wstring::npos) << toolbox;
    const HMODULE dll =
        LoadLibraryExW(toolbox.substr(0, comma).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    const auto bitmap =
        static_cast<HBITMAP>(LoadImageW(dll, MAKEINTRESOURCEW(std::stoi(toolbox.substr(comma + 2))),
                                        IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 15);
    DeleteObject(bitmap);
    FreeLibrary(dll);
}

TEST(ControlConformance, WithoutSettingsTheGettersFollowTheirFailureRules) {
    const ComPtr<IUnknown> control = NewControl();
    const ComPtr<IDispatch> dispatch = As<IDispatch>(control.Get(), IID_IDispatch);
    Value group;
    EXPECT_EQ(InvokeMember(dispatch.Get(), IdOf(dispatch.Get(), L"ControlGroupName"),
                           DISPATCH_PROPERTYGET, group.Out()),
              S_OK);
    EXPECT_EQ(group.Text(), L"");
    // No engine yet: BoundText is an error (91) for the caller, whose error
    // information names the help file beside the library.
    Value bound;
    EXPECT_EQ(InvokeMember(dispatch.Get(), IdOf(dispatch.Get(), L"BoundText"), DISPATCH_PROPERTYGET,
                           bound.Out()),
              static_cast<HRESULT>(0x800A005B));
    ComPtr<_FillaheadControl> vtable = As<_FillaheadControl>(control.Get(), IID__FillaheadControl);
    BSTR text = nullptr;
    EXPECT_EQ(vtable->get_BoundText(&text), static_cast<HRESULT>(0x800A005B));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR helpFile = nullptr;
    info->GetHelpFile(&helpFile);
    const std::wstring help = helpFile != nullptr ? helpFile : L"";
    SysFreeString(helpFile);
    EXPECT_TRUE(help.ends_with(L"\\Fillahead.chm")) << help;
    EXPECT_NE(help.find(L"\\"), 0u);
    // Abuot swallows the failure.
    EXPECT_EQ(InvokeMember(dispatch.Get(), DISPID_ABOUTBOX, DISPATCH_METHOD, nullptr), S_OK);

    ASSERT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);
    EXPECT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->InitNew(),
              E_UNEXPECTED);
    EXPECT_EQ(InvokeMember(dispatch.Get(), IdOf(dispatch.Get(), L"BoundText"), DISPATCH_PROPERTYGET,
                           bound.Out()),
              S_OK);
}

// The settings of a control saved to a stream and a storage, read back by a
// new control; damaged bytes are refused with nothing half read.
TEST(ControlConformance, StreamAndStorageRoundTripAndDamageIsRefused) {
    const ComPtr<IUnknown> control = NewControl();
    ASSERT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);
    const ComPtr<IDispatch> dispatch = As<IDispatch>(control.Get(), IID_IDispatch);
    const Value group(L"Orders");
    EXPECT_EQ(InvokeMember(dispatch.Get(), IdOf(dispatch.Get(), L"ControlGroupName"),
                           DISPATCH_PROPERTYPUT, nullptr, {*group}),
              S_OK);
    const Value capture = Value::Boolean(true);
    EXPECT_EQ(InvokeMember(dispatch.Get(), IdOf(dispatch.Get(), L"CaptureReturnKey"),
                           DISPATCH_PROPERTYPUT, nullptr, {*capture}),
              S_OK);
    EXPECT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->IsDirty(), S_OK);

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(
        As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->Save(stream.Get(), TRUE),
        S_OK);
    EXPECT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->IsDirty(), S_FALSE);
    // Something of the container's own follows the control's data.
    const char trailer[] = "trailer";
    stream->Write(trailer, sizeof trailer, nullptr);

    const auto loaded = [&](IStream* from) {
        const ComPtr<IUnknown> again = NewControl();
        const HRESULT hr = As<IPersistStreamInit>(again.Get(), IID_IPersistStreamInit)->Load(from);
        return std::make_pair(hr, again);
    };
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    const auto [hr, again] = loaded(stream.Get());
    ASSERT_EQ(hr, S_OK);
    const ComPtr<IDispatch> back = As<IDispatch>(again.Get(), IID_IDispatch);
    Value readGroup;
    InvokeMember(back.Get(), IdOf(back.Get(), L"ControlGroupName"), DISPATCH_PROPERTYGET,
                 readGroup.Out());
    EXPECT_EQ(readGroup.Text(), L"Orders");
    Value readCapture;
    InvokeMember(back.Get(), IdOf(back.Get(), L"CaptureReturnKey"), DISPATCH_PROPERTYGET,
                 readCapture.Out());
    EXPECT_EQ(readCapture.Text(), L"True");
    // The load stopped where the control's data ends.
    char after[sizeof trailer] = {};
    ULONG read = 0;
    stream->Read(after, sizeof after, &read);
    EXPECT_STREQ(after, trailer);

    // A flipped byte in the engine's part, and a stream cut short: refused
    // (invalid file format), and the control may still be made new.
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<char> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart) - sizeof trailer);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    for (const bool cut : {false, true}) {
        std::vector<char> damaged = bytes;
        if (cut) {
            damaged.resize(damaged.size() - 3);
        } else {
            damaged.back() ^= 0x20;
        }
        ComPtr<IStream> bad;
        CreateStreamOnHGlobal(nullptr, TRUE, &bad);
        bad->Write(damaged.data(), static_cast<ULONG>(damaged.size()), nullptr);
        bad->Seek(start, STREAM_SEEK_SET, nullptr);
        const auto [refused, fresh] = loaded(bad.Get());
        EXPECT_EQ(refused, static_cast<HRESULT>(0x800A0141)) << (cut ? "cut" : "flipped");
        EXPECT_EQ(As<IPersistStreamInit>(fresh.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);
    }

    // The same through a storage, in its "Contents" stream.
    ComPtr<IStorage> storage;
    ASSERT_EQ(
        StgCreateDocfile(nullptr,
                         STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE,
                         0, &storage),
        S_OK);
    ASSERT_EQ(As<IPersistStorage>(control.Get(), IID_IPersistStorage)->Save(storage.Get(), FALSE),
              S_OK);
    const ComPtr<IUnknown> fromStorage = NewControl();
    ASSERT_EQ(As<IPersistStorage>(fromStorage.Get(), IID_IPersistStorage)->Load(storage.Get()),
              S_OK);
    const ComPtr<IDispatch> stored = As<IDispatch>(fromStorage.Get(), IID_IDispatch);
    Value storedGroup;
    InvokeMember(stored.Get(), IdOf(stored.Get(), L"ControlGroupName"), DISPATCH_PROPERTYGET,
                 storedGroup.Out());
    EXPECT_EQ(storedGroup.Text(), L"Orders");
    EXPECT_EQ(As<IPersistStorage>(fromStorage.Get(), IID_IPersistStorage)->InitNew(storage.Get()),
              CO_E_ALREADYINITIALIZED);
}

// The picture a designer shows: drawn at design time, nothing at run time.
TEST(ControlConformance, TheDesignTimePictureIsDrawnOnlyAtDesignTime) {
    TestForm form;
    for (const bool designing : {true, false}) {
        form.userMode = !designing;
        const ComPtr<IUnknown> control = NewControl();
        const ComPtr<IOleObject> ole = As<IOleObject>(control.Get(), IID_IOleObject);
        const ComPtr<IOleClientSite> site = form.NewSite(L"Fillahead1");
        ASSERT_EQ(ole->SetClientSite(site.Get()), S_OK);
        ASSERT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);

        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, 24, 32);
        ReleaseDC(nullptr, screen);
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        RECT all{0, 0, 24, 32};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        const RECTL bounds{0, 0, 24, 32};
        EXPECT_EQ(As<IViewObject2>(control.Get(), IID_IViewObject2)
                      ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                             nullptr, nullptr, 0),
                  S_OK);
        // The highlighted row of the pictured list is dark blue.
        EXPECT_EQ(GetPixel(memory, 18, 12), designing ? RGB(0, 0, 128) : RGB(255, 255, 255));
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);

        SIZEL size{};
        EXPECT_EQ(As<IViewObject2>(control.Get(), IID_IViewObject2)
                      ->GetExtent(DVASPECT_CONTENT, -1, nullptr, &size),
                  S_OK);
        EXPECT_EQ(size.cx, 635);
        EXPECT_EQ(size.cy, 847);
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
}

} // namespace
} // namespace fillahead::hosts::testing
