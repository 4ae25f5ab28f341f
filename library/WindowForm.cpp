#include "library/WindowForm.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"
#include "library/HostKinds.h"
#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"
#include "platform/win32/ListSurfaceWin32.h"

#include <commctrl.h>
#include <olectl.h>
#include <richedit.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace fillahead::library {
namespace {

constexpr wchar_t kSource[] = L"FillaheadLib.WindowForm";
constexpr UINT_PTR kSubclassId = 0x46486657; // any number of our own

// VB's system colours as OLE colours: the window and the button face.
constexpr LONG kWindowColor = static_cast<LONG>(0x80000005);
constexpr LONG kButtonFaceColor = static_cast<LONG>(0x8000000F);

// The window's class, seen through superclasses (a framework's edit is
// still an edit).
std::wstring realClassOf(HWND window) {
    wchar_t name[64] = {};
    if (RealGetWindowClassW(window, name, static_cast<UINT>(std::size(name))) == 0) {
        GetClassNameW(window, name, static_cast<int>(std::size(name)));
    }
    return name;
}

bool classIs(const std::wstring& name, const wchar_t* wanted) {
    return _wcsicmp(name.c_str(), wanted) == 0;
}

bool isRichEdit(const std::wstring& name) {
    return _wcsnicmp(name.c_str(), L"RichEdit", 8) == 0;
}

bool isEdit(const std::wstring& name) {
    return classIs(name, L"Edit") || isRichEdit(name);
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(std::max(GetWindowTextLengthW(window), 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A label's text as a name: without its mnemonic marker ("&&" is a
// literal "&"), its trailing colon and the spaces around.
std::wstring nameOfLabel(const std::wstring& label) {
    std::wstring name;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&') {
            if (i + 1 >= label.size() || label[i + 1] != L'&') {
                continue;
            }
            ++i;
        }
        name += label[i];
    }
    while (!name.empty() && (name.back() == L':' || std::iswspace(name.back()))) {
        name.pop_back();
    }
    const std::size_t first = name.find_first_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : name.substr(first);
}

// Whether a list of this thread's controls is open: a list window shown
// (visible and higher than nothing).
BOOL CALLBACK findShownList(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    RECT rect{};
    if (GetClassNameW(window, name, 32) > 0 && wcscmp(name, win32::kListWindowClass) == 0 &&
        IsWindowVisible(window) && GetWindowRect(window, &rect) && rect.bottom > rect.top) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool listOpen() {
    bool open = false;
    EnumThreadWindows(GetCurrentThreadId(), &findShownList, reinterpret_cast<LPARAM>(&open));
    return open;
}

// VB's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
short shiftState() {
    return static_cast<short>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                              (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

// The messages after which an edit's text may have changed.
bool mayChangeText(UINT message) {
    switch (message) {
    case WM_CHAR:
    case WM_KEYDOWN:
    case WM_SETTEXT:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_LBUTTONUP: // a drag and drop inside a rich edit
    case EM_UNDO:
    case EM_REPLACESEL:
    case EM_SETTEXTEX:
    case EM_STREAMIN:
    case EM_REDO:
        return true;
    default:
        return false;
    }
}

template <typename Body>
HRESULT formCall(Body&& body) {
    return ComBoundary({IID__WindowForm, kSource}, std::forward<Body>(body));
}

} // namespace

// --- A field ---

WindowField::WindowField(ControlInterface kind, HWND window, HWND keyWindow, HWND form)
    : kind_(kind), window_(window), keyWindow_(keyWindow), form_(form) {}

WindowField::~WindowField() {
    unsubclass();
}

void WindowField::LetGo() noexcept {
    sinks_.clear();
    unsubclass();
}

void* WindowField::QueryExtra(REFIID iid) {
    const HostKind* kind = HostKindOf(kind_);
    if (kind != nullptr && std::find(kind->interfaces.begin(), kind->interfaces.end(), iid) !=
                               kind->interfaces.end()) {
        return static_cast<IDispatch*>(this);
    }
    return nullptr;
}

const IID& WindowField::events() const {
    return HostKindOf(kind_)->events;
}

std::wstring WindowField::text() const {
    return windowText(window_);
}

std::wstring WindowField::name() const {
    if (HWND label = GetWindow(window_, GW_HWNDPREV);
        label != nullptr && classIs(realClassOf(label), L"Static")) {
        const LONG type = GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
            type == SS_LEFTNOWORDWRAP) {
            std::wstring name = nameOfLabel(windowText(label));
            if (!name.empty()) {
                return name;
            }
        }
    }
    return L"Control" + std::to_wstring(GetDlgCtrlID(window_));
}

bool WindowField::get(std::u16string_view property, VARIANT& result) const {
    const auto is = [&](const char16_t* name) { return property == name; };
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    if (is(u"Name") || is(u"Text")) {
        V_VT(&result) = VT_BSTR;
        V_BSTR(&result) = SysAllocString(is(u"Name") ? name().c_str() : text().c_str());
        if (V_BSTR(&result) == nullptr) {
            V_VT(&result) = VT_EMPTY;
            throw AutomationError(error::OutOfMemory);
        }
    } else if (is(u"hWnd")) {
        V_VT(&result) = VT_I4;
        V_I4(&result) = win32::ToWindowHandle(window_);
    } else if (is(u"PasswordChar")) {
        wchar_t hidden[2] = {};
        if ((style & ES_PASSWORD) != 0) {
            hidden[0] = static_cast<wchar_t>(SendMessageW(window_, EM_GETPASSWORDCHAR, 0, 0));
            if (hidden[0] == L'\0') {
                hidden[0] = L'*';
            }
        }
        V_VT(&result) = VT_BSTR;
        V_BSTR(&result) = SysAllocString(hidden);
    } else if (is(u"MultiLine")) {
        V_VT(&result) = VT_BOOL;
        V_BOOL(&result) = ToVariantBool((style & ES_MULTILINE) != 0);
    } else if (is(u"Alignment")) {
        // VB's AlignmentConstants: 0 left, 1 right, 2 centre.
        V_VT(&result) = VT_I2;
        V_I2(&result) = (style & ES_CENTER) != 0 ? 2 : (style & ES_RIGHT) != 0 ? 1 : 0;
    } else if (is(u"Style")) {
        // 0 drop-down combo, 1 simple combo, 2 drop-down list.
        const LONG type = style & 3;
        V_VT(&result) = VT_I2;
        V_I2(&result) = type == CBS_SIMPLE ? 1 : type == CBS_DROPDOWNLIST ? 2 : 0;
    } else if (is(u"BackColor")) {
        // Edits paint a read-only or disabled box with the button face.
        const bool face = (style & WS_DISABLED) != 0 ||
                          (kind_ == ControlInterface::TextBox && (style & ES_READONLY) != 0);
        V_VT(&result) = VT_I4;
        V_I4(&result) = face ? kButtonFaceColor : kWindowColor;
    } else if (is(u"Left") || is(u"Top") || is(u"Width") || is(u"Height")) {
        RECT rect{};
        GetWindowRect(window_, &rect);
        MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&rect), 2);
        const win32::AxisDpi dpi = win32::DpiOfBothAxes(window_);
        const auto twips = [](LONG pixels, UINT perInch) {
            return static_cast<float>(pixels) * 1440.0f / static_cast<float>(perInch);
        };
        V_VT(&result) = VT_R4;
        V_R4(&result) = is(u"Left")    ? twips(rect.left, dpi.x)
                        : is(u"Top")   ? twips(rect.top, dpi.y)
                        : is(u"Width") ? twips(rect.right - rect.left, dpi.x)
                                       : twips(rect.bottom - rect.top, dpi.y);
    } else {
        return false;
    }
    return true;
}

HRESULT WindowField::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT WindowField::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT WindowField::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    const Text wanted(names[0], names[0] + wcslen(names[0]));
    const PublishedDispid* found = PublishedProperty(*HostKindOf(kind_), wanted);
    if (found == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->id;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT WindowField::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    const HostKind& kind = *HostKindOf(kind_);
    const auto found = std::find_if(kind.properties.begin(), kind.properties.end(),
                                    [&](const PublishedDispid& p) { return p.id == member; });
    if (found == kind.properties.end()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::u16string_view name = found->name;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        // Text is the one property a program writes at run time.
        if (name != u"Text") {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params == nullptr || params->cArgs != 1 || params->rgvarg == nullptr) {
            return DISP_E_BADPARAMCOUNT;
        }
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
            if (argumentError != nullptr) {
                *argumentError = 0;
            }
            return DISP_E_TYPEMISMATCH;
        }
        // The subclass sees the change and raises Change, as VB does for a
        // text the program sets.
        const ComPtr<IUnknown> keepAlive(Identity());
        SetWindowTextW(window_, V_BSTR(&text) != nullptr ? V_BSTR(&text) : L"");
        VariantClear(&text);
        return S_OK;
    }
    if (params != nullptr && params->cArgs != 0) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (result == nullptr) {
        return S_OK;
    }
    VariantInit(result);
    try {
        return get(name, *result) ? S_OK : DISP_E_MEMBERNOTFOUND;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// --- Events ---

HRESULT WindowField::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points != nullptr) {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT WindowField::FindConnectionPoint(REFIID wanted, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    if (wanted != events()) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT WindowField::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = events();
    return S_OK;
}

HRESULT WindowField::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT WindowField::Advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    // The events are raised through IDispatch with the kind's DISPIDs.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_IDispatch,
                                    reinterpret_cast<void**>(dispatch.GetAddressOf())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    if (!IsWindow(keyWindow_)) {
        return CONNECT_E_ADVISELIMIT;
    }
    try {
        sinks_.push_back({nextCookie_, std::move(dispatch)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    subclass();
    return S_OK;
}

HRESULT WindowField::Unadvise(DWORD cookie) {
    const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                    [&](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    sinks_.erase(found);
    if (sinks_.empty()) {
        unsubclass();
    }
    return S_OK;
}

HRESULT WindowField::EnumConnections(IEnumConnections** connections) {
    if (connections != nullptr) {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

void WindowField::subclass() {
    if (subclassed_) {
        return;
    }
    lastText_ = windowText(keyWindow_);
    raised_ = {};
    swallowChar_ = false;
    subclassed_ = SetWindowSubclass(keyWindow_, &SubclassProc, kSubclassId,
                                    reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void WindowField::unsubclass() noexcept {
    if (subclassed_) {
        RemoveWindowSubclass(keyWindow_, &SubclassProc, kSubclassId);
        subclassed_ = false;
    }
}

void WindowField::noticeText() {
    std::wstring now = windowText(keyWindow_);
    if (now != lastText_) {
        lastText_ = std::move(now);
        raiseChange();
    }
}

void WindowField::raiseChange() {
    const DISPID id = HostKindOf(kind_)->change;
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& sink : sinks) {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        sink.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                              nullptr, nullptr);
    }
}

short WindowField::raiseKey(bool down, short keyCode) {
    const HostKind& kind = *HostKindOf(kind_);
    short shift = shiftState();
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& sink : sinks) {
        // Arguments go last one first: Shift, then KeyCode.
        VARIANT arguments[2];
        VariantInit(&arguments[0]);
        VariantInit(&arguments[1]);
        V_VT(&arguments[1]) = VT_BYREF | VT_I2;
        V_I2REF(&arguments[1]) = &keyCode;
        V_VT(&arguments[0]) = VT_BYREF | VT_I2;
        V_I2REF(&arguments[0]) = &shift;
        DISPPARAMS params = {arguments, nullptr, 2, 0};
        sink.dispatch->Invoke(down ? kind.keyDown : kind.keyUp, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    return keyCode;
}

LRESULT CALLBACK WindowField::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<WindowField*>(data);
    // Handlers may let go of the field while it raises an event.
    const ComPtr<IUnknown> keepAlive(self->Identity());
    try {
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

LRESULT WindowField::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        // The dialog manager takes Return (the default button) and Escape
        // (cancel) before the window sees them, as a VB form with Default
        // and Cancel buttons does. Escape with a list open is the list's:
        // raised now, and claimed for the window when a handler takes it.
        LRESULT code = DefSubclassProc(window, message, wParam, lParam);
        const auto* asked = reinterpret_cast<const MSG*>(lParam);
        if (asked != nullptr && asked->message == WM_KEYDOWN && asked->wParam == VK_ESCAPE) {
            if (!raised_.matches(asked->wParam, asked->lParam, static_cast<LONG>(asked->time)) &&
                listOpen()) {
                raised_ = {asked->wParam, asked->lParam, static_cast<LONG>(asked->time), false,
                           true};
                raised_.consumed = raiseKey(true, static_cast<short>(asked->wParam)) == 0;
            }
            if (raised_.matches(asked->wParam, asked->lParam, static_cast<LONG>(asked->time)) &&
                raised_.consumed) {
                code |= DLGC_WANTMESSAGE;
            }
        }
        return code;
    }
    case WM_KEYDOWN: {
        swallowChar_ = false;
        bool consumed = false;
        if (raised_.matches(wParam, lParam, GetMessageTime())) {
            consumed = raised_.consumed;
            raised_.valid = false;
        } else {
            consumed = raiseKey(true, static_cast<short>(wParam)) == 0;
        }
        if (consumed) {
            // Nor does its character reach the window.
            swallowChar_ = MapVirtualKeyW(static_cast<UINT>(wParam), MAPVK_VK_TO_CHAR) != 0;
            return 0;
        }
        break;
    }
    case WM_KEYUP:
        if (raiseKey(false, static_cast<short>(wParam)) == 0) {
            return 0;
        }
        break;
    case WM_CHAR:
        if (swallowChar_) {
            swallowChar_ = false;
            return 0;
        }
        break;
    case WM_NCDESTROY: {
        unsubclass();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    default:
        break;
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (mayChangeText(message) && subclassed_) {
        noticeText();
    }
    return result;
}

// --- The form ---

HRESULT WindowFormObject::Create(REFIID iid, void** out) noexcept {
    return CreateAndQuery<WindowFormObject>(iid, out);
}

WindowFormObject::~WindowFormObject() {
    releaseFields();
}

void WindowFormObject::releaseFields() noexcept {
    for (auto& [window, field] : fields_) {
        field->LetGo();
    }
    fields_.clear();
    active_.Reset();
}

WindowField* WindowFormObject::fieldFor(HWND focus) {
    // Fields of windows that are gone are dropped first.
    for (auto at = fields_.begin(); at != fields_.end();) {
        if (!IsWindow(at->first)) {
            at->second->LetGo();
            at = fields_.erase(at);
        } else {
            ++at;
        }
    }
    const std::wstring focusClass = realClassOf(focus);
    HWND window = focus;
    ControlInterface kind = ControlInterface::TextBox;
    if (isEdit(focusClass)) {
        // The edit inside a combo box takes the combo's keys.
        HWND parent = GetParent(focus);
        if (!isRichEdit(focusClass) && parent != nullptr && parent != window_ &&
            classIs(realClassOf(parent), L"ComboBox")) {
            window = parent;
            kind = ControlInterface::ComboBox;
        }
    } else if (classIs(focusClass, L"ComboBox")) {
        kind = ControlInterface::ComboBox;
    } else {
        return nullptr;
    }
    const auto known = fields_.find(window);
    if (known != fields_.end() && known->second->KeyWindow() == focus) {
        return known->second.Get();
    }
    if (known != fields_.end()) {
        known->second->LetGo();
    }
    ComPtr<WindowField>& field = fields_[window];
    field = Adopt(new WindowField(kind, window, focus, window_));
    return field.Get();
}

HRESULT WindowFormObject::Attach(LONG hWnd) {
    return formCall([&] {
        HWND window = win32::ToHwnd(hWnd);
        if (window == nullptr || !IsWindow(window)) {
            throw AutomationError(error::InvalidProcedureCall);
        }
        if (window != window_) {
            releaseFields();
        }
        window_ = window;
    });
}

HRESULT WindowFormObject::Detach() {
    return formCall([&] {
        releaseFields();
        window_ = nullptr;
    });
}

HRESULT WindowFormObject::get_hWnd(LONG* Window) {
    return formCall([&] { OutParameter(Window) = win32::ToWindowHandle(window_); });
}

HRESULT WindowFormObject::get_ActiveControl(IDispatch** Control) {
    return formCall([&] {
        IDispatch*& control = OutParameter(Control);
        control = nullptr;
        if (window_ == nullptr || !IsWindow(window_)) {
            return;
        }
        // While the focus is elsewhere the form keeps its active field.
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) {
            active_ = fieldFor(focus);
        }
        if (active_ && !IsWindow(active_->KeyWindow())) {
            active_.Reset();
        }
        if (active_) {
            control = active_.Get();
            control->AddRef();
        }
    });
}

HRESULT WindowFormObject::get_Name(BSTR* Name) {
    return formCall([&] {
        BSTR& name = OutParameter(Name);
        name = nullptr;
        std::wstring value = name_;
        if (!named_ && window_ != nullptr) {
            value = windowText(window_);
        }
        name = ToBstr(TextView(reinterpret_cast<const char16_t*>(value.data()), value.size()));
    });
}

HRESULT WindowFormObject::put_Name(BSTR Name) {
    return formCall([&] {
        const TextView name = TextOf(Name);
        name_.assign(name.begin(), name.end());
        named_ = true;
    });
}

HRESULT WindowFormObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__WindowForm ? S_OK : S_FALSE;
}

} // namespace fillahead::library
