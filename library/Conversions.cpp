#include "library/Conversions.h"

#include "platform/AutomationError.h"

namespace fillahead::library {

BSTR ToBstr(TextView text) {
    BSTR value = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                   static_cast<UINT>(text.size()));
    if (value == nullptr) {
        throw AutomationError(error::OutOfMemory);
    }
    return value;
}

UniqueBstr MakeBstr(TextView text) {
    return UniqueBstr(ToBstr(text));
}

fillahead::Variant VariantOf(const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    UniqueVariant direct;
    if ((V_VT(v) & VT_BYREF) != 0) {
        const HRESULT hr = VariantCopyInd(direct.get(), const_cast<VARIANT*>(v));
        if (FAILED(hr)) {
            throw AutomationError::fromHResult(static_cast<std::uint32_t>(hr), u"");
        }
        v = direct.get();
    }
    switch (V_VT(v)) {
    case VT_EMPTY:
        return {};
    case VT_NULL:
        return fillahead::Variant::null();
    case VT_BOOL:
        return fillahead::Variant(V_BOOL(v) != VARIANT_FALSE);
    case VT_I2:
        return fillahead::Variant(static_cast<std::int16_t>(V_I2(v)));
    case VT_I4:
        return fillahead::Variant(static_cast<std::int32_t>(V_I4(v)));
    case VT_R4:
        return fillahead::Variant(V_R4(v));
    case VT_R8:
        return fillahead::Variant(V_R8(v));
    case VT_BSTR:
        return fillahead::Variant(Text(TextOf(V_BSTR(v))));
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_CY:
    case VT_DECIMAL: {
        UniqueVariant number;
        if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_R8))) {
            throw AutomationError(error::Overflow);
        }
        return fillahead::Variant(V_R8(number.get()));
    }
    case VT_DATE: {
        UniqueVariant text;
        if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(v), 0, VT_BSTR))) {
            throw AutomationError(error::TypeMismatch);
        }
        return fillahead::Variant(Text(TextOf(V_BSTR(text.get()))));
    }
    default:
        throw AutomationError(error::TypeMismatch);
    }
}

void ToVariant(const fillahead::Variant& value, VARIANT* out) {
    VariantInit(out);
    switch (value.type()) {
    case fillahead::VariantType::Empty:
        return;
    case fillahead::VariantType::Null:
        V_VT(out) = VT_NULL;
        return;
    case fillahead::VariantType::Boolean:
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = ToVariantBool(value.toBoolean());
        return;
    case fillahead::VariantType::Integer:
        V_VT(out) = VT_I2;
        V_I2(out) = value.toInteger();
        return;
    case fillahead::VariantType::Long:
        V_VT(out) = VT_I4;
        V_I4(out) = value.toLong();
        return;
    case fillahead::VariantType::Single:
        V_VT(out) = VT_R4;
        V_R4(out) = static_cast<float>(value.toDouble());
        return;
    case fillahead::VariantType::Double:
        V_VT(out) = VT_R8;
        V_R8(out) = value.toDouble();
        return;
    case fillahead::VariantType::Text:
        V_BSTR(out) = ToBstr(value.toText());
        V_VT(out) = VT_BSTR;
        return;
    case fillahead::VariantType::Object:
        throw AutomationError(error::TypeMismatch);
    }
}

} // namespace fillahead::library
