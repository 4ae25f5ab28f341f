#include "library/FillaheadObject.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"
#include "library/RecordsetObject.h"

namespace fillahead::library {
namespace {

// Event DISPIDs of __Fillahead.
constexpr DISPID kTextChange = 1;
constexpr DISPID kBeforeListShow = 2;
constexpr DISPID kBeforeAddRecord = 3;
constexpr DISPID kBeforeSaveRecord = 4;
constexpr DISPID kAfterSaveRecord = 5;
constexpr DISPID kBeforeOpenRecordset = 6;
constexpr DISPID kBeforeSaveRecordset = 7;
constexpr DISPID kBeforeChangeRecordset = 8;

} // namespace

std::shared_ptr<fillahead::Fillahead> CreateEngine() {
    return fillahead::Fillahead::Create();
}

HRESULT FillaheadObject::Create(REFIID iid, void** out) noexcept {
    return CreateAndQuery<FillaheadObject>(iid, out);
}

FillaheadObject::FillaheadObject() : events_(AddConnectionPoint(DIID___Fillahead)) {
    attach(CreateEngine());
}

FillaheadObject::~FillaheadObject() {
    detach();
}

void FillaheadObject::attach(std::shared_ptr<fillahead::Fillahead> engine) {
    detach();
    engine_ = std::move(engine);
    engine_->Advise(this);
    engine_->SetPropertyChangedHandler([this](const fillahead::Text&) { dirty_ = true; });
}

void FillaheadObject::detach() noexcept {
    if (engine_) {
        engine_->Unadvise(this);
        engine_->SetPropertyChangedHandler(nullptr);
        engine_.reset();
    }
    recordsetHandout_.Reset();
}

fillahead::Fillahead& FillaheadObject::engine() {
    if (initialisation_ == Initialisation::None) {
        engine_->InitProperties();
        initialisation_ = Initialisation::ByUse;
        dirty_ = false;
    }
    return *engine_;
}

// --- _Fillahead ---

HRESULT FillaheadObject::get_PrivateBufferLocation(BSTR* Folder) {
    return get(Folder, [&] { return ToBstr(engine().PrivateBufferLocation()); });
}

HRESULT FillaheadObject::put_PrivateBufferLocation(BSTR Folder) {
    return call([&] { engine().LetPrivateBufferLocation(TextOf(Folder)); });
}

HRESULT FillaheadObject::get_GlobalBufferLocation(BSTR* Folder) {
    return get(Folder, [&] { return ToBstr(engine().GlobalBufferLocation()); });
}

HRESULT FillaheadObject::put_GlobalBufferLocation(BSTR Folder) {
    return call([&] { engine().LetGlobalBufferLocation(TextOf(Folder)); });
}

HRESULT FillaheadObject::OnTextChange(BSTR NewText) {
    return call([&] { engine().OnTextChange(TextOf(NewText)); });
}

HRESULT FillaheadObject::OnKeyUp(short* KeyCode, short* Shift) {
    return call([&] { engine().OnKeyUp(OutParameter(KeyCode), OutParameter(Shift)); });
}

HRESULT FillaheadObject::OnKeyDown(short* KeyCode, short* Shift) {
    return call([&] { engine().OnKeyDown(OutParameter(KeyCode), OutParameter(Shift)); });
}

HRESULT FillaheadObject::OnControlChange(BSTR CurrentControlName, BSTR Text) {
    return call([&] { engine().OnControlChange(TextOf(CurrentControlName), TextOf(Text)); });
}

HRESULT FillaheadObject::CloseList() {
    return call([&] { engine().CloseList(); });
}

HRESULT FillaheadObject::get_Alignment(FillaheadAlignmentConstants* Value) {
    return get(Value,
               [&] { return static_cast<FillaheadAlignmentConstants>(engine().Alignment()); });
}

HRESULT FillaheadObject::put_Alignment(FillaheadAlignmentConstants Value) {
    return call([&] { engine().LetAlignment(static_cast<std::int32_t>(Value)); });
}

HRESULT FillaheadObject::get_BackColor(OLE_COLOR* Value) {
    return get(Value, [&] { return static_cast<OLE_COLOR>(engine().BackColor()); });
}

HRESULT FillaheadObject::put_BackColor(OLE_COLOR Value) {
    return call([&] { engine().LetBackColor(static_cast<std::uint32_t>(Value)); });
}

HRESULT FillaheadObject::get_Left(FLOAT* Value) {
    return get(Value, [&] { return engine().Left(); });
}

HRESULT FillaheadObject::put_Left(FLOAT Value) {
    return call([&] { engine().LetLeft(Value); });
}

HRESULT FillaheadObject::get_Top(FLOAT* Value) {
    return get(Value, [&] { return engine().Top(); });
}

HRESULT FillaheadObject::put_Top(FLOAT Value) {
    return call([&] { engine().LetTop(Value); });
}

HRESULT FillaheadObject::get_Width(FLOAT* Value) {
    return get(Value, [&] { return engine().Width(); });
}

HRESULT FillaheadObject::put_Width(FLOAT Value) {
    return call([&] { engine().LetWidth(Value); });
}

HRESULT FillaheadObject::get_Height(FLOAT* Value) {
    return get(Value, [&] { return engine().Height(); });
}

HRESULT FillaheadObject::put_Height(FLOAT Value) {
    return call([&] { engine().LetHeight(Value); });
}

HRESULT FillaheadObject::get_CurrentControlName(BSTR* Name) {
    return get(Name, [&] { return ToBstr(engine().CurrentControlName()); });
}

HRESULT FillaheadObject::get_Text(BSTR* Text) {
    return get(Text, [&] { return ToBstr(engine().Text()); });
}

HRESULT FillaheadObject::get_ControlGroupName(BSTR* Name) {
    return get(Name, [&] { return ToBstr(engine().ControlGroupName()); });
}

HRESULT FillaheadObject::put_ControlGroupName(BSTR Name) {
    return call([&] { engine().LetControlGroupName(TextOf(Name)); });
}

HRESULT FillaheadObject::get_MaxDisplayRows(LONG* Rows) {
    return get(Rows, [&] { return LONG{engine().MaxDisplayRows()}; });
}

HRESULT FillaheadObject::put_MaxDisplayRows(LONG Rows) {
    return call([&] { engine().LetMaxDisplayRows(Rows); });
}

HRESULT FillaheadObject::get_PrivateBufferSize(LONG* Megabytes) {
    return get(Megabytes, [&] { return LONG{engine().PrivateBufferSize()}; });
}

HRESULT FillaheadObject::put_PrivateBufferSize(LONG Megabytes) {
    return call([&] { engine().LetPrivateBufferSize(Megabytes); });
}

HRESULT FillaheadObject::put_BufferUsage(BufferUsageEnum Usage) {
    return call([&] { engine().LetBufferUsage(static_cast<std::int32_t>(Usage)); });
}

HRESULT FillaheadObject::get_BufferUsage(BufferUsageEnum* Usage) {
    return get(Usage, [&] { return static_cast<BufferUsageEnum>(engine().BufferUsage()); });
}

HRESULT FillaheadObject::get_GlobalBufferSize(LONG* Megabytes) {
    return get(Megabytes, [&] { return LONG{engine().GlobalBufferSize()}; });
}

HRESULT FillaheadObject::put_GlobalBufferSize(LONG Megabytes) {
    return call([&] { engine().LetGlobalBufferSize(Megabytes); });
}

HRESULT FillaheadObject::get_BuddyControl(BSTR* Name) {
    return get(Name, [&] { return ToBstr(engine().BuddyControl()); });
}

HRESULT FillaheadObject::put_BuddyControl(BSTR Name) {
    return call([&] { engine().LetBuddyControl(TextOf(Name)); });
}

HRESULT FillaheadObject::get_hWnd(LONG* Window) {
    return get(Window, [&] { return LONG{engine().hWnd()}; });
}

HRESULT FillaheadObject::get_Visible(VARIANT_BOOL* Visible) {
    return get(Visible, [&] { return ToVariantBool(engine().Visible()); });
}

HRESULT FillaheadObject::About() {
    return call([&] { engine().About(); });
}

HRESULT FillaheadObject::get_Recordset(IDispatch** Recordset) {
    return get(Recordset, [&] { return recordsetHandout_.HandOut(engine().Recordset()); });
}

HRESULT FillaheadObject::putref_Recordset(IDispatch* Recordset) {
    return call([&] { engine().SetRecordset(RecordsetOf(Recordset)); });
}

HRESULT FillaheadObject::get_ListField(BSTR* Name) {
    return get(Name, [&] { return ToBstr(engine().ListField()); });
}

HRESULT FillaheadObject::put_ListField(BSTR Name) {
    return call([&] { engine().LetListField(TextOf(Name)); });
}

HRESULT FillaheadObject::get_BoundColumn(BSTR* Name) {
    return get(Name, [&] { return ToBstr(engine().BoundColumn()); });
}

HRESULT FillaheadObject::put_BoundColumn(BSTR Name) {
    return call([&] { engine().LetBoundColumn(TextOf(Name)); });
}

HRESULT FillaheadObject::get_BoundText(BSTR* Text) {
    return get(Text, [&] { return ToBstr(engine().BoundText()); });
}

HRESULT FillaheadObject::put_BoundText(BSTR Text) {
    return call([&] { engine().LetBoundText(TextOf(Text)); });
}

// --- ISupportErrorInfo ---

HRESULT FillaheadObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__Fillahead || iid == IID_IPersistStreamInit || iid == IID_IPersistPropertyBag
               ? S_OK
               : S_FALSE;
}

