#include "library/DispatchHostObject.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"
#include "library/HostEventSink.h"
#include "library/Owners.h"
#include "platform/AutomationError.h"

#include <algorithm>
#include <string>

namespace fillahead::library {
namespace {

// The member a lookup by name uses: what a VB extender calls its control.
constexpr wchar_t kInnerObject[] = L"Object";

Text describe(TextView member, TextView problem) {
    return Text(member) + u": " + Text(problem);
}

// The failure an Invoke reported, as VB reports it.
[[noreturn]] void raiseInvokeFailure(HRESULT hr, EXCEPINFO& exception, TextView member) {
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        throw AutomationError(error::NotSupported,
                              describe(member, standardDescription(error::NotSupported)));
    case DISP_E_TYPEMISMATCH:
        throw AutomationError(error::TypeMismatch);
    case DISP_E_BADPARAMCOUNT:
        throw AutomationError(450, u"Wrong number of arguments or invalid property assignment");
    case DISP_E_EXCEPTION: {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        const UniqueBstr description(exception.bstrDescription);
        const UniqueBstr source(exception.bstrSource);
        const UniqueBstr helpFile(exception.bstrHelpFile);
        HRESULT code = exception.scode;
        if (code == S_OK) {
            code = static_cast<HRESULT>(0x800A0000u | exception.wCode);
        }
        if (!FAILED(code)) {
            code = E_FAIL;
        }
        Text text(TextOf(description.get()));
        if (text.empty()) {
            ThrowIfFailed(code);
        }
        throw AutomationError::fromHResult(static_cast<std::uint32_t>(code), std::move(text));
    }
    default:
        ThrowIfFailed(hr);
        throw AutomationError(error::HandlerFailed);
    }
}

// Argument arrays own their values.
class Arguments {
public:
    explicit Arguments(std::vector<VARIANT>& values) : values_(values) {}
    ~Arguments() {
        for (VARIANT& value : values_) {
            VariantClear(&value);
        }
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

private:
    std::vector<VARIANT>& values_;
};

void clearException(EXCEPINFO& exception) {
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    exception = EXCEPINFO{};
}

Text typeInfoName(ITypeInfo& info) {
    UniqueBstr name;
    if (FAILED(info.GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr))) {
        return {};
    }
    Text text(TextOf(name.get()));
    // VB's TypeName drops the underscore of a hidden default interface.
    if (!text.empty() && text.front() == u'_') {
        text.erase(0, 1);
    }
    return text;
}

} // namespace

std::shared_ptr<DispatchHostObject> DispatchHostObject::Of(IUnknown* object) {
    if (object == nullptr) {
        return nullptr;
    }
    ComPtr<IUnknown> identity;
    ThrowIfFailed(
        object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf())));
    ComPtr<IDispatch> dispatch;
    object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    return std::make_shared<DispatchHostObject>(std::move(identity), std::move(dispatch));
}

DispatchHostObject::DispatchHostObject(ComPtr<IUnknown> identity, ComPtr<IDispatch> dispatch)
    : identity_(std::move(identity)), dispatch_(std::move(dispatch)) {}

IDispatch& DispatchHostObject::dispatch() {
    if (!dispatch_) {
        throw AutomationError(error::NotSupported);
    }
    return *dispatch_.Get();
}

DISPID DispatchHostObject::lookUp(TextView name) {
    for (const KnownMember& member : known_) {
        if (equalsIgnoringCase(member.name, name)) {
            return member.id;
        }
    }
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = dispatch().GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        throw AutomationError(error::NotSupported,
                              describe(name, standardDescription(error::NotSupported)));
    }
    known_.push_back({Text(name), id});
    return id;
}

DISPID DispatchHostObject::idOf(TextView name, bool& fromTable) {
    fromTable = false;
    if (kind_ != nullptr) {
        if (const PublishedDispid* published = PublishedProperty(*kind_, name)) {
            if (published->confidence == Published::Sure) {
                fromTable = true;
                return published->id;
            }
            // Only likely: the object's own answer comes first.
            try {
                return lookUp(name);
            } catch (const AutomationError&) {
                fromTable = true;
                return published->id;
            }
        }
    }
    return lookUp(name);
}

HRESULT DispatchHostObject::dispatchInvoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments,
                                           VARIANT* result, EXCEPINFO& exception) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argumentError = 0;
    return dispatch().Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                             &argumentError);
}

