// The control as an OLE object in its container: the site, the verbs, the
// size, the ambient UserMode, and in-place activation with a child window
// that shows the design-time picture.
#include "library/ControlObject.h"
#include "library/Conversions.h"
#include "library/Owners.h"
#include "platform/AutomationError.h"

#include <olectl.h>

namespace fillahead::library {
namespace {

constexpr wchar_t kUserType[] = L"Fillahead type-ahead control";

int screenDpi(int axis) {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, axis) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

LONG himetricToPixels(LONG himetric, int axis) {
    return MulDiv(himetric, screenDpi(axis), 2540);
}

LONG pixelsToHimetric(LONG pixels, int axis) {
    return MulDiv(pixels, 2540, screenDpi(axis));
}

} // namespace

// --- Following the container ---

bool FillaheadControlObject::designTime() {
    return testIgnoringErrors([&] { return !container_->AmbientUserMode(); });
}

void FillaheadControlObject::followContainer() {
    // Tracking starts with both the settings and a site.
    if (initialisation_ == Initialisation::None) {
        return;
    }
    if (container_->Site() != nullptr) {
        control_->StartTracking();
    } else {
        control_->StopTracking();
    }
    showOrHideWindow();
}

void FillaheadControlObject::resized() {
    if (resizing_ || initialisation_ == Initialisation::None) {
        return;
    }
    resizing_ = true;
    control_->UserControl_Resize();
    resizing_ = false;
}

void FillaheadControlObject::applySize(float widthTwips, float heightTwips) {
    const SIZEL wanted{static_cast<LONG>(widthTwips * 2540.0f / 1440.0f + 0.5f),
                       static_cast<LONG>(heightTwips * 2540.0f / 1440.0f + 0.5f)};
    const bool changed = wanted.cx != extent_.cx || wanted.cy != extent_.cy;
    extent_ = wanted;
    if (inPlaceSite_) {
        RECT rect = position_;
        rect.right = rect.left + himetricToPixels(extent_.cx, LOGPIXELSX);
        rect.bottom = rect.top + himetricToPixels(extent_.cy, LOGPIXELSY);
        if (!EqualRect(&rect, &position_)) {
            inPlaceSite_->OnPosRectChange(&rect);
        }
    } else if (changed && container_->Site() != nullptr) {
        container_->Site()->RequestNewObjectLayout();
    }
}

// --- IOleObject ---

HRESULT FillaheadControlObject::SetClientSite(IOleClientSite* site) {
    if (site == container_->Site()) {
        return S_OK;
    }
    if (site == nullptr) {
        InPlaceDeactivate();
    }
    container_->SetSite(site);
    closed_ = false;
    followContainer();
    if (site != nullptr) {
        // A designer shows the control at its design-time size at once.
        resized();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) {
        return E_POINTER;
    }
    *site = container_->Site();
    if (*site != nullptr) {
        (*site)->AddRef();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT FillaheadControlObject::Close(DWORD saveOption) {
    if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && dirty_ &&
        container_->Site() != nullptr) {
        container_->Site()->SaveObject();
    }
    InPlaceDeactivate();
    // The form may be going: let go of it now rather than at the last release.
    control_->StopTracking();
    container_->ForgetParent();
    closed_ = true;
    if (oleAdvise_) {
        oleAdvise_->SendOnClose();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::GetClipboardData(DWORD, IDataObject** data) {
    if (data != nullptr) {
        *data = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG,
                                       HWND parent, LPCRECT position) {
    IOleClientSite* site = activeSite != nullptr ? activeSite : container_->Site();
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return activateInPlace(site, parent, position);
    case OLEIVERB_HIDE:
        return InPlaceDeactivate();
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    case OLEIVERB_PROPERTIES: {
        IUnknown* self = Identity();
        const CLSID page = PropertyPageClsid();
        return OleCreatePropertyFrame(parent, 0, 0, kUserType, 1, &self, 1,
                                      const_cast<CLSID*>(&page), LOCALE_USER_DEFAULT, 0, nullptr);
    }
    default:
        if (verb > 0) {
            // An unknown verb of the object's own range does what the
            // primary verb does.
            const HRESULT hr = activateInPlace(site, parent, position);
            return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
}

HRESULT FillaheadControlObject::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs == nullptr) {
        return E_POINTER;
    }
    return OleRegEnumVerbs(CLSID_FillaheadControl, verbs);
}

HRESULT FillaheadControlObject::Update() {
    return S_OK;
}

HRESULT FillaheadControlObject::IsUpToDate() {
    return S_OK;
}

HRESULT FillaheadControlObject::GetUserClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = CLSID_FillaheadControl;
    return S_OK;
}

HRESULT FillaheadControlObject::GetUserType(DWORD form, LPOLESTR* userType) {
    if (userType == nullptr) {
        return E_POINTER;
    }
    if (SUCCEEDED(OleRegGetUserType(CLSID_FillaheadControl, form, userType))) {
        return S_OK;
    }
    // Without registration (a side-by-side manifest), the name we know.
    const std::size_t bytes = sizeof kUserType;
    *userType = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (*userType == nullptr) {
        return E_OUTOFMEMORY;
    }
    memcpy(*userType, kUserType, bytes);
    return S_OK;
}

HRESULT FillaheadControlObject::SetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    extent_ = *size;
    // At design time the control takes its own size back.
    resized();
    return S_OK;
}

HRESULT FillaheadControlObject::GetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    *size = extent_;
    return S_OK;
}

HRESULT FillaheadControlObject::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!oleAdvise_) {
        const HRESULT hr = CreateOleAdviseHolder(&oleAdvise_);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return oleAdvise_->Advise(sink, connection);
}

