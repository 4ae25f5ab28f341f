#include "library/HostEventSink.h"

#include "library/ComObject.h"
#include "library/Conversions.h"
#include "library/DispatchHostObject.h"
#include "library/Owners.h"
#include "platform/AutomationError.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace fillahead::library {
namespace {

// The most stack words an event method takes that the receiver can answer;
// the longest event of the known hosts takes seven.
constexpr std::size_t kMaxWords = 16;
// IUnknown's three methods, and IDispatch's four after them.
constexpr int kUnknownSlots = 3;
constexpr int kDispatchSlots = 7;

class HostEventSink;

// The object a host calls the event interface's vtable on.
struct VtableFace {
    const void* const* vtable;
    HostEventSink* sink;
};

// --- Reading type information ---

class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo& info) : info_(info) {
        if (FAILED(info.GetTypeAttr(&attr_))) {
            throw AutomationError(error::TypeMismatch, u"unreadable type information");
        }
    }
    ~TypeAttr() { info_.ReleaseTypeAttr(attr_); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    const TYPEATTR* operator->() const { return attr_; }

private:
    ITypeInfo& info_;
    TYPEATTR* attr_ = nullptr;
};

class FuncDesc {
public:
    FuncDesc(ITypeInfo& info, UINT index) : info_(info) {
        if (FAILED(info.GetFuncDesc(index, &desc_))) {
            throw AutomationError(error::TypeMismatch, u"unreadable type information");
        }
    }
    ~FuncDesc() { info_.ReleaseFuncDesc(desc_); }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    const FUNCDESC* operator->() const { return desc_; }

private:
    ITypeInfo& info_;
    FUNCDESC* desc_ = nullptr;
};

Text memberName(ITypeInfo& info, MEMBERID id) {
    UniqueBstr name;
    if (FAILED(info.GetDocumentation(id, name.put(), nullptr, nullptr, nullptr))) {
        return {};
    }
    return Text(TextOf(name.get()));
}

// The 32-bit stack words an argument of this type takes when passed by value.
int wordsOf(const TYPEDESC& type) {
    switch (type.vt) {
    case VT_R8:
    case VT_I8:
    case VT_UI8:
    case VT_CY:
    case VT_DATE:
        return 2;
    case VT_VARIANT:
    case VT_DECIMAL:
        return 4;
    default:
        return 1;
    }
}

bool isShortByReference(const ELEMDESC& argument) {
    const TYPEDESC& type = argument.tdesc;
    return type.vt == VT_PTR && type.lptdesc != nullptr && type.lptdesc->vt == VT_I2;
}

[[noreturn]] void unsupported(TextView what) {
    throw AutomationError(error::NotSupported, Text(u"its event interface ") + Text(what));
}

EventLayout layoutOf(ITypeInfo& info) {
    const TypeAttr attr(info);
    EventLayout layout;
    layout.events = attr->guid;
    if (attr->typekind == TKIND_DISPATCH) {
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            const FuncDesc function(info, i);
            const Text name = memberName(info, function->memid);
            if (equalsIgnoringCase(name, kChangeEvent)) {
                layout.changeId = function->memid;
            } else if (equalsIgnoringCase(name, kKeyDownEvent)) {
                layout.keyDownId = function->memid;
            } else if (equalsIgnoringCase(name, kKeyUpEvent)) {
                layout.keyUpId = function->memid;
            }
        }
        return layout;
    }
    if (attr->typekind != TKIND_INTERFACE) {
        unsupported(u"is neither an interface nor a dispinterface");
    }
    layout.vtable = true;
    if (attr->cImplTypes > 0) {
        HREFTYPE base = 0;
        ComPtr<ITypeInfo> baseInfo;
        if (SUCCEEDED(info.GetRefTypeOfImplType(0, &base)) &&
            SUCCEEDED(info.GetRefTypeInfo(base, &baseInfo))) {
            layout.derivesFromDispatch = TypeAttr(*baseInfo.Get())->guid == IID_IDispatch;
        }
    }
    const int first = layout.derivesFromDispatch ? kDispatchSlots : kUnknownSlots;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        const FuncDesc function(info, i);
        const int index = function->oVft / static_cast<int>(sizeof(void*)) - first;
        if (index < 0) {
            continue;
        }
        if (static_cast<std::size_t>(index) >= layout.words.size()) {
            layout.words.resize(static_cast<std::size_t>(index) + 1, 0);
        }
        int words = 0;
        for (SHORT p = 0; p < function->cParams; ++p) {
            words += wordsOf(function->lprgelemdescParam[p].tdesc);
        }
        layout.words[static_cast<std::size_t>(index)] = words;
        const Text name = memberName(info, function->memid);
        const bool key =
            equalsIgnoringCase(name, kKeyDownEvent) || equalsIgnoringCase(name, kKeyUpEvent);
        if (key && !(function->cParams == 2 && isShortByReference(function->lprgelemdescParam[0]) &&
                     isShortByReference(function->lprgelemdescParam[1]))) {
            unsupported(u"passes its key events other than as two Integers by reference");
        }
        if (equalsIgnoringCase(name, kChangeEvent)) {
            layout.change = index;
            layout.changeId = function->memid;
        } else if (equalsIgnoringCase(name, kKeyDownEvent)) {
            layout.keyDown = index;
            layout.keyDownId = function->memid;
        } else if (equalsIgnoringCase(name, kKeyUpEvent)) {
            layout.keyUp = index;
            layout.keyUpId = function->memid;
        }
    }
    return layout;
}

