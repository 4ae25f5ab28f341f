#include "platform/recordset/RowsetXmlTokenizer.h"

#include "platform/AutomationError.h"
#include "platform/recordset/RowsetXmlLayout.h"
#include "platform/recordset/Simd.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <tuple>

namespace fillahead::rowsetxml {
namespace {

// The layout itself nests five deep; the margin serves hierarchical rowsets
// and foreign elements, the limit keeps a hostile file from costing more.
constexpr std::size_t kMaxDepth = 64;

enum : std::uint8_t {
    kNameStart = 1, // may start a name (ASCII; every non-ASCII byte is let through)
    kNameChar = 2,  // may continue a name
    kSpace = 4,     // XML white space
    kValueStop = 8, // ends a plain run of an attribute value while decoding it
};

constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t bits = 0;
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (letter || c >= 0x80) {
            bits |= kNameStart | kNameChar;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':') {
            bits |= kNameChar;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            bits |= kSpace;
        }
        if (c < 0x20 || c >= 0x80 || c == '&' || c == '<' || c == '\'' || c == '"') {
            bits |= kValueStop;
        }
        classes[static_cast<std::size_t>(c)] = bits;
    }
    return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

bool has(char c, std::uint8_t bits) {
    return (kClasses[static_cast<unsigned char>(c)] & bits) != 0;
}

// One sequence of UTF-8 that checkText has accepted.
char32_t decodeValidUtf8(const unsigned char*& p) {
    const unsigned lead = *p++;
    if (lead < 0xE0) {
        return ((lead & 0x1Fu) << 6) | (*p++ & 0x3Fu);
    }
    if (lead < 0xF0) {
        char32_t c = (lead & 0x0Fu) << 12;
        c |= (*p++ & 0x3Fu) << 6;
        return c | (*p++ & 0x3Fu);
    }
    char32_t c = (lead & 0x07u) << 18;
    c |= (*p++ & 0x3Fu) << 12;
    c |= (*p++ & 0x3Fu) << 6;
    return c | (*p++ & 0x3Fu);
}

// Length of the well-formed UTF-8 sequence at p (Unicode table 3-7), or 0.
std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned lead = p[0];
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (p[k] < 0x80 || p[k] > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::string hexByte(unsigned value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

std::string_view prefixOf(std::string_view qname) {
    const std::size_t colon = qname.find(':');
    return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
}

std::string_view localOf(std::string_view qname) {
    const std::size_t colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

bool equalsAsciiIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

Space spaceOfUri(const std::string& text) {
    if (equalsAsciiIgnoringCase(text, kSchemaUri)) {
        return Space::Schema;
    }
    if (equalsAsciiIgnoringCase(text, kDataTypeUri)) {
        return Space::DataType;
    }
    if (text == kRowsetUri) {
        return Space::Rowset;
    }
    if (text == kRowDataUri) {
        return Space::RowData;
    }
    return Space::Other;
}

// The first quote, '<' or '&' from p on (end when none); notes whether a
// byte before it is outside ASCII, or a tab or line end (or another control
// character, which checkText refuses).
const char* findValueStop(const char* p, const char* end, char quote, bool& nonAscii,
                          bool& control) {
#ifdef FILLAHEAD_SSE2
    const __m128i quotes = _mm_set1_epi8(quote);
    const __m128i less = _mm_set1_epi8('<');
    const __m128i ampersand = _mm_set1_epi8('&');
    const __m128i space = _mm_set1_epi8(' ');
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto stops = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, quotes), _mm_cmpeq_epi8(block, less)),
                         _mm_cmpeq_epi8(block, ampersand))));
        // Signed bytes: below 0x20, and every byte from 0x80 up.
        const auto odd = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(block, space)));
        const unsigned before = stops != 0 ? (1u << std::countr_zero(stops)) - 1 : 0xFFFF;
        if ((odd & before) != 0) {
            const auto high = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_setzero_si128())));
            nonAscii = nonAscii || (high & before) != 0;
            control = control || (odd & ~high & before) != 0;
        }
        if (stops != 0) {
            return p + std::countr_zero(stops);
        }
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == static_cast<unsigned char>(quote) || c == '<' || c == '&') {
            return p;
        }
        nonAscii = nonAscii || c >= 0x80;
        control = control || c < 0x20;
    }
    return end;
}

} // namespace

