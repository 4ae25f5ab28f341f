#include "tests/hosts/TestForm.h"

#include <olectl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace fillahead::hosts {
namespace {

void check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        char code[16];
        snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        throw std::runtime_error(std::string(what) + " failed: " + code);
    }
}

// Member numbers of the form object, as its type information gives them.
enum FormMember : DISPID {
    kName = 1,
    kActiveControl = 2,
    kHwnd = 3,
    kLeft = 4,
    kTop = 5,
    kWidth = 6,
    kHeight = 7,
};
constexpr std::pair<const wchar_t*, DISPID> kFormMembers[] = {
    {L"Name", kName},     {L"ActiveControl", kActiveControl},
    {L"hWnd", kHwnd},     {L"Left", kLeft},
    {L"Top", kTop},       {L"Width", kWidth},
    {L"Height", kHeight},
};

constexpr DISPID kExtenderName = static_cast<DISPID>(0x80010000);
constexpr DISPID kExtenderParent = static_cast<DISPID>(0x80010008);

float twips(LONG pixels) {
    return static_cast<float>(pixels * 15);
}

// The form as its controls see it.
class FormObject final : public TestComBase<IDispatch> {
public:
    explicit FormObject(TestForm& form) : form_(&form) {}
    void Detach() { form_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = form_ != nullptr ? form_->TypeInfo(DIID__TestForm) : nullptr;
        return *info != nullptr ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        for (const auto& [name, id] : kFormMembers) {
            if (count == 1 && _wcsicmp(name, names[0]) == 0) {
                ids[0] = id;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (form_ == nullptr) {
            return E_UNEXPECTED;
        }
        if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
            return DISP_E_MEMBERNOTFOUND;
        }
        VariantInit(result);
        switch (member) {
        case kName:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(form_->Name().c_str());
            return S_OK;
        case kActiveControl: {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = nullptr;
            if (StandInControl* active = form_->Active()) {
                active->AddRef();
                V_DISPATCH(result) = active;
            }
            return S_OK;
        }
        case kHwnd:
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(form_->Window()));
            return S_OK;
        case kLeft:
        case kTop:
        case kWidth:
        case kHeight: {
            RECT rect{};
            GetWindowRect(form_->Window(), &rect);
            V_VT(result) = VT_R4;
            V_R4(result) = member == kLeft    ? twips(rect.left)
                           : member == kTop   ? twips(rect.top)
                           : member == kWidth ? twips(rect.right - rect.left)
                                              : twips(rect.bottom - rect.top);
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

protected:
    void* Find(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__TestForm
                   ? static_cast<IDispatch*>(this)
                   : nullptr;
    }

private:
    TestForm* form_;
};

// What the form puts around a control: its name and its parent.
class Extender final : public TestComBase<IDispatch> {
public:
    Extender(std::wstring name, IDispatch* parent) : name_(std::move(name)), parent_(parent) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count == 1 && _wcsicmp(names[0], L"Name") == 0) {
            ids[0] = kExtenderName;
            return S_OK;
        }
        if (count == 1 && _wcsicmp(names[0], L"Parent") == 0) {
            ids[0] = kExtenderParent;
            return S_OK;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        VariantInit(result);
        if (member == kExtenderName) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(name_.c_str());
            return S_OK;
        }
        if (member == kExtenderParent) {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = parent_.Get();
            parent_->AddRef();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    void* Find(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this)
                                                           : nullptr;
    }

private:
    std::wstring name_;
    ComPtr<IDispatch> parent_;
};

} // namespace

// The site of one control on the form.
class ControlSite final
    : public TestComBase<IOleClientSite, IOleControlSite, IOleInPlaceSite, IDispatch> {
public:
    ControlSite(TestForm& form, const std::wstring& name)
        : form_(form), extender_(new Extender(name, form.Object())) {
        extender_->Release(); // the ComPtr holds the one reference
    }
    void SetControl(IOleObject* control) { control_ = control; }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return S_OK; }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** extender) override {
        if (extender == nullptr) {
            return E_POINTER;
        }
        *extender = extender_.Get();
        (*extender)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = form_.ControlWindow();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr;
        *document = nullptr;
        *position = RECT{300, 16, 324, 48};
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = form_.Window();
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override {
        ComPtr<IOleInPlaceObject> inPlace;
        if (control_ && SUCCEEDED(control_.As(&inPlace))) {
            inPlace->SetObjectRects(position, position);
        }
        return S_OK;
    }

    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (member != DISPID_AMBIENT_USERMODE || result == nullptr) {
            return DISP_E_MEMBERNOTFOUND;
        }
        VariantInit(result);
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = form_.userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

protected:
    void* Find(REFIID iid) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            return static_cast<IOleClientSite*>(this);
        }
        if (iid == IID_IOleControlSite) {
            return static_cast<IOleControlSite*>(this);
        }
        if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
            return static_cast<IOleInPlaceSite*>(this);
        }
        if (iid == IID_IDispatch) {
            return static_cast<IDispatch*>(this);
        }
        return nullptr;
    }

