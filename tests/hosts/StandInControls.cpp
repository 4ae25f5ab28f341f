#include "tests/hosts/StandInControls.h"

#include "tests/hosts/TestForm.h"

#include <commctrl.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>

namespace fillahead::hosts {
namespace {

// The DISPIDs VB publishes for the stand-ins' members.
struct Member {
    const wchar_t* name;
    DISPID textBox;  // 0: the TextBox has no such member
    DISPID comboBox; // 0: the ComboBox has no such member
};
constexpr Member kMembers[] = {
    {L"Name", 0x10000, 0x10000}, {L"Text", 0x1000B, 0x1000C},      {L"hWnd", 0x10027, 0x10020},
    {L"Alignment", 0x10024, 0},  {L"BackColor", 0x10002, 0x10003}, {L"PasswordChar", 0x10022, 0},
    {L"MultiLine", 0x10017, 0},  {L"Style", 0, 0x10001},           {L"Left", 0x10004, 0x10005},
    {L"Top", 0x10005, 0x10006},  {L"Width", 0x10006, 0x10007},     {L"Height", 0x10007, 0x10008},
};

// The events' DISPIDs, for hosts that raise them through IDispatch.
constexpr DISPID kChange = 0x40000;
DISPID keyDownId(StandInKind kind) {
    return kind == StandInKind::TextBox ? 0x40004 : 0x40007;
}
DISPID keyUpId(StandInKind kind) {
    return kind == StandInKind::TextBox ? 0x40006 : 0x40009;
}

// VB's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
short shiftState() {
    return static_cast<short>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                              (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

const wchar_t* memberName(const Member& member, StandInKind kind) {
    return (kind == StandInKind::TextBox ? member.textBox : member.comboBox) != 0 ? member.name
                                                                                  : nullptr;
}

DISPID memberId(const Member& member, StandInKind kind) {
    return kind == StandInKind::TextBox ? member.textBox : member.comboBox;
}

} // namespace

StandInControl::StandInControl(TestForm& form, StandInKind kind, std::wstring name,
                               StandInOptions options, RECT where)
    : form_(form), kind_(kind), name_(std::move(name)), options_(options) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    const wchar_t* windowClass = L"EDIT";
    int height = where.bottom - where.top;
    if (kind_ == StandInKind::TextBox) {
        style |= ES_AUTOHSCROLL;
        if (options_.password) {
            style |= ES_PASSWORD;
        }
        if (options_.multiLine) {
            style |= ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL;
            height *= 3;
        }
    } else {
        windowClass = L"COMBOBOX";
        style |= options_.style == 2 ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
        style |= CBS_AUTOHSCROLL;
        // A combo's window is as high as its dropped list may be.
        height = 200;
    }
    window_ = CreateWindowExW(WS_EX_CLIENTEDGE, windowClass, L"", style, where.left, where.top,
                              where.right - where.left, height, form_.Window(), nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    keyWindow_ = window_;
    if (kind_ == StandInKind::ComboBox && options_.style != 2) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(window_, &info) && info.hwndItem != nullptr) {
            keyWindow_ = info.hwndItem;
        }
    }
    SetWindowSubclass(keyWindow_, &KeyProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

StandInControl::~StandInControl() {
    if (IsWindow(keyWindow_)) {
        RemoveWindowSubclass(keyWindow_, &KeyProc, 1);
    }
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
}

void StandInControl::AddItem(const std::wstring& item) {
    SendMessageW(window_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

std::wstring StandInControl::Text() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
    return text;
}

const IID& StandInControl::Events() const {
    return kind_ == StandInKind::TextBox ? IID_TextBoxEvents : IID_ComboBoxEvents;
}

const IID& StandInControl::Interface() const {
    return kind_ == StandInKind::TextBox ? DIID__TextBox : DIID__ComboBox;
}

void* StandInControl::Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == Interface()) {
        return static_cast<IDispatch*>(this);
    }
    if ((iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) &&
        options_.publishesClassInfo) {
        return static_cast<IProvideClassInfo2*>(this);
    }
    if (iid == IID_IConnectionPointContainer) {
        return static_cast<IConnectionPointContainer*>(this);
    }
    if (iid == IID_IConnectionPoint) {
        return static_cast<IConnectionPoint*>(this);
    }
    return nullptr;
}

// --- Events ---

void StandInControl::TextChanged() {
    RaiseChange();
}

void StandInControl::RaiseChange() {
    ++changesRaised;
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& sink : sinks) {
        if (options_.throughDispatch) {
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(sink.sink.As(&dispatch))) {
                DISPPARAMS none = {nullptr, nullptr, 0, 0};
                dispatch->Invoke(kChange, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                 nullptr);
            }
        } else if (kind_ == StandInKind::TextBox) {
            ComPtr<TextBoxEvents> events;
            if (SUCCEEDED(sink.sink.As(&events))) {
                events->Change();
            }
        } else {
            ComPtr<ComboBoxEvents> events;
            if (SUCCEEDED(sink.sink.As(&events))) {
                events->Change();
            }
        }
    }
}

