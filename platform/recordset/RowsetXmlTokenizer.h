// The XML under the rowset layout: a pull tokenizer over a whole document in
// memory, for RowsetXml only. It accepts well-formed UTF-8 XML (every byte it
// passes is checked on the way, not in a pass of its own) and resolves
// namespace prefixes to the rowset's namespaces, keeping the namespace rules
// (a prefix declared once per tag, no two attributes of one namespace with
// one local name); it refuses document type
// declarations, entities other than the five predefined ones, and elements
// nested more than 64 deep. Every failure is AutomationError 3003 naming the
// source, the line and the problem; nothing is read outside the document.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fillahead::rowsetxml {

enum class Space : std::uint8_t { None, Schema, DataType, Rowset, RowData, Xml, Other };

class Failure {
public:
    Failure(std::string_view document, TextView source) : document_(document), source_(source) {}

    // At a place in the document: the message gives its line.
    [[noreturn]] void at(const char* where, std::string_view problem) const;
    [[noreturn]] void whole(std::string_view problem) const;

private:
    std::string_view document_;
    TextView source_;
};

// A name or value quoted for a message, cut short when long.
std::string shown(std::string_view text);

// Refuses text that is not UTF-8 XML can hold: malformed UTF-8, control
// characters other than tab and line ends, U+FFFE and U+FFFF.
void checkText(const char* begin, const char* end, const Failure& fail);

struct Attribute {
    std::string_view qname;
    std::string_view local;
    Space space = Space::None;
    std::string_view raw; // between the quotes, references unresolved
    // No references and no tabs or line ends: raw is the value in UTF-8.
    bool literal = false;
    // Literal and all ASCII.
    bool plain = false;
    // Whether the value is known to be UTF-8 XML can hold. A value outside
    // ASCII is checked when it is decoded (see Tokenizer::check), or else
    // when the tokenizer moves on.
    mutable bool checked = true;
    const char* at = nullptr;
};

struct Tag {
    std::string_view qname;
    std::string_view local;
    Space space = Space::None;
    bool selfClosing = false;
    bool declares = false; // declares a namespace prefix or the default namespace
    const char* at = nullptr;
};

class Tokenizer {
public:
    enum class Event { Start, End, Text, EndOfDocument };

    Tokenizer(std::string_view document, const Failure& fail);

    // Comments, processing instructions and white space between elements
    // are passed over. After Start, tag() and attributes() describe the
    // element (a self-closing one has no End); after End, tag() names the
    // element closed; Text is text other than white space, at tag().at.
    Event next();
    // Goes on from at, a place after the last event where a caller read
    // what lay in between itself: complete self-closing elements declaring
    // nothing, and white space, among the content of the open element.
    void resumeAt(const char* at);
    const char* end() const noexcept { return end_; }

    const Tag& tag() const noexcept { return tag_; }
    const std::vector<Attribute>& attributes() const noexcept { return attributes_; }
    const char* position() const noexcept { return p_; }
    // Elements open: after Start of a non-empty element it counts that one.
    std::size_t depth() const noexcept { return open_.size(); }

    // Refuses a value that is not UTF-8 XML can hold; for a decoder that
    // found it so, or for one that wants to trust raw.
    void check(const Attribute& attribute) const;

    // Decodes an attribute value as an XML parser reports it: references
    // resolved, each literal tab or line end a space.
    void appendValue(const Attribute& attribute, Text& out) const;
    Text valueOf(const Attribute& attribute) const;

    // Passes over everything inside the element just started.
    void skipContent();

private:
    struct Name {
        std::string_view qname;
        std::string_view prefix; // empty when there is none
        std::string_view local;
    };

    struct Binding {
        std::string_view prefix;
        Space space;
        std::size_t depth;
        std::string uri; // for Space::Other, which stands for many namespaces
    };

    bool startsWith(std::string_view text) const;
    void skipPast(std::string_view terminator, std::string_view what);
    bool skipSpaces();
    void expectMore(std::string_view tag) const;
    Name name(const char* expected, std::string_view tag = {});
    Name repeatedName(Name& last, const char* expected, std::string_view tag = {});
    const Binding* resolve(std::string_view prefix, bool isElement, const char* at) const;
    void declare(const Attribute& attribute, std::string_view prefix, std::size_t depth);
    bool readValue(Attribute& attribute, const char*& p, bool mayFail);
    void checkPending() const;
    bool repeatLastShape();
    char32_t reference(const unsigned char*& p, const unsigned char* end) const;
    void readStartTag();
    void readEndTag();
    void dropBindingsDeeperThan(std::size_t depth);
    void rejectDuplicateAttributes() const;
    void rejectSameExpandedNames();

    const char* p_;
    const char* end_;
    const Failure& fail_;
    Tag tag_;
    std::vector<Attribute> attributes_;
    std::vector<std::string_view> open_;
    std::vector<Binding> bindings_;
    // Per attribute of the tag being read, the binding of its prefix.
    std::vector<const Binding*> attributeBindings_;
    bool rootSeen_ = false;
    Name lastElement_;
    std::vector<Name> lastAttributes_;
    // The last self-closing tag, while the namespace bindings it was
    // resolved with last: rows repeat it with other values.
    Tag shapeTag_;
    std::vector<Attribute> shape_;
    std::uint64_t shapeBindings_ = 0;
    bool attributesAreShape_ = false; // attributes_ has the shape's names
    std::uint64_t bindingsVersion_ = 1;
};

} // namespace fillahead::rowsetxml
