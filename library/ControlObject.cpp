// The control's automation face: its members, its events, its class
// information and its property page.
#include "library/ControlObject.h"

#include "library/Conversions.h"
#include "library/DispatchHostObject.h"
#include "library/Identifiers.h"
#include "library/RecordsetObject.h"
#include "platform/PlatformServices.h"
#include "platform/win32/Win32HostWindows.h"

namespace fillahead::library {
namespace {

// Event DISPIDs of __FillaheadControl.
constexpr DISPID kBeforeAddRecord = 1;
constexpr DISPID kBeforeSaveRecord = 2;
constexpr DISPID kAfterSaveRecord = 3;
constexpr DISPID kBeforeOpenRecordset = 4;
constexpr DISPID kBeforeSaveRecordset = 5;
constexpr DISPID kChange = 6;

// The design-time size, 360 by 480 twips, in HIMETRIC.
constexpr LONG twipsToHimetric(float twips) {
    return static_cast<LONG>(twips * 2540.0f / 1440.0f + 0.5f);
}

} // namespace

const CLSID& PropertyPageClsid() {
    return CLSID_FillaheadPage;
}

HRESULT FillaheadControlObject::Create(REFIID iid, void** out) noexcept {
    return CreateAndQuery<FillaheadControlObject>(iid, out);
}

FillaheadControlObject::FillaheadControlObject()
    : events_(AddConnectionPoint(DIID___FillaheadControl)),
      container_(std::make_shared<SiteContainer>(
          [this](float width, float height) { applySize(width, height); })),
      extent_{twipsToHimetric(fillahead::kDesignWidthTwips),
              twipsToHimetric(fillahead::kDesignHeightTwips)} {
    fillahead::ControlServices services;
    services.platform = fillahead::DefaultPlatformServices();
    services.container = container_;
    services.windows = std::make_shared<win32::Win32HostWindows>();
    services.keyboardHooks = std::make_shared<win32::Win32KeyboardHooks>();
    control_ = std::make_shared<fillahead::FillaheadControl>(std::move(services));
    control_->Advise(this);
    control_->UserControl_Initialize();
}

FillaheadControlObject::~FillaheadControlObject() {
    InPlaceDeactivate();
    control_->Unadvise(this);
    control_->UserControl_Terminate();
    container_->Detach();
    events_.DisconnectAll();
}

// --- _FillaheadControl ---

HRESULT FillaheadControlObject::get_PrivateBufferLocation(BSTR* Folder) {
    return get(Folder, [&] { return ToBstr(control_->PrivateBufferLocation()); });
}

HRESULT FillaheadControlObject::put_PrivateBufferLocation(BSTR Folder) {
    return put([&] { control_->LetPrivateBufferLocation(TextOf(Folder)); });
}

HRESULT FillaheadControlObject::get_GlobalBufferLocation(BSTR* Folder) {
    return get(Folder, [&] { return ToBstr(control_->GlobalBufferLocation()); });
}

HRESULT FillaheadControlObject::put_GlobalBufferLocation(BSTR Folder) {
    return put([&] { control_->LetGlobalBufferLocation(TextOf(Folder)); });
}

HRESULT FillaheadControlObject::get_PrivateBufferSize(LONG* Megabytes) {
    return get(Megabytes, [&] { return LONG{control_->PrivateBufferSize()}; });
}

HRESULT FillaheadControlObject::put_PrivateBufferSize(LONG Megabytes) {
    return put([&] { control_->LetPrivateBufferSize(Megabytes); });
}

HRESULT FillaheadControlObject::put_BufferUsage(BufferUsageEnum Usage) {
    return put([&] { control_->LetBufferUsage(static_cast<std::int32_t>(Usage)); });
}

HRESULT FillaheadControlObject::get_BufferUsage(BufferUsageEnum* Usage) {
    return get(Usage, [&] { return static_cast<BufferUsageEnum>(control_->BufferUsage()); });
}

HRESULT FillaheadControlObject::get_GlobalBufferSize(LONG* Megabytes) {
    return get(Megabytes, [&] { return LONG{control_->GlobalBufferSize()}; });
}

HRESULT FillaheadControlObject::put_GlobalBufferSize(LONG Megabytes) {
    return put([&] { control_->LetGlobalBufferSize(Megabytes); });
}

HRESULT FillaheadControlObject::get_ControlGroupName(BSTR* Name) {
    return get(Name, [&] { return ToBstr(control_->ControlGroupName()); });
}

HRESULT FillaheadControlObject::put_ControlGroupName(BSTR Name) {
    return put([&] { control_->LetControlGroupName(TextOf(Name)); });
}

HRESULT FillaheadControlObject::get_BuddyControl(BSTR* Name) {
    return get(Name, [&] { return ToBstr(control_->BuddyControl()); });
}

HRESULT FillaheadControlObject::put_BuddyControl(BSTR Name) {
    return put([&] { control_->LetBuddyControl(TextOf(Name)); });
}

HRESULT FillaheadControlObject::Abuot() {
    return call([&] { control_->Abuot(); });
}

HRESULT FillaheadControlObject::SetParent(IDispatch* Parent) {
    return call([&] {
        std::shared_ptr<HostObject> parent;
        ignoreErrors([&] { parent = DispatchHostObject::Of(Parent); });
        control_->SetParent(std::move(parent));
    });
}

HRESULT FillaheadControlObject::get_CaptureReturnKey(VARIANT_BOOL* Capture) {
    return get(Capture, [&] { return ToVariantBool(control_->CaptureReturnKey()); });
}

HRESULT FillaheadControlObject::put_CaptureReturnKey(VARIANT_BOOL Capture) {
    return put([&] { control_->LetCaptureReturnKey(Capture != VARIANT_FALSE); });
}

HRESULT FillaheadControlObject::get_ListField(BSTR* Name) {
    return get(Name, [&] { return ToBstr(control_->ListField()); });
}

HRESULT FillaheadControlObject::put_ListField(BSTR Name) {
    return put([&] { control_->LetListField(TextOf(Name)); });
}

HRESULT FillaheadControlObject::get_BoundColumn(BSTR* Name) {
    return get(Name, [&] { return ToBstr(control_->BoundColumn()); });
}

HRESULT FillaheadControlObject::put_BoundColumn(BSTR Name) {
    return put([&] { control_->LetBoundColumn(TextOf(Name)); });
}

HRESULT FillaheadControlObject::get_BoundText(BSTR* Text) {
    return get(Text, [&] { return ToBstr(control_->BoundText()); });
}

HRESULT FillaheadControlObject::get_Recordset(IDispatch** Recordset) {
    return get(Recordset, [&] { return recordsetHandout_.HandOut(control_->Recordset()); });
}

HRESULT FillaheadControlObject::putref_Recordset(IDispatch* Recordset) {
    // As for every setter of the control, a failure is swallowed.
    return call([&] { ignoreErrors([&] { control_->SetRecordset(RecordsetOf(Recordset)); }); });
}

// --- ISpecifyPropertyPages ---

HRESULT FillaheadControlObject::GetPages(CAUUID* pages) {
    if (pages == nullptr) {
        return E_POINTER;
    }
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (pages->pElems == nullptr) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = PropertyPageClsid();
    return S_OK;
}

// --- ISupportErrorInfo ---

HRESULT FillaheadControlObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__FillaheadControl || iid == IID_IPersistStreamInit ||
                   iid == IID_IPersistPropertyBag || iid == IID_IPersistStorage
               ? S_OK
               : S_FALSE;
}

