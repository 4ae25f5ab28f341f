#include "platform/RowsetXml.h"

#include "platform/AutomationError.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace fillahead::rowsetxml {
namespace {

constexpr std::string_view kSchemaUri = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr std::string_view kDataTypeUri = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr std::string_view kRowsetUri = "urn:schemas-microsoft-com:rowset";
constexpr std::string_view kRowDataUri = "#RowsetSchema";

// The layout itself nests five deep; the margin serves hierarchical rowsets
// and foreign elements, the limit keeps a hostile file from costing more.
constexpr std::size_t kMaxDepth = 64;

enum class Space : std::uint8_t { None, Schema, DataType, Rowset, RowData, Xml, Other };

// ---------------------------------------------------------------------------
// Characters

enum : std::uint8_t {
    kNameStart = 1, // may start a name (ASCII; every non-ASCII byte is let through)
    kNameChar = 2,  // may continue a name
    kSpace = 4,     // XML white space
    kValueStop = 8, // ends a plain run of an attribute value while decoding it
    kScanStop = 16, // may end an attribute value while finding its end
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
        if (c == '&' || c == '<' || c == '\'' || c == '"') {
            bits |= kScanStop;
        }
        classes[static_cast<std::size_t>(c)] = bits;
    }
    return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

inline bool has(unsigned char c, std::uint8_t bits) {
    return (kClasses[c] & bits) != 0;
}

void appendCodePoint(char32_t c, Text& out) {
    // A surrogate code point (from a character reference) stays one unit: a
    // lone surrogate read back is the one that was written.
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// Decodes one sequence of UTF-8 that checkDocument has already accepted.
char32_t decodeValidUtf8(const unsigned char*& p) {
    const unsigned lead = *p++;
    if (lead < 0xE0) {
        return ((lead & 0x1F) << 6) | (*p++ & 0x3F);
    }
    if (lead < 0xF0) {
        char32_t c = (lead & 0x0F) << 12;
        c |= (*p++ & 0x3Fu) << 6;
        return c | (*p++ & 0x3F);
    }
    char32_t c = (lead & 0x07) << 18;
    c |= (*p++ & 0x3Fu) << 12;
    c |= (*p++ & 0x3Fu) << 6;
    return c | (*p++ & 0x3F);
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

// ---------------------------------------------------------------------------
// Errors

class Failure {
public:
    Failure(std::string_view document, TextView source) : document_(document), source_(source) {}

    [[noreturn]] void at(const char* where, std::string_view problem) const {
        const std::size_t offset =
            std::min(static_cast<std::size_t>(where - document_.data()), document_.size());
        // CR LF, LF and a lone CR each end one line.
        std::size_t line = 1;
        for (std::size_t i = 0; i < offset; ++i) {
            if (document_[i] == '\n' ||
                (document_[i] == '\r' && (i + 1 == document_.size() || document_[i + 1] != '\n'))) {
                ++line;
            }
        }
        throw AutomationError(error::ReadingFile, u"Cannot load '" + Text(source_) + u"': line " +
                                                      toText(static_cast<std::int64_t>(line)) +
                                                      u": " + fromUtf8(problem));
    }

    [[noreturn]] void whole(std::string_view problem) const {
        throw AutomationError(error::ReadingFile,
                              u"Cannot load '" + Text(source_) + u"': " + fromUtf8(problem));
    }

private:
    std::string_view document_;
    TextView source_;
};

// A name or value quoted in a message, cut short when long.
std::string shown(std::string_view text) {
    constexpr std::size_t kShown = 60;
    if (text.size() <= kShown) {
        return "'" + std::string(text) + "'";
    }
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut; // not inside a UTF-8 sequence
    }
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

// Refuses a document that is not UTF-8 text XML can hold. Everything after
// may trust the encoding.
void checkDocument(std::string_view document, const Failure& fail) {
    const auto* begin = reinterpret_cast<const unsigned char*>(document.data());
    const auto* end = begin + document.size();
    const auto* p = begin;
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    while (p < end) {
        // Eight plain ASCII characters at a time: no high bit, none below 0x20.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t below20 = (word - kOnes * 0x20) & ~word & kHighBits;
            if (((word & kHighBits) | below20) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
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

// ---------------------------------------------------------------------------
// Tokenizer: the elements of a well-formed document, one at a time, with
// namespaces resolved.

struct Attribute {
    std::string_view qname;
    std::string_view local;
    Space space = Space::None;
    std::string_view raw; // between the quotes, references unresolved
    bool hasReference = false;
    const char* at = nullptr;
};

struct Tag {
    std::string_view qname;
    std::string_view local;
    Space space = Space::None;
    bool selfClosing = false;
    const char* at = nullptr;
};

class Tokenizer {
public:
    enum class Event { Start, End, Text, EndOfDocument };

    Tokenizer(std::string_view document, const Failure& fail)
        : p_(document.data()), end_(document.data() + document.size()), fail_(fail) {
        bindings_.push_back({"xml", Space::Xml, 0});
    }

    const Tag& tag() const { return tag_; }
    const std::vector<Attribute>& attributes() const { return attributes_; }
    const char* position() const { return p_; }

    Event next() {
        for (;;) {
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
                const char* start = p_;
                const void* found = std::memchr(p_, '<', static_cast<std::size_t>(end_ - p_));
                p_ = found != nullptr ? static_cast<const char*>(found) : end_;
                if (!isBlank(start, p_)) {
                    if (open_.empty()) {
                        fail_.at(start, rootSeen_ ? "text after the end of the document"
                                                  : "not an XML document");
                    }
                    tag_.at = start;
                    return Event::Text;
                }
                continue;
            }
            if (startsWith("<?")) {
                skipPast("?>", "an unterminated processing instruction");
                continue;
            }
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
            if (startsWith("<!")) {
                fail_.at(p_, startsWith("<!DOCTYPE")
                                 ? "a document type declaration (not allowed in a rowset file)"
                                 : "unexpected '<!'");
            }
            if (startsWith("</")) {
                readEndTag();
                return Event::End;
            }
            readStartTag();
            return Event::Start;
        }
    }

    // Decodes an attribute value as an XML parser reports it: references
    // resolved, each literal tab and line end a space.
    void appendValue(const Attribute& attribute, Text& out) const {
        const auto* p = reinterpret_cast<const unsigned char*>(attribute.raw.data());
        const auto* end = p + attribute.raw.size();
        while (p < end) {
            const auto* run = p;
            while (run < end && !has(*run, kValueStop)) {
                ++run;
            }
            if (run != p) {
                const std::size_t used = out.size();
                out.resize(used + static_cast<std::size_t>(run - p));
                std::copy(p, run, out.begin() + static_cast<std::ptrdiff_t>(used));
                p = run;
                if (p == end) {
                    break;
                }
            }
            const unsigned c = *p;
            if (c >= 0x80) {
                appendCodePoint(decodeValidUtf8(p), out);
            } else if (c == '&') {
                appendCodePoint(reference(p, end), out);
            } else if (c == '\r') {
                out.push_back(u' ');
                p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
            } else {
                // tab, line feed, or the other kind of quote
                out.push_back(c == '\t' || c == '\n' ? u' ' : static_cast<char16_t>(c));
                ++p;
            }
        }
    }

    Text valueOf(const Attribute& attribute) const {
        Text value;
        appendValue(attribute, value);
        return value;
    }

    // Every element inside the one just started is passed over.
    void skipContent() {
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

private:
    struct Binding {
        std::string_view prefix;
        Space space;
        std::size_t depth;
    };

    bool startsWith(std::string_view text) const {
        return static_cast<std::size_t>(end_ - p_) >= text.size() &&
               std::memcmp(p_, text.data(), text.size()) == 0;
    }

    static bool isBlank(const char* p, const char* end) {
        for (; p < end; ++p) {
            if (!has(static_cast<unsigned char>(*p), kSpace)) {
                return false;
            }
        }
        return true;
    }

    void skipPast(std::string_view terminator, std::string_view what) {
        const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
        const std::size_t found = rest.find(terminator, 2);
        if (found == std::string_view::npos) {
            fail_.at(p_, "the file ends inside " + std::string(what) + " (is it truncated?)");
        }
        p_ += found + terminator.size();
    }

    bool skipSpaces() {
        const char* start = p_;
        while (p_ < end_ && has(static_cast<unsigned char>(*p_), kSpace)) {
            ++p_;
        }
        return p_ != start;
    }

    void expectMore(std::string_view inside) const {
        if (p_ == end_) {
            fail_.at(p_, "the file ends inside " + std::string(inside) + " (is it truncated?)");
        }
    }

    std::string_view name(std::string_view what) {
        const char* start = p_;
        if (p_ == end_ || !has(static_cast<unsigned char>(*p_), kNameStart)) {
            expectMore("a tag");
            fail_.at(p_, "expected " + std::string(what));
        }
        while (p_ < end_ && has(static_cast<unsigned char>(*p_), kNameChar)) {
            ++p_;
        }
        const std::string_view result(start, static_cast<std::size_t>(p_ - start));
        const std::size_t colon = result.find(':');
        if (colon != std::string_view::npos &&
            (colon == 0 || colon + 1 == result.size() ||
             result.find(':', colon + 1) != std::string_view::npos ||
             !has(static_cast<unsigned char>(result[colon + 1]), kNameStart))) {
            fail_.at(start, "the name " + shown(result) + " is not a valid qualified name");
        }
        return result;
    }

    static std::string_view prefixOf(std::string_view qname) {
        const std::size_t colon = qname.find(':');
        return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    }

    static std::string_view localOf(std::string_view qname) {
        const std::size_t colon = qname.find(':');
        return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    }

    static bool equalsAsciiIgnoringCase(std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
                   return lower(x) == lower(y);
               });
    }

    static Space spaceOfUri(const Text& uri) {
        const std::string text = toUtf8(uri);
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

    Space resolve(std::string_view prefix, bool isElement, const char* at) const {
        if (prefix.empty() && !isElement) {
            return Space::None; // the default namespace does not apply to attributes
        }
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
            if (it->prefix == prefix) {
                return it->space;
            }
        }
        if (prefix.empty()) {
            return Space::None;
        }
        fail_.at(at, "the namespace prefix " + shown(prefix) + " is not declared");
    }

    void readValue(Attribute& attribute) {
        const char quote = *p_;
        if (quote != '\'' && quote != '"') {
            fail_.at(p_, "expected a quoted value for the attribute " + shown(attribute.qname));
        }
        ++p_;
        const char* start = p_;
        for (;;) {
            while (p_ < end_ && !has(static_cast<unsigned char>(*p_), kScanStop)) {
                ++p_;
            }
            if (p_ == end_) {
                fail_.at(start, "the value of the attribute " + shown(attribute.qname) +
                                    " is not terminated (is the file truncated?)");
            }
            const char c = *p_;
            if (c == quote) {
                break;
            }
            if (c == '<') {
                fail_.at(p_, "'<' inside the value of the attribute " + shown(attribute.qname));
            }
            if (c == '&') {
                attribute.hasReference = true;
                const auto* q = reinterpret_cast<const unsigned char*>(p_);
                (void)reference(q, reinterpret_cast<const unsigned char*>(end_));
                p_ = reinterpret_cast<const char*>(q);
                continue;
            }
            ++p_;
        }
        attribute.raw = std::string_view(start, static_cast<std::size_t>(p_ - start));
        ++p_;
    }

    // The character a reference at p stands for; p moves past it.
    char32_t reference(const unsigned char*& p, const unsigned char* end) const {
        const auto* start = p;
        const auto* semicolon = p + 1;
        while (semicolon < end && semicolon - p <= 12 && *semicolon != ';') {
            ++semicolon;
        }
        if (semicolon == end || *semicolon != ';') {
            fail_.at(reinterpret_cast<const char*>(start),
                     "'&' that does not start a reference (write '&amp;' for the character)");
        }
        const std::string_view body(reinterpret_cast<const char*>(p + 1),
                                    static_cast<std::size_t>(semicolon - p - 1));
        p = semicolon + 1;
        if (body == "lt") {
            return U'<';
        }
        if (body == "gt") {
            return U'>';
        }
        if (body == "amp") {
            return U'&';
        }
        if (body == "apos") {
            return U'\'';
        }
        if (body == "quot") {
            return U'"';
        }
        if (body.size() >= 2 && body[0] == '#') {
            const bool hex = body[1] == 'x';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            char32_t value = 0;
            bool valid = !digits.empty();
            for (const char digit : digits) {
                unsigned d = 0;
                if (digit >= '0' && digit <= '9') {
                    d = static_cast<unsigned>(digit - '0');
                } else if (hex && digit >= 'a' && digit <= 'f') {
                    d = static_cast<unsigned>(digit - 'a' + 10);
                } else if (hex && digit >= 'A' && digit <= 'F') {
                    d = static_cast<unsigned>(digit - 'A' + 10);
                } else {
                    valid = false;
                    break;
                }
                value = value * (hex ? 16 : 10) + d;
                if (value > 0x10FFFF) {
                    valid = false;
                    break;
                }
            }
            if (valid) {
                return value;
            }
            fail_.at(reinterpret_cast<const char*>(start),
                     "the character reference " + shown("&" + std::string(body) + ";") +
                         " is not a valid character number");
        }
        fail_.at(reinterpret_cast<const char*>(start),
                 "unknown entity " + shown("&" + std::string(body) + ";") +
                     " (a rowset file uses only the five predefined ones)");
    }

    void readStartTag() {
        if (open_.empty() && rootSeen_) {
            fail_.at(p_, "a second document element after the end of the document");
        }
        if (open_.size() >= kMaxDepth) {
            fail_.at(p_, "elements nested more than " + std::to_string(kMaxDepth) + " deep");
        }
        tag_.at = p_;
        ++p_;
        tag_.qname = name("an element name after '<'");
        attributes_.clear();
        const std::size_t depth = open_.size() + 1;
        for (;;) {
            const bool spaced = skipSpaces();
            expectMore("the tag " + shown(tag_.qname));
            if (*p_ == '>') {
                ++p_;
                tag_.selfClosing = false;
                break;
            }
            if (*p_ == '/') {
                ++p_;
                expectMore("the tag " + shown(tag_.qname));
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
            attribute.qname = name("an attribute name or the end of the tag " + shown(tag_.qname));
            skipSpaces();
            expectMore("the tag " + shown(tag_.qname));
            if (*p_ != '=') {
                fail_.at(p_, "expected '=' after the attribute name " + shown(attribute.qname));
            }
            ++p_;
            skipSpaces();
            expectMore("the tag " + shown(tag_.qname));
            readValue(attribute);
            if (attribute.qname == "xmlns" || prefixOf(attribute.qname) == "xmlns") {
                const Text uri = valueOf(attribute);
                const std::string_view prefix =
                    attribute.qname == "xmlns" ? std::string_view() : localOf(attribute.qname);
                if (uri.empty() && !prefix.empty()) {
                    fail_.at(attribute.at, "the prefix " + shown(prefix) + " is bound to no URI");
                }
                bindings_.push_back({prefix, uri.empty() ? Space::None : spaceOfUri(uri), depth});
                continue;
            }
            attributes_.push_back(attribute);
        }
        rejectDuplicateAttributes();

        tag_.local = localOf(tag_.qname);
        tag_.space = resolve(prefixOf(tag_.qname), true, tag_.at);
        for (Attribute& attribute : attributes_) {
            attribute.local = localOf(attribute.qname);
            attribute.space = resolve(prefixOf(attribute.qname), false, attribute.at);
        }
        rootSeen_ = true;
        if (tag_.selfClosing) {
            dropBindingsDeeperThan(open_.size());
        } else {
            open_.push_back(tag_.qname);
        }
    }

    void readEndTag() {
        const char* start = p_;
        p_ += 2;
        const std::string_view qname = name("an element name after '</'");
        skipSpaces();
        expectMore("the end tag " + shown(qname));
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
    }

    void dropBindingsDeeperThan(std::size_t depth) {
        while (bindings_.back().depth > depth) {
            bindings_.pop_back();
        }
    }

    void rejectDuplicateAttributes() {
        const auto fail = [this](const Attribute& attribute) {
            fail_.at(attribute.at, "the attribute " + shown(attribute.qname) +
                                       " appears twice in the tag " + shown(tag_.qname));
        };
        const std::size_t count = attributes_.size();
        if (count <= 8) {
            for (std::size_t i = 1; i < count; ++i) {
                for (std::size_t j = 0; j < i; ++j) {
                    if (attributes_[i].qname == attributes_[j].qname) {
                        fail(attributes_[i]);
                    }
                }
            }
            return;
        }
        // A hand-made tag may carry thousands of attributes: no quadratic test.
        std::vector<const Attribute*> sorted;
        sorted.reserve(count);
        for (const Attribute& attribute : attributes_) {
            sorted.push_back(&attribute);
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const Attribute* a, const Attribute* b) { return a->qname < b->qname; });
        for (std::size_t i = 1; i < count; ++i) {
            if (sorted[i]->qname == sorted[i - 1]->qname) {
                fail(*sorted[i]);
            }
        }
    }

    const char* p_;
    const char* end_;
    const Failure& fail_;
    Tag tag_;
    std::vector<Attribute> attributes_;
    std::vector<std::string_view> open_;
    std::vector<Binding> bindings_;
    bool rootSeen_ = false;
};

using Event = Tokenizer::Event;

// ---------------------------------------------------------------------------
// Field types: dt:type (and rs:dbtype) against the data layer's type codes.

struct TypeName {
    std::int32_t code;
    std::string_view dtType;
    std::string_view dbType; // empty: none
};

// Where several codes share a form, the first is the one read back; a wide
// text field reads back as 8, the type a buffer's field is appended with.
constexpr TypeName kTypeNames[] = {
    {8, "string", ""},
    {202, "string", ""},
    {203, "string", ""},
    {130, "string", ""},
    {200, "string", "str"},
    {201, "string", "str"},
    {129, "string", "str"},
    {16, "i1", ""},
    {17, "ui1", ""},
    {2, "i2", ""},
    {18, "ui2", ""},
    {3, "int", ""},
    {19, "ui4", ""},
    {20, "i8", ""},
    {21, "ui8", ""},
    {4, "r4", ""},
    {5, "float", ""},
    {6, "i8", "currency"},
    {131, "number", "numeric"},
    {14, "number", "decimal"},
    {11, "boolean", ""},
    {7, "dateTime", "variantdate"},
    {135, "dateTime", "timestamp"},
    {133, "date", ""},
    {134, "time", ""},
    {72, "uuid", ""},
    {204, "bin.hex", ""},
    {205, "bin.hex", ""},
    {128, "bin.hex", ""},
    {12, "string", "variant"},
};

// Field attribute flags of the data layer and the schema attributes that
// carry them.
constexpr std::int32_t kMayDefer = 0x2;
constexpr std::int32_t kUpdatable = 0x4;
constexpr std::int32_t kUnknownUpdatable = 0x8;
constexpr std::int32_t kFixed = 0x10;
constexpr std::int32_t kIsNullable = 0x20;
constexpr std::int32_t kMayBeNull = 0x40;
constexpr std::int32_t kLong = 0x80;
constexpr std::int32_t kRowId = 0x100;
constexpr std::int32_t kKeyColumn = 0x8000;

const SchemaAttribute* findSchemaAttribute(const std::vector<SchemaAttribute>& attributes,
                                           SchemaAttribute::Space space, std::string_view name) {
    for (const SchemaAttribute& attribute : attributes) {
        if (attribute.space == space && attribute.name == name) {
            return &attribute;
        }
    }
    return nullptr;
}

// Both lists of a field; older writers put dt:type on s:AttributeType itself.
const SchemaAttribute* findFieldAttribute(const FieldInfo& field, SchemaAttribute::Space space,
                                          std::string_view name) {
    const SchemaAttribute* found = findSchemaAttribute(field.datatypeAttributes, space, name);
    return found != nullptr ? found : findSchemaAttribute(field.fieldAttributes, space, name);
}

bool isTrue(const SchemaAttribute* attribute) {
    return attribute != nullptr && (attribute->value == u"true" || attribute->value == u"1");
}

void describeField(FieldInfo& field) {
    using S = SchemaAttribute::Space;
    const SchemaAttribute* dtType = findFieldAttribute(field, S::DataType, "type");
    const SchemaAttribute* dbType = findFieldAttribute(field, S::Rowset, "dbtype");
    const std::string dt = dtType != nullptr ? toUtf8(dtType->value) : "string";
    const std::string db = dbType != nullptr ? toUtf8(dbType->value) : "";
    const bool isLong = isTrue(findFieldAttribute(field, S::Rowset, "long"));
    const bool isFixed = isTrue(findFieldAttribute(field, S::Rowset, "fixedlength"));

    std::int32_t code = 8;
    for (const TypeName& type : kTypeNames) {
        if (type.dtType == (dt == "i4" ? "int" : dt == "r8" ? "float" : dt) && type.dbType == db) {
            code = type.code;
            break;
        }
    }
    if (code == 8 && isLong) {
        code = 203;
    } else if (code == 8 && isFixed) {
        code = 130;
    } else if (code == 200 && isLong) {
        code = 201;
    } else if (code == 200 && isFixed) {
        code = 129;
    }
    field.definition.type = code;

    field.definition.definedSize = -1;
    if (const SchemaAttribute* size = findFieldAttribute(field, S::DataType, "maxLength")) {
        double value = 0;
        if (parseVbNumber(size->value, value) && value >= 0 && value <= 0x7FFFFFFF) {
            field.definition.definedSize = static_cast<std::int32_t>(value);
        }
    }

    std::int32_t flags = 0;
    const struct {
        std::string_view name;
        std::int32_t flag;
    } kFlags[] = {
        {"maydefer", kMayDefer}, {"write", kUpdatable},     {"writeunknown", kUnknownUpdatable},
        {"fixedlength", kFixed}, {"nullable", kIsNullable}, {"long", kLong},
        {"rowid", kRowId},       {"keycolumn", kKeyColumn}};
    for (const auto& entry : kFlags) {
        if (isTrue(findFieldAttribute(field, S::Rowset, entry.name))) {
            flags |= entry.flag;
        }
    }
    const SchemaAttribute* mayBeNull = findFieldAttribute(field, S::Rowset, "maybenull");
    if (mayBeNull == nullptr || isTrue(mayBeNull)) {
        flags |= kMayBeNull;
    }
    field.definition.attributes = flags;
}

// ---------------------------------------------------------------------------
// The rowset structure over the tokenizer.

class RowsetReader {
public:
    RowsetReader(std::string_view document, RecordTable& table, const Failure& fail)
        : document_(document), tokens_(document, fail), table_(table), fail_(fail) {}

    void read() {
        Event event = tokens_.next();
        const Tag& root = tokens_.tag();
        if (root.local != "xml" || root.space != Space::None) {
            fail_.at(root.at, "the document element is " + shown(root.qname) +
                                  ", not 'xml': this is not a rowset file");
        }
        if (root.selfClosing) {
            fail_.at(root.at, "the document is empty: no schema and no data");
        }
        bool schemaSeen = false;
        bool dataSeen = false;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "xml");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Schema, "Schema")) {
                if (schemaSeen) {
                    fail_.at(tag.at, "a second s:Schema");
                }
                readSchema();
                schemaSeen = true;
            } else if (is(tag, Space::Rowset, "data")) {
                if (!schemaSeen) {
                    fail_.at(tag.at, "rs:data before the s:Schema that describes it");
                }
                if (dataSeen) {
                    fail_.at(tag.at, "a second rs:data");
                }
                readData();
                dataSeen = true;
            } else {
                tokens_.skipContent();
            }
        }
        if (!schemaSeen || !dataSeen) {
            fail_.at(tokens_.tag().at, schemaSeen ? "no rs:data section (the rows are missing)"
                                                  : "no s:Schema (the fields are not described)");
        }
        tokens_.next(); // only comments and white space may follow
        table_.buildIndexes();
    }

private:
    struct FieldEntry {
        FieldInfo field;
        std::string_view xmlName;   // the name rows use
        std::string_view reference; // set for an s:attribute reference
        const char* at = nullptr;
    };

