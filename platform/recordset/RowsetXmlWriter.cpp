// Writing the rowset layout: one exact form, as the original data layer
// writes a buffer file.
#include "platform/recordset/AsciiRuns.h"
#include "platform/recordset/RowsetXml.h"
#include "platform/recordset/RowsetXmlLayout.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

namespace fillahead::rowsetxml {
namespace {

struct CodeRange {
    char16_t first;
    char16_t last;
};
#include "platform/recordset/RowsetXmlNames.inc"

template <std::size_t N>
bool inRanges(const CodeRange (&ranges)[N], char32_t c) {
    const auto after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                        [](char32_t x, const CodeRange& r) { return x < r.first; });
    return after != std::begin(ranges) && c <= std::prev(after)->last;
}

// The older, narrower rules: a name another reader may refuse under them
// is written under an alias, as one that is no name at all.
bool isNameStartCodePoint(char32_t c) {
    if (c < 0x80) {
        return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_';
    }
    return inRanges(kNameStartRanges, c);
}

bool isNameCodePoint(char32_t c) {
    if (c < 0x80) {
        return isNameStartCodePoint(c) || (c >= U'0' && c <= U'9') || c == U'-' || c == U'.';
    }
    return inRanges(kNameRanges, c);
}

// A name that can stand as an attribute of z:row: an XML name without a
// colon, and none of the names XML reserves (xmlns would declare a prefix).
// A surrogate, paired or not, is no name character under the older rules.
bool isPlainAttributeName(TextView name) {
    if (name.empty() || (name.size() >= 3 && equalsIgnoringCase(name.substr(0, 3), u"xml"))) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char32_t c = name[i];
        if (i == 0 ? !isNameStartCodePoint(c) : !isNameCodePoint(c)) {
            return false;
        }
    }
    return true;
}

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

// Text as the content of a single-quoted attribute value.
void appendEscaped(TextView text, std::string& out) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const std::size_t run = ascii::attributeRunLength(text.data() + i, size - i);
        if (run != 0) {
            const std::size_t used = out.size();
            out.resize(used + run);
            ascii::narrow(text.data() + i, run, out.data() + used);
            i += run;
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
    // Unspecified: a field that takes Null and can be written, as a buffer's.
    const std::int32_t flags =
        definition.attributes == -1
            ? fieldflag::IsNullable | fieldflag::Updatable | fieldflag::MayBeNull
            : definition.attributes;
    for (const FlagName& entry : kFlagNames) {
        if ((flags & entry.flag) != 0 && entry.flag != fieldflag::Fixed &&
            entry.flag != fieldflag::Long) {
            out += " rs:";
            out += entry.name;
            out += "='true'";
        }
    }
    const TypeName* type = &kTypeNames[0];
    for (const TypeName& candidate : kTypeNames) {
        if (candidate.code == definition.type) {
            type = &candidate;
            break;
        }
    }
    out += ">\r\n\t\t\t<s:datatype dt:type='";
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
    if ((flags & fieldflag::Fixed) != 0 || isFixedLengthType(definition.type)) {
        out += " rs:fixedlength='true'";
    }
    if ((flags & fieldflag::Long) != 0 || isLongType(definition.type)) {
        out += " rs:long='true'";
    }
    if ((flags & fieldflag::MayBeNull) == 0) {
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
        const std::string base = std::string(1, 'c').append(std::to_string(i));
        std::string alias = base;
        for (int suffix = 1; std::find(names.begin(), names.end(), alias) != names.end();
             ++suffix) {
            alias = std::string(base).append(1, '_').append(std::to_string(suffix));
        }
        names[i] = alias;
    }
    return names;
}

} // namespace

void write(const RecordTable& table, std::string& out, RowSpan* firstRow) {
    const std::vector<FieldInfo>& fields = table.fields();
    const std::vector<std::string> names = xmlNames(fields);

    // Room for the whole document at once: a large file grows no copies.
    std::size_t estimate = 1024 + 256 * fields.size();
    for (std::size_t field = 0; field < fields.size(); ++field) {
        estimate += (names[field].size() + 4) * table.slotCount();
        estimate += table.column(field).textSize() * 9 / 8;
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

    if (firstRow != nullptr) {
        *firstRow = {};
    }
    if (table.liveCount() == 0) {
        out += "<rs:data/>\r\n</xml>\r\n";
        return;
    }
    out += "<rs:data>\r\n\t<rs:insert>\r\n";
    const std::uint32_t slots = table.slotCount();
    bool first = true;
    for (std::uint32_t slot = 0; slot < slots; ++slot) {
        if (table.isDeleted(slot)) {
            continue;
        }
        const std::size_t rowBegin = out.size();
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
        if (first && firstRow != nullptr) {
            *firstRow = {rowBegin, out.size()};
        }
        first = false;
    }
    out += "\t</rs:insert>\r\n</rs:data>\r\n</xml>\r\n";
}

} // namespace fillahead::rowsetxml
