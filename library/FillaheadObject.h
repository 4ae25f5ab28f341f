// FillaheadObject: the COM class Fillahead (FillaheadLib.Fillahead), a thin
// wrapper around one portable fillahead::Fillahead engine.
//
// - _Fillahead, dual: every member by vtable and by IDispatch name, its
//   arguments and results translated, the engine's AutomationErrors reported
//   through IErrorInfo.
// - __Fillahead, the default source (IConnectionPointContainer,
//   IProvideClassInfo2): the engine's events reach every connected sink;
//   Cancel goes out and comes back by reference.
// - IPersistStreamInit and IPersistPropertyBag: the engine's own
//   ReadProperties and WriteProperties, through a property bag adapter or the
//   stream layout of platform/PropertyBagStream.h. A load reads into a new
//   engine that replaces the old one only when it succeeded, so a failed load
//   leaves everything as it was.
//
// An engine that no container initialises (a script's CreateObject, a plain
// CoCreateInstance) gets its defaults (InitProperties) on first use, so the
// values a client sets stay as set. IsDirty follows the engine's change
// notices.
#pragma once

#include <windows.h>

#include "engine/Fillahead.h"
#include "library/ComObject.h"
#include "library/ConnectionPoint.h"
#include "library/Dispatch.h"
#include "library/ErrorInfo.h"
#include "library/RecordsetObject.h"
#include "library/generated/FillaheadLib.h"

#include <ocidl.h>

#include <memory>

namespace fillahead::library {

// The one place the library makes a portable engine, with the platform's
// services.
std::shared_ptr<fillahead::Fillahead> CreateEngine();

class FillaheadObject final
    : public ComObject<Dispatch<_Fillahead>, ConnectionPointContainer,
                       ProvideClassInfo<CLSID_Fillahead, DIID___Fillahead>, IPersistStreamInit,
                       IPersistPropertyBag, ISupportErrorInfo>,
      private fillahead::FillaheadEvents {
public:
    // The class factory's CreateInstance.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    FillaheadObject();
    ~FillaheadObject() override;

    // _Fillahead, in interface order.
    HRESULT STDMETHODCALLTYPE get_PrivateBufferLocation(BSTR* Folder) override;
    HRESULT STDMETHODCALLTYPE put_PrivateBufferLocation(BSTR Folder) override;
    HRESULT STDMETHODCALLTYPE get_GlobalBufferLocation(BSTR* Folder) override;
    HRESULT STDMETHODCALLTYPE put_GlobalBufferLocation(BSTR Folder) override;
    HRESULT STDMETHODCALLTYPE OnTextChange(BSTR NewText) override;
    HRESULT STDMETHODCALLTYPE OnKeyUp(short* KeyCode, short* Shift) override;
    HRESULT STDMETHODCALLTYPE OnKeyDown(short* KeyCode, short* Shift) override;
    HRESULT STDMETHODCALLTYPE OnControlChange(BSTR CurrentControlName, BSTR Text) override;
    HRESULT STDMETHODCALLTYPE CloseList() override;
    HRESULT STDMETHODCALLTYPE get_Alignment(FillaheadAlignmentConstants* Value) override;
    HRESULT STDMETHODCALLTYPE put_Alignment(FillaheadAlignmentConstants Value) override;
    HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* Value) override;
    HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR Value) override;
    HRESULT STDMETHODCALLTYPE get_Left(FLOAT* Value) override;
    HRESULT STDMETHODCALLTYPE put_Left(FLOAT Value) override;
    HRESULT STDMETHODCALLTYPE get_Top(FLOAT* Value) override;
    HRESULT STDMETHODCALLTYPE put_Top(FLOAT Value) override;
    HRESULT STDMETHODCALLTYPE get_Width(FLOAT* Value) override;
    HRESULT STDMETHODCALLTYPE put_Width(FLOAT Value) override;
    HRESULT STDMETHODCALLTYPE get_Height(FLOAT* Value) override;
    HRESULT STDMETHODCALLTYPE put_Height(FLOAT Value) override;
    HRESULT STDMETHODCALLTYPE get_CurrentControlName(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE get_Text(BSTR* Text) override;
    HRESULT STDMETHODCALLTYPE get_ControlGroupName(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_ControlGroupName(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_MaxDisplayRows(LONG* Rows) override;
    HRESULT STDMETHODCALLTYPE put_MaxDisplayRows(LONG Rows) override;
    HRESULT STDMETHODCALLTYPE get_PrivateBufferSize(LONG* Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_PrivateBufferSize(LONG Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_BufferUsage(BufferUsageEnum Usage) override;
    HRESULT STDMETHODCALLTYPE get_BufferUsage(BufferUsageEnum* Usage) override;
    HRESULT STDMETHODCALLTYPE get_GlobalBufferSize(LONG* Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_GlobalBufferSize(LONG Megabytes) override;
    HRESULT STDMETHODCALLTYPE get_BuddyControl(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_BuddyControl(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG* Window) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Visible) override;
    HRESULT STDMETHODCALLTYPE About() override;
    HRESULT STDMETHODCALLTYPE get_Recordset(IDispatch** Recordset) override;
    HRESULT STDMETHODCALLTYPE putref_Recordset(IDispatch* Recordset) override;
    HRESULT STDMETHODCALLTYPE get_ListField(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_ListField(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_BoundColumn(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_BoundColumn(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_BoundText(BSTR* Text) override;
    HRESULT STDMETHODCALLTYPE put_BoundText(BSTR Text) override;

    // IPersist, IPersistStreamInit and IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    // How the engine got its settings: not yet, its defaults on first use,
    // a container's InitNew, or a container's Load.
    enum class Initialisation { None, ByUse, InitNew, Loaded };

    template <typename Body>
    HRESULT call(Body&& body, const IID& iid = IID__Fillahead);
    template <typename T, typename Make>
    HRESULT get(T* out, Make&& make);

    // The engine, with its defaults if nothing initialised it yet.
    fillahead::Fillahead& engine();
    void attach(std::shared_ptr<fillahead::Fillahead> engine);
    void detach() noexcept;
    // Reads the settings into a new engine and takes it on success.
    void load(fillahead::PropertyBag& bag);
    HRESULT checkLoadAllowed() const;

    // The engine's events, passed on to the connected sinks.
    void TextChange(const fillahead::Text& NewText) override;
    void BeforeListShow() override;
    void BeforeChangeRecordset() override;
    void BeforeAddRecord(bool& Cancel) override;
    void BeforeSaveRecord() override;
    void AfterSaveRecord() override;
    void BeforeOpenRecordset(bool& Cancel) override;
    void BeforeSaveRecordset(bool& Cancel) override;
    void fire(DISPID member, VARIANT* arguments = nullptr, UINT count = 0) noexcept;
    void fireWithCancel(DISPID member, bool& cancel) noexcept;

    std::shared_ptr<fillahead::Fillahead> engine_;
    Initialisation initialisation_ = Initialisation::None;
    bool dirty_ = false;
    ConnectionPoint& events_;
    RecordsetHandout recordsetHandout_;
};

template <typename Body>
HRESULT FillaheadObject::call(Body&& body, const IID& iid) {
    return ComBoundary({iid, L"FillaheadLib.Fillahead"}, std::forward<Body>(body));
}

template <typename T, typename Make>
HRESULT FillaheadObject::get(T* out, Make&& make) {
    return call([&] {
        T& target = OutParameter(out);
        target = T{};
        target = make();
    });
}

} // namespace fillahead::library