void* FillaheadControlObject::QueryExtra(REFIID iid) {
    if (iid == IID_IOleWindow) {
        return static_cast<IOleWindow*>(static_cast<IOleInPlaceObject*>(this));
    }
    if (iid == IID_IViewObject) {
        return static_cast<IViewObject*>(this);
    }
    return nullptr;
}

// --- The portable control's events ---

void FillaheadControlObject::fire(DISPID member, VARIANT* arguments, UINT count) noexcept {
    // A container that froze events (a form that is loading) gets none.
    if (frozenEvents_ > 0) {
        return;
    }
    // A sink may drop the last reference to this object.
    const ComPtr<IUnknown> keepAlive(Identity());
    events_.Fire(member, arguments, count);
}

void FillaheadControlObject::fireWithCancel(DISPID member, bool& cancel) noexcept {
    VARIANT_BOOL value = ToVariantBool(cancel);
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&argument) = &value;
    fire(member, &argument, 1);
    cancel = value != VARIANT_FALSE;
}

void FillaheadControlObject::BeforeAddRecord(bool& Cancel) {
    fireWithCancel(kBeforeAddRecord, Cancel);
}

void FillaheadControlObject::BeforeSaveRecord() {
    fire(kBeforeSaveRecord);
}

void FillaheadControlObject::AfterSaveRecord() {
    fire(kAfterSaveRecord);
}

void FillaheadControlObject::BeforeOpenRecordset(bool& Cancel) {
    fireWithCancel(kBeforeOpenRecordset, Cancel);
}

void FillaheadControlObject::BeforeSaveRecordset(bool& Cancel) {
    fireWithCancel(kBeforeSaveRecordset, Cancel);
}

void FillaheadControlObject::Change() {
    fire(kChange);
}

} // namespace fillahead::library
