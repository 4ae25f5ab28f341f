// The Fillahead class as a COM client sees it through the registry: creation,
// the interfaces it answers, its type information, every member by vtable and
// by name, its defaults, and its errors.
#include "library/Identifiers.h"
#include "tests/library/ComTesting.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <sstream>

namespace fillahead::library::testing {
namespace {

using fillahead::testing::TempFolder;

// IDispatchEx, which mingw's libuuid lacks, and IObjectSafety (objsafe.h).
const IID kIidDispatchEx = {
    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};
const IID kIidObjectSafety = {
    0xcb5bdc81, 0x93c1, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};

std::wstring Render(ITypeInfo* info, bool withHelp) {
    TYPEATTR* attributes = nullptr;
    EXPECT_HR(S_OK, info->GetTypeAttr(&attributes));
    std::wostringstream out;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        EXPECT_HR(S_OK, info->GetFuncDesc(i, &function));
        if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) {
            Bstr name;
            Bstr help;
            info->GetDocumentation(function->memid, name.put(), help.put(), nullptr, nullptr);
            const wchar_t* kind = function->invkind == INVOKE_PROPERTYGET      ? L"get "
                                  : function->invkind == INVOKE_PROPERTYPUT    ? L"let "
                                  : function->invkind == INVOKE_PROPERTYPUTREF ? L"set "
                                                                               : L"";
            out << kind << name.text() << L" " << function->memid << L" (" << function->cParams
                << L")";
            if (withHelp && !help.text().empty()) {
                out << L" \"" << help.text() << L"\"";
            }
            out << L"\n";
        }
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return out.str();
}

TEST(FillaheadObject, IsCreatedByProgIdsAndByClassIdAndRefusesAggregation) {
    CLSID clsid{};
    ASSERT_HR(S_OK, CLSIDFromProgID(L"FillaheadLib.Fillahead", &clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Fillahead));
    ASSERT_HR(S_OK, CLSIDFromProgID(L"FillaheadLib.Fillahead.2", &clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Fillahead));

    ComPtr<IDispatch> byProgId;
    EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(byProgId.GetAddressOf())));
    EXPECT_TRUE(byProgId);

    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK,
              CoGetClassObject(CLSID_Fillahead, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.GetAddressOf())));
    IUnknown* aggregated = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_HR(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(byProgId.Get(), IID_IUnknown,
                                      reinterpret_cast<void**>(&aggregated)));
    EXPECT_EQ(aggregated, nullptr);
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
}

TEST(FillaheadObject, ObjectsAndServerLocksKeepTheLibraryLoadedClassObjectsDoNot) {
    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK,
              CoGetClassObject(CLSID_Fillahead, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.GetAddressOf())));
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"FillaheadLib2.dll"), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_HR(S_OK, canUnload());

    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_FALSE, canUnload());
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_OK, canUnload());

    ComPtr<_Fillahead> engine;
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID__Fillahead,
                                            reinterpret_cast<void**>(engine.GetAddressOf())));
    ComPtr<IDispatch> recordset;
    ASSERT_HR(S_OK, engine->get_Recordset(&recordset));
    engine.Reset();
    EXPECT_HR(S_FALSE, canUnload()); // the record set object is still held
    recordset.Reset();
    EXPECT_HR(S_OK, canUnload());
}