    struct PendingValue {
        const Attribute* attribute = nullptr; // into the copy of the row's attributes
    };

    static bool is(const Tag& tag, Space space, std::string_view local) {
        return tag.space == space && tag.local == local;
    }

    void rejectText(Event event, std::string_view inside) {
        if (event == Event::Text) {
            fail_.at(tokens_.tag().at, "unexpected text inside " + shown(inside));
        }
    }

    std::string utf8Value(const Attribute& attribute) const {
        return attribute.hasReference ? toUtf8(tokens_.valueOf(attribute))
                                      : std::string(attribute.raw);
    }

    static void keep(const Attribute& attribute, const Tokenizer& tokens,
                     std::vector<SchemaAttribute>& into) {
        SchemaAttribute kept;
        switch (attribute.space) {
        case Space::None:
            kept.space = SchemaAttribute::Space::None;
            break;
        case Space::DataType:
            kept.space = SchemaAttribute::Space::DataType;
            break;
        case Space::Rowset:
            kept.space = SchemaAttribute::Space::Rowset;
            break;
        default:
            return; // a namespace the writer does not declare
        }
        kept.name = std::string(attribute.local);
        kept.value = tokens.valueOf(attribute);
        into.push_back(std::move(kept));
    }

    void readSchema() {
        Event event;
        bool elementTypeSeen = false;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "s:Schema");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Schema, "ElementType") && !elementTypeSeen) {
                elementTypeSeen = true;
                readElementType();
            } else if (is(tag, Space::Schema, "AttributeType")) {
                sharedTypes_.push_back(readAttributeType());
            } else {
                tokens_.skipContent();
            }
        }
        if (!elementTypeSeen) {
            fail_.at(tokens_.tag().at, "the schema has no s:ElementType for the rows");
        }
        resolveFields();
    }

    void readElementType() {
        for (const Attribute& attribute : tokens_.attributes()) {
            if (attribute.space == Space::None && attribute.local == "name") {
                rowName_ = utf8Value(attribute);
            }
        }
        if (tokens_.tag().selfClosing) {
            return;
        }
        Event event;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "s:ElementType");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Schema, "AttributeType")) {
                entries_.push_back(readAttributeType());
            } else if (is(tag, Space::Schema, "attribute")) {
                FieldEntry entry;
                entry.at = tag.at;
                for (const Attribute& attribute : tokens_.attributes()) {
                    if (attribute.space == Space::None && attribute.local == "type") {
                        entry.reference = attribute.raw;
                    }
                }
                if (entry.reference.empty()) {
                    fail_.at(tag.at, "s:attribute without the type it refers to");
                }
                entries_.push_back(std::move(entry));
                tokens_.skipContent();
            } else {
                tokens_.skipContent();
            }
        }
    }

    FieldEntry readAttributeType() {
        FieldEntry entry;
        entry.at = tokens_.tag().at;
        entry.field.fromFile = true;
        std::optional<Text> realName;
        for (const Attribute& attribute : tokens_.attributes()) {
            if (attribute.space == Space::None && attribute.local == "name") {
                if (attribute.hasReference) {
                    fail_.at(attribute.at, "a field name that is not a plain XML name");
                }
                entry.xmlName = attribute.raw;
            } else if (attribute.space == Space::Rowset && attribute.local == "name") {
                realName = tokens_.valueOf(attribute);
            } else if (!(attribute.space == Space::Rowset && attribute.local == "number")) {
                keep(attribute, tokens_, entry.field.fieldAttributes);
            }
        }
        if (entry.xmlName.empty()) {
            fail_.at(entry.at, "a field (s:AttributeType) without a name");
        }
        entry.field.definition.name = realName ? *realName : fromUtf8(entry.xmlName);
        if (!tokens_.tag().selfClosing) {
            Event event;
            while ((event = tokens_.next()) != Event::End) {
                rejectText(event, "s:AttributeType");
                const Tag& tag = tokens_.tag();
                if (is(tag, Space::Schema, "datatype") && !entry.field.hasDatatype) {
                    entry.field.hasDatatype = true;
                    for (const Attribute& attribute : tokens_.attributes()) {
                        keep(attribute, tokens_, entry.field.datatypeAttributes);
                    }
                }
                tokens_.skipContent();
            }
        }
        describeField(entry.field);
        return entry;
    }

    void resolveFields() {
        for (FieldEntry& entry : entries_) {
            if (entry.reference.empty()) {
                continue;
            }
            const auto shared =
                std::find_if(sharedTypes_.begin(), sharedTypes_.end(), [&](const FieldEntry& type) {
                    return type.xmlName == entry.reference;
                });
            if (shared == sharedTypes_.end()) {
                fail_.at(entry.at, "the row type refers to the field " + shown(entry.reference) +
                                       ", which the schema does not define");
            }
            entry.field = shared->field;
            entry.xmlName = shared->xmlName;
        }
        if (entries_.empty()) {
            fail_.at(tokens_.tag().at, "the schema defines no fields");
        }
        // Names must tell fields apart: exactly in the rows, ignoring case
        // for the record set. Sorted, so that no number of fields is slow.
        std::vector<std::pair<std::string_view, const FieldEntry*>> byXmlName;
        std::vector<std::pair<Text, const FieldEntry*>> byName;
        for (const FieldEntry& entry : entries_) {
            byXmlName.emplace_back(entry.xmlName, &entry);
            byName.emplace_back(foldCase(entry.field.definition.name), &entry);
        }
        std::sort(byXmlName.begin(), byXmlName.end());
        std::sort(byName.begin(), byName.end());
        for (std::size_t i = 1; i < entries_.size(); ++i) {
            if (byXmlName[i].first == byXmlName[i - 1].first) {
                fail_.at(byXmlName[i].second->at,
                         "two fields are named " + shown(byXmlName[i].first));
            }
            if (byName[i].first == byName[i - 1].first) {
                fail_.at(byName[i].second->at, "two fields are named " +
                                                   shown(toUtf8(byName[i].first)) +
                                                   " (letter case aside)");
            }
        }
        for (FieldEntry& entry : entries_) {
            fieldByXmlName_.emplace(entry.xmlName, table_.fields().size());
            table_.addField(std::move(entry.field));
        }
        pending_.resize(entries_.size());
        original_.resize(entries_.size());
    }

    bool isRow(const Tag& tag) const {
        return tag.space == Space::RowData && tag.local == rowName_;
    }

    void readData() {
        // One arena character per document byte is an upper bound that
        // saves the copies of a growing arena on large files.
        if (table_.fields().size() == 1) {
            const std::size_t rest =
                document_.size() - static_cast<std::size_t>(tokens_.position() - document_.data());
            table_.column(0).arena().reserve(rest);
        }
        Event event;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "rs:data");
            const Tag& tag = tokens_.tag();
            if (isRow(tag)) {
                readRow(pending_, pendingAttributes_);
                commit(pending_);
            } else if (is(tag, Space::Rowset, "insert")) {
                readRows(true);
            } else if (is(tag, Space::Rowset, "delete")) {
                readRows(false);
            } else if (is(tag, Space::Rowset, "update")) {
                readUpdate();
            } else {
                tokens_.skipContent();
            }
        }
    }

    void readRows(bool keepThem) {
        if (tokens_.tag().selfClosing) {
            return;
        }
        Event event;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "a row group");
            if (isRow(tokens_.tag())) {
                readRow(pending_, pendingAttributes_);
                if (keepThem) {
                    commit(pending_);
                }
            } else {
                tokens_.skipContent();
            }
        }
    }

    // rs:update holds rs:original with the old row, then the new row, which
    // may name only the fields that changed.
    void readUpdate() {
        if (tokens_.tag().selfClosing) {
            return;
        }
        bool haveOriginal = false;
        Event event;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "rs:update");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Rowset, "original")) {
                if (haveOriginal) {
                    commit(original_); // an original without its new row stays as it was
                }
                haveOriginal = readOriginal();
            } else if (isRow(tag)) {
                readRow(pending_, pendingAttributes_);
                if (haveOriginal) {
                    for (std::size_t field = 0; field < pending_.size(); ++field) {
                        if (pending_[field].attribute == nullptr) {
                            pending_[field] = original_[field];
                        }
                    }
                    haveOriginal = false;
                }
                commit(pending_);
            } else {
                tokens_.skipContent();
            }
        }
        if (haveOriginal) {
            commit(original_);
        }
    }

    bool readOriginal() {
        if (tokens_.tag().selfClosing) {
            return false;
        }
        bool found = false;
        Event event;
        while ((event = tokens_.next()) != Event::End) {
            rejectText(event, "rs:original");
            if (!found && isRow(tokens_.tag())) {
                readRow(original_, originalAttributes_);
                found = true;
            } else {
                tokens_.skipContent();
            }
        }
        return found;
    }

    // The row's values by field; attributes the schema does not define are
    // ignored, as the data layer does.
    void readRow(std::vector<PendingValue>& values, std::vector<Attribute>& storage) {
        storage = tokens_.attributes(); // the tokenizer reuses its list
        std::fill(values.begin(), values.end(), PendingValue{});
        const std::vector<FieldInfo>& fields = table_.fields();
        std::size_t expected = 0;
        for (const Attribute& attribute : storage) {
            if (attribute.space != Space::None) {
                continue;
            }
            // Rows written by the data layer list the fields in order.
            std::size_t field = expected;
            if (field >= fields.size() || xmlNameOf(field) != attribute.qname) {
                const auto found = fieldByXmlName_.find(attribute.qname);
                if (found == fieldByXmlName_.end()) {
                    continue;
                }
                field = found->second;
            }
            values[field].attribute = &attribute;
            expected = field + 1;
        }
        tokens_.skipContent();
    }

    std::string_view xmlNameOf(std::size_t field) const { return entries_[field].xmlName; }

    void commit(const std::vector<PendingValue>& values) {
        for (std::size_t field = 0; field < values.size(); ++field) {
            Column& column = table_.column(field);
            if (values[field].attribute == nullptr) {
                column.appendLoadedNull();
                continue;
            }
            Text& arena = column.arena();
            const std::size_t start = arena.size();
            tokens_.appendValue(*values[field].attribute, arena);
            column.appendLoaded(start);
        }
        table_.countLoadedRow();
    }

    std::string_view document_;
    Tokenizer tokens_;
    RecordTable& table_;
    const Failure& fail_;
    std::string rowName_ = "row";
    std::vector<FieldEntry> entries_;
    std::vector<FieldEntry> sharedTypes_;
    std::unordered_map<std::string_view, std::size_t> fieldByXmlName_;
    std::vector<PendingValue> pending_;
    std::vector<PendingValue> original_;
    std::vector<Attribute> pendingAttributes_;
    std::vector<Attribute> originalAttributes_;
};

