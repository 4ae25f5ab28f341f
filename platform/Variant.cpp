#include "platform/Variant.h"

#include "platform/AutomationError.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace fillahead {
namespace {

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Shortest text of a number with the given significant digits, in VB's form:
// "0.5", "-12", "1.5E+20", "1E-07".
Text formatNumber(double value, int digits) {
    if (value == 0) {
        return u"0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*G", digits, value);
    std::string s = buffer;
    const auto e = s.find('E');
    if (e != std::string::npos) {
        // C writes at least two exponent digits, as VB does; drop a third
        // leading zero ("E+020" never occurs with C99 printf, but be sure).
        std::string mantissa = s.substr(0, e);
        std::string exponent = s.substr(e + 2);
        while (exponent.size() > 2 && exponent[0] == '0') {
            exponent.erase(0, 1);
        }
        s = mantissa + "E" + s[e + 1] + exponent;
    }
    return asciiToText(s);
}

double roundToEven(double value) {
    // nearbyint follows the current rounding mode, which is round-half-even
    // unless someone changed it; do it by hand to be independent of that.
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    if (fraction > 0.5) {
        return floorValue + 1;
    }
    if (fraction < 0.5) {
        return floorValue;
    }
    return std::fmod(floorValue, 2.0) == 0 ? floorValue : floorValue + 1;
}

[[noreturn]] void typeMismatch() {
    throw AutomationError(error::TypeMismatch);
}
[[noreturn]] void invalidUseOfNull() {
    throw AutomationError(error::InvalidUseOfNull);
}

template <typename Integer>
Integer toRoundedInteger(double value) {
    if (std::isnan(value)) {
        throw AutomationError(error::Overflow);
    }
    const double rounded = roundToEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Integer>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Integer>::max())) {
        throw AutomationError(error::Overflow);
    }
    return static_cast<Integer>(rounded);
}

bool parseRadixInteger(TextView digits, int radix, double& result) {
    if (digits.empty() || digits.size() > (radix == 16 ? 8u : 11u)) {
        return false;
    }
    std::uint64_t value = 0;
    for (const char16_t c : digits) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0 || digit >= radix) {
            return false;
        }
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    }
    // VB reads &HFFFF as the Integer -1 and &HFFFFFFFF as the Long -1.
    if (value <= 0xFFFF && (radix != 16 || digits.size() <= 4)) {
        result = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    } else if (value <= 0xFFFFFFFFu) {
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    } else {
        return false;
    }
    return true;
}

} // namespace

bool parseVbNumber(TextView text, double& result) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    const TextView s = text.substr(begin, end - begin);
    if (s.size() >= 2 && s[0] == u'&') {
        const char16_t kind = s[1];
        if (kind == u'H' || kind == u'h') {
            return parseRadixInteger(s.substr(2), 16, result);
        }
        if (kind == u'O' || kind == u'o') {
            return parseRadixInteger(s.substr(2), 8, result);
        }
        return false;
    }
    // sign? digits* (. digits*)? ((E|D) sign? digits+)?  with at least one digit
    std::string ascii;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        ascii.push_back(static_cast<char>(s[i++]));
    }
    std::size_t mantissaDigits = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        ascii.push_back(static_cast<char>(s[i++]));
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == u'.') {
        ascii.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            ascii.push_back(static_cast<char>(s[i++]));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
        ascii.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
            ascii.push_back(static_cast<char>(s[i++]));
        }
        std::size_t exponentDigits = 0;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            ascii.push_back(static_cast<char>(s[i++]));
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    if (i != s.size()) {
        return false;
    }
    char* parsedEnd = nullptr;
    result = std::strtod(ascii.c_str(), &parsedEnd);
    return std::isfinite(result);
}

Variant Variant::null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

bool Variant::isNumeric() const noexcept {
    switch (type()) {
    case VariantType::Boolean:
    case VariantType::Integer:
    case VariantType::Long:
    case VariantType::Single:
    case VariantType::Double:
        return true;
    default:
        return false;
    }
}

Text Variant::toText() const {
    switch (type()) {
    case VariantType::Empty:
        return Text();
    case VariantType::Null:
        invalidUseOfNull();
    case VariantType::Boolean:
        return std::get<bool>(value_) ? u"True" : u"False";
    case VariantType::Integer:
        return fillahead::toText(std::get<std::int16_t>(value_));
    case VariantType::Long:
        return fillahead::toText(std::get<std::int32_t>(value_));
    case VariantType::Single:
        return formatNumber(std::get<float>(value_), 7);
    case VariantType::Double:
        return formatNumber(std::get<double>(value_), 15);
    case VariantType::Text:
        return std::get<Text>(value_);
    case VariantType::Object:
        break;
    }
    typeMismatch();
}

double Variant::toDouble() const {
    switch (type()) {
    case VariantType::Empty:
        return 0;
    case VariantType::Null:
        invalidUseOfNull();
    case VariantType::Boolean:
        return std::get<bool>(value_) ? -1 : 0;
    case VariantType::Integer:
        return std::get<std::int16_t>(value_);
    case VariantType::Long:
        return std::get<std::int32_t>(value_);
    case VariantType::Single:
        return std::get<float>(value_);
    case VariantType::Double:
        return std::get<double>(value_);
    case VariantType::Text: {
        double result = 0;
        if (!parseVbNumber(std::get<Text>(value_), result)) {
            typeMismatch();
        }
        return result;
    }
    case VariantType::Object:
        break;
    }
    typeMismatch();
}

std::int16_t Variant::toInteger() const {
    if (type() == VariantType::Integer) {
        return std::get<std::int16_t>(value_);
    }
    return toRoundedInteger<std::int16_t>(toDouble());
}

std::int32_t Variant::toLong() const {
    if (type() == VariantType::Long) {
        return std::get<std::int32_t>(value_);
    }
    return toRoundedInteger<std::int32_t>(toDouble());
}

bool Variant::toBoolean() const {
    if (type() == VariantType::Boolean) {
        return std::get<bool>(value_);
    }
    if (type() == VariantType::Text) {
        const Text& text = std::get<Text>(value_);
        if (equalsIgnoringCase(text, u"True")) {
            return true;
        }
        if (equalsIgnoringCase(text, u"False")) {
            return false;
        }
    }
    return toDouble() != 0;
}

std::shared_ptr<Object> Variant::toObject() const {
    if (type() != VariantType::Object) {
        typeMismatch();
    }
    return std::get<std::shared_ptr<Object>>(value_);
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.isNumeric() && b.isNumeric()) {
        return a.toDouble() == b.toDouble();
    }
    return a.value_ == b.value_;
}

} // namespace fillahead