TEST(FillaheadObject, AnswersExactlyTheInterfacesItPromisesWithOneIdentity) {
    const ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<IUnknown> identity;
    ASSERT_HR(S_OK, engine.As(&identity));

    const IID promised[] = {IID_IUnknown,
                            IID_IDispatch,
                            IID__Fillahead,
                            IID_IConnectionPointContainer,
                            IID_IProvideClassInfo,
                            IID_IProvideClassInfo2,
                            IID_IPersist,
                            IID_IPersistStreamInit,
                            IID_IPersistPropertyBag,
                            IID_ISupportErrorInfo};
    for (const IID& iid : promised) {
        ComPtr<IUnknown> answer;
        EXPECT_HR(S_OK,
                  engine->QueryInterface(iid, reinterpret_cast<void**>(answer.GetAddressOf())));
        ComPtr<IUnknown> itsIdentity;
        ASSERT_TRUE(answer);
        EXPECT_HR(S_OK, answer.As(&itsIdentity));
        EXPECT_EQ(itsIdentity.Get(), identity.Get());
    }
    // Not the storage kinds of persistence, not a control, not marked safe,
    // no expando members.
    const IID refused[] = {
        IID_IPersistStorage, IID_IPersistStream,   IID_IPersistPropertyBag2,      IID_IOleObject,
        kIidObjectSafety,    IID_IConnectionPoint, IID_IProvideMultipleClassInfo, kIidDispatchEx};
    for (const IID& iid : refused) {
        IUnknown* answer = reinterpret_cast<IUnknown*>(0x1);
        EXPECT_HR(E_NOINTERFACE, engine->QueryInterface(iid, reinterpret_cast<void**>(&answer)));
        EXPECT_EQ(answer, nullptr);
    }

    ComPtr<ISupportErrorInfo> errors;
    ASSERT_HR(S_OK, engine.As(&errors));
    EXPECT_HR(S_OK, errors->InterfaceSupportsErrorInfo(IID__Fillahead));
    EXPECT_HR(S_FALSE, errors->InterfaceSupportsErrorInfo(IID_IConnectionPointContainer));
}

TEST(FillaheadObject, TypeInformationListsTheMembersInTheirFixedOrder) {
    const ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<ITypeInfo> info;
    ASSERT_HR(S_OK, engine->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    const std::wstring listField =
        L"Returns/sets the name of the field in the Recordset object used to fill a control's "
        L"list portion.";
    const std::wstring bound = L"Returns/sets the value of the data field named in the "
                               L"BoundColumn property.";
    EXPECT_EQ(Render(info.Get(), true), L"get PrivateBufferLocation 1 (0)\n"
                                        L"let PrivateBufferLocation 1 (1)\n"
                                        L"get GlobalBufferLocation 2 (0)\n"
                                        L"let GlobalBufferLocation 2 (1)\n"
                                        L"OnTextChange 3 (1)\n"
                                        L"OnKeyUp 4 (2)\n"
                                        L"OnKeyDown 5 (2)\n"
                                        L"OnControlChange 6 (2)\n"
                                        L"CloseList 7 (0)\n"
                                        L"get Alignment 8 (0)\n"
                                        L"let Alignment 8 (1)\n"
                                        L"get BackColor 9 (0)\n"
                                        L"let BackColor 9 (1)\n"
                                        L"get Left 10 (0)\n"
                                        L"let Left 10 (1)\n"
                                        L"get Top 11 (0)\n"
                                        L"let Top 11 (1)\n"
                                        L"get Width 12 (0)\n"
                                        L"let Width 12 (1)\n"
                                        L"get Height 13 (0)\n"
                                        L"let Height 13 (1)\n"
                                        L"get CurrentControlName 14 (0)\n"
                                        L"get Text 15 (0)\n"
                                        L"get ControlGroupName 16 (0)\n"
                                        L"let ControlGroupName 16 (1)\n"
                                        L"get MaxDisplayRows 17 (0)\n"
                                        L"let MaxDisplayRows 17 (1)\n"
                                        L"get PrivateBufferSize 18 (0)\n"
                                        L"let PrivateBufferSize 18 (1)\n"
                                        L"let BufferUsage 19 (1)\n"
                                        L"get BufferUsage 19 (0)\n"
                                        L"get GlobalBufferSize 20 (0)\n"
                                        L"let GlobalBufferSize 20 (1)\n"
                                        L"get BuddyControl 21 (0)\n"
                                        L"let BuddyControl 21 (1)\n"
                                        L"get hWnd 22 (0)\n"
                                        L"get Visible 23 (0)\n"
                                        L"About 24 (0)\n"
                                        L"get Recordset 25 (0)\n"
                                        L"set Recordset 25 (1)\n"
                                        L"get ListField 26 (0) \"" +
                                            listField +
                                            L"\"\n"
                                            L"let ListField 26 (1) \"" +
                                            listField +
                                            L"\"\n"
                                            L"get BoundColumn 27 (0) \"" +
                                            bound +
                                            L"\"\n"
                                            L"let BoundColumn 27 (1) \"" +
                                            bound +
                                            L"\"\n"
                                            L"get BoundText 28 (0) \"" +
                                            bound +
                                            L"\"\n"
                                            L"let BoundText 28 (1) \"" +
                                            bound + L"\"\n");
}

TEST(FillaheadObject, EventsAreTheDefaultSourceWithTheirFixedDispids) {
    const ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_HR(S_OK, engine.As(&classInfo));
    GUID source{};
    EXPECT_HR(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_TRUE(IsEqualGUID(source, DIID___Fillahead));
    EXPECT_HR(E_INVALIDARG, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 7, &source));

    ComPtr<ITypeInfo> coclass;
    ASSERT_HR(S_OK, classInfo->GetClassInfo(&coclass));
    TYPEATTR* attributes = nullptr;
    ASSERT_HR(S_OK, coclass->GetTypeAttr(&attributes));
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_Fillahead));
    const UINT implemented = attributes->cImplTypes;
    coclass->ReleaseTypeAttr(attributes);

    ComPtr<ITypeInfo> events;
    for (UINT i = 0; i < implemented; ++i) {
        INT flags = 0;
        ASSERT_HR(S_OK, coclass->GetImplTypeFlags(i, &flags));
        if (flags == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) {
            HREFTYPE reference = 0;
            ASSERT_HR(S_OK, coclass->GetRefTypeOfImplType(i, &reference));
            ASSERT_HR(S_OK, coclass->GetRefTypeInfo(reference, &events));
        }
    }
    ASSERT_TRUE(events);
    EXPECT_EQ(Render(events.Get(), true),
              L"TextChange 1 (1)\n"
              L"BeforeListShow 2 (0)\n"
              L"BeforeChangeRecordset 8 (0)\n"
              L"BeforeAddRecord 3 (1) \"occurs before a new record is added to the recordset to "
              L"store a new user entered value.\"\n"
              L"BeforeSaveRecord 4 (0) \"occurs before a new record is saved to the recordset "
              L"to store a new user entered value.\"\n"
              L"AfterSaveRecord 5 (0) \"occurs after a new record is saved to the recordset to "
              L"store a new user entered value.\"\n"
              L"BeforeOpenRecordset 6 (1) \"occurs before a recordset that stores previously "
              L"entered values is opened.\"\n"
              L"BeforeSaveRecordset 7 (1) \"occurs before the current recordset is saved to the "
              L"selected buffer location.\"\n");
}