HRESULT FillaheadControlObject::Unadvise(DWORD connection) {
    return oleAdvise_ ? oleAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT FillaheadControlObject::EnumAdvise(IEnumSTATDATA** advises) {
    if (advises == nullptr) {
        return E_POINTER;
    }
    *advises = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(advises) : S_OK;
}

HRESULT FillaheadControlObject::GetMiscStatus(DWORD, DWORD* status) {
    if (status == nullptr) {
        return E_POINTER;
    }
    *status = kControlMiscStatus;
    return S_OK;
}

HRESULT FillaheadControlObject::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// --- IOleControl ---

HRESULT FillaheadControlObject::GetControlInfo(CONTROLINFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    // No mnemonics: the control takes no keys of its own.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT FillaheadControlObject::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::OnAmbientPropertyChange(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
        // The form switched between design and run: tracking follows, and a
        // designer gets the design-time size.
        followContainer();
        resized();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::FreezeEvents(BOOL freeze) {
    if (freeze) {
        ++frozenEvents_;
    } else if (frozenEvents_ > 0) {
        --frozenEvents_;
    }
    return S_OK;
}

// --- In-place activation ---

HRESULT FillaheadControlObject::activateInPlace(IOleClientSite* site, HWND parent,
                                                LPCRECT position) {
    if (inPlaceSite_) {
        if (position != nullptr) {
            SetObjectRects(position, position);
        }
        return S_OK;
    }
    if (site == nullptr) {
        return E_UNEXPECTED;
    }
    ComPtr<IOleInPlaceSite> inPlace;
    HRESULT hr =
        site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    if (inPlace->CanInPlaceActivate() != S_OK) {
        return E_FAIL;
    }
    hr = inPlace->OnInPlaceActivate();
    if (FAILED(hr)) {
        return hr;
    }
    HWND container = parent;
    inPlace->GetWindow(&container);
    RECT where = position != nullptr ? *position : RECT{};
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    RECT given{};
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &given, &clip, &frameInfo))) {
        if (frameInfo.haccel != nullptr) {
            // The frame's accelerator table is ours to free.
            DestroyAcceleratorTable(frameInfo.haccel);
        }
        where = given;
    }
    inPlaceSite_ = inPlace;
    position_ = where;
    if (!createWindow(container)) {
        inPlaceSite_.Reset();
        inPlace->OnInPlaceDeactivate();
        return E_OUTOFMEMORY;
    }
    if (closed_) {
        closed_ = false;
        followContainer();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::InPlaceDeactivate() {
    if (!inPlaceSite_) {
        return S_OK;
    }
    window_.reset();
    const ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT FillaheadControlObject::UIDeactivate() {
    return S_OK;
}

HRESULT FillaheadControlObject::SetObjectRects(LPCRECT position, LPCRECT) {
    if (position == nullptr) {
        return E_POINTER;
    }
    const bool resizedNow = position->right - position->left != position_.right - position_.left ||
                            position->bottom - position->top != position_.bottom - position_.top;
    position_ = *position;
    if (window_) {
        MoveWindow(window_.get(), position_.left, position_.top, position_.right - position_.left,
                   position_.bottom - position_.top, TRUE);
    }
    if (resizedNow) {
        extent_ = {pixelsToHimetric(position_.right - position_.left, LOGPIXELSX),
                   pixelsToHimetric(position_.bottom - position_.top, LOGPIXELSY)};
        resized();
    }
    return S_OK;
}

HRESULT FillaheadControlObject::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = window_.get();
    return window_ ? S_OK : E_FAIL;
}

HRESULT FillaheadControlObject::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

HRESULT FillaheadControlObject::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT FillaheadControlObject::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT FillaheadControlObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT FillaheadControlObject::EnableModeless(BOOL) {
    return S_OK;
}

} // namespace fillahead::library
