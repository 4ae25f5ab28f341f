// Helpers of the record-set tests, in both builds: the fixtures of
// tests/platform/recordset/data (under Wine the source tree is drive Z:), a fresh
// temporary folder per test, and a record set's presented rows as one string.
#pragma once

#include "platform/Path.h"
#include "platform/Recordset.h"
#include "platform/Text.h"
#include "platform/recordset/MemoryRecordset.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace fillahead::testkit {

inline Text fixture(std::string_view name) {
    Text path = fromUtf8(std::string(FILLAHEAD_SOURCE_DIR) + "/tests/platform/recordset/data/" +
                         std::string(name));
#ifdef _WIN32
    for (char16_t& c : path) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    path = u"Z:" + path;
#endif
    return path;
}

inline std::string readBytes(const Text& path) {
    std::ifstream in(toPath(path), std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void writeBytes(const Text& path, std::string_view bytes) {
    std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A temporary folder whose files are named by text.
class TemporaryFolder : public testing::TempFolder {
public:
    Text path(std::string_view name) const { return text(std::string(name)); }
};

// The presented rows, one line each, fields separated by '|', Null as '-'.
inline std::string render(Recordset& records) {
    std::string out;
    for (std::int32_t row = 0; row < records.RecordCount(); ++row) {
        const Bookmark bookmark = records.BookmarkAt(row);
        for (std::size_t field = 0; field < records.FieldCount(); ++field) {
            const Variant value = records.ValueAt(bookmark, field);
            if (field != 0) {
                out += '|';
            }
            out += value.isNull() ? std::string("-") : toUtf8(value.toText());
        }
        out += '\n';
    }
    return out;
}

// A record set with one field and these values, open.
inline void fill(Recordset& records, const std::vector<Text>& values,
                 const Text& field = u"SavedStringField") {
    records.AppendField({field});
    records.Open();
    for (const Text& value : values) {
        records.AddNew(field, value);
    }
}

} // namespace fillahead::testkit