TEST(FillaheadObject, TheTypeLibraryHasItsVersionHelpFileEnumerationsAndNothingElse) {
    ComPtr<ITypeLib> library;
    ASSERT_HR(S_OK, LoadRegTypeLib(LIBID_FillaheadLib, 2, 0, LOCALE_NEUTRAL, &library));
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(attributes->wMajorVerNum, 2);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);
    Bstr name;
    Bstr helpFile;
    ASSERT_HR(S_OK, library->GetDocumentation(-1, name.put(), nullptr, nullptr, helpFile.put()));
    EXPECT_EQ(name.text(), L"FillaheadLib");
    EXPECT_EQ(std::filesystem::path(helpFile.text()).filename(), L"Fillahead.chm");

    std::wostringstream types;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        ASSERT_HR(S_OK, library->GetTypeInfo(i, &info));
        Bstr typeName;
        info->GetDocumentation(MEMBERID_NIL, typeName.put(), nullptr, nullptr, nullptr);
        types << typeName.text();
        TYPEATTR* type = nullptr;
        ASSERT_HR(S_OK, info->GetTypeAttr(&type));
        for (UINT v = 0; v < type->cVars; ++v) {
            VARDESC* variable = nullptr;
            ASSERT_HR(S_OK, info->GetVarDesc(v, &variable));
            Bstr member;
            info->GetDocumentation(variable->memid, member.put(), nullptr, nullptr, nullptr);
            types << L" " << member.text() << L"=" << V_I4(variable->lpvarValue);
            info->ReleaseVarDesc(variable);
        }
        info->ReleaseTypeAttr(type);
        types << L"\n";
    }
    EXPECT_EQ(types.str(), L"BufferUsageEnum bueGlobal=0 buePrivate=1\n"
                           L"FillaheadAlignmentConstants fhalLeft=0 fhalRight=1 fhalCenter=2\n"
                           L"_FillaheadField\n"
                           L"_FillaheadFields\n"
                           L"_FillaheadRecordset\n"
                           L"_Fillahead\n"
                           L"__Fillahead\n"
                           L"Fillahead\n"
                           L"_FillaheadControl\n"
                           L"__FillaheadControl\n"
                           L"FillaheadControl\n"
                           L"_FillaheadPageField\n"
                           L"_FillaheadPage\n"
                           L"FillaheadPage\n"
                           L"_WindowForm\n"
                           L"WindowForm\n");
}