// The source interface the control's class publishes: the kind's event
// interface, else the class's default source.
std::optional<EventLayout> publishedByControl(IUnknown& control, const HostKind& kind) {
    ComPtr<IProvideClassInfo> provider;
    ComPtr<ITypeInfo> classInfo;
    if (FAILED(control.QueryInterface(IID_IProvideClassInfo,
                                      reinterpret_cast<void**>(provider.GetAddressOf()))) ||
        FAILED(provider->GetClassInfo(&classInfo)) || !classInfo) {
        return std::nullopt;
    }
    const TypeAttr attr(*classInfo.Get());
    ComPtr<ITypeInfo> chosen;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(classInfo->GetImplTypeFlags(i, &flags)) || (flags & IMPLTYPEFLAG_FSOURCE) == 0 ||
            FAILED(classInfo->GetRefTypeOfImplType(i, &reference)) ||
            FAILED(classInfo->GetRefTypeInfo(reference, &source))) {
            continue;
        }
        if (TypeAttr(*source.Get())->guid == kind.events) {
            chosen = source;
            break;
        }
        if ((flags & IMPLTYPEFLAG_FDEFAULT) != 0 && !chosen) {
            chosen = source;
        }
    }
    if (!chosen) {
        return std::nullopt;
    }
    return layoutOf(*chosen.Get());
}

EventLayout publishedByKind(const HostKind& kind) {
    EventLayout layout;
    layout.events = kind.events;
    layout.vtable = kind.vtableEvents;
    layout.changeId = kind.change;
    layout.keyDownId = kind.keyDown;
    layout.keyUpId = kind.keyUp;
    for (const EventMethod& method : kind.eventMethods) {
        const int index = static_cast<int>(layout.words.size());
        layout.words.push_back(method.words);
        if (equalsIgnoringCase(method.name, kChangeEvent)) {
            layout.change = index;
        } else if (equalsIgnoringCase(method.name, kKeyDownEvent)) {
            layout.keyDown = index;
        } else if (equalsIgnoringCase(method.name, kKeyUpEvent)) {
            layout.keyUp = index;
        }
    }
    return layout;
}

// --- The vtable face's methods ---

template <std::size_t N>
struct StackWords {
    std::uint32_t word[N];
};

HRESULT STDMETHODCALLTYPE ignoreNone(VtableFace* /*self*/) {
    return S_OK;
}

template <std::size_t N>
HRESULT STDMETHODCALLTYPE ignoreWords(VtableFace* /*self*/, StackWords<N> /*arguments*/) {
    return S_OK;
}

template <std::size_t... N>
std::array<const void*, sizeof...(N) + 1> makeIgnoreStubs(std::index_sequence<N...>) {
    return {reinterpret_cast<const void*>(&ignoreNone),
            reinterpret_cast<const void*>(&ignoreWords<N + 1>)...};
}

// The stub that answers a method of n words.
const void* ignoreStub(int words) {
    static const auto stubs = makeIgnoreStubs(std::make_index_sequence<kMaxWords>());
    return stubs[static_cast<std::size_t>(words)];
}

