// Conversions between the portable types and their automation forms:
// Text <-> BSTR, Variant <-> VARIANT, bool <-> VARIANT_BOOL. Failures raise
// AutomationError, as any portable code does.
#pragma once

#include <windows.h>

#include "library/Owners.h"
#include "platform/Text.h"
#include "platform/Variant.h"

#include <oleauto.h>

namespace fillahead::library {

// The text of a BSTR (a null BSTR is the empty text).
inline TextView TextOf(BSTR value) noexcept {
    return value == nullptr
               ? TextView()
               : TextView(reinterpret_cast<const char16_t*>(value), SysStringLen(value));
}

// A new BSTR holding the text. Raises out of memory.
BSTR ToBstr(TextView text);
UniqueBstr MakeBstr(TextView text);

inline VARIANT_BOOL ToVariantBool(bool value) noexcept {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// A VARIANT as a portable Variant: by-reference values are read through,
// Empty, Null, Boolean, Integer, Long, Single, Double and text keep their
// type; other numbers, currency and dates come as Double or text the way
// VariantChangeType converts them. Objects and arrays raise type mismatch.
fillahead::Variant VariantOf(const VARIANT& value);

// A portable Variant into *out (initialised by the caller, overwritten).
// Objects raise type mismatch.
void ToVariant(const fillahead::Variant& value, VARIANT* out);

// An optional argument the caller left out.
inline bool IsMissing(const VARIANT& value) noexcept {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

} // namespace fillahead::library
