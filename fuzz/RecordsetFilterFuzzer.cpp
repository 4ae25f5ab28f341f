// Filter texts and values from any bytes: a text either parses or is refused
// with 3001, and what a filter presents must be what a plain search over the
// values finds, both fresh and narrowed from the filter before it.
//
// Input: two criteria texts and then the values, as UTF-8 separated by
// newlines; "\x01" as a whole value stands for Null.
#include "platform/AutomationError.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/recordset/RecordsetFilter.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using namespace fillahead;

const Text kFields[] = {u"Name", u"Other Field"};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The index's view of a text: lone surrogates become U+FFFD, then folded.
Text searchForm(TextView text) {
    return foldCase(fromUtf8(toUtf8(text)));
}

bool matches(const FilterCriteria& criteria, const std::optional<Text>& value) {
    if (!value) {
        return false;
    }
    const Text text = searchForm(*value);
    const Text wanted = searchForm(criteria.value);
    switch (criteria.kind) {
    case MatchKind::Equal:
        return text == wanted;
    case MatchKind::Contains:
        return text.find(wanted) != Text::npos;
    case MatchKind::StartsWith:
        return startsWith(text, wanted);
    case MatchKind::EndsWith:
        return endsWith(text, wanted);
    }
    return false;
}

// Applies a filter and compares with the plain search; false when refused.
bool applyAndCompare(Recordset& records, const Text& criteria,
                     const std::vector<std::optional<Text>>& values, Bookmark first) {
    if (criteria.empty()) {
        records.SetFilter(criteria); // no filter: every row
        check(records.RecordCount() == static_cast<std::int32_t>(values.size()));
        return true;
    }
    std::optional<FilterCriteria> parsed;
    try {
        parsed = parseFilter(criteria, [&](TextView name) { return records.FindField(name); });
    } catch (const AutomationError& e) {
        check(e.number() == error::InvalidArgument && startsWith(e.description(), u"Filter: "));
    }
    try {
        records.SetFilter(criteria);
    } catch (const AutomationError& e) {
        check(!parsed && e.number() == error::InvalidArgument);
        return false;
    }
    check(parsed.has_value());
    std::vector<Bookmark> expected;
    for (std::size_t row = 0; row < values.size(); ++row) {
        // The values alternate between the two fields.
        if (row % 2 == parsed->field && matches(*parsed, values[row])) {
            expected.push_back(first + static_cast<Bookmark>(row));
        }
    }
    check(records.RecordCount() == static_cast<std::int32_t>(expected.size()));
    for (std::size_t index = 0; index < expected.size(); ++index) {
        check(records.BookmarkAt(static_cast<std::int32_t>(index)) == expected[index]);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Text> parts;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (std::size_t newline; (newline = input.find('\n')) != std::string_view::npos;) {
        parts.push_back(fromUtf8(input.substr(0, newline)));
        input.remove_prefix(newline + 1);
    }
    parts.push_back(fromUtf8(input));
    if (parts.size() < 2) {
        return 0;
    }
    std::vector<std::optional<Text>> values;
    for (std::size_t part = 2; part < parts.size(); ++part) {
        values.push_back(parts[part] == u"\x01" ? std::nullopt : std::optional<Text>(parts[part]));
    }

    MemoryRecordset records;
    for (const Text& field : kFields) {
        records.AppendField({field});
    }
    records.Open();
    for (std::size_t row = 0; row < values.size(); ++row) {
        const Text& field = kFields[row % 2];
        records.AddNew(field, values[row] ? Variant(*values[row]) : Variant::null());
    }
    const Bookmark first = values.empty() ? 0 : records.BookmarkAt(0);
    // The second text narrows the first's result where it can.
    applyAndCompare(records, parts[0], values, first);
    applyAndCompare(records, parts[1], values, first);
    return 0;
}
