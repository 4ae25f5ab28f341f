// FillaheadControlObject: the COM class FillaheadControl
// (FillaheadLib.FillaheadControl), the ActiveX control a developer drops on
// a form. It wraps one portable fillahead::FillaheadControl and gives it the
// container through the client site (library/SiteContainer.h), real windows,
// a real timer and the thread keyboard hook.
//
// What a container sees, by file:
// - ControlObject.cpp: _FillaheadControl (dual; failures as the portable
//   control's members decide), the events __FillaheadControl (DISPIDs 1 to
//   6, Cancel by reference; none while the container freezes events),
//   IProvideClassInfo2, ISpecifyPropertyPages (FillaheadPage),
//   ISupportErrorInfo;
// - ControlOleObject.cpp: IOleObject, IOleControl (a change of the ambient
//   UserMode starts or stops tracking), IOleInPlaceObject and
//   IOleInPlaceActiveObject (a child window that shows the design-time
//   picture and is hidden at run time);
// - ControlView.cpp: IViewObject2, the 24 by 31 picture at design time and
//   nothing at run time (OLEMISC_INVISIBLEATRUNTIME);
// - ControlPersistence.cpp: IPersistStreamInit, IPersistPropertyBag and
//   IPersistStorage over the portable lifecycle (InitProperties,
//   ReadProperties, WriteProperties); the engine nested in the container's
//   bag as an object, or as its stream's bytes where the bag takes no
//   objects (library/ControlPersistence.h).
//
// The control starts tracking once it has both its settings (InitNew or
// Load) and a site; a container that closes it or takes its site away stops
// the passes and lets go of the form, which holds the site that holds the
// control. The portable control's Terminate runs with the last reference.
#pragma once

#include <windows.h>

#include "control/FillaheadControl.h"
#include "library/ComObject.h"
#include "library/ConnectionPoint.h"
#include "library/Dispatch.h"
#include "library/ErrorInfo.h"
#include "library/RecordsetObject.h"
#include "library/SiteContainer.h"
#include "library/generated/FillaheadLib.h"
#include "platform/win32/Handles.h"

#include <ocidl.h>
#include <oleidl.h>

#include <memory>