// ---------------------------------------------------------------------------
// Writing

bool isNameStartCodePoint(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCodePoint(char32_t c) {
    return isNameStartCodePoint(c) || (c >= U'0' && c <= U'9') || c == U'-' || c == U'.' ||
           c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// A name that can stand as an attribute of z:row: an XML name without a
// colon, and none of the names XML reserves (xmlns would declare a prefix).
bool isPlainAttributeName(TextView name) {
    if (name.empty() || (name.size() >= 3 && equalsIgnoringCase(name.substr(0, 3), u"xml"))) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        }
        if (i == 0 ? !isNameStartCodePoint(c) : !isNameCodePoint(c)) {
            return false;
        }
    }
    return true;
}

constexpr std::array<bool, 128> makePlainAscii() {
    std::array<bool, 128> plain{};
    for (int c = 0x20; c < 0x80; ++c) {
        plain[static_cast<std::size_t>(c)] =
            c != '\'' && c != '&' && c != '<' && c != '>' && c != '"';
    }
    return plain;
}
constexpr std::array<bool, 128> kPlainAscii = makePlainAscii();

void appendHexReference(char32_t c, std::string& out) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out += "&#x";
    char buffer[8];
    int count = 0;
    do {
        buffer[count++] = digits[c & 0xF];
        c >>= 4;
    } while (c != 0);
    while (count > 0) {
        out.push_back(buffer[--count]);
    }
    out.push_back(';');
}

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x800) {
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

// Text as the content of a single-quoted attribute value.
void appendEscaped(TextView text, std::string& out) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        std::size_t run = i;
        while (run < size && text[run] < 0x80 && kPlainAscii[text[run]]) {
            ++run;
        }
        if (run != i) {
            const std::size_t used = out.size();
            out.resize(used + (run - i));
            std::copy(text.begin() + static_cast<std::ptrdiff_t>(i),
                      text.begin() + static_cast<std::ptrdiff_t>(run),
                      out.begin() + static_cast<std::ptrdiff_t>(used));
            i = run;
            if (i == size) {
                break;
            }
        }
        const char32_t c = text[i++];
        switch (c) {
        case u'\'':
            out += "&#x27;";
            continue;
        case u'&':
            out += "&amp;";
            continue;
        case u'<':
            out += "&lt;";
            continue;
        case u'>':
            out += "&gt;";
            continue;
        case u'"':
            out += "&quot;";
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            appendHexReference(c, out); // tab and line ends too: parsers would make them spaces
        } else if (c >= 0xD800 && c <= 0xDBFF && i < size && text[i] >= 0xDC00 &&
                   text[i] <= 0xDFFF) {
            appendUtf8(0x10000 + ((c - 0xD800) << 10) + (text[i] - 0xDC00), out);
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
            appendHexReference(c, out);
        } else {
            appendUtf8(c, out);
        }
    }
}