// A 16-bit integer argument of an event raised through Invoke: by
// reference (written back), inside a Variant passed by reference (written
// back in the Variant's own type) or by value (a copy).
class ShortArgument {
public:
    explicit ShortArgument(VARIANT& argument) {
        VARIANT* v = &argument;
        while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
            v = V_VARIANTREF(v);
            writable_ = true;
        }
        target_ = v;
        switch (V_VT(v)) {
        case VT_BYREF | VT_I2:
            writable_ = true;
            value = *V_I2REF(v);
            return;
        case VT_BYREF | VT_I4:
            writable_ = true;
            value = static_cast<std::int16_t>(*V_I4REF(v));
            return;
        case VT_BYREF | VT_INT:
            writable_ = true;
            value = static_cast<std::int16_t>(*V_INTREF(v));
            return;
        default:
            break;
        }
        UniqueVariant converted;
        if (SUCCEEDED(VariantChangeType(converted.get(), v, 0, VT_I2))) {
            value = V_I2(converted.get());
        }
    }

    void writeBack() const {
        if (!writable_) {
            return;
        }
        switch (V_VT(target_)) {
        case VT_BYREF | VT_I2:
            *V_I2REF(target_) = value;
            break;
        case VT_BYREF | VT_I4:
            *V_I4REF(target_) = value;
            break;
        case VT_BYREF | VT_INT:
            *V_INTREF(target_) = value;
            break;
        case VT_I2:
            V_I2(target_) = value;
            break;
        case VT_I4:
            V_I4(target_) = value;
            break;
        case VT_INT:
            V_INT(target_) = value;
            break;
        default:
            break;
        }
    }

    std::int16_t value = 0;

private:
    VARIANT* target_ = nullptr;
    bool writable_ = false;
};

class HostEventSink final : public ComObject<IDispatch> {
public:
    HostEventSink(EventLayout layout, HostControlEvents& events);