TEST(FillaheadObject, StartsWithItsDefaultsWithoutAnyInitialisation) {
    const ComPtr<_Fillahead> engine = NewEngine();
    LONG number = -1;
    EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&number));
    EXPECT_EQ(number, 8);
    EXPECT_HR(S_OK, engine->get_PrivateBufferSize(&number));
    EXPECT_EQ(number, 1);
    BufferUsageEnum usage = buePrivate;
    EXPECT_HR(S_OK, engine->get_BufferUsage(&usage));
    EXPECT_EQ(usage, bueGlobal);
    FillaheadAlignmentConstants alignment = fhalCenter;
    EXPECT_HR(S_OK, engine->get_Alignment(&alignment));
    EXPECT_EQ(alignment, fhalLeft);
    OLE_COLOR color = 0;
    EXPECT_HR(S_OK, engine->get_BackColor(&color));
    EXPECT_EQ(color, 0x80000005u); // the system's window background
    float place = -1;
    EXPECT_HR(S_OK, engine->get_Height(&place));
    EXPECT_EQ(place, 0.0f);
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_HR(S_OK, engine->get_Visible(&visible));
    EXPECT_EQ(visible, VARIANT_FALSE);
    LONG window = 0;
    EXPECT_HR(S_OK, engine->get_hWnd(&window));
    EXPECT_TRUE(IsWindow(reinterpret_cast<HWND>(static_cast<INT_PTR>(window))));

    Bstr text;
    EXPECT_HR(S_OK, engine->get_ListField(text.put()));
    EXPECT_EQ(text.text(), L"SavedStringField");
    EXPECT_HR(S_OK, engine->get_BoundColumn(text.put()));
    EXPECT_EQ(text.text(), L"SavedStringField");
    EXPECT_HR(S_OK, engine->get_ControlGroupName(text.put()));
    EXPECT_EQ(text.text(), L"");
    EXPECT_HR(S_OK, engine->get_PrivateBufferLocation(text.put()));
    EXPECT_TRUE(text.text().ends_with(L"\\Fillahead\\")) << text.text();

    ComPtr<IDispatch> recordset;
    EXPECT_HR(S_OK, engine->get_Recordset(&recordset));
    ComPtr<_FillaheadRecordset> ours;
    ASSERT_HR(S_OK, recordset.As(&ours));
    LONG state = -1;
    EXPECT_HR(S_OK, ours->get_State(&state));
    EXPECT_EQ(state, 0);

    ComPtr<IPersistStreamInit> persist;
    ASSERT_HR(S_OK, engine.As(&persist));
    EXPECT_HR(S_FALSE, persist->IsDirty());
}

