// Variant: the automation value used wherever values are read or written by
// name (property bags, record-set fields, host-control properties), with the
// conversions of VB's CStr, CInt, CLng, CDbl and CBool.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <variant>

namespace fillahead {

// Base of every object a Variant can refer to (a record set, a nested
// property bag, a host object adapter).
class Object {
public:
    virtual ~Object() = default;
};

enum class VariantType { Empty, Null, Boolean, Integer, Long, Single, Double, Text, Object };

class Variant {
public:
    Variant() = default;
    static Variant null();
    // Exact-type constructors: a plain int is a Long, a char16_t literal a Text.
    Variant(bool value) : value_(value) {}
    Variant(std::int16_t value) : value_(value) {}
    Variant(std::int32_t value) : value_(value) {}
    Variant(float value) : value_(value) {}
    Variant(double value) : value_(value) {}
    Variant(Text value) : value_(std::move(value)) {}
    Variant(TextView value) : value_(Text(value)) {}
    Variant(const char16_t* value) : value_(Text(value)) {}
    Variant(std::shared_ptr<Object> value) : value_(std::move(value)) {}

    VariantType type() const noexcept { return static_cast<VariantType>(value_.index()); }
    bool isEmpty() const noexcept { return type() == VariantType::Empty; }
    bool isNull() const noexcept { return type() == VariantType::Null; }
    bool isObject() const noexcept { return type() == VariantType::Object; }
    bool isNumeric() const noexcept;

    // CStr: Empty is "", Booleans "True"/"False", numbers in VB's shortest
    // form (15 significant digits, 7 for Single). Null raises 94, an object 13.
    Text toText() const;
    // CInt and CLng: text such as " 12 ", "-3.5" or "&HFF" is parsed like VB
    // does; fractions round to even. A value out of range raises Overflow
    // (6), a non-number Type mismatch (13), Null Invalid use of Null (94).
    std::int16_t toInteger() const;
    std::int32_t toLong() const;
    // CDbl, with the same errors.
    double toDouble() const;
    // CBool: numbers are True when not 0; text "True"/"False" in any case or
    // a number.
    bool toBoolean() const;
    // The object, or no object for an object Variant set to Nothing; any other
    // type raises Type mismatch.
    std::shared_ptr<Object> toObject() const;

    // The comparison a property bag makes against a default: numbers by
    // value whatever their type, text exactly, objects by identity.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t, float, double, Text,
                 std::shared_ptr<Object>>
        value_;
};

// VB's numeric parsing of text (the part of CDbl that reads a string):
// surrounding spaces, a sign, digits with one decimal point, an exponent
// (E or D), or &H/&O integers. Returns false for anything else.
bool parseVbNumber(TextView text, double& result);

} // namespace fillahead