void Failure::at(const char* where, std::string_view problem) const {
    const std::size_t offset =
        std::min(static_cast<std::size_t>(where - document_.data()), document_.size());
    // CR LF, LF and a lone CR each end one line.
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        const char c = document_[i];
        if (c == '\n' || (c == '\r' && (i + 1 == document_.size() || document_[i + 1] != '\n'))) {
            ++line;
        }
    }
    throw AutomationError(error::ReadingFile, u"Cannot load '" + Text(source_) + u"': line " +
                                                  toText(static_cast<std::int64_t>(line)) + u": " +
                                                  fromUtf8(problem));
}

void Failure::whole(std::string_view problem) const {
    throw AutomationError(error::ReadingFile,
                          u"Cannot load '" + Text(source_) + u"': " + fromUtf8(problem));
}

std::string shown(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::size_t cut = text.size();
    if (cut > kShown) {
        cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut; // not inside a UTF-8 sequence
        }
    }
    std::string result(1, '\'');
    result.append(text.substr(0, cut));
    result.append(cut < text.size() ? "...'" : "'");
    return result;
}

void checkText(const char* begin, const char* finish, const Failure& fail) {
    const auto* p = reinterpret_cast<const unsigned char*>(begin);
    const auto* end = reinterpret_cast<const unsigned char*>(finish);
#ifdef FILLAHEAD_SSE2
    // Short texts (most values) go byte by byte.
    const bool wide = end - p >= 48;
#endif
    while (p < end) {
#ifdef FILLAHEAD_SSE2
        // Sixteen characters at a time up to the next that is not printable
        // ASCII or white space.
        if (wide && end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i odd = _mm_cmplt_epi8(block, _mm_set1_epi8(' '));
            const __m128i blank =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\t')),
                                          _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))),
                             _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
            const auto others =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(blank, odd)));
            if (others == 0) {
                p += 16;
                continue;
            }
            p += std::countr_zero(others);
        }
#endif
        const unsigned c = *p;
        if (c >= 0x20 && c < 0x80) {
            ++p;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            p += 2; // the most common sequence, checked in place
            continue;
        }
        if (c < 0x80) {
            if (c != '\t' && c != '\n' && c != '\r') {
                fail.at(reinterpret_cast<const char*>(p),
                        "control character U+00" + hexByte(c) +
                            " (XML cannot hold it; is this a text file?)");
            }
            ++p;
            continue;
        }
        const std::size_t length = utf8SequenceLength(p, end);
        if (length == 0) {
            fail.at(reinterpret_cast<const char*>(p), "invalid UTF-8 (byte 0x" + hexByte(c) + ")");
        }
        if (length == 3 && c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF)) {
            fail.at(reinterpret_cast<const char*>(p), "character U+FFFE or U+FFFF");
        }
        p += length;
    }
}

Tokenizer::Tokenizer(std::string_view document, const Failure& fail)
    : p_(document.data()), end_(document.data() + document.size()), fail_(fail) {
    bindings_.push_back({"xml", Space::Xml, 0, {}});
}

void Tokenizer::check(const Attribute& attribute) const {
    if (!attribute.checked) {
        checkText(attribute.raw.data(), attribute.raw.data() + attribute.raw.size(), fail_);
        attribute.checked = true;
    }
}

// The values of the last tag that nobody decoded are checked before the
// tokenizer moves on, so that every byte of a document it accepts is.
void Tokenizer::checkPending() const {
    for (const Attribute& attribute : attributes_) {
        check(attribute);
    }
}

void Tokenizer::resumeAt(const char* at) {
    checkPending();
    p_ = at;
}