TEST(FillaheadObject, WhatAClientSetsSurvivesTheFirstCloseList) {
    TempFolder folder;
    const ComPtr<_Fillahead> engine = NewEngine();
    const Bstr location(folder.path().wstring());
    ASSERT_HR(S_OK, engine->put_PrivateBufferLocation(location.get()));
    ASSERT_HR(S_OK, engine->put_BufferUsage(buePrivate));
    ASSERT_HR(S_OK, engine->put_MaxDisplayRows(3));
    const Bstr group(L"Form1");
    ASSERT_HR(S_OK, engine->put_ControlGroupName(group.get()));
    // The first CloseList, before any control was served.
    ASSERT_HR(S_OK, engine->CloseList());

    const Bstr control(L"Text1");
    const Bstr empty;
    const Bstr typed(L"hello");
    ASSERT_HR(S_OK, engine->OnControlChange(control.get(), empty.get()));
    ASSERT_HR(S_OK, engine->OnTextChange(typed.get()));
    ASSERT_HR(S_OK, engine->CloseList());

    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Form1-Text1.xml"));
    LONG rows = 0;
    EXPECT_HR(S_OK, engine->get_MaxDisplayRows(&rows));
    EXPECT_EQ(rows, 3);
    BufferUsageEnum usage = bueGlobal;
    EXPECT_HR(S_OK, engine->get_BufferUsage(&usage));
    EXPECT_EQ(usage, buePrivate);
    Bstr stored;
    EXPECT_HR(S_OK, engine->get_PrivateBufferLocation(stored.put()));
    EXPECT_EQ(stored.text(), folder.path().wstring() + L"\\");
}

// Each member, reached by name and invoked by the DISPID the name gave.
TEST(FillaheadObject, EveryMemberIsReachableByNameAndDispid) {
    TempFolder folder;
    const ComPtr<_Fillahead> engine = NewEngine();
    const ComPtr<IDispatch> dispatch = engine;
    const std::pair<const wchar_t*, DISPID> members[] = {{L"PrivateBufferLocation", 1},
                                                         {L"GlobalBufferLocation", 2},
                                                         {L"OnTextChange", 3},
                                                         {L"OnKeyUp", 4},
                                                         {L"OnKeyDown", 5},
                                                         {L"OnControlChange", 6},
                                                         {L"CloseList", 7},
                                                         {L"Alignment", 8},
                                                         {L"BackColor", 9},
                                                         {L"Left", 10},
                                                         {L"Top", 11},
                                                         {L"Width", 12},
                                                         {L"Height", 13},
                                                         {L"CurrentControlName", 14},
                                                         {L"Text", 15},
                                                         {L"ControlGroupName", 16},
                                                         {L"MaxDisplayRows", 17},
                                                         {L"PrivateBufferSize", 18},
                                                         {L"BufferUsage", 19},
                                                         {L"GlobalBufferSize", 20},
                                                         {L"BuddyControl", 21},
                                                         {L"hWnd", 22},
                                                         {L"Visible", 23},
                                                         {L"About", 24},
                                                         {L"Recordset", 25},
                                                         {L"ListField", 26},
                                                         {L"BoundColumn", 27},
                                                         {L"BoundText", 28}};
    for (const auto& [name, id] : members) {
        EXPECT_EQ(DispidOf(dispatch.Get(), name), id) << name;
    }
    // Names are found without regard to case, as VB and VBScript look them up.
    EXPECT_EQ(DispidOf(dispatch.Get(), L"maxdisplayrows"), 17);

    // Properties written and read back by DISPID.
    const Bstr location(folder.path().wstring());
    const Bstr group(L"Orders");
    struct Put {
        DISPID id;
        VARIANT value;
        std::wstring readBack;
    };
    const Put puts[] = {
        {1, TextArgument(location.get()), folder.path().wstring() + L"\\"},
        {8, LongArgument(2), L"2"},
        {9, LongArgument(0xFF), L"255"},
        {10, LongArgument(10), L"10"},
        {11, LongArgument(11), L"11"},
        {12, LongArgument(12), L"12"},
        {13, LongArgument(13), L"13"},
        {16, TextArgument(group.get()), L"Orders"},
        {17, LongArgument(5), L"5"},
        {18, LongArgument(4), L"4"},
        {19, LongArgument(7), L"7"},
        {21, TextArgument(group.get()), L"Orders"},
        {26, TextArgument(group.get()), L"Orders"},
        {27, TextArgument(group.get()), L"Orders"},
    };
    for (const Put& put : puts) {
        EXPECT_HR(S_OK, InvokeId(dispatch.Get(), put.id, DISPATCH_PROPERTYPUT, {put.value}).hr)
            << put.id;
        Variant back;
        EXPECT_HR(S_OK, InvokeId(dispatch.Get(), put.id, DISPATCH_PROPERTYGET, {}, back.get()).hr);
        EXPECT_EQ(back.text(), put.readBack) << put.id;
    }
    // The read-only ones, and the methods.
    for (const DISPID id : {14, 15, 22, 23, 25, 28}) {
        Variant value;
        EXPECT_HR(S_OK, InvokeId(dispatch.Get(), id, DISPATCH_PROPERTYGET, {}, value.get()).hr)
            << id;
    }
    EXPECT_HR(DISP_E_MEMBERNOTFOUND,
              InvokeId(dispatch.Get(), 22, DISPATCH_PROPERTYPUT, {LongArgument(1)}).hr);
    const Bstr control(L"Text1");
    const Bstr typed(L"abc");
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 6, DISPATCH_METHOD,
                             {TextArgument(control.get()), TextArgument(typed.get())})
                        .hr);
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 3, DISPATCH_METHOD, {TextArgument(typed.get())}).hr);
    short key = 27;
    short shift = 0;
    VARIANT keyArgument;
    V_VT(&keyArgument) = VT_BYREF | VT_I2;
    V_I2REF(&keyArgument) = &key;
    VARIANT shiftArgument;
    V_VT(&shiftArgument) = VT_BYREF | VT_I2;
    V_I2REF(&shiftArgument) = &shift;
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 4, DISPATCH_METHOD, {keyArgument, shiftArgument}).hr);
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 5, DISPATCH_METHOD, {keyArgument, shiftArgument}).hr);
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 7, DISPATCH_METHOD, {}).hr);
    EXPECT_HR(S_OK, InvokeId(dispatch.Get(), 24, DISPATCH_METHOD, {}).hr);
    Bstr current;
    EXPECT_HR(S_OK, engine->get_CurrentControlName(current.put()));
    EXPECT_EQ(current.text(), L""); // Orders is the buddy, so Text1 is not served
    EXPECT_HR(S_OK, engine->get_Text(current.put()));
    EXPECT_EQ(current.text(), L"abc");
}