bool DispatchHostObject::retypedAsHeld(DISPID id, VARIANT& value) {
    std::vector<VARIANT> none;
    UniqueVariant held;
    EXCEPINFO exception{};
    const HRESULT hr = dispatchInvoke(id, DISPATCH_PROPERTYGET, none, held.get(), exception);
    clearException(exception);
    const VARTYPE type = V_VT(held.get());
    if (FAILED(hr) || type == V_VT(&value) || type == VT_EMPTY || type == VT_NULL ||
        type == VT_DISPATCH || type == VT_UNKNOWN || (type & (VT_ARRAY | VT_BYREF)) != 0) {
        return false;
    }
    UniqueVariant converted;
    if (FAILED(VariantChangeType(converted.get(), &value, 0, type))) {
        return false;
    }
    VariantClear(&value);
    converted.releaseTo(&value);
    return true;
}

HRESULT DispatchHostObject::tryInvoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments,
                                      VARIANT* result, EXCEPINFO& exception) {
    const HRESULT hr = dispatchInvoke(id, flags, arguments, result, exception);
    // Some objects take a value only in the type they hold it in (the
    // MSForms key code object's Value is an int, VT_INT, not a Long): the
    // value goes again in that type.
    if (hr == DISP_E_TYPEMISMATCH && flags == DISPATCH_PROPERTYPUT && arguments.size() == 1 &&
        retypedAsHeld(id, arguments[0])) {
        clearException(exception);
        return dispatchInvoke(id, flags, arguments, result, exception);
    }
    return hr;
}

Variant DispatchHostObject::invoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments,
                                   TextView member) {
    UniqueVariant result;
    EXCEPINFO exception{};
    const HRESULT hr = tryInvoke(id, flags, arguments, result.get(), exception);
    if (FAILED(hr)) {
        raiseInvokeFailure(hr, exception, member);
    }
    return HostValueOf(*result.get());
}

Variant DispatchHostObject::read(TextView name, WORD flags, std::vector<VARIANT>& arguments) {
    bool fromTable = false;
    const DISPID id = idOf(name, fromTable);
    if (fromTable) {
        UniqueVariant result;
        EXCEPINFO exception{};
        const HRESULT hr = tryInvoke(id, flags, arguments, result.get(), exception);
        if (hr != DISP_E_MEMBERNOTFOUND) {
            if (FAILED(hr)) {
                raiseInvokeFailure(hr, exception, name);
            }
            return HostValueOf(*result.get());
        }
        // The object numbers the member otherwise: ask it.
        return invoke(lookUp(name), flags, arguments, name);
    }
    return invoke(id, flags, arguments, name);
}

Variant DispatchHostObject::GetProperty(TextView name) {
    std::vector<VARIANT> arguments;
    return read(name, DISPATCH_PROPERTYGET, arguments);
}

void DispatchHostObject::PutProperty(TextView name, const Variant& value) {
    std::vector<VARIANT> arguments(1);
    const Arguments owned(arguments);
    ToHostVariant(value, &arguments[0]);
    read(name, DISPATCH_PROPERTYPUT, arguments);
}

Variant DispatchHostObject::GetProperty(DispatchId id) {
    std::vector<VARIANT> arguments;
    return invoke(id, DISPATCH_PROPERTYGET, arguments, u"property " + toText(id));
}

void DispatchHostObject::PutProperty(DispatchId id, const Variant& value) {
    std::vector<VARIANT> arguments(1);
    const Arguments owned(arguments);
    ToHostVariant(value, &arguments[0]);
    invoke(id, DISPATCH_PROPERTYPUT, arguments, u"property " + toText(id));
}

Variant DispatchHostObject::CallMethod(TextView name, const std::vector<Variant>& arguments) {
    std::vector<VARIANT> values(arguments.size());
    const Arguments owned(values);
    // DISPPARAMS hold the arguments last one first.
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        ToHostVariant(arguments[i], &values[arguments.size() - 1 - i]);
    }
    // A call by name without parentheses may be a property, as in VB.
    return invoke(lookUp(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, values, name);
}