void appendAttribute(std::string_view name, TextView value, std::string& out) {
    out.push_back(' ');
    out += name;
    out += "='";
    appendEscaped(value, out);
    out.push_back('\'');
}

void appendKept(const std::vector<SchemaAttribute>& attributes, std::string& out) {
    for (const SchemaAttribute& attribute : attributes) {
        std::string name;
        if (attribute.space == SchemaAttribute::Space::DataType) {
            name = "dt:";
        } else if (attribute.space == SchemaAttribute::Space::Rowset) {
            name = "rs:";
        }
        name += attribute.name;
        appendAttribute(name, attribute.value, out);
    }
}

// The attributes a field appended in memory is written with.
void appendDescribed(const FieldDefinition& definition, std::string& out) {
    const std::int32_t flags = definition.attributes;
    const bool unspecified = flags == -1;
    if (unspecified || (flags & kIsNullable) != 0) {
        out += " rs:nullable='true'";
    }
    if (!unspecified && (flags & kMayDefer) != 0) {
        out += " rs:maydefer='true'";
    }
    if (unspecified || (flags & kUpdatable) != 0) {
        out += " rs:write='true'";
    }
    if (!unspecified && (flags & kUnknownUpdatable) != 0) {
        out += " rs:writeunknown='true'";
    }
    if (!unspecified && (flags & kKeyColumn) != 0) {
        out += " rs:keycolumn='true'";
    }
    if (!unspecified && (flags & kRowId) != 0) {
        out += " rs:rowid='true'";
    }
    out += ">\r\n\t\t\t<s:datatype";
    const TypeName* type = &kTypeNames[0];
    for (const TypeName& candidate : kTypeNames) {
        if (candidate.code == definition.type) {
            type = &candidate;
            break;
        }
    }
    out += " dt:type='";
    out += type->dtType;
    out += "'";
    if (!type->dbType.empty()) {
        out += " rs:dbtype='";
        out += type->dbType;
        out += "'";
    }
    if (definition.definedSize >= 0) {
        out += " dt:maxLength='";
        out += std::to_string(definition.definedSize);
        out += "'";
    }
    if ((!unspecified && (flags & kFixed) != 0) || definition.type == 130 ||
        definition.type == 129 || definition.type == 128) {
        out += " rs:fixedlength='true'";
    }
    if ((!unspecified && (flags & kLong) != 0) || definition.type == 203 ||
        definition.type == 201 || definition.type == 205) {
        out += " rs:long='true'";
    }
    if (!unspecified && (flags & kMayBeNull) == 0) {
        out += " rs:maybenull='false'";
    }
    out += "/>\r\n\t\t</s:AttributeType>\r\n";
}