short StandInControl::RaiseKey(bool down, short keyCode) {
    short shift = shiftState();
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& sink : sinks) {
        if (options_.throughDispatch) {
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(sink.sink.As(&dispatch))) {
                VARIANT arguments[2];
                VariantInit(&arguments[0]);
                VariantInit(&arguments[1]);
                V_VT(&arguments[1]) = VT_BYREF | VT_I2;
                V_I2REF(&arguments[1]) = &keyCode;
                V_VT(&arguments[0]) = VT_BYREF | VT_I2;
                V_I2REF(&arguments[0]) = &shift;
                DISPPARAMS params = {arguments, nullptr, 2, 0};
                dispatch->Invoke(down ? keyDownId(kind_) : keyUpId(kind_), IID_NULL, 0,
                                 DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            }
        } else if (kind_ == StandInKind::TextBox) {
            ComPtr<TextBoxEvents> events;
            if (SUCCEEDED(sink.sink.As(&events))) {
                down ? events->KeyDown(&keyCode, &shift) : events->KeyUp(&keyCode, &shift);
            }
        } else {
            ComPtr<ComboBoxEvents> events;
            if (SUCCEEDED(sink.sink.As(&events))) {
                down ? events->KeyDown(&keyCode, &shift) : events->KeyUp(&keyCode, &shift);
            }
        }
    }
    return keyCode;
}

LRESULT CALLBACK StandInControl::KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<StandInControl*>(data);
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            // The form moves on; the control sees no KeyDown for it.
            self->swallowChar_ = true;
            self->form_.MoveFocus(*self, GetKeyState(VK_SHIFT) < 0);
            return 0;
        }
        if (wParam == VK_RETURN && self->kind_ == StandInKind::TextBox &&
            !self->options_.multiLine && self->form_.PressDefault()) {
            // The form's default button takes Return before the text box.
            self->swallowChar_ = true;
            return 0;
        }
        if (self->RaiseKey(true, static_cast<short>(wParam)) == 0) {
            self->swallowChar_ = true;
            return 0;
        }
        self->keysPassed.push_back(wParam);
        break;
    case WM_KEYUP:
        if (wParam != VK_TAB && self->RaiseKey(false, static_cast<short>(wParam)) == 0) {
            return 0;
        }
        break;
    case WM_CHAR:
        if (self->swallowChar_) {
            self->swallowChar_ = false;
            return 0;
        }
        break;
    case WM_SETFOCUS:
        self->form_.Focused(*self);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// --- IDispatch ---

HRESULT StandInControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT StandInControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    *info = form_.TypeInfo(Interface());
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT StandInControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    for (const Member& member : kMembers) {
        const wchar_t* name = memberName(member, kind_);
        if (name != nullptr && _wcsicmp(name, names[0]) == 0) {
            ids[0] = memberId(member, kind_);
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT StandInControl::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
    const Member* found =
        std::find_if(std::begin(kMembers), std::end(kMembers), [&](const Member& m) {
            return memberId(m, kind_) == member && memberName(m, kind_) != nullptr;
        });
    if (found == std::end(kMembers)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring name = found->name;
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        if (name != L"Text" || params == nullptr || params->cArgs != 1) {
            return DISP_E_MEMBERNOTFOUND;
        }
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
            return DISP_E_TYPEMISMATCH;
        }
        SetWindowTextW(window_, V_BSTR(&text));
        VariantClear(&text);
        // Setting a combo box's text raises Change in VB too; its window
        // does not tell.
        if (kind_ == StandInKind::ComboBox) {
            RaiseChange();
        }
        return S_OK;
    }
    if (result == nullptr) {
        return S_OK;
    }
    VariantInit(result);
    if (name == L"Name" || name == L"Text" || name == L"PasswordChar") {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(name == L"Name"     ? name_.c_str()
                                        : name == L"Text"   ? Text().c_str()
                                        : options_.password ? L"*"
                                                            : L"");
    } else if (name == L"hWnd") {
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_));
    } else if (name == L"Alignment" || name == L"Style") {
        V_VT(result) = VT_I2;
        V_I2(result) = name == L"Style" ? options_.style : 0;
    } else if (name == L"BackColor") {
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(0x80000005); // the system's window colour
    } else if (name == L"MultiLine") {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = options_.multiLine ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        // Left, Top, Width, Height: twips in the form's client area.
        RECT rect{};
        GetWindowRect(window_, &rect);
        MapWindowPoints(nullptr, form_.Window(), reinterpret_cast<POINT*>(&rect), 2);
        V_VT(result) = VT_R4;
        V_R4(result) = name == L"Left"    ? Twips(rect.left)
                       : name == L"Top"   ? Twips(rect.top)
                       : name == L"Width" ? Twips(rect.right - rect.left)
                                          : Twips(rect.bottom - rect.top);
    }
    return S_OK;
}

// --- IProvideClassInfo2 ---

HRESULT StandInControl::GetClassInfo(ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = form_.TypeInfo(kind_ == StandInKind::TextBox ? CLSID_TextBox : CLSID_ComboBox);
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT StandInControl::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr) {
        return E_POINTER;
    }
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        return E_INVALIDARG;
    }
    *guid = Events();
    return S_OK;
}

// --- Connection points: one, for the event interface ---

HRESULT StandInControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points != nullptr) {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT StandInControl::FindConnectionPoint(REFIID events, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    if (events != Events()) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT StandInControl::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = Events();
    return S_OK;
}

HRESULT StandInControl::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT StandInControl::Advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    // The host calls the sink through the event interface (or IDispatch).
    ComPtr<IUnknown> events;
    if (options_.refusesConnections) {
        return CONNECT_E_ADVISELIMIT;
    }
    if (FAILED(sink->QueryInterface(options_.throughDispatch ? IID_IDispatch : Events(),
                                    reinterpret_cast<void**>(events.GetAddressOf())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.push_back({*cookie, events});
    return S_OK;
}

HRESULT StandInControl::Unadvise(DWORD cookie) {
    const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                    [&](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    sinks_.erase(found);
    return S_OK;
}

HRESULT StandInControl::EnumConnections(IEnumConnections** connections) {
    if (connections != nullptr) {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

} // namespace fillahead::hosts