Tokenizer::Event Tokenizer::next() {
    checkPending();
    for (;;) {
        skipSpaces();
        if (p_ == end_) {
            if (!open_.empty()) {
                fail_.at(p_, "the file ends inside the element " + shown(open_.back()) +
                                 " (is it truncated?)");
            }
            if (!rootSeen_) {
                fail_.at(p_, "no XML element in the file");
            }
            return Event::EndOfDocument;
        }
        if (*p_ != '<') {
            if (open_.empty()) {
                fail_.at(p_,
                         rootSeen_ ? "text after the end of the document" : "not an XML document");
            }
            tag_.at = p_;
            const void* found = std::memchr(p_, '<', static_cast<std::size_t>(end_ - p_));
            p_ = found != nullptr ? static_cast<const char*>(found) : end_;
            checkText(tag_.at, p_, fail_);
            return Event::Text;
        }
        const char second = end_ - p_ >= 2 ? p_[1] : '\0';
        if (second == '?') {
            skipPast("?>", "an unterminated processing instruction");
            continue;
        }
        if (second == '!') {
            if (startsWith("<!--")) {
                skipPast("-->", "an unterminated comment");
                continue;
            }
            if (startsWith("<![CDATA[")) {
                if (open_.empty()) {
                    fail_.at(p_, "a CDATA section outside the document element");
                }
                tag_.at = p_;
                skipPast("]]>", "an unterminated CDATA section");
                return Event::Text;
            }
            fail_.at(p_, startsWith("<!DOCTYPE")
                             ? "a document type declaration (not allowed in a rowset file)"
                             : "unexpected '<!'");
        }
        if (second == '/') {
            readEndTag();
            return Event::End;
        }
        readStartTag();
        return Event::Start;
    }
}

