#include "tests/hosts/HostKindStandIns.h"

#include <commctrl.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <stdexcept>

namespace fillahead::hosts {
namespace {

// --- The published identifiers ---

// MSForms: IMdcText, MdcTextEvents, the key code's IReturnInteger, and the
// windowless extenders' IControl.
constexpr IID kIMdcText = {
    0x8BD21D13, 0xEC42, 0x11CE, {0x9E, 0x0D, 0x00, 0xAA, 0x00, 0x60, 0x02, 0xF3}};
constexpr IID kMdcTextEvents = {
    0x8BD21D12, 0xEC42, 0x11CE, {0x9E, 0x0D, 0x00, 0xAA, 0x00, 0x60, 0x02, 0xF3}};
constexpr IID kIReturnInteger = {
    0x82B02370, 0xB5BC, 0x11CF, {0x81, 0x0F, 0x00, 0xA0, 0xC9, 0x03, 0x00, 0x74}};
constexpr IID kIControl = {
    0x04598FC6, 0x866C, 0x11CF, {0xAB, 0x7C, 0x00, 0xAA, 0x00, 0xC0, 0x8F, 0xCF}};
// Access: _Textbox and DispTextBoxEvents.
constexpr IID kAccessTextbox = {
    0x3B06E946, 0xE47C, 0x11CD, {0x87, 0x01, 0x00, 0xAA, 0x00, 0x3F, 0x0F, 0x07}};
constexpr IID kDispTextBoxEvents = {
    0x2E705275, 0x92D1, 0x43CC, {0xA5, 0x7B, 0xED, 0x48, 0xBC, 0xCC, 0x71, 0x1D}};
// IDataCombo and the source the DataCombo names; IDBCombo and DDBComboEvents.
constexpr IID kIDataCombo = {
    0xF0D2F21A, 0xCCB0, 0x11D0, {0xA3, 0x16, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
constexpr IID kDataComboEvents = {
    0xF0D2F21B, 0xCCB0, 0x11D0, {0xA3, 0x16, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
constexpr IID kIDBCombo = {
    0x09194002, 0xDF6E, 0x11CF, {0x8E, 0x74, 0x00, 0xA0, 0xC9, 0x0F, 0x26, 0xF8}};
constexpr IID kDDBComboEvents = {
    0xFAEEE762, 0x117E, 0x101B, {0x89, 0x33, 0x08, 0x00, 0x2B, 0x2F, 0x4F, 0x5A}};

constexpr DISPID kExtenderName = static_cast<DISPID>(0x80010000);
constexpr DISPID kExtenderLeft = static_cast<DISPID>(0x80010003);
constexpr DISPID kExtenderTop = static_cast<DISPID>(0x80010004);
constexpr DISPID kExtenderWidth = static_cast<DISPID>(0x80010005);
constexpr DISPID kExtenderHeight = static_cast<DISPID>(0x80010006);
constexpr DISPID kExtenderVisible = static_cast<DISPID>(0x80010007);
constexpr DISPID kExtenderParent = static_cast<DISPID>(0x80010008);
// The extender's Object is reached by name only; the number is the host's own.
constexpr DISPID kExtenderObject = 0x40;

constexpr DISPID kUserFormActiveControl = 256;
constexpr DISPID kAccessActiveControl = 0x7D6;

constexpr wchar_t kEventProcedure[] = L"[Event Procedure]";

// --- Values ---

HRESULT text(VARIANT* result, const std::wstring& value) {
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(value.c_str());
    return S_OK;
}

HRESULT long4(VARIANT* result, LONG value) {
    V_VT(result) = VT_I4;
    V_I4(result) = value;
    return S_OK;
}

HRESULT integer(VARIANT* result, short value) {
    V_VT(result) = VT_I2;
    V_I2(result) = value;
    return S_OK;
}

HRESULT single(VARIANT* result, double value) {
    V_VT(result) = VT_R4;
    V_R4(result) = static_cast<float>(value);
    return S_OK;
}

HRESULT boolean(VARIANT* result, bool value) {
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT object(VARIANT* result, IDispatch* value) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = value;
    if (value != nullptr) {
        value->AddRef();
    }
    return S_OK;
}

// A value written as text; false when it is none.
bool textOf(const VARIANT& value, std::wstring& out) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        return false;
    }
    out.assign(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    VariantClear(&converted);
    return true;
}

HRESULT setText(const VARIANT& value, std::wstring& target) {
    return textOf(value, target) ? S_OK : DISP_E_TYPEMISMATCH;
}

std::wstring windowText(HWND window) {
    std::wstring value(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    value.resize(static_cast<std::size_t>(
        GetWindowTextW(window, value.data(), static_cast<int>(value.size()))));
    return value;
}

HRESULT setWindowText(const VARIANT& value, HWND window) {
    std::wstring textValue;
    if (!textOf(value, textValue)) {
        return DISP_E_TYPEMISMATCH;
    }
    SetWindowTextW(window, textValue.c_str());
    return S_OK;
}

// VB's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
short shiftState() {
    return static_cast<short>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                              (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

// Pixels at the form's 96 dots per inch in points and in twips.
double points(LONG pixels) {
    return pixels * 0.75;
}
double twips(LONG pixels) {
    return pixels * 15.0;
}

void registerClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.hbrBackground = background;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.lpszClassName = name;
    RegisterClassExW(&description);
}

// An object whose one method, ToString, names a .NET type (what GetType
// returns).
ComPtr<LateObject> netType(const std::wstring& name) {
    ComPtr<LateObject> type = LateObject::Create();
    type->Member(L"ToString", 1, [name](VARIANT* result) { return text(result, name); });
    return type;
}

} // namespace

// --- EventPoint ---

ComPtr<EventPoint> EventPoint::Create(const IID& events) {
    ComPtr<EventPoint> point;
    *point.GetAddressOf() = new EventPoint(events);
    return point;
}

void* EventPoint::Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IConnectionPoint ? static_cast<IConnectionPoint*>(this)
                                                              : nullptr;
}

void EventPoint::Fire(DISPID id, VARIANT* arguments, UINT count) {
    const std::vector<Sink> sinks = sinks_;
    for (const Sink& sink : sinks) {
        DISPPARAMS params = {arguments, nullptr, count, 0};
        sink.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                          nullptr, nullptr);
    }
}

HRESULT EventPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = events_;
    return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container != nullptr) {
        *container = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    if (refuses) {
        return CONNECT_E_ADVISELIMIT;
    }
    // The sink answers the event interface with its IDispatch.
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf())))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.push_back({*cookie, events});
    return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) {
    const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                    [&](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    sinks_.erase(found);
    return S_OK;
}

HRESULT EventPoint::EnumConnections(IEnumConnections** connections) {
    if (connections != nullptr) {
        *connections = nullptr;
    }
    return E_NOTIMPL;
}

// --- LateObject ---

ComPtr<LateObject> LateObject::Create() {
    ComPtr<LateObject> created;
    *created.GetAddressOf() = new LateObject();
    return created;
}

LateObject& LateObject::Member(const wchar_t* name, DISPID id, Getter get, Setter set) {
    members_.push_back({name, id, std::move(get), std::move(set)});
    return *this;
}

void* LateObject::Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        std::find(interfaces.begin(), interfaces.end(), iid) != interfaces.end()) {
        return static_cast<IDispatch*>(this);
    }
    if ((iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) &&
        defaultSource != GUID_NULL) {
        return static_cast<IProvideClassInfo2*>(this);
    }
    if (iid == IID_IConnectionPointContainer && events) {
        return static_cast<IConnectionPointContainer*>(this);
    }
    return nullptr;
}