namespace fillahead::library {

// The OLEMISC flags of the control (IOleObject::GetMiscStatus and the
// registry's MiscStatus): invisible at run time, its site set before its
// settings, activated from the inside out, never linked into.
inline constexpr DWORD kControlMiscStatus = OLEMISC_INVISIBLEATRUNTIME |
                                            OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                                            OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;

// The class of FillaheadPage, the control's property page.
const CLSID& PropertyPageClsid();

class FillaheadControlObject final
    : public ComObject<Dispatch<_FillaheadControl>, ConnectionPointContainer,
                       ProvideClassInfo<CLSID_FillaheadControl, DIID___FillaheadControl>,
                       IOleObject, IOleControl, IOleInPlaceObject, IOleInPlaceActiveObject,
                       IViewObject2, IPersistStreamInit, IPersistPropertyBag, IPersistStorage,
                       ISpecifyPropertyPages, ISupportErrorInfo>,
      private fillahead::FillaheadControlEvents {
public:
    // The class factory's CreateInstance.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    FillaheadControlObject();
    ~FillaheadControlObject() override;

    // The portable control, for hosts inside this module (benchmarks).
    fillahead::FillaheadControl& Control() { return *control_; }

    // --- _FillaheadControl, in interface order ---
    HRESULT STDMETHODCALLTYPE get_PrivateBufferLocation(BSTR* Folder) override;
    HRESULT STDMETHODCALLTYPE put_PrivateBufferLocation(BSTR Folder) override;
    HRESULT STDMETHODCALLTYPE get_GlobalBufferLocation(BSTR* Folder) override;
    HRESULT STDMETHODCALLTYPE put_GlobalBufferLocation(BSTR Folder) override;
    HRESULT STDMETHODCALLTYPE get_PrivateBufferSize(LONG* Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_PrivateBufferSize(LONG Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_BufferUsage(BufferUsageEnum Usage) override;
    HRESULT STDMETHODCALLTYPE get_BufferUsage(BufferUsageEnum* Usage) override;
    HRESULT STDMETHODCALLTYPE get_GlobalBufferSize(LONG* Megabytes) override;
    HRESULT STDMETHODCALLTYPE put_GlobalBufferSize(LONG Megabytes) override;
    HRESULT STDMETHODCALLTYPE get_ControlGroupName(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_ControlGroupName(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_BuddyControl(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_BuddyControl(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE Abuot() override;
    HRESULT STDMETHODCALLTYPE SetParent(IDispatch* Parent) override;
    HRESULT STDMETHODCALLTYPE get_CaptureReturnKey(VARIANT_BOOL* Capture) override;
    HRESULT STDMETHODCALLTYPE put_CaptureReturnKey(VARIANT_BOOL Capture) override;
    HRESULT STDMETHODCALLTYPE get_ListField(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_ListField(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_BoundColumn(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE put_BoundColumn(BSTR Name) override;
    HRESULT STDMETHODCALLTYPE get_BoundText(BSTR* Text) override;
    HRESULT STDMETHODCALLTYPE get_Recordset(IDispatch** Recordset) override;
    HRESULT STDMETHODCALLTYPE putref_Recordset(IDispatch* Recordset) override;

    // --- IOleObject ---
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation,
                                           DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite,
                                     LONG index, HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* userType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // --- IOleControl ---
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ---
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // --- IViewObject2 ---
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                   DVTARGETDEVICE* device, HDC targetDevice, HDC draw,
                                   LPCRECTL bounds, LPCRECTL windowBounds,
                                   BOOL(STDMETHODCALLTYPE* keepDrawing)(ULONG_PTR),
                                   ULONG_PTR keepDrawingArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* device, HDC targetDevice,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                     DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                        LPSIZEL size) override;

    // --- IPersist, IPersistStreamInit, IPersistPropertyBag, IPersistStorage ---
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // --- ISpecifyPropertyPages ---
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // --- ISupportErrorInfo ---
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

protected:
    // IOleWindow and IViewObject, the bases no entry names.
    void* QueryExtra(REFIID iid) override;

private:
    template <typename Body>
    HRESULT call(Body&& body, const IID& iid = IID__FillaheadControl);
    template <typename T, typename Make>
    HRESULT get(T* out, Make&& make);
    // A setter: the container learns that there is something to save.
    template <typename Body>
    HRESULT put(Body&& body);

    // --- Lifecycle (ControlPersistence.cpp) ---
    // InitNew and Load each initialise once.
    HRESULT checkNotInitialised() const;
    void initialised();
    void loadStream(IStream& stream);
    void saveStream(IStream& stream);

    // --- Container (ControlOleObject.cpp) ---
    // Tracking as the site and the ambient UserMode now ask.
    void followContainer();
    // True while the form is being designed; a container that cannot tell
    // counts as a designer, as for the design-time size.
    bool designTime();
    // The portable control's Resize, once per change of size.
    void resized();
    // UserControl.Size: the size in twips, applied and told to the container.
    void applySize(float widthTwips, float heightTwips);
    HRESULT activateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);
    // The child window at position_, shown at design time only.
    bool createWindow(HWND parent);
    void showOrHideWindow();

    // --- Drawing (ControlView.cpp) ---
    void drawPicture(HDC dc, const RECT& bounds);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // --- The portable control's events ---
    void BeforeAddRecord(bool& Cancel) override;
    void BeforeSaveRecord() override;
    void AfterSaveRecord() override;
    void BeforeOpenRecordset(bool& Cancel) override;
    void BeforeSaveRecordset(bool& Cancel) override;
    void Change() override;
    void fire(DISPID member, VARIANT* arguments = nullptr, UINT count = 0) noexcept;
    void fireWithCancel(DISPID member, bool& cancel) noexcept;

    ConnectionPoint& events_;
    std::shared_ptr<SiteContainer> container_;
    std::shared_ptr<fillahead::FillaheadControl> control_;

    enum class Initialisation { None, InitNew, Loaded };
    Initialisation initialisation_ = Initialisation::None;
    bool dirty_ = false;
    int frozenEvents_ = 0;
    // Closed by the container: activating again resumes tracking.
    bool closed_ = false;

    // The size in HIMETRIC, the design-time size at first.
    SIZEL extent_;
    bool resizing_ = false;
    ComPtr<IOleAdviseHolder> oleAdvise_;
    ComPtr<IAdviseSink> viewAdvise_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;

    // In-place activation.
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    win32::UniqueWindow window_;
    RECT position_{};

    // IPersistStorage's storage, between Load or InitNew and HandsOffStorage.
    ComPtr<IStorage> storage_;

    RecordsetHandout recordsetHandout_;
};

template <typename Body>
HRESULT FillaheadControlObject::call(Body&& body, const IID& iid) {
    return ComBoundary({iid, L"FillaheadLib.FillaheadControl"}, std::forward<Body>(body));
}

template <typename T, typename Make>
HRESULT FillaheadControlObject::get(T* out, Make&& make) {
    return call([&] {
        T& target = OutParameter(out);
        target = T{};
        target = make();
    });
}

template <typename Body>
HRESULT FillaheadControlObject::put(Body&& body) {
    const HRESULT hr = call(std::forward<Body>(body));
    if (SUCCEEDED(hr)) {
        dirty_ = true;
    }
    return hr;
}

} // namespace fillahead::library
