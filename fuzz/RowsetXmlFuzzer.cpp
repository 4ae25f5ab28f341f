// The buffer-file reader on any bytes: it must refuse them with error 3003 or
// accept them; what it accepts must be text XML can hold, and must come back
// the same through the writer and the reader again.
#include "platform/AutomationError.h"
#include "platform/RecordTable.h"
#include "platform/RowsetXml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace fillahead;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Only what the writer can carry: names, definitions and values.
bool sameContent(const RecordTable& a, const RecordTable& b) {
    if (a.fields().size() != b.fields().size() || a.slotCount() != b.slotCount()) {
        return false;
    }
    for (std::size_t field = 0; field < a.fields().size(); ++field) {
        const FieldDefinition& x = a.fields()[field].definition;
        const FieldDefinition& y = b.fields()[field].definition;
        if (x.name != y.name || x.type != y.type || x.definedSize != y.definedSize ||
            x.attributes != y.attributes) {
            return false;
        }
        for (std::uint32_t row = 0; row < a.slotCount(); ++row) {
            if (a.column(field).value(row) != b.column(field).value(row)) {
                return false;
            }
        }
    }
    return true;
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
    return 0;
}