private:
    TestForm& form_;
    ComPtr<IDispatch> extender_;
    ComPtr<IOleObject> control_;
};

// --- The property bag ---

ComPtr<FormBag> FormBag::Create() {
    ComPtr<FormBag> bag;
    *bag.GetAddressOf() = new FormBag();
    return bag;
}

FormBag::~FormBag() {
    for (auto& [key, entry] : entries_) {
        VariantClear(&entry.value);
    }
}

void* FormBag::Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IPropertyBag ? static_cast<IPropertyBag*>(this)
                                                          : nullptr;
}

std::wstring FormBag::keyOf(LPCOLESTR name) {
    std::wstring key(name);
    std::transform(key.begin(), key.end(), key.begin(), towlower);
    return key;
}

VARTYPE FormBag::TypeOf(const std::wstring& key) const {
    const auto found = entries_.find(keyOf(key.c_str()));
    if (found == entries_.end()) {
        return VT_EMPTY;
    }
    return found->second.nested ? VARTYPE{VT_UNKNOWN} : V_VT(&found->second.value);
}

CLSID FormBag::ClassOf(const std::wstring& key) const {
    const auto found = entries_.find(keyOf(key.c_str()));
    return found == entries_.end() ? CLSID_NULL : found->second.clsid;
}

HRESULT FormBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) {
    if (name == nullptr || value == nullptr) {
        return E_POINTER;
    }
    const auto found = entries_.find(keyOf(name));
    if (found == entries_.end()) {
        return E_INVALIDARG;
    }
    Entry& entry = found->second;
    if (entry.nested) {
        // Created again from its class and its own saved properties.
        ComPtr<IPersistPropertyBag> object;
        HRESULT hr =
            CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistPropertyBag,
                             reinterpret_cast<void**>(object.GetAddressOf()));
        if (SUCCEEDED(hr)) {
            hr = object->Load(entry.nested.Get(), log);
        }
        if (FAILED(hr)) {
            return hr;
        }
        IUnknown* unknown = nullptr;
        object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
        VariantClear(value);
        V_VT(value) = VT_UNKNOWN;
        V_UNKNOWN(value) = unknown;
        return S_OK;
    }
    const VARTYPE wanted = V_VT(value);
    VariantClear(value);
    if (wanted != VT_EMPTY && wanted != V_VT(&entry.value)) {
        return VariantChangeType(value, &entry.value, 0, wanted);
    }
    return VariantCopy(value, &entry.value);
}