// The attribute name each field's values are written under: its own name
// where XML allows it, else c and its position (c0, c1...), made unique.
std::vector<std::string> xmlNames(const std::vector<FieldInfo>& fields) {
    std::vector<std::string> names(fields.size());
    std::vector<bool> aliased(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        aliased[i] = !isPlainAttributeName(fields[i].definition.name);
        if (!aliased[i]) {
            names[i] = toUtf8(fields[i].definition.name);
        }
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!aliased[i]) {
            continue;
        }
        std::string alias = "c" + std::to_string(i);
        for (int suffix = 1; std::find(names.begin(), names.end(), alias) != names.end();
             ++suffix) {
            alias = "c" + std::to_string(i) + "_" + std::to_string(suffix);
        }
        names[i] = alias;
    }
    return names;
}

} // namespace

void read(std::string_view document, RecordTable& table, TextView source) {
    const Failure fail(document, source);
    // A byte-order mark is allowed, and tells nothing: the layout is UTF-8.
    if (document.size() >= 3 && document.substr(0, 3) == "\xEF\xBB\xBF") {
        document.remove_prefix(3);
    } else if (document.size() >= 2 &&
               (document.substr(0, 2) == "\xFF\xFE" || document.substr(0, 2) == "\xFE\xFF")) {
        fail.whole("the file is UTF-16 text; a rowset file is UTF-8");
    }
    if (document.empty()) {
        fail.whole("the file is empty");
    }
    const Failure located(document, source);
    checkDocument(document, located);
    RowsetReader(document, table, located).read();
}

