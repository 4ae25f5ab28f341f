#include "library/ComPropertyBag.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"

#include <string>

namespace fillahead::library {

fillahead::Variant ComPropertyBag::ReadProperty(TextView key,
                                                const fillahead::Variant& defaultValue) {
    const std::wstring name(key.begin(), key.end());
    UniqueVariant value;
    const HRESULT hr = bag_.Read(name.c_str(), value.get(), log_);
    if (hr == E_INVALIDARG) {
        return defaultValue;
    }
    ThrowIfFailed(hr);
    return VariantOf(*value.get());
}

void ComPropertyBag::WriteProperty(TextView key, const fillahead::Variant& value,
                                   const std::optional<fillahead::Variant>& defaultValue) {
    if (!saveAll_ && defaultValue && value == *defaultValue) {
        return;
    }
    const std::wstring name(key.begin(), key.end());
    UniqueVariant converted;
    ToVariant(value, converted.get());
    ThrowIfFailed(bag_.Write(name.c_str(), converted.get()));
}

} // namespace fillahead::library