HRESULT FormBag::Write(LPCOLESTR name, VARIANT* value) {
    if (name == nullptr || value == nullptr) {
        return E_POINTER;
    }
    if (refusesWrites) {
        return E_ACCESSDENIED;
    }
    Entry fresh{};
    if ((V_VT(value) == VT_UNKNOWN || V_VT(value) == VT_DISPATCH) && V_UNKNOWN(value) != nullptr) {
        if (!acceptsObjects) {
            return E_NOTIMPL;
        }
        ComPtr<IPersistPropertyBag> object;
        HRESULT hr = V_UNKNOWN(value)->QueryInterface(
            IID_IPersistPropertyBag, reinterpret_cast<void**>(object.GetAddressOf()));
        if (FAILED(hr)) {
            return hr;
        }
        fresh.nested = Create();
        hr = object->Save(fresh.nested.Get(), TRUE, TRUE);
        if (SUCCEEDED(hr)) {
            hr = object->GetClassID(&fresh.clsid);
        }
        if (FAILED(hr)) {
            return hr;
        }
    } else {
        VariantInit(&fresh.value);
        const HRESULT hr = VariantCopy(&fresh.value, value);
        if (FAILED(hr)) {
            return hr;
        }
    }
    Entry& entry = entries_[keyOf(name)];
    VariantClear(&entry.value);
    entry = std::move(fresh);
    return S_OK;
}

// --- The form ---

TestForm::TestForm(std::wstring name) : name_(std::move(name)), bag_(FormBag::Create()) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    check(LoadTypeLibEx(path, REGKIND_NONE, &library_), "loading the form host's type library");

    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &WindowProc;
    description.hInstance = GetModuleHandleW(nullptr);
    description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.lpszClassName = L"FillaheadFormHost";
    RegisterClassExW(&description);
    window_ = CreateWindowExW(0, description.lpszClassName, kTitle,
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 60, 60, 420, 420,
                              nullptr, nullptr, description.hInstance, this);
    if (window_ == nullptr) {
        throw std::runtime_error("the form's window was not created");
    }
    auto* object = new FormObject(*this);
    *object_.GetAddressOf() = object;
}

TestForm::~TestForm() {
    static_cast<FormObject*>(object_.Get())->Detach();
    controls_.clear();
    DestroyWindow(window_);
}

IDispatch* TestForm::Object() const {
    return override_ ? override_.Get() : object_.Get();
}

void TestForm::AddDefaultButton() {
    defaultButton_ =
        CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 300, 340, 80,
                        28, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool TestForm::PressDefault() {
    if (defaultButton_ == nullptr) {
        return false;
    }
    // As the form's own handling of Return does: the button is pressed and
    // the focus stays where it was.
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(defaultButton_), BN_CLICKED),
                 reinterpret_cast<LPARAM>(defaultButton_));
    return true;
}

ITypeInfo* TestForm::TypeInfo(REFGUID guid) const {
    ITypeInfo* info = nullptr;
    return SUCCEEDED(library_->GetTypeInfoOfGuid(guid, &info)) ? info : nullptr;
}

StandInControl& TestForm::AddTextBox(const std::wstring& name, StandInOptions options) {
    const RECT where{16, nextTop_, 266, nextTop_ + 24};
    auto* control = new StandInControl(*this, StandInKind::TextBox, name, options, where);
    controls_.emplace_back();
    *controls_.back().GetAddressOf() = control;
    nextTop_ += options.multiLine ? 84 : 40;
    return *control;
}

StandInControl& TestForm::AddComboBox(const std::wstring& name, StandInOptions options) {
    const RECT where{16, nextTop_, 266, nextTop_ + 24};
    auto* control = new StandInControl(*this, StandInKind::ComboBox, name, options, where);
    controls_.emplace_back();
    *controls_.back().GetAddressOf() = control;
    nextTop_ += 40;
    return *control;
}

ComPtr<IOleClientSite> TestForm::NewSite(const std::wstring& name) {
    ComPtr<IOleClientSite> site;
    *site.GetAddressOf() = new ControlSite(*this, name);
    return site;
}