HRESULT LateObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = typeInfo ? 1 : 0;
    return S_OK;
}

HRESULT LateObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (!typeInfo || index != 0) {
        return DISP_E_BADINDEX;
    }
    *info = typeInfo.Get();
    typeInfo->AddRef();
    return S_OK;
}

HRESULT LateObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                  DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    for (const Entry& member : members_) {
        if (_wcsicmp(member.name.c_str(), names[0]) == 0) {
            ids[0] = member.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    if (inner) {
        return inner->GetIDsOfNames(iid, names, count, locale, ids);
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT LateObject::Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    const auto found = std::find_if(members_.begin(), members_.end(),
                                    [&](const Entry& entry) { return entry.id == member; });
    if (found == members_.end()) {
        if (inner) {
            return inner->Invoke(member, iid, locale, flags, params, result, exception,
                                 argumentError);
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    // The handler may release the last other reference to this object.
    const ComPtr<LateObject> keepAlive(this);
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        if (!found->set) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params == nullptr || params->cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        return found->set(params->rgvarg[0]);
    }
    if (params != nullptr && params->cArgs != 0) {
        return DISP_E_BADPARAMCOUNT;
    }
    VARIANT ignored;
    VariantInit(&ignored);
    VARIANT* out = result != nullptr ? result : &ignored;
    VariantInit(out);
    const HRESULT hr = found->get(out);
    VariantClear(&ignored);
    return hr;
}

HRESULT LateObject::GetClassInfo(ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT LateObject::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr) {
        return E_POINTER;
    }
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        return E_INVALIDARG;
    }
    *guid = defaultSource;
    return S_OK;
}

HRESULT LateObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points != nullptr) {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT LateObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    *point = nullptr;
    IID answered{};
    if (!events || FAILED(events->GetConnectionInterface(&answered)) || answered != iid) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = events.Get();
    events->AddRef();
    return S_OK;
}

