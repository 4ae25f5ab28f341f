#include "library/LateBound.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"
#include "library/Owners.h"
#include "platform/AutomationError.h"

#include <string>

namespace fillahead::library {
namespace {

// VB run-time errors of a call by name that the shared list does not hold.
constexpr std::int32_t kArgumentNotOptional = 449;
constexpr std::int32_t kWrongArguments = 450;

DISPID dispidOf(IDispatch* object, TextView name) {
    if (object == nullptr) {
        throw AutomationError(error::ObjectNotSet);
    }
    std::wstring wide(name.begin(), name.end());
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        throw AutomationError(error::NotSupported);
    }
    return id;
}

// The error an object raised inside Invoke, from its EXCEPINFO.
[[noreturn]] void raiseException(EXCEPINFO& exception) {
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
    throw ErrorOfResult(code, Text(TextOf(description.get())));
}

void invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    EXCEPINFO exception{};
    UINT argumentError = 0;
    // What Invoke reports travels in EXCEPINFO; an older IErrorInfo of the
    // thread must not be taken for it.
    SetErrorInfo(0, nullptr);
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                      &exception, &argumentError);
    switch (hr) {
    case S_OK:
        return;
    case DISP_E_EXCEPTION:
        raiseException(exception);
    case DISP_E_TYPEMISMATCH:
        throw AutomationError(error::TypeMismatch);
    case DISP_E_OVERFLOW:
        throw AutomationError(error::Overflow);
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        throw AutomationError(error::NotSupported);
    case DISP_E_PARAMNOTOPTIONAL:
        throw AutomationError(kArgumentNotOptional, u"Argument not optional");
    case DISP_E_BADPARAMCOUNT:
        throw AutomationError(kWrongArguments,
                              u"Wrong number of arguments or invalid property assignment");
    default:
        if (FAILED(hr)) {
            ThrowIfFailed(hr);
        }
    }
}

} // namespace

fillahead::Variant GetPropertyByName(IDispatch* object, TextView name) {
    const DISPID id = dispidOf(object, name);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    UniqueVariant result;
    invoke(object, id, DISPATCH_PROPERTYGET, none, result.get());
    return VariantOf(*result.get());
}

void LetPropertyByName(IDispatch* object, TextView name, const fillahead::Variant& value) {
    const DISPID id = dispidOf(object, name);
    UniqueVariant argument;
    ToVariant(value, argument.get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {argument.get(), &named, 1, 1};
    invoke(object, id, DISPATCH_PROPERTYPUT, params, nullptr);
}

} // namespace fillahead::library
