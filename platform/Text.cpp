#include "platform/Text.h"

#include <algorithm>
#include <array>

namespace fillahead {
namespace {

struct FoldRange {
    std::uint32_t first;
    std::uint32_t last;
    std::int32_t delta;
    std::uint32_t stride; // 1: every code point of the range, 2: every other one
};

#include "platform/CaseFoldingTable.inc"

struct Decoded {
    char32_t codePoint;
    std::size_t length; // bytes consumed; for an ill-formed sequence its maximal subpart
    bool valid;
};

// One code point from p[0..n), n > 0, following the well-formed byte
// sequences of the Unicode standard (table 3-7).
Decoded decodeOne(const unsigned char* p, std::size_t n) {
    const unsigned lead = p[0];
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t trailing = 0;
    char32_t codePoint = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F; // no encoded surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F; // nothing above U+10FFFF
        }
    } else {
        return {0, 1, false};
    }
    for (std::size_t k = 1; k <= trailing; ++k) {
        if (k >= n || p[k] < low || p[k] > high) {
            return {0, k, false};
        }
        low = 0x80;
        high = 0xBF;
        codePoint = (codePoint << 6) | (p[k] & 0x3F);
    }
    return {codePoint, trailing + 1, true};
}

void appendUtf16(char32_t c, Text& out) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Calls visit(codePoint) for each code point of text; a lone surrogate is
// reported as U+FFFD.
template <typename Visit>
void forEachCodePoint(TextView text, Visit&& visit) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = kReplacementCharacter;
        }
        visit(c);
    }
}

} // namespace

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

Text fromUtf8(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            out.push_back(p[i++]);
            continue;
        }
        const Decoded d = decodeOne(p + i, n - i);
        appendUtf16(d.valid ? d.codePoint : kReplacementCharacter, out);
        i += d.length;
    }
    return out;
}

bool decodeUtf8Strict(std::string_view utf8, Text& out, std::size_t* errorOffset) {
    out.clear();
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            out.push_back(p[i++]);
            continue;
        }
        const Decoded d = decodeOne(p + i, n - i);
        if (!d.valid) {
            if (errorOffset != nullptr) {
                *errorOffset = i;
            }
            return false;
        }
        appendUtf16(d.codePoint, out);
        i += d.length;
    }
    return true;
}

std::string toUtf8(TextView text) {
    std::string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t c) { appendUtf8(c, out); });
    return out;
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) {
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    }
    const auto* end = std::end(kFoldRanges);
    const auto* it =
        std::upper_bound(std::begin(kFoldRanges), end, c,
                         [](char32_t value, const FoldRange& r) { return value < r.first; });
    if (it == std::begin(kFoldRanges)) {
        return c;
    }
    --it;
    if (c > it->last || (c - it->first) % it->stride != 0) {
        return c;
    }
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + it->delta);
}

Text foldCase(TextView text) {
    Text out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            out.push_back((unit >= u'A' && unit <= u'Z') ? unit + 32 : unit);
        } else if (isHighSurrogate(unit) && i + 1 < n && isLowSurrogate(text[i + 1])) {
            const char32_t c = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf16(foldCase(c), out);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            out.push_back(unit); // a lone surrogate has no case; keep it as it is
        } else {
            appendUtf16(foldCase(char32_t{unit}), out);
        }
    }
    return out;
}

void appendFoldedUtf8(TextView text, std::string& out) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Runs of ASCII are the common case in every buffer.
        const char16_t unit = text[i];
        if (unit < 0x80) {
            out.push_back(static_cast<char>((unit >= u'A' && unit <= u'Z') ? unit + 32 : unit));
            ++i;
            continue;
        }
        char32_t c = unit;
        if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = kReplacementCharacter;
        }
        ++i;
        appendUtf8(foldCase(c), out);
    }
}

bool equalsIgnoringCase(TextView a, TextView b) {
    if (a.size() != b.size()) {
        return false; // simple folding keeps every length
    }
    return a == b || foldCase(a) == foldCase(b);
}

Text toText(std::int64_t value) {
    std::array<char16_t, 24> digits{};
    std::size_t count = 0;
    const bool negative = value < 0;
    // Work in unsigned arithmetic so that the most negative value survives.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    Text out;
    if (negative) {
        out.push_back(u'-');
    }
    while (count > 0) {
        out.push_back(digits[--count]);
    }
    return out;
}

Text asciiToText(std::string_view ascii) {
    return Text(ascii.begin(), ascii.end());
}

bool startsWith(TextView text, TextView prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(TextView text, TextView suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace fillahead