void TestForm::Focus(StandInControl& control) {
    SetForegroundWindow(window_);
    SetFocus(control.KeyWindow());
    lastFocus_ = control.KeyWindow();
}

void TestForm::Focused(StandInControl& control) {
    lastFocus_ = control.KeyWindow();
}

void TestForm::MoveFocus(StandInControl& from, bool backwards) {
    const auto at = std::find_if(controls_.begin(), controls_.end(),
                                 [&](const ComPtr<StandInControl>& c) { return c.Get() == &from; });
    if (at == controls_.end() || controls_.size() < 2) {
        return;
    }
    const std::size_t index = static_cast<std::size_t>(at - controls_.begin());
    const std::size_t next = backwards ? (index + controls_.size() - 1) % controls_.size()
                                       : (index + 1) % controls_.size();
    SetFocus(controls_[next]->KeyWindow());
}

StandInControl* TestForm::Active() const {
    for (const ComPtr<StandInControl>& control : controls_) {
        if (control->KeyWindow() == lastFocus_) {
            return control.Get();
        }
    }
    return nullptr;
}

LRESULT CALLBACK TestForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* form = reinterpret_cast<TestForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_COMMAND: {
        const WORD code = HIWORD(wParam);
        const auto child = reinterpret_cast<HWND>(lParam);
        if (code == BN_CLICKED && child != nullptr && child == form->defaultButton_) {
            ++form->clicks;
            return 0;
        }
        if (code == EN_CHANGE || code == CBN_EDITCHANGE) {
            for (const ComPtr<StandInControl>& control : form->controls_) {
                if (control->Window() == child) {
                    control->TextChanged();
                }
            }
        }
        return 0;
    }
    case WM_ACTIVATE:
        // Back into the control that had the focus, as a form does.
        if (LOWORD(wParam) != WA_INACTIVE && form->lastFocus_ != nullptr &&
            IsWindow(form->lastFocus_)) {
            SetFocus(form->lastFocus_);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// --- A hosted control ---

HostedControl::HostedControl(TestForm& form, REFCLSID clsid, const std::wstring& name)
    : form_(form) {
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                           reinterpret_cast<void**>(object_.GetAddressOf())),
          "creating the control");
    Site(name);
}

HostedControl::HostedControl(TestForm& form, ComPtr<IOleObject> created, const std::wstring& name)
    : form_(form), object_(std::move(created)) {
    Site(name);
}

void HostedControl::Site(const std::wstring& name) {
    *site_.GetAddressOf() = new ControlSite(form_, name);
    site_->SetControl(object_.Get());
    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) {
        check(object_->SetClientSite(site_.Get()), "SetClientSite");
    }
    ComPtr<IPersistPropertyBag> persist;
    check(object_.As(&persist), "IPersistPropertyBag");
    if (form_.Bag().TypeOf(L"CaptureReturnKey") != VT_EMPTY) {
        check(persist->Load(&form_.Bag(), nullptr), "loading the control's settings");
    } else {
        check(persist->InitNew(), "InitNew");
    }
    if (!siteFirst) {
        check(object_->SetClientSite(site_.Get()), "SetClientSite");
    }
    check(object_.As(&dispatch_), "IDispatch");
}

HostedControl::~HostedControl() {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    site_->SetControl(nullptr);
}

void HostedControl::Put(const wchar_t* name, const VARIANT& value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    check(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    VARIANT argument = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &put, 1, 1};
    check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                            nullptr, nullptr, nullptr),
          "putting a property");
}

VARIANT HostedControl::Get(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    check(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    check(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                            nullptr, nullptr),
          "getting a property");
    return result;
}

HRESULT HostedControl::Save() {
    ComPtr<IPersistPropertyBag> persist;
    check(object_.As(&persist), "IPersistPropertyBag");
    return persist->Save(&form_.Bag(), TRUE, FALSE);
}

} // namespace fillahead::hosts
