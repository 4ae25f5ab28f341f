// Reading the rowset layout: the structure over the tokenizer's elements.
#include "platform/AutomationError.h"
#include "platform/recordset/RowsetXml.h"
#include "platform/recordset/RowsetXmlLayout.h"
#include "platform/recordset/RowsetXmlTokenizer.h"
#include "platform/recordset/Simd.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace fillahead::rowsetxml {
namespace {

using Event = Tokenizer::Event;

// The children of the element just started, one event at a time, up to its
// end tag (none for a self-closing element). Whatever a caller does with a
// child, the loop stops at the parent's end.
class Children {
public:
    explicit Children(Tokenizer& tokens)
        : tokens_(tokens), depth_(tokens.depth()), done_(tokens.tag().selfClosing) {}

    bool next(Event& event) {
        if (done_) {
            return false;
        }
        event = tokens_.next();
        done_ = event == Event::EndOfDocument || (event == Event::End && tokens_.depth() < depth_);
        return !done_;
    }

private:
    Tokenizer& tokens_;
    std::size_t depth_;
    bool done_;
};

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

// The field's definition as the data layer reports it, from its schema.
void describeField(FieldInfo& field) {
    using S = SchemaAttribute::Space;
    const SchemaAttribute* dtType = findFieldAttribute(field, S::DataType, "type");
    const SchemaAttribute* dbType = findFieldAttribute(field, S::Rowset, "dbtype");
    std::string dt = dtType != nullptr ? toUtf8(dtType->value) : "string";
    const std::string db = dbType != nullptr ? toUtf8(dbType->value) : "";
    // Equivalent names the layout reads but never writes.
    if (dt == "i4") {
        dt = "int";
    } else if (dt == "r8") {
        dt = "float";
    }
    std::int32_t code = 8;
    for (const TypeName& type : kTypeNames) {
        if (type.dtType == dt && type.dbType == db) {
            code = type.code;
            break;
        }
    }
    const bool isLong = isTrue(findFieldAttribute(field, S::Rowset, "long"));
    const bool isFixed = isTrue(findFieldAttribute(field, S::Rowset, "fixedlength"));
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
    for (const FlagName& entry : kFlagNames) {
        if (isTrue(findFieldAttribute(field, S::Rowset, entry.name))) {
            flags |= entry.flag;
        }
    }
    const SchemaAttribute* mayBeNull = findFieldAttribute(field, S::Rowset, "maybenull");
    if (mayBeNull == nullptr || isTrue(mayBeNull)) {
        flags |= fieldflag::MayBeNull;
    }
    field.definition.attributes = flags;
}

class RowsetReader {
public:
    RowsetReader(std::string_view document, RecordTable& table, const Failure& fail)
        : document_(document), tokens_(document, fail), table_(table), fail_(fail) {}