void write(const RecordTable& table, std::string& out) {
    const std::vector<FieldInfo>& fields = table.fields();
    const std::vector<std::string> names = xmlNames(fields);

    std::size_t estimate = 1024 + 256 * fields.size();
    for (std::size_t field = 0; field < fields.size(); ++field) {
        estimate += (names[field].size() + 4) * table.slotCount();
    }
    estimate += std::size_t{table.slotCount()} * 16;
    out.reserve(out.size() + estimate);

    out += "<xml xmlns:s='";
    out += kSchemaUri;
    out += "'\r\n\txmlns:dt='";
    out += kDataTypeUri;
    out += "'\r\n\txmlns:rs='";
    out += kRowsetUri;
    out += "'\r\n\txmlns:z='";
    out += kRowDataUri;
    out += "'>\r\n<s:Schema id='RowsetSchema'>\r\n"
           "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n";
    for (std::size_t field = 0; field < fields.size(); ++field) {
        const FieldInfo& info = fields[field];
        out += "\t\t<s:AttributeType";
        appendAttribute("name", fromUtf8(names[field]), out);
        if (toUtf8(info.definition.name) != names[field]) {
            appendAttribute("rs:name", info.definition.name, out);
        }
        out += " rs:number='";
        out += std::to_string(field + 1);
        out += "'";
        if (!info.fromFile) {
            appendDescribed(info.definition, out);
            continue;
        }
        appendKept(info.fieldAttributes, out);
        if (!info.hasDatatype) {
            out += "/>\r\n";
            continue;
        }
        out += ">\r\n\t\t\t<s:datatype";
        appendKept(info.datatypeAttributes, out);
        out += "/>\r\n\t\t</s:AttributeType>\r\n";
    }
    out += "\t\t<s:extends type='rs:rowbase'/>\r\n\t</s:ElementType>\r\n</s:Schema>\r\n";

    if (table.liveCount() == 0) {
        out += "<rs:data/>\r\n</xml>\r\n";
        return;
    }
    out += "<rs:data>\r\n\t<rs:insert>\r\n";
    const std::uint32_t slots = table.slotCount();
    for (std::uint32_t slot = 0; slot < slots; ++slot) {
        if (table.isDeleted(slot)) {
            continue;
        }
        out += "\t\t<z:row";
        for (std::size_t field = 0; field < fields.size(); ++field) {
            const std::optional<TextView> value = table.column(field).value(slot);
            if (!value) {
                continue; // an absent attribute is a Null
            }
            out.push_back(' ');
            out += names[field];
            out += "='";
            appendEscaped(*value, out);
            out.push_back('\'');
        }
        out += "/>\r\n";
    }
    out += "\t</rs:insert>\r\n</rs:data>\r\n</xml>\r\n";
}

} // namespace fillahead::rowsetxml