TEST(FillaheadObject, AnAutomationErrorArrivesAsItsHResultWithItsDescription) {
    const ComPtr<_Fillahead> engine = NewEngine();
    ComPtr<IDispatch> recordsetDispatch;
    ASSERT_HR(S_OK, engine->get_Recordset(&recordsetDispatch));
    ComPtr<_FillaheadRecordset> recordset;
    ASSERT_HR(S_OK, recordsetDispatch.As(&recordset));
    ComPtr<_FillaheadFields> fields;
    ASSERT_HR(S_OK, recordset->get_Fields(&fields));
    const Bstr field(L"SavedStringField");
    ASSERT_HR(S_OK, fields->Append(field.get(), 8, 255, -1));
    Variant missing;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
    ASSERT_HR(S_OK, recordset->Open(*missing));
    const Bstr unknown(L"NoSuchField");
    ASSERT_HR(S_OK, engine->put_BoundColumn(unknown.get()));

    const std::wstring itemNotFound = L"Item cannot be found in the collection corresponding to "
                                      L"the requested name or ordinal.";
    Bstr text;
    SetErrorInfo(0, nullptr);
    EXPECT_HR(0x800A0CC1, engine->get_BoundText(text.put())); // 3265
    EXPECT_EQ(ErrorDescription(), itemNotFound);

    Variant result;
    const DispatchResult byName =
        InvokeName(engine.Get(), L"BoundText", DISPATCH_PROPERTYGET, {}, result.get());
    EXPECT_HR(DISP_E_EXCEPTION, byName.hr);
    EXPECT_HR(0x800A0CC1, byName.scode);
    EXPECT_EQ(byName.description, itemNotFound);

    // A missing out pointer is the caller's mistake, reported as such.
    EXPECT_HR(E_POINTER, engine->get_MaxDisplayRows(nullptr));
    EXPECT_HR(E_POINTER, engine->OnKeyDown(nullptr, nullptr));
}

} // namespace
} // namespace fillahead::library::testing