    void read() {
        tokens_.next(); // the document element: nothing else comes first
        const Tag& root = tokens_.tag();
        if (root.local != "xml" || root.space != Space::None) {
            fail_.at(root.at, "the document element is " + shown(root.qname) +
                                  ", not 'xml': this is not a rowset file");
        }
        bool schemaSeen = false;
        bool dataSeen = false;
        Event event;
        for (Children children(tokens_); children.next(event);) {
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
    }

private:
    struct FieldEntry {
        FieldInfo field;
        std::string_view xmlName;   // the name rows use
        std::string_view reference; // set for an s:attribute reference
        const char* at = nullptr;
    };

    // A row's value of each field, or null where it has none (a Null).
    using RowValues = std::vector<const Attribute*>;

    static bool is(const Tag& tag, Space space, std::string_view local) {
        return tag.space == space && tag.local == local;
    }

    void rejectText(Event event, std::string_view inside) const {
        if (event == Event::Text) {
            fail_.at(tokens_.tag().at, "unexpected text inside " + shown(inside));
        }
    }

    void keep(const Attribute& attribute, std::vector<SchemaAttribute>& into) const {
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
        kept.value = tokens_.valueOf(attribute);
        into.push_back(std::move(kept));
    }

    void readSchema() {
        bool elementTypeSeen = false;
        Event event;
        for (Children children(tokens_); children.next(event);) {
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
                rowName_ = toUtf8(tokens_.valueOf(attribute));
            }
        }
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "s:ElementType");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Schema, "AttributeType")) {
                entries_.push_back(readAttributeType());
                continue;
            }
            if (is(tag, Space::Schema, "attribute")) {
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
            }
            tokens_.skipContent();
        }
    }

    FieldEntry readAttributeType() {
        FieldEntry entry;
        entry.at = tokens_.tag().at;
        entry.field.fromFile = true;
        std::optional<Text> realName;
        for (const Attribute& attribute : tokens_.attributes()) {
            if (attribute.space == Space::None && attribute.local == "name") {
                if (!attribute.literal) {
                    // Rows could not use it as the name of an attribute.
                    fail_.at(attribute.at, "a field name with a character reference or a "
                                           "line break");
                }
                entry.xmlName = attribute.raw;
            } else if (attribute.space == Space::Rowset && attribute.local == "name") {
                realName = tokens_.valueOf(attribute);
            } else if (!(attribute.space == Space::Rowset && attribute.local == "number")) {
                keep(attribute, entry.field.fieldAttributes);
            }
        }
        if (entry.xmlName.empty()) {
            fail_.at(entry.at, "a field (s:AttributeType) without a name");
        }
        entry.field.definition.name = realName ? *realName : fromUtf8(entry.xmlName);
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "s:AttributeType");
            if (is(tokens_.tag(), Space::Schema, "datatype") && !entry.field.hasDatatype) {
                entry.field.hasDatatype = true;
                for (const Attribute& attribute : tokens_.attributes()) {
                    keep(attribute, entry.field.datatypeAttributes);
                }
            }
            tokens_.skipContent();
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
        values_.resize(entries_.size());
        original_.resize(entries_.size());
        knownXmlNames_.resize(entries_.size());
    }

    bool isRow(const Tag& tag) {
        // Repeated tags share their name's bytes: compare where they lie first.
        if (tag.local.data() == knownRowName_.data() && tag.local.size() == knownRowName_.size()) {
            return tag.space == Space::RowData;
        }
        if (tag.space != Space::RowData || tag.local != rowName_) {
            return false;
        }
        knownRowName_ = tag.local;
        return true;
    }

    void readData() {
        // Estimates from the bytes left, so that large files grow little.
        const std::size_t rest =
            document_.size() - static_cast<std::size_t>(tokens_.position() - document_.data());
        const std::size_t fields = table_.fields().size();
        for (std::size_t field = 0; field < fields; ++field) {
            // Values take about half of a buffer file's rows; little more,
            // since memory reserved and unused is touched all the same.
            table_.column(field).startLoading(rest / 48, rest * 3 / 5 / fields);
        }
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "rs:data");
            const Tag& tag = tokens_.tag();
            if (isRow(tag)) {
                readRow();
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
        for (std::size_t field = 0; field < fields; ++field) {
            table_.column(field).finishLoading();
        }
    }

    void readRows(bool keepThem) {
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "a row group");
            if (keepThem && isRow(tokens_.tag())) {
                readRow();
                continue;
            }
            tokens_.skipContent();
        }
    }

    // A row the tokenizer has started, and the rows after it that repeat
    // its tag: most of a file's rows.
    void readRow() {
        collect(values_);
        commit(values_);
        if (tokens_.tag().selfClosing && !tokens_.tag().declares && learnShape()) {
            readRepeatedRows();
        }
        tokens_.skipContent();
    }

    // The shape of the row just read, for readRepeatedRows: its tag and its
    // attributes in order, each a field. False for a row the quick path
    // cannot repeat (an attribute that is no field).
    bool learnShape() {
        const std::vector<Attribute>& attributes = tokens_.attributes();
        const std::string_view tag = tokens_.tag().qname;
        if (shape_.tag == tag && shape_.fields.size() == attributes.size() &&
            std::equal(
                attributes.begin(), attributes.end(), shape_.names.begin(),
                [](const Attribute& a, const std::string& name) { return a.qname == name; })) {
            return true;
        }
        shape_ = {};
        for (const Attribute& attribute : attributes) {
            const auto field = std::find(values_.begin(), values_.end(), &attribute);
            if (field == values_.end()) {
                shape_.tag = {};
                return false;
            }
            const auto index = static_cast<std::size_t>(field - values_.begin());
            std::string literal = shape_.fields.empty() ? "<" + std::string(tag) : std::string();
            literal.append(1, ' ').append(attribute.qname).append(1, '=');
            shape_.literals.push_back(Literal(literal));
            shape_.names.emplace_back(attribute.qname);
            shape_.fields.push_back(index);
        }
        for (std::size_t field = 0; field < values_.size(); ++field) {
            if (values_[field] == nullptr) {
                shape_.nulls.push_back(field);
            }
        }
        if (shape_.fields.empty()) {
            return false;
        }
        shape_.tag = std::string(tag);
        return true;
    }

    // The rows after one that repeat its shape byte for byte (one space
    // before each attribute, none around '=', "/>" at the end), with only
    // white space between them, each value decoded into its column as it
    // is scanned. The first row that differs in any way, or that holds a
    // value that needs more (a reference, a line break, a long value,
    // anything damaged), is left to the tokenizer, which reads it from its
    // start: so every check and every message stays the tokenizer's.
    void readRepeatedRows() {
        const char* p = tokens_.position();
        const char* const end = tokens_.end();
        for (;;) {
            p = skipSpaces(p, end);
            const char* row = p;
            if (!readRepeatedRow(p, end)) {
                tokens_.resumeAt(row);
                return;
            }
        }
    }

    static const char* skipSpaces(const char* p, const char* end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) {
            ++p;
        }
        return p;
    }

    bool readRepeatedRow(const char*& p, const char* end) {
        const std::size_t count = shape_.fields.size();
        for (std::size_t i = 0; i < count; ++i) {
            const Literal& literal = shape_.literals[i];
            const char* stop = nullptr;
            if (literal.at(p, end) && (p[literal.size] == '\'' || p[literal.size] == '"')) {
                const char quote = p[literal.size];
                stop = table_.column(shape_.fields[i])
                           .appendLoadedDelimited(p + literal.size + 1, end, quote);
            }
            if (stop == nullptr) {
                for (std::size_t done = 0; done < i; ++done) {
                    table_.column(shape_.fields[done]).dropLastLoaded();
                }
                return false;
            }
            p = stop + 1;
        }
        if (end - p < 2 || p[0] != '/' || p[1] != '>') {
            for (std::size_t done = 0; done < count; ++done) {
                table_.column(shape_.fields[done]).dropLastLoaded();
            }
            return false;
        }
        p += 2;
        for (const std::size_t field : shape_.nulls) {
            table_.column(field).appendLoadedNull();
        }
        table_.countLoadedRow();
        return true;
    }

    // rs:update holds rs:original with the old row, then the new row, which
    // may name only the fields that changed.
    void readUpdate() {
        bool haveOriginal = false;
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "rs:update");
            const Tag& tag = tokens_.tag();
            if (is(tag, Space::Rowset, "original")) {
                if (haveOriginal) {
                    commit(original_); // an original without its new row stays as it was
                }
                haveOriginal = readOriginal();
                continue;
            }
            if (isRow(tag)) {
                collect(values_);
                if (haveOriginal) {
                    for (std::size_t field = 0; field < values_.size(); ++field) {
                        if (values_[field] == nullptr) {
                            values_[field] = original_[field];
                        }
                    }
                    haveOriginal = false;
                }
                commit(values_);
            }
            tokens_.skipContent();
        }
        if (haveOriginal) {
            commit(original_);
        }
    }

    bool readOriginal() {
        bool found = false;
        Event event;
        for (Children children(tokens_); children.next(event);) {
            rejectText(event, "rs:original");
            if (!found && isRow(tokens_.tag())) {
                // Kept past the tokenizer's next element.
                originalAttributes_ = tokens_.attributes();
                collect(original_, &originalAttributes_);
                found = true;
            }
            tokens_.skipContent();
        }
        return found;
    }

    // The row's value of each field, pointing into the tokenizer's list (valid
    // until its next element) or into attributes. Attributes the schema does
    // not define are ignored, as the data layer does.
    void collect(RowValues& values, const std::vector<Attribute>* attributes = nullptr) {
        const std::vector<Attribute>& list =
            attributes != nullptr ? *attributes : tokens_.attributes();
        std::fill(values.begin(), values.end(), nullptr);
        std::size_t expected = 0;
        for (const Attribute& attribute : list) {
            if (attribute.space != Space::None) {
                continue;
            }
            // The data layer writes the fields in order.
            std::size_t field = expected;
            if (field >= entries_.size() || !sameName(field, attribute.qname)) {
                const auto found = fieldByXmlName_.find(attribute.qname);
                if (found == fieldByXmlName_.end()) {
                    continue;
                }
                field = found->second;
            }
            values[field] = &attribute;
            expected = field + 1;
        }
    }

    // Repeated attributes share their name's bytes: compare where they lie
    // first.
    bool sameName(std::size_t field, std::string_view name) {
        std::string_view& known = knownXmlNames_[field];
        if (name.data() == known.data() && name.size() == known.size()) {
            return true;
        }
        if (entries_[field].xmlName != name) {
            return false;
        }
        known = name;
        return true;
    }

    std::size_t readableFrom(std::string_view value) const {
        return static_cast<std::size_t>(document_.data() + document_.size() - value.data());
    }

    void commit(const RowValues& values) {
        for (std::size_t field = 0; field < values.size(); ++field) {
            Column& column = table_.column(field);
            const Attribute* value = values[field];
            if (value == nullptr) {
                column.appendLoadedNull();
            } else if (value->plain) {
                column.appendLoadedAscii(value->raw, readableFrom(value->raw));
            } else if (value->literal) {
                if (!column.appendLoadedUtf8(value->raw, readableFrom(value->raw))) {
                    tokens_.check(*value); // says where and why
                }
                value->checked = true;
            } else {
                decoded_.clear();
                tokens_.appendValue(*value, decoded_);
                column.appendLoaded(decoded_);
            }
        }
        table_.countLoadedRow();
    }

    std::string_view document_;
    Tokenizer tokens_;
    RecordTable& table_;
    const Failure& fail_;
    std::string rowName_ = "row";
    std::string_view knownRowName_;
    std::vector<std::string_view> knownXmlNames_;
    std::vector<FieldEntry> entries_;
    std::vector<FieldEntry> sharedTypes_;
    std::unordered_map<std::string_view, std::size_t> fieldByXmlName_;
    RowValues values_;
    // A short text compared in place, sixteen bytes at a time.
    class Literal {
    public:
        explicit Literal(std::string_view text) : bytes(text), size(text.size()) {
            bytes.resize(std::max<std::size_t>(size, 16)); // readable as a whole block
        }
        // Whether the text at p (before end) starts with this one and goes
        // on for at least a byte.
        bool at(const char* p, const char* end) const {
            const auto left = static_cast<std::size_t>(end - p);
#ifdef FILLAHEAD_SSE2
            const auto same = [](const char* a, const char* b) {
                return _mm_movemask_epi8(
                    _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
            };
            if (size >= 16 && size <= 32 && left > size) {
                return same(p, bytes.data()) == 0xFFFF &&
                       same(p + size - 16, bytes.data() + size - 16) == 0xFFFF;
            }
            if (size < 16 && left >= 16) {
                const unsigned mask = (1u << size) - 1;
                return (static_cast<unsigned>(same(p, bytes.data())) & mask) == mask;
            }
#endif
            return left > size && std::memcmp(p, bytes.data(), size) == 0;
        }

        std::string bytes;
        std::size_t size;
    };

    // What readRepeatedRows repeats: the literal text before each value
    // ("<z:row F=", " G="), the field each value goes to, the fields left
    // Null; tag and names tell whether a row has this shape.
    struct Shape {
        std::string tag;
        std::vector<std::string> names;
        std::vector<Literal> literals;
        std::vector<std::size_t> fields;
        std::vector<std::size_t> nulls;
    } shape_;
    RowValues original_;
    std::vector<Attribute> originalAttributes_;
    Text decoded_;
};

} // namespace

void read(std::string_view document, RecordTable& table, TextView source) {
    const Failure whole(document, source);
    // A byte-order mark is allowed, and tells nothing: the layout is UTF-8.
    if (document.substr(0, 3) == "\xEF\xBB\xBF") {
        document.remove_prefix(3);
    } else if (document.substr(0, 2) == "\xFF\xFE" || document.substr(0, 2) == "\xFE\xFF") {
        whole.whole("the file is UTF-16 text; a rowset file is UTF-8");
    }
    if (document.empty()) {
        whole.whole("the file is empty");
    }
    const Failure fail(document, source);
    RowsetReader(document, table, fail).read();
}

} // namespace fillahead::rowsetxml
