// The buffer-file reader on any bytes: it must refuse them with error 3003 or
// accept them; what it accepts must be text XML can hold. Whatever loads,
// saved, must load to the same fields and rows, also after rows were deleted,
// added and rewritten with any text (the writer's output always loads).
#include "platform/AutomationError.h"
#include "platform/recordset/RecordTable.h"
#include "platform/recordset/RowsetXml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace fillahead;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The rows that are not deleted, each field's value or Null.
std::vector<std::vector<std::optional<Text>>> liveRows(const RecordTable& table) {
    std::vector<std::vector<std::optional<Text>>> rows;
    for (std::uint32_t slot = 0; slot < table.slotCount(); ++slot) {
        if (table.isDeleted(slot)) {
            continue;
        }
        std::vector<std::optional<Text>>& row = rows.emplace_back();
        for (std::size_t field = 0; field < table.fields().size(); ++field) {
            const std::optional<TextView> value = table.column(field).value(slot);
            row.push_back(value ? std::optional<Text>(Text(*value)) : std::nullopt);
        }
    }
    return rows;
}

// Only what the writer can carry: names, definitions and values.
bool sameContent(const RecordTable& a, const RecordTable& b) {
    if (a.fields().size() != b.fields().size()) {
        return false;
    }
    for (std::size_t field = 0; field < a.fields().size(); ++field) {
        const FieldDefinition& x = a.fields()[field].definition;
        const FieldDefinition& y = b.fields()[field].definition;
        if (x.name != y.name || x.type != y.type || x.definedSize != y.definedSize ||
            x.attributes != y.attributes) {
            return false;
        }
    }
    return liveRows(a) == liveRows(b);
}

// Rows deleted, added and rewritten, with text taken from the input: any
// character, the field names among them.
void edit(RecordTable& table, std::string_view document) {
    if (table.slotCount() > 0) {
        table.deleteRow(0);
    }
    const Text raw = fromUtf8(document.substr(0, 80));
    for (std::size_t field = 0; field < table.fields().size(); ++field) {
        const Text& name = table.fields()[field].definition.name;
        table.appendRow(field, name + raw + char16_t(field % 3 == 0 ? 0xD800 : 0x1F));
        const std::size_t other = (field + 1) % table.fields().size();
        table.column(other).set(table.slotCount() - 1, raw + name);
    }
}

// Well-formed UTF-8 without the characters XML excludes.
bool isXmlText(std::string_view text) {
    Text decoded;
    if (!decodeUtf8Strict(text, decoded)) {
        return false;
    }
    for (const char16_t c : decoded) {
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

RecordTable readOrAbort(std::string_view document) {
    RecordTable table;
    try {
        rowsetxml::read(document, table, u"written.xml");
    } catch (const AutomationError& e) {
        // The writer's own output must always read back.
        std::fprintf(stderr, "%s\n%.*s\n", e.what(), static_cast<int>(document.size()),
                     document.data());
        std::abort();
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    RecordTable table;
    try {
        rowsetxml::read(document, table, u"fuzz.xml");
    } catch (const AutomationError& e) {
        check(e.number() == error::ReadingFile && !e.description().empty());
        return 0;
    }
    const std::string_view text =
        document.substr(0, 3) == "\xEF\xBB\xBF" ? document.substr(3) : document;
    check(isXmlText(text));

    std::string written;
    rowsetxml::write(table, written);
    const RecordTable reread = readOrAbort(written);
    check(sameContent(table, reread));
    std::string rewritten;
    rowsetxml::write(reread, rewritten);
    check(rewritten == written);

    edit(table, document);
    std::string edited;
    rowsetxml::write(table, edited);
    check(sameContent(table, readOrAbort(edited)));
    return 0;
}