// --- The engine's events ---

void FillaheadObject::fire(DISPID member, VARIANT* arguments, UINT count) noexcept {
    // A sink may drop the last reference to this object.
    const ComPtr<IUnknown> keepAlive(Identity());
    events_.Fire(member, arguments, count);
}

void FillaheadObject::fireWithCancel(DISPID member, bool& cancel) noexcept {
    VARIANT_BOOL value = ToVariantBool(cancel);
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&argument) = &value;
    fire(member, &argument, 1);
    cancel = value != VARIANT_FALSE;
}

void FillaheadObject::TextChange(const fillahead::Text& NewText) {
    if (!events_.HasSinks()) {
        return;
    }
    UniqueBstr text(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(NewText.data()),
                                      static_cast<UINT>(NewText.size())));
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = text.get();
    fire(kTextChange, &argument, 1);
}

void FillaheadObject::BeforeListShow() {
    fire(kBeforeListShow);
}

void FillaheadObject::BeforeChangeRecordset() {
    fire(kBeforeChangeRecordset);
}

void FillaheadObject::BeforeAddRecord(bool& Cancel) {
    fireWithCancel(kBeforeAddRecord, Cancel);
}

void FillaheadObject::BeforeSaveRecord() {
    fire(kBeforeSaveRecord);
}

void FillaheadObject::AfterSaveRecord() {
    fire(kAfterSaveRecord);
}

void FillaheadObject::BeforeOpenRecordset(bool& Cancel) {
    fireWithCancel(kBeforeOpenRecordset, Cancel);
}

void FillaheadObject::BeforeSaveRecordset(bool& Cancel) {
    fireWithCancel(kBeforeSaveRecordset, Cancel);
}

} // namespace fillahead::library