Text DispatchHostObject::TypeName() {
    if (typeName_) {
        return *typeName_;
    }
    Text name;
    UINT count = 0;
    ComPtr<ITypeInfo> info;
    if (dispatch_ && SUCCEEDED(dispatch_->GetTypeInfoCount(&count)) && count > 0 &&
        SUCCEEDED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) && info) {
        name = typeInfoName(*info.Get());
    }
    ComPtr<IProvideClassInfo> provider;
    if (name.empty() &&
        SUCCEEDED(identity_->QueryInterface(IID_IProvideClassInfo,
                                            reinterpret_cast<void**>(provider.GetAddressOf()))) &&
        SUCCEEDED(provider->GetClassInfo(info.ReleaseAndGetAddressOf())) && info) {
        name = typeInfoName(*info.Get());
    }
    typeName_ = name.empty() ? Text(u"Object") : name;
    return *typeName_;
}

ComPtr<IUnknown> DispatchHostObject::implementerOf(const HostKind& kind) {
    const auto answers = [&](IUnknown* object) {
        return std::any_of(kind.interfaces.begin(), kind.interfaces.end(), [&](const IID& iid) {
            ComPtr<IUnknown> found;
            return SUCCEEDED(
                object->QueryInterface(iid, reinterpret_cast<void**>(found.GetAddressOf())));
        });
    };
    if (answers(identity_.Get())) {
        return identity_;
    }
    // An extender holds the control in its Object property. Asked without
    // raising: most objects have no such property.
    if (!dispatch_) {
        return nullptr;
    }
    std::wstring name(kInnerObject);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        return nullptr;
    }
    std::vector<VARIANT> none;
    UniqueVariant inner;
    EXCEPINFO exception{};
    const HRESULT hr = tryInvoke(id, DISPATCH_PROPERTYGET, none, inner.get(), exception);
    clearException(exception);
    if (FAILED(hr)) {
        return nullptr;
    }
    VARIANT* value = inner.get();
    if ((V_VT(value) != VT_DISPATCH && V_VT(value) != VT_UNKNOWN) || V_UNKNOWN(value) == nullptr) {
        return nullptr;
    }
    ComPtr<IUnknown> control;
    if (FAILED(V_UNKNOWN(value)->QueryInterface(
            IID_IUnknown, reinterpret_cast<void**>(control.GetAddressOf()))) ||
        control.Get() == identity_.Get() || !answers(control.Get())) {
        return nullptr;
    }
    return control;
}

bool DispatchHostObject::Implements(ControlInterface kind) {
    const HostKind* known = HostKindOf(kind);
    if (known == nullptr) {
        return false;
    }
    if (kind_ == known) {
        return true;
    }
    ComPtr<IUnknown> implementer = implementerOf(*known);
    if (!implementer) {
        return false;
    }
    kind_ = known;
    implementer_ = std::move(implementer);
    return true;
}

std::unique_ptr<EventConnection> DispatchHostObject::ConnectEvents(ControlInterface kind,
                                                                   HostControlEvents& sink) {
    if (!Implements(kind)) {
        throw AutomationError(error::NotSupported,
                              u"The control does not implement the interface of its kind");
    }
    return ConnectHostEvents(*implementer_.Get(), *kind_, sink);
}

Variant HostValueOf(const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    IUnknown* object = nullptr;
    switch (V_VT(v)) {
    case VT_DISPATCH:
        object = V_DISPATCH(v);
        break;
    case VT_UNKNOWN:
        object = V_UNKNOWN(v);
        break;
    case VT_BYREF | VT_DISPATCH:
        object = *V_DISPATCHREF(v);
        break;
    case VT_BYREF | VT_UNKNOWN:
        object = *V_UNKNOWNREF(v);
        break;
    default:
        return VariantOf(*v);
    }
    return Variant(std::shared_ptr<Object>(DispatchHostObject::Of(object)));
}

void ToHostVariant(const Variant& value, VARIANT* out) {
    if (!value.isObject()) {
        ToVariant(value, out);
        return;
    }
    VariantInit(out);
    const std::shared_ptr<Object> object = value.toObject();
    if (!object) {
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = nullptr;
        return;
    }
    const auto host = std::dynamic_pointer_cast<DispatchHostObject>(object);
    if (!host) {
        throw AutomationError(error::TypeMismatch);
    }
    if (IDispatch* dispatch = host->Dispatch()) {
        dispatch->AddRef();
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = dispatch;
    } else {
        host->Unknown()->AddRef();
        V_VT(out) = VT_UNKNOWN;
        V_UNKNOWN(out) = host->Unknown();
    }
}

} // namespace fillahead::library
