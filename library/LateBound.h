// Properties of an automation object reached by name, the way VB's late
// binding reaches them (`object.Name` on an Object variable): the name is
// looked up with GetIDsOfNames on every call, the value travels as a
// VARIANT, and the object's own IDispatch converts it to the declared type.
//
// Failures raise AutomationError with the numbers VB reports: 438 for a name
// the object lacks, 13 for a value it cannot convert, the object's own error
// number and description for an error it raised.
#pragma once

#include <windows.h>

#include "platform/Text.h"
#include "platform/Variant.h"

#include <oaidl.h>

namespace fillahead::library {

fillahead::Variant GetPropertyByName(IDispatch* object, TextView name);
void LetPropertyByName(IDispatch* object, TextView name, const fillahead::Variant& value);

} // namespace fillahead::library