void Tokenizer::appendValue(const Attribute& attribute, Text& out) const {
    check(attribute);
    // No value decodes to more UTF-16 units than it has bytes.
    const std::size_t used = out.size();
    out.resize(used + attribute.raw.size());
    char16_t* to = out.data() + used;
    const auto* p = reinterpret_cast<const unsigned char*>(attribute.raw.data());
    const auto* end = p + attribute.raw.size();
    while (p < end) {
        const unsigned c = *p;
        if (!has(static_cast<char>(c), kValueStop)) {
            *to++ = static_cast<char16_t>(c);
            ++p;
            continue;
        }
        char32_t decoded = 0;
        if (c >= 0x80) {
            decoded = decodeValidUtf8(p);
        } else if (c == '&') {
            // A surrogate code point (from a character reference) stays one
            // unit: a lone surrogate read back is the one that was written.
            decoded = reference(p, end);
        } else {
            // Literal tabs and line ends read as spaces, CR LF as one.
            decoded = c == '\t' || c == '\n' || c == '\r' ? U' ' : c;
            p += (c == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        }
        if (decoded < 0x10000) {
            *to++ = static_cast<char16_t>(decoded);
        } else {
            decoded -= 0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (decoded >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (decoded & 0x3FF));
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

Text Tokenizer::valueOf(const Attribute& attribute) const {
    Text value;
    appendValue(attribute, value);
    return value;
}

void Tokenizer::skipContent() {
    if (tag_.selfClosing) {
        return;
    }
    for (std::size_t depth = 1; depth > 0;) {
        const Event event = next();
        if (event == Event::Start && !tag_.selfClosing) {
            ++depth;
        } else if (event == Event::End) {
            --depth;
        }
    }
}

bool Tokenizer::startsWith(std::string_view text) const {
    return static_cast<std::size_t>(end_ - p_) >= text.size() &&
           std::memcmp(p_, text.data(), text.size()) == 0;
}

void Tokenizer::skipPast(std::string_view terminator, std::string_view what) {
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    const std::size_t found = rest.find(terminator, 2);
    if (found == std::string_view::npos) {
        fail_.at(p_, "the file ends inside " + std::string(what) + " (is it truncated?)");
    }
    checkText(p_, p_ + found, fail_);
    p_ += found + terminator.size();
}

bool Tokenizer::skipSpaces() {
    const char* start = p_;
    while (p_ < end_ && has(*p_, kSpace)) {
        ++p_;
    }
    return p_ != start;
}

// Messages are made only on failure: these run for every tag.
void Tokenizer::expectMore(std::string_view tag) const {
    if (p_ == end_) {
        fail_.at(p_, "the file ends inside the tag " + shown(tag) + " (is it truncated?)");
    }
}

Tokenizer::Name Tokenizer::name(const char* expected, std::string_view tag) {
    const char* start = p_;
    if (p_ == end_) {
        fail_.at(p_, "the file ends inside a tag (is it truncated?)");
    }
    if (!has(*p_, kNameStart)) {
        fail_.at(p_, "expected " + std::string(expected) +
                         (tag.empty() ? std::string() : " in the tag " + shown(tag)));
    }
    const char* colon = nullptr;
    bool nonAscii = false;
    while (p_ < end_ && has(*p_, kNameChar)) {
        nonAscii = nonAscii || static_cast<unsigned char>(*p_) >= 0x80;
        if (*p_ == ':') {
            // One colon, between a prefix and a local name that both start well.
            if (colon != nullptr || p_ + 1 == end_ || !has(p_[1], kNameStart)) {
                fail_.at(start, "the name " +
                                    shown(std::string_view(
                                        start, static_cast<std::size_t>(p_ + 1 - start))) +
                                    "... is not a valid qualified name");
            }
            colon = p_;
        }
        ++p_;
    }
    if (nonAscii) {
        checkText(start, p_, fail_);
    }
    Name result;
    result.qname = std::string_view(start, static_cast<std::size_t>(p_ - start));
    if (colon == nullptr) {
        result.local = result.qname;
    } else {
        result.prefix = std::string_view(start, static_cast<std::size_t>(colon - start));
        result.local = std::string_view(colon + 1, static_cast<std::size_t>(p_ - colon - 1));
    }
    return result;
}

// Rows repeat one tag with the same attributes in the same order: the name
// seen last at this place is compared first.
Tokenizer::Name Tokenizer::repeatedName(Name& last, const char* expected, std::string_view tag) {
    const std::size_t size = last.qname.size();
    if (size != 0 && static_cast<std::size_t>(end_ - p_) > size &&
        std::memcmp(p_, last.qname.data(), size) == 0 && !has(p_[size], kNameChar)) {
        p_ += size;
        return last;
    }
    last = name(expected, tag);
    return last;
}

const Tokenizer::Binding* Tokenizer::resolve(std::string_view prefix, bool isElement,
                                             const char* at) const {
    if (prefix.empty() && !isElement) {
        return nullptr; // the default namespace does not apply to attributes
    }
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
        if (it->prefix == prefix) {
            return it->space == Space::None ? nullptr : &*it;
        }
    }
    if (prefix.empty()) {
        return nullptr;
    }
    fail_.at(at, "the namespace prefix " + shown(prefix) + " is not declared");
}

// A tag's own declarations come last in bindings_, at its depth.
void Tokenizer::declare(const Attribute& attribute, std::string_view prefix, std::size_t depth) {
    for (auto it = bindings_.rbegin(); it != bindings_.rend() && it->depth == depth; ++it) {
        if (it->prefix == prefix) {
            fail_.at(attribute.at, (prefix.empty() ? std::string("the default namespace")
                                                   : "the namespace prefix " + shown(prefix)) +
                                       " is declared twice in the tag " + shown(tag_.qname));
        }
    }
    const std::string uri = toUtf8(valueOf(attribute));
    if (uri.empty() && !prefix.empty()) {
        fail_.at(attribute.at, "the prefix " + shown(prefix) + " is bound to no URI");
    }
    const Space space = uri.empty() ? Space::None : spaceOfUri(uri);
    bindings_.push_back({prefix, space, depth, space == Space::Other ? uri : std::string()});
    ++bindingsVersion_;
}

// Reads a quoted value from p on. Where a repeated shape is only tried
// (mayFail false) a reference or anything wrong returns false instead, for
// the general path to read and report.
bool Tokenizer::readValue(Attribute& attribute, const char*& p, bool mayFail) {
    const char quote = p == end_ ? '\0' : *p;
    if (quote != '\'' && quote != '"') {
        if (!mayFail) {
            return false;
        }
        fail_.at(p, "expected a quoted value for the attribute " + shown(attribute.qname));
    }
    ++p;
    const char* start = p;
    bool nonAscii = false;
    bool control = false;
    bool references = false;
    for (;;) {
        p = findValueStop(p, end_, quote, nonAscii, control);
        const char c = p == end_ ? '\0' : *p;
        if (c == quote) {
            break;
        }
        if (!mayFail) {
            return false;
        }
        if (p == end_) {
            fail_.at(start, "the value of the attribute " + shown(attribute.qname) +
                                " is not terminated (is the file truncated?)");
        }
        if (c == '<') {
            fail_.at(p, "'<' inside the value of the attribute " + shown(attribute.qname));
        }
        if (c == '&') {
            references = true;
            const auto* q = reinterpret_cast<const unsigned char*>(p);
            (void)reference(q, reinterpret_cast<const unsigned char*>(end_));
            p = reinterpret_cast<const char*>(q);
            continue;
        }
        ++p; // the other kind of quote
    }
    if (control) {
        checkText(start, p, fail_);
    }
    // Letters outside ASCII are checked by whoever decodes them, in the same
    // pass; see checkPending for the rest.
    attribute.checked = !nonAscii || control;
    attribute.raw = std::string_view(start, static_cast<std::size_t>(p - start));
    attribute.literal = !references && !control;
    attribute.plain = attribute.literal && !nonAscii;
    ++p;
    return true;
}

// A tag with the names of the last self-closing one, read without looking
// them up again: compared byte for byte, with one space before each
// attribute, values without references, and "/>" at the end. Anything else
// leaves it to the general path.
bool Tokenizer::repeatLastShape() {
    if (shapeBindings_ != bindingsVersion_) {
        return false;
    }
    // Names are short: compared in place, eight bytes at a time.
    const auto matches = [this](const char* p, std::string_view text) {
        std::size_t size = text.size();
        if (static_cast<std::size_t>(end_ - p) <= size) {
            return false;
        }
        const char* q = text.data();
        for (; size >= 8; size -= 8, p += 8, q += 8) {
            std::uint64_t a = 0;
            std::uint64_t b = 0;
            std::memcpy(&a, p, 8);
            std::memcpy(&b, q, 8);
            if (a != b) {
                return false;
            }
        }
        for (; size > 0; --size) {
            if (*p++ != *q++) {
                return false;
            }
        }
        return true;
    };
    const char* p = p_ + 1;
    if (!matches(p, shapeTag_.qname)) {
        return false;
    }
    p += shapeTag_.qname.size();
    if (!attributesAreShape_) {
        attributes_ = shape_;
        attributesAreShape_ = true;
    }
    for (Attribute& attribute : attributes_) {
        if (p == end_ || *p != ' ' || !matches(p + 1, attribute.qname) ||
            p[1 + attribute.qname.size()] != '=') {
            return false;
        }
        attribute.at = p + 1;
        p += attribute.qname.size() + 2;
        if (!readValue(attribute, p, false)) {
            return false;
        }
    }
    if (end_ - p < 2 || p[0] != '/' || p[1] != '>') {
        return false;
    }
    tag_.qname = shapeTag_.qname;
    tag_.local = shapeTag_.local;
    tag_.space = shapeTag_.space;
    tag_.selfClosing = true;
    tag_.declares = false;
    tag_.at = p_;
    p_ = p + 2;
    return true;
}

char32_t Tokenizer::reference(const unsigned char*& p, const unsigned char* end) const {
    const auto* start = p;
    // What a message shows of a reference: up to its ';' when one is near.
    const auto body = [&](const unsigned char* from) {
        const auto* semicolon = from;
        while (semicolon < end && semicolon - from < 12 && *semicolon != ';') {
            ++semicolon;
        }
        if (semicolon == end || *semicolon != ';') {
            fail_.at(reinterpret_cast<const char*>(start),
                     "'&' that does not start a reference (write '&amp;' for the character)");
        }
        return shown(std::string_view(reinterpret_cast<const char*>(start),
                                      static_cast<std::size_t>(semicolon + 1 - start)));
    };
    if (end - p >= 2 && p[1] == '#') {
        // Any number of digits: leading zeros are allowed and change nothing.
        const bool hex = end - p >= 3 && p[2] == 'x';
        const unsigned char* q = p + (hex ? 3 : 2);
        const unsigned char* digits = q;
        char32_t value = 0;
        for (; q < end; ++q) {
            unsigned d = 0;
            if (*q >= '0' && *q <= '9') {
                d = static_cast<unsigned>(*q - '0');
            } else if (hex && *q >= 'a' && *q <= 'f') {
                d = static_cast<unsigned>(*q - 'a' + 10);
            } else if (hex && *q >= 'A' && *q <= 'F') {
                d = static_cast<unsigned>(*q - 'A' + 10);
            } else {
                break;
            }
            // Past the last code point it stays there: more digits only add.
            value = std::min<char32_t>(value * (hex ? 16 : 10) + d, 0x110000);
        }
        if (q != digits && q < end && *q == ';' && value <= 0x10FFFF) {
            p = q + 1;
            return value;
        }
        fail_.at(reinterpret_cast<const char*>(start),
                 "the character reference " + body(q) + " is not a valid character number");
    }
    const auto* semicolon = p + 1;
    while (semicolon < end && semicolon - p <= 5 && *semicolon != ';') {
        ++semicolon;
    }
    const std::string_view name(reinterpret_cast<const char*>(p + 1),
                                static_cast<std::size_t>(semicolon - p - 1));
    if (semicolon < end && *semicolon == ';') {
        p = semicolon + 1;
        if (name == "lt") {
            return U'<';
        }
        if (name == "gt") {
            return U'>';
        }
        if (name == "amp") {
            return U'&';
        }
        if (name == "apos") {
            return U'\'';
        }
        if (name == "quot") {
            return U'"';
        }
    }
    fail_.at(reinterpret_cast<const char*>(start),
             "unknown entity " + body(start + 1) +
                 " (a rowset file uses only the five predefined ones)");
}

void Tokenizer::readStartTag() {
    if (open_.empty() && rootSeen_) {
        fail_.at(p_, "a second document element after the end of the document");
    }
    if (open_.size() >= kMaxDepth) {
        fail_.at(p_, "elements nested more than " + std::to_string(kMaxDepth) + " deep");
    }
    if (repeatLastShape()) {
        return;
    }
    const std::uint64_t bindingsBefore = bindingsVersion_;
    tag_.at = p_;
    ++p_;
    const Name element = repeatedName(lastElement_, "an element name after '<'");
    tag_.qname = element.qname;
    tag_.local = element.local;
    attributes_.clear();
    attributesAreShape_ = false;
    const std::size_t depth = open_.size() + 1;
    for (;;) {
        const bool spaced = skipSpaces();
        expectMore(tag_.qname);
        if (*p_ == '>') {
            ++p_;
            tag_.selfClosing = false;
            break;
        }
        if (*p_ == '/') {
            ++p_;
            expectMore(tag_.qname);
            if (*p_ != '>') {
                fail_.at(p_, "expected '>' after '/' in the tag " + shown(tag_.qname));
            }
            ++p_;
            tag_.selfClosing = true;
            break;
        }
        if (!spaced) {
            fail_.at(p_, "expected a space, '>' or '/>' in the tag " + shown(tag_.qname));
        }
        Attribute attribute;
        attribute.at = p_;
        if (lastAttributes_.size() <= attributes_.size()) {
            lastAttributes_.resize(attributes_.size() + 1);
        }
        const Name attributeName =
            repeatedName(lastAttributes_[attributes_.size()],
                         "an attribute name or the end of the tag", tag_.qname);
        attribute.qname = attributeName.qname;
        attribute.local = attributeName.local;
        skipSpaces();
        expectMore(tag_.qname);
        if (*p_ != '=') {
            fail_.at(p_, "expected '=' after the attribute name " + shown(attribute.qname));
        }
        ++p_;
        skipSpaces();
        expectMore(tag_.qname);
        readValue(attribute, p_, true);
        const bool declaresDefault = attributeName.prefix.empty() && attribute.local == "xmlns";
        if (declaresDefault || attributeName.prefix == "xmlns") {
            declare(attribute, declaresDefault ? std::string_view() : attribute.local, depth);
            continue;
        }
        // Resolved once the tag's own declarations are all known.
        attribute.space = attributeName.prefix.empty() ? Space::None : Space::Other;
        attributes_.push_back(attribute);
    }
    rejectDuplicateAttributes();

    const Binding* elementBinding = resolve(element.prefix, true, tag_.at);
    tag_.space = elementBinding != nullptr ? elementBinding->space : Space::None;
    std::size_t prefixed = 0;
    attributeBindings_.assign(attributes_.size(), nullptr);
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
        Attribute& attribute = attributes_[i];
        if (attribute.space != Space::None) {
            const Binding* binding = resolve(prefixOf(attribute.qname), false, attribute.at);
            attribute.space = binding != nullptr ? binding->space : Space::None;
            attributeBindings_[i] = binding;
            ++prefixed;
        }
    }
    if (prefixed >= 2) {
        rejectSameExpandedNames();
    }
    rootSeen_ = true;
    tag_.declares = bindingsVersion_ != bindingsBefore;
    if (tag_.selfClosing) {
        // A tag that declares namespaces was resolved with its own bindings.
        const bool declares = tag_.declares;
        dropBindingsDeeperThan(open_.size());
        shapeTag_ = tag_;
        shape_ = attributes_;
        attributesAreShape_ = true;
        shapeBindings_ = declares ? 0 : bindingsVersion_;
    } else {
        open_.push_back(tag_.qname);
    }
}

void Tokenizer::readEndTag() {
    const char* start = p_;
    p_ += 2;
    const std::string_view qname = name("an element name after '</'").qname;
    skipSpaces();
    expectMore(qname);
    if (*p_ != '>') {
        fail_.at(p_, "expected '>' to close the end tag " + shown(qname));
    }
    ++p_;
    if (open_.empty()) {
        fail_.at(start, "the end tag " + shown(qname) + " closes no element");
    }
    if (open_.back() != qname) {
        fail_.at(start, "the end tag " + shown(qname) + " does not match the element " +
                            shown(open_.back()));
    }
    open_.pop_back();
    dropBindingsDeeperThan(open_.size());
    tag_.at = start;
    tag_.qname = qname;
    tag_.local = localOf(qname);
    tag_.selfClosing = false;
}

void Tokenizer::dropBindingsDeeperThan(std::size_t depth) {
    while (bindings_.back().depth > depth) {
        bindings_.pop_back();
        ++bindingsVersion_;
    }
}

namespace {

// The first of items whose key equals that of one before it, or null.
template <typename Item, typename Key>
const Item* firstRepeated(const std::vector<Item>& items, Key key) {
    const std::size_t count = items.size();
    if (count <= 8) {
        for (std::size_t i = 1; i < count; ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (key(items[i]) == key(items[j])) {
                    return &items[i];
                }
            }
        }
        return nullptr;
    }
    // A hand-made tag may carry thousands of attributes: no quadratic test.
    std::vector<const Item*> sorted;
    sorted.reserve(count);
    for (const Item& item : items) {
        sorted.push_back(&item);
    }
    std::sort(sorted.begin(), sorted.end(),
              [&](const Item* a, const Item* b) { return key(*a) < key(*b); });
    for (std::size_t i = 1; i < count; ++i) {
        if (key(*sorted[i]) == key(*sorted[i - 1])) {
            return sorted[i];
        }
    }
    return nullptr;
}

} // namespace

void Tokenizer::rejectDuplicateAttributes() const {
    if (const Attribute* repeated =
            firstRepeated(attributes_, [](const Attribute& a) { return a.qname; })) {
        fail_.at(repeated->at, "the attribute " + shown(repeated->qname) +
                                   " appears twice in the tag " + shown(tag_.qname));
    }
}

// Two prefixes bound to one namespace make two names for one attribute.
// Namespaces are told apart as this reader tells them apart: the rowset's
// own by what they stand for, any other by its URI.
void Tokenizer::rejectSameExpandedNames() {
    struct Named {
        Space space;
        std::string_view uri;
        std::string_view local;
        const Attribute* attribute;
    };
    std::vector<Named> named;
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
        if (const Binding* binding = attributeBindings_[i]) {
            named.push_back({binding->space, binding->uri, attributes_[i].local, &attributes_[i]});
        }
    }
    const Named* repeated =
        firstRepeated(named, [](const Named& n) { return std::tuple(n.space, n.uri, n.local); });
    if (repeated != nullptr) {
        fail_.at(repeated->attribute->at,
                 "the attribute " + shown(repeated->attribute->qname) + " in the tag " +
                     shown(tag_.qname) +
                     " repeats another one: their prefixes are bound to one namespace");
    }
}

} // namespace fillahead::rowsetxml