    // No event reaches the sink any more.
    void Detach() noexcept { events_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override;

    // Both faces end here.
    void Change() noexcept;
    void Key(bool down, std::int16_t& KeyCode, std::int16_t& Shift) noexcept;
    void Key(bool down, HostObject& KeyCode, std::int16_t Shift) noexcept;
    void Key(bool down, Variant& KeyCode, Variant& Shift) noexcept;

    static HRESULT STDMETHODCALLTYPE FaceQueryInterface(VtableFace* self, REFIID iid, void** out) {
        return self->sink->QueryInterface(iid, out);
    }
    static ULONG STDMETHODCALLTYPE FaceAddRef(VtableFace* self) { return self->sink->AddRef(); }
    static ULONG STDMETHODCALLTYPE FaceRelease(VtableFace* self) { return self->sink->Release(); }
    static HRESULT STDMETHODCALLTYPE FaceGetTypeInfoCount(VtableFace* self, UINT* count) {
        return self->sink->GetTypeInfoCount(count);
    }
    static HRESULT STDMETHODCALLTYPE FaceGetTypeInfo(VtableFace* self, UINT index, LCID locale,
                                                     ITypeInfo** info) {
        return self->sink->GetTypeInfo(index, locale, info);
    }
    static HRESULT STDMETHODCALLTYPE FaceGetIDsOfNames(VtableFace* self, REFIID iid,
                                                       LPOLESTR* names, UINT count, LCID locale,
                                                       DISPID* ids) {
        return self->sink->GetIDsOfNames(iid, names, count, locale, ids);
    }
    static HRESULT STDMETHODCALLTYPE FaceInvoke(VtableFace* self, DISPID member, REFIID iid,
                                                LCID locale, WORD flags, DISPPARAMS* params,
                                                VARIANT* result, EXCEPINFO* exception,
                                                UINT* argumentError) {
        return self->sink->Invoke(member, iid, locale, flags, params, result, exception,
                                  argumentError);
    }
    static HRESULT STDMETHODCALLTYPE FaceChange(VtableFace* self) {
        self->sink->Change();
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE FaceKeyDown(VtableFace* self, short* KeyCode, short* Shift) {
        faceKey(self, true, KeyCode, Shift);
        return S_OK;
    }
    static HRESULT STDMETHODCALLTYPE FaceKeyUp(VtableFace* self, short* KeyCode, short* Shift) {
        faceKey(self, false, KeyCode, Shift);
        return S_OK;
    }

protected:
    void* QueryExtra(REFIID iid) override {
        if (iid != layout_.events) {
            return nullptr;
        }
        return layout_.vtable ? static_cast<void*>(&face_)
                              : static_cast<void*>(static_cast<IDispatch*>(this));
    }

private:
    static void faceKey(VtableFace* self, bool down, short* KeyCode, short* Shift) {
        std::int16_t code = KeyCode != nullptr ? *KeyCode : 0;
        std::int16_t shift = Shift != nullptr ? *Shift : 0;
        self->sink->Key(down, code, shift);
        if (KeyCode != nullptr) {
            *KeyCode = code;
        }
        if (Shift != nullptr) {
            *Shift = shift;
        }
    }

    EventLayout layout_;
    std::vector<const void*> vtable_;
    VtableFace face_;
    HostControlEvents* events_;
};

template <typename Function>
const void* slot(Function function) {
    return reinterpret_cast<const void*>(function);
}

HostEventSink::HostEventSink(EventLayout layout, HostControlEvents& events)
    : layout_(std::move(layout)), face_{nullptr, this}, events_(&events) {
    if (layout_.vtable) {
        vtable_ = {slot(&FaceQueryInterface), slot(&FaceAddRef), slot(&FaceRelease)};
        if (layout_.derivesFromDispatch) {
            vtable_.insert(vtable_.end(), {slot(&FaceGetTypeInfoCount), slot(&FaceGetTypeInfo),
                                           slot(&FaceGetIDsOfNames), slot(&FaceInvoke)});
        }
        for (std::size_t i = 0; i < layout_.words.size(); ++i) {
            const int index = static_cast<int>(i);
            vtable_.push_back(index == layout_.change    ? slot(&FaceChange)
                              : index == layout_.keyDown ? slot(&FaceKeyDown)
                              : index == layout_.keyUp   ? slot(&FaceKeyUp)
                                                         : ignoreStub(layout_.words[i]));
        }
        face_.vtable = vtable_.data();
    }
}

void HostEventSink::Change() noexcept {
    // The handler may drop the connection, and with it the host's reference.
    const ComPtr<IUnknown> keepAlive(Identity());
    if (events_ != nullptr) {
        try {
            events_->Change();
        } catch (...) {
            // Nothing goes back into the host's event.
        }
    }
}

void HostEventSink::Key(bool down, std::int16_t& KeyCode, std::int16_t& Shift) noexcept {
    const ComPtr<IUnknown> keepAlive(Identity());
    if (events_ != nullptr) {
        try {
            if (down) {
                events_->KeyDown(KeyCode, Shift);
            } else {
                events_->KeyUp(KeyCode, Shift);
            }
        } catch (...) {
            // Nothing goes back into the host's event.
        }
    }
}

void HostEventSink::Key(bool down, HostObject& KeyCode, std::int16_t Shift) noexcept {
    const ComPtr<IUnknown> keepAlive(Identity());
    if (events_ != nullptr) {
        try {
            if (down) {
                events_->KeyDown(KeyCode, Shift);
            } else {
                events_->KeyUp(KeyCode, Shift);
            }
        } catch (...) {
            // Nothing goes back into the host's event.
        }
    }
}

void HostEventSink::Key(bool down, Variant& KeyCode, Variant& Shift) noexcept {
    const ComPtr<IUnknown> keepAlive(Identity());
    if (events_ != nullptr) {
        try {
            if (down) {
                events_->KeyDown(KeyCode, Shift);
            } else {
                events_->KeyUp(KeyCode, Shift);
            }
        } catch (...) {
            // Nothing goes back into the host's event.
        }
    }
}

// The object an argument holds, looked through references; null for none.
IDispatch* objectArgument(const VARIANT& argument) {
    const VARIANT* v = &argument;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    if (V_VT(v) == VT_DISPATCH) {
        return V_DISPATCH(v);
    }
    if (V_VT(v) == (VT_BYREF | VT_DISPATCH)) {
        return *V_DISPATCHREF(v);
    }
    return nullptr;
}

HRESULT HostEventSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                              EXCEPINFO*, UINT*) {
    if (member == layout_.changeId) {
        Change();
        return S_OK;
    }
    const bool down = member == layout_.keyDownId;
    if (!(down || member == layout_.keyUpId) || params == nullptr || params->cArgs != 2 ||
        params->rgvarg == nullptr) {
        return S_OK;
    }
    // Arguments arrive last one first.
    VARIANT& keyArgument = params->rgvarg[1];
    VARIANT& shiftArgument = params->rgvarg[0];
    if (layout_.keys == KeyArguments::ReturnInteger) {
        if (IDispatch* keyCode = objectArgument(keyArgument)) {
            std::shared_ptr<HostObject> object;
            try {
                object = DispatchHostObject::Of(keyCode);
            } catch (...) {
                return S_OK;
            }
            Key(down, *object, ShortArgument(shiftArgument).value);
            return S_OK;
        }
        // A host that hands the key code over as an Integer is served as
        // the other kinds are.
    } else if (layout_.keys == KeyArguments::Variants) {
        Variant keyCode;
        Variant shift;
        try {
            keyCode = Variant(ShortArgument(keyArgument).value);
            shift = Variant(ShortArgument(shiftArgument).value);
        } catch (...) {
            return S_OK;
        }
        Key(down, keyCode, shift);
        return S_OK;
    }
    ShortArgument keyCode(keyArgument);
    ShortArgument shift(shiftArgument);
    Key(down, keyCode.value, shift.value);
    keyCode.writeBack();
    shift.writeBack();
    return S_OK;
}

class HostEventConnection final : public EventConnection {
public:
    HostEventConnection(ComPtr<IConnectionPoint> point, DWORD cookie, ComPtr<HostEventSink> sink)
        : point_(std::move(point)), cookie_(cookie), sink_(std::move(sink)) {}
    ~HostEventConnection() override {
        sink_->Detach();
        point_->Unadvise(cookie_);
    }
    HostEventConnection(const HostEventConnection&) = delete;
    HostEventConnection& operator=(const HostEventConnection&) = delete;

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_;
    ComPtr<HostEventSink> sink_;
};

[[noreturn]] void refused(HRESULT hr, TextView why) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    throw AutomationError::fromHResult(static_cast<std::uint32_t>(hr),
                                       Text(why) + u" (" + Text(code, code + wcslen(code)) + u")");
}

} // namespace