// --- DrawnBoxes ---

DrawnBoxes::DrawnBoxes(TestForm& form) : form_(form) {
    registerClass(L"FillaheadDrawnBoxes", &WindowProc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    RECT client{};
    GetClientRect(form.Window(), &client);
    window_ =
        CreateWindowExW(0, L"FillaheadDrawnBoxes", L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                        client.bottom, form.Window(), nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) {
        throw std::runtime_error("the client window was not created");
    }
    form.SetControlWindow(window_);
}

DrawnBoxes::~DrawnBoxes() {
    form_.SetControlWindow(nullptr);
    DestroyWindow(window_);
}

DrawnBoxes::Box& DrawnBoxes::Add(const std::wstring& name) {
    auto box = std::make_unique<Box>();
    box->name = name;
    box->rect = RECT{24, nextTop_, 264, nextTop_ + 24};
    nextTop_ += 40;
    boxes_.push_back(std::move(box));
    InvalidateRect(window_, nullptr, TRUE);
    return *boxes_.back();
}

void DrawnBoxes::Focus(Box& box) {
    focused_ = &box;
    SetForegroundWindow(form_.Window());
    SetFocus(window_);
    form_.Focused(window_);
    placeCaret();
    InvalidateRect(window_, nullptr, TRUE);
}

void DrawnBoxes::SetText(Box& box, const std::wstring& value) {
    box.text = value;
    InvalidateRect(window_, nullptr, TRUE);
    if (&box == focused_) {
        placeCaret();
    }
    if (box.changed) {
        box.changed();
    }
}

RECT DrawnBoxes::ScreenRect(const Box& box) const {
    RECT rect = box.rect;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void DrawnBoxes::moveOn(bool backwards) {
    if (boxes_.empty() || focused_ == nullptr) {
        return;
    }
    const auto at = std::find_if(boxes_.begin(), boxes_.end(), [&](const std::unique_ptr<Box>& b) {
        return b.get() == focused_;
    });
    const std::size_t index = static_cast<std::size_t>(at - boxes_.begin());
    const std::size_t next =
        backwards ? (index + boxes_.size() - 1) % boxes_.size() : (index + 1) % boxes_.size();
    focused_ = boxes_[next].get();
    placeCaret();
    InvalidateRect(window_, nullptr, TRUE);
}

void DrawnBoxes::placeCaret() {
    if (focused_ == nullptr || GetFocus() != window_) {
        return;
    }
    SIZE extent{};
    if (HDC dc = GetDC(window_)) {
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, focused_->text.c_str(), static_cast<int>(focused_->text.size()),
                              &extent);
        ReleaseDC(window_, dc);
    }
    SetCaretPos(focused_->rect.left + 4 + extent.cx, focused_->rect.top + 4);
}

void DrawnBoxes::paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (const std::unique_ptr<Box>& box : boxes_) {
        SelectObject(dc, GetStockObject(box.get() == focused_ ? BLACK_PEN : DC_PEN));
        Rectangle(dc, box->rect.left, box->rect.top, box->rect.right, box->rect.bottom);
        RECT inside = box->rect;
        InflateRect(&inside, -4, -4);
        DrawTextW(dc, box->text.c_str(), static_cast<int>(box->text.size()), &inside,
                  DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
    }
    EndPaint(window_, &paint);
}

LRESULT CALLBACK DrawnBoxes::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<DrawnBoxes*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    Box* box = self->focused_;
    switch (message) {
    case WM_PAINT:
        self->paint();
        return 0;
    case WM_SETFOCUS:
        CreateCaret(window, nullptr, 1, 16);
        self->placeCaret();
        ShowCaret(window);
        self->form_.Focused(window);
        return 0;
    case WM_KILLFOCUS:
        DestroyCaret();
        return 0;
    case WM_KEYDOWN: {
        if (box == nullptr) {
            return 0;
        }
        short keyCode = static_cast<short>(wParam);
        if (box->key) {
            box->key(true, keyCode);
        }
        if (keyCode == 0) {
            self->swallowChar_ = true;
            return 0;
        }
        box->keysPassed.push_back(wParam);
        if (wParam == VK_TAB || wParam == VK_RETURN) {
            // The form moves on with them.
            self->swallowChar_ = true;
            self->moveOn(wParam == VK_TAB && GetKeyState(VK_SHIFT) < 0);
        }
        return 0;
    }
    case WM_KEYUP: {
        short keyCode = static_cast<short>(wParam);
        if (box != nullptr && box->key) {
            box->key(false, keyCode);
        }
        return 0;
    }
    case WM_CHAR:
        if (self->swallowChar_) {
            self->swallowChar_ = false;
            return 0;
        }
        if (box == nullptr) {
            return 0;
        }
        if (wParam == VK_BACK) {
            if (!box->text.empty()) {
                self->SetText(*box, box->text.substr(0, box->text.size() - 1));
            }
        } else if (wParam >= 0x20) {
            self->SetText(*box, box->text + static_cast<wchar_t>(wParam));
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// --- UserFormHost ---

UserFormHost::UserFormHost(TestForm& form)
    : form_(form), boxes_(form), object_(LateObject::Create()) {
    object_->typeInfo.Attach(form.TypeInfo(DIID__UserForm));
    const HWND client = boxes_.Window();
    const auto windowRect = [client](bool inside) {
        RECT rect{};
        if (inside) {
            GetClientRect(client, &rect);
        } else {
            GetWindowRect(GetParent(client), &rect);
        }
        return rect;
    };
    object_->Member(L"Name", 1, [](VARIANT* result) { return text(result, L"UserForm1"); })
        .Member(L"ActiveControl", kUserFormActiveControl,
                [this](VARIANT* result) {
                    for (const std::unique_ptr<TextBox>& box : textBoxes_) {
                        if (box->box == boxes_.Focused()) {
                            return object(result, box->extender.Get());
                        }
                    }
                    return object(result, nullptr);
                })
        // Its position and size, in points, as a UserForm gives them.
        .Member(L"Left", 2,
                [windowRect](VARIANT* result) {
                    return single(result, points(windowRect(false).left));
                })
        .Member(
            L"Top", 3,
            [windowRect](VARIANT* result) { return single(result, points(windowRect(false).top)); })
        .Member(L"Width", 4,
                [windowRect](VARIANT* result) {
                    const RECT rect = windowRect(false);
                    return single(result, points(rect.right - rect.left));
                })
        .Member(L"InsideWidth", 5, [windowRect](VARIANT* result) {
            return single(result, points(windowRect(true).right));
        });
    form.SetObject(object_);
}

UserFormHost::TextBox& UserFormHost::Add(const std::wstring& name) {
    auto added = std::make_unique<TextBox>();
    TextBox* box = added.get();
    box->box = &boxes_.Add(name);
    box->control = LateObject::Create();
    box->control->interfaces = {kIMdcText};
    box->control->events = EventPoint::Create(kMdcTextEvents);
    DrawnBoxes* boxes = &boxes_;
    box->control
        ->Member(
            L"Text", DISPID_TEXT, [box](VARIANT* result) { return text(result, box->box->text); },
            [box, boxes](const VARIANT& value) {
                std::wstring written;
                if (!textOf(value, written)) {
                    return DISP_E_TYPEMISMATCH;
                }
                boxes->SetText(*box->box, written);
                return S_OK;
            })
        .Member(L"BackColor", DISPID_BACKCOLOR,
                [](VARIANT* result) { return long4(result, static_cast<LONG>(0x80000005)); })
        .Member(L"MultiLine", -537, [](VARIANT* result) { return boolean(result, false); })
        .Member(L"PasswordChar", -534, [](VARIANT* result) { return text(result, L""); })
        // 1: left.
        .Member(L"TextAlign", 10004, [](VARIANT* result) { return integer(result, 1); });
    box->box->changed = [box] {
        ++box->changesRaised;
        box->control->events->Fire(2, nullptr, 0);
    };
    box->box->key = [box](bool down, short& keyCode) {
        // The key code travels in an object whose Value, an int, the
        // handlers may rewrite.
        auto value = std::make_shared<int>(keyCode);
        ComPtr<LateObject> returnInteger = LateObject::Create();
        returnInteger->interfaces = {kIReturnInteger};
        returnInteger->Member(
            L"Value", 0,
            [value](VARIANT* result) {
                V_VT(result) = VT_INT;
                V_INT(result) = *value;
                return S_OK;
            },
            [value](const VARIANT& written) {
                if (V_VT(&written) != VT_INT) {
                    return DISP_E_TYPEMISMATCH;
                }
                *value = V_INT(&written);
                return S_OK;
            });
        VARIANT arguments[2];
        V_VT(&arguments[1]) = VT_DISPATCH;
        V_DISPATCH(&arguments[1]) = returnInteger.Get();
        V_VT(&arguments[0]) = VT_I2;
        V_I2(&arguments[0]) = shiftState();
        box->control->events->Fire(down ? -602 : -604, arguments, 2);
        keyCode = static_cast<short>(*value);
    };

    // The extender: Name and position (points) of its own, the rest is the
    // box's.
    box->extender = LateObject::Create();
    box->extender->interfaces = {kIControl};
    box->extender->inner = box->control;
    const RECT rect = box->box->rect;
    box->extender
        ->Member(L"Name", kExtenderName, [name](VARIANT* result) { return text(result, name); })
        .Member(L"Left", kExtenderLeft,
                [rect](VARIANT* result) { return single(result, points(rect.left)); })
        .Member(L"Top", kExtenderTop,
                [rect](VARIANT* result) { return single(result, points(rect.top)); })
        .Member(L"Width", kExtenderWidth,
                [rect](VARIANT* result) { return single(result, points(rect.right - rect.left)); })
        .Member(L"Height", kExtenderHeight,
                [rect](VARIANT* result) { return single(result, points(rect.bottom - rect.top)); })
        .Member(L"Visible", kExtenderVisible, [](VARIANT* result) { return boolean(result, true); })
        .Member(L"Parent", kExtenderParent,
                [this](VARIANT* result) { return object(result, object_.Get()); })
        .Member(L"Object", kExtenderObject,
                [box](VARIANT* result) { return object(result, box->control.Get()); });
    textBoxes_.push_back(std::move(added));
    return *box;
}

// --- AccessFormHost ---

AccessFormHost::AccessFormHost(TestForm& form)
    : form_(form), boxes_(form), object_(LateObject::Create()) {
    object_->typeInfo.Attach(form.TypeInfo(DIID__Form));
    // Neither Left nor Top: an Access form does not have them.
    object_->Member(L"Name", 1, [](VARIANT* result) { return text(result, L"Customers"); })
        .Member(L"ActiveControl", kAccessActiveControl, [this](VARIANT* result) {
            for (const std::unique_ptr<TextBox>& box : textBoxes_) {
                if (box->box == boxes_.Focused()) {
                    // A new object on every read.
                    return object(result, NewObject(*box).Get());
                }
            }
            return object(result, nullptr);
        });
    form.SetObject(object_);
}

AccessFormHost::TextBox& AccessFormHost::Add(const std::wstring& name) {
    auto added = std::make_unique<TextBox>();
    TextBox* box = added.get();
    box->box = &boxes_.Add(name);
    box->events = EventPoint::Create(kDispTextBoxEvents);
    box->box->changed = [box] {
        if (box->onChange == kEventProcedure) {
            box->events->Fire(0x81D, nullptr, 0);
        }
    };
    box->box->key = [box](bool down, short& keyCode) {
        if ((down ? box->onKeyDown : box->onKeyUp) != kEventProcedure) {
            return;
        }
        // Both arguments are Variants by reference holding Integers.
        short shift = shiftState();
        VARIANT held[2];
        V_VT(&held[1]) = VT_BYREF | VT_I2;
        V_I2REF(&held[1]) = &keyCode;
        V_VT(&held[0]) = VT_BYREF | VT_I2;
        V_I2REF(&held[0]) = &shift;
        VARIANT arguments[2];
        for (int i = 0; i < 2; ++i) {
            V_VT(&arguments[i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&arguments[i]) = &held[i];
        }
        box->events->Fire(down ? -602 : -604, arguments, 2);
    };
    textBoxes_.push_back(std::move(added));
    return *box;
}

ComPtr<IDispatch> AccessFormHost::NewObject(TextBox& box) {
    ++box.objectsHandedOut;
    ComPtr<LateObject> made = LateObject::Create();
    made->interfaces = {kAccessTextbox};
    made->events = box.events;
    TextBox* b = &box;
    DrawnBoxes* boxes = &boxes_;
    const RECT rect = box.box->rect;
    const auto eventProperty = [&](const wchar_t* name, DISPID id, std::wstring TextBox::*field) {
        made->Member(
            name, id, [b, field](VARIANT* result) { return text(result, b->*field); },
            [b, field](const VARIANT& value) { return setText(value, b->*field); });
    };
    made->Member(L"Name", kExtenderName,
                 [b](VARIANT* result) { return text(result, b->box->name); })
        .Member(
            L"Text", 0x10B, [b](VARIANT* result) { return text(result, b->box->text); },
            [b, boxes](const VARIANT& value) {
                std::wstring written;
                if (!textOf(value, written)) {
                    return DISP_E_TYPEMISMATCH;
                }
                boxes->SetText(*b->box, written);
                return S_OK;
            })
        // Twips in the section that holds it.
        .Member(L"Left", 0x36,
                [rect](VARIANT* result) {
                    return integer(result, static_cast<short>(twips(rect.left)));
                })
        .Member(L"Top", 0x8D,
                [rect](VARIANT* result) {
                    return integer(result, static_cast<short>(twips(rect.top)));
                })
        .Member(L"Width", 0x96,
                [rect](VARIANT* result) {
                    return integer(result, static_cast<short>(twips(rect.right - rect.left)));
                })
        .Member(L"Height", 0x2C,
                [rect](VARIANT* result) {
                    return integer(result, static_cast<short>(twips(rect.bottom - rect.top)));
                })
        .Member(L"BackColor", 0x1C, [](VARIANT* result) { return long4(result, 0xFFFFFF); })
        // A byte: 0 general.
        .Member(L"TextAlign", 0x88, [](VARIANT* result) {
            V_VT(result) = VT_UI1;
            V_UI1(result) = 0;
            return S_OK;
        });
    eventProperty(L"OnChange", 0x72, &TextBox::onChange);
    eventProperty(L"OnKeyDown", 0x68, &TextBox::onKeyDown);
    eventProperty(L"OnKeyUp", 0x69, &TextBox::onKeyUp);
    return made;
}

// --- DataListComboHost ---

namespace {

constexpr wchar_t kComboClass[] = L"FillaheadDataListCombo";

} // namespace

std::wstring DataListComboHost::Combo::Text() const {
    return windowText(edit);
}

DataListComboHost::DataListComboHost(TestForm& form) : form_(form), object_(LateObject::Create()) {
    registerClass(kComboClass, &ComboProc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    registerClass(L"DataComboListWndClass", &DefWindowProcW,
                  reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    registerClass(L"DBComboListWndClass", &DefWindowProcW,
                  reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    object_->typeInfo.Attach(form.TypeInfo(DIID__TestForm));
    object_->Member(L"Name", 1, [](VARIANT* result) { return text(result, L"Form1"); })
        .Member(L"ActiveControl", 2, [this](VARIANT* result) {
            return object(result, active_ != nullptr ? active_->extender.Get() : nullptr);
        });
    form.SetObject(object_);
}

DataListComboHost::~DataListComboHost() {
    for (const std::unique_ptr<Combo>& combo : combos_) {
        RemoveWindowSubclass(combo->edit, &EditProc, 1);
        DestroyWindow(combo->dropDown);
        DestroyWindow(combo->window);
    }
}

DataListComboHost::Combo& DataListComboHost::Add(Kind kind, const std::wstring& name, short style) {
    auto added = std::make_unique<Combo>();
    Combo* combo = added.get();
    combo->kind = kind;
    combo->name = name;
    combo->style = style;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    combo->window = CreateWindowExW(WS_EX_CLIENTEDGE, kComboClass, L"", WS_CHILD | WS_VISIBLE, 16,
                                    nextTop_, 250, 26, form_.Window(), nullptr, instance, combo);
    nextTop_ += 40;
    combo->edit = CreateWindowExW(
        0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | (style == 2 ? ES_READONLY : 0), 2,
        2, 220, 18, combo->window, nullptr, instance, nullptr);
    SetWindowSubclass(combo->edit, &EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    RECT where{};
    GetWindowRect(combo->window, &where);
    combo->dropDown =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                        kind == Kind::DataCombo ? L"DataComboListWndClass" : L"DBComboListWndClass",
                        L"", WS_POPUP | WS_BORDER, where.left, where.bottom,
                        where.right - where.left, 80, nullptr, nullptr, instance, nullptr);

    combo->control = LateObject::Create();
    combo->control->interfaces = {kind == Kind::DataCombo ? kIDataCombo : kIDBCombo};
    const IID& events = kind == Kind::DataCombo ? kDataComboEvents : kDDBComboEvents;
    combo->control->events = EventPoint::Create(events);
    if (kind == Kind::DataCombo) {
        combo->control->defaultSource = events;
    }
    combo->control
        ->Member(
            L"Text", 15, [combo](VARIANT* result) { return text(result, combo->Text()); },
            [combo](const VARIANT& value) { return setWindowText(value, combo->edit); })
        .Member(L"Style", 4, [combo](VARIANT* result) { return integer(result, combo->style); })
        .Member(L"BackColor", DISPID_BACKCOLOR,
                [](VARIANT* result) { return long4(result, static_cast<LONG>(0x80000005)); })
        .Member(L"hWnd", DISPID_HWND, [combo](VARIANT* result) {
            return long4(result, static_cast<LONG>(reinterpret_cast<LONG_PTR>(combo->window)));
        });

    combo->extender = LateObject::Create();
    combo->extender->inner = combo->control;
    combo->extender
        ->Member(L"Name", kExtenderName,
                 [combo](VARIANT* result) { return text(result, combo->name); })
        .Member(L"Parent", kExtenderParent,
                [this](VARIANT* result) { return object(result, object_.Get()); })
        .Member(L"Object", kExtenderObject,
                [combo](VARIANT* result) { return object(result, combo->control.Get()); });
    combos_.push_back(std::move(added));
    return *combo;
}

void DataListComboHost::Focus(Combo& combo) {
    SetForegroundWindow(form_.Window());
    SetFocus(combo.edit);
}

LRESULT CALLBACK DataListComboHost::ComboProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* combo = reinterpret_cast<Combo*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COMMAND && combo != nullptr && HIWORD(wParam) == EN_CHANGE) {
        ++combo->changesRaised;
        combo->control->events->Fire(1, nullptr, 0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK DataListComboHost::EditProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<DataListComboHost*>(data);
    const auto found =
        std::find_if(self->combos_.begin(), self->combos_.end(),
                     [&](const std::unique_ptr<Combo>& combo) { return combo->edit == window; });
    if (found == self->combos_.end()) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    Combo& combo = **found;
    static bool swallowChar = false;
    switch (message) {
    case WM_SETFOCUS:
        self->active_ = &combo;
        self->form_.Focused(window);
        break;
    case WM_KEYDOWN:
    case WM_KEYUP: {
        // KeyCode by reference, Shift by value.
        short keyCode = static_cast<short>(wParam);
        VARIANT arguments[2];
        V_VT(&arguments[1]) = VT_BYREF | VT_I2;
        V_I2REF(&arguments[1]) = &keyCode;
        V_VT(&arguments[0]) = VT_I2;
        V_I2(&arguments[0]) = shiftState();
        combo.control->events->Fire(message == WM_KEYDOWN ? -602 : -604, arguments, 2);
        if (keyCode == 0) {
            swallowChar = message == WM_KEYDOWN;
            return 0;
        }
        if (message == WM_KEYUP) {
            break;
        }
        combo.keysPassed.push_back(wParam);
        if (wParam == VK_F4 || (wParam == VK_ESCAPE && combo.DroppedDown())) {
            // Its own list drops down or goes up.
            ShowWindow(combo.dropDown, combo.DroppedDown() ? SW_HIDE : SW_SHOWNOACTIVATE);
            return 0;
        }
        break;
    }
    case WM_CHAR:
        if (swallowChar) {
            swallowChar = false;
            return 0;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// --- NetFormHost ---

std::wstring NetFormHost::TextBox::Text() const {
    return windowText(window);
}

NetFormHost::NetFormHost(TestForm& form) : form_(form), object_(LateObject::Create()) {
    // Members numbered as the host hands them out; no type information.
    object_->Member(L"Name", 1, [](VARIANT* result) { return text(result, L"Form1"); })
        .Member(L"GetType", 2,
                [](VARIANT* result) {
                    return object(result, netType(L"System.Windows.Forms.Form").Get());
                })
        .Member(L"ActiveControl", 3, [this](VARIANT* result) {
            const HWND focus = GetFocus();
            for (const std::unique_ptr<TextBox>& box : textBoxes_) {
                if (box->window == focus) {
                    return object(result, box->control.Get());
                }
            }
            return object(result, nullptr);
        });
    form.SetObject(object_);
}

NetFormHost::~NetFormHost() {
    for (const std::unique_ptr<TextBox>& box : textBoxes_) {
        RemoveWindowSubclass(box->window, &EditProc, 1);
        DestroyWindow(box->window);
    }
}

NetFormHost::TextBox& NetFormHost::Add(const std::wstring& name) {
    auto added = std::make_unique<TextBox>();
    TextBox* box = added.get();
    box->name = name;
    box->window = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 16,
        nextTop_, 250, 24, form_.Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    nextTop_ += 40;
    SetWindowSubclass(box->window, &EditProc, 1, reinterpret_cast<DWORD_PTR>(box));
    box->control = LateObject::Create();
    const auto size = [box](bool width) {
        RECT rect{};
        GetWindowRect(box->window, &rect);
        return width ? rect.right - rect.left : rect.bottom - rect.top;
    };
    box->control->Member(L"Name", 1, [box](VARIANT* result) { return text(result, box->name); })
        .Member(L"GetType", 2,
                [](VARIANT* result) {
                    return object(result, netType(L"System.Windows.Forms.TextBox").Get());
                })
        .Member(
            L"Text", 3, [box](VARIANT* result) { return text(result, box->Text()); },
            [box](const VARIANT& value) { return setWindowText(value, box->window); })
        .Member(L"Width", 4, [size](VARIANT* result) { return long4(result, size(true)); })
        .Member(L"Height", 5, [size](VARIANT* result) { return long4(result, size(false)); })
        .Member(L"BackColor", 6, [](VARIANT* result) { return long4(result, 0xFFFFFF); })
        // A Char: none.
        .Member(L"PasswordChar", 7,
                [](VARIANT* result) {
                    V_VT(result) = VT_UI2;
                    V_UI2(result) = 0;
                    return S_OK;
                })
        .Member(L"Multiline", 8, [](VARIANT* result) { return boolean(result, false); });
    textBoxes_.push_back(std::move(added));
    return *box;
}

void NetFormHost::Focus(TextBox& box) {
    SetForegroundWindow(form_.Window());
    SetFocus(box.window);
    form_.Focused(box.window);
}

LRESULT CALLBACK NetFormHost::EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
    auto* box = reinterpret_cast<TextBox*>(data);
    if (message == WM_KEYDOWN) {
        box->keysPassed.push_back(wParam);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace fillahead::hosts