EventLayout EventLayoutOf(IUnknown& control, const HostKind& kind) {
    std::optional<EventLayout> published = publishedByControl(control, kind);
    EventLayout layout = published ? *std::move(published) : publishedByKind(kind);
    if (!published && kind.eventsGuessed) {
        // A control without class information may still name its source.
        ComPtr<IProvideClassInfo2> provider;
        GUID source{};
        if (SUCCEEDED(control.QueryInterface(IID_IProvideClassInfo2,
                                             reinterpret_cast<void**>(provider.GetAddressOf()))) &&
            SUCCEEDED(provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)) &&
            source != GUID_NULL) {
            layout.events = source;
        }
    }
    layout.keys = kind.keyArguments;
    for (const int words : layout.words) {
        if (words < 0 || static_cast<std::size_t>(words) > kMaxWords) {
            unsupported(u"has an event with more arguments than any control's events have");
        }
    }
    return layout;
}

std::unique_ptr<EventConnection> ConnectHostEvents(IUnknown& control, const HostKind& kind,
                                                   HostControlEvents& sink) {
    EventLayout layout = EventLayoutOf(control, kind);
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = control.QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(container.GetAddressOf()));
    if (FAILED(hr)) {
        refused(hr, u"it offers no connection points");
    }
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(layout.events, &point);
    if (FAILED(hr)) {
        refused(hr, u"it has no connection point for its events");
    }
    ComPtr<HostEventSink> receiver = Adopt(new HostEventSink(std::move(layout), sink));
    DWORD cookie = 0;
    hr = point->Advise(receiver->Identity(), &cookie);
    if (FAILED(hr)) {
        receiver->Detach();
        refused(hr, u"it refused the connection to its events");
    }
    return std::make_unique<HostEventConnection>(std::move(point), cookie, std::move(receiver));
}

} // namespace fillahead::library
