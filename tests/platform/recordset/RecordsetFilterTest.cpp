// The filter texts: what each form matches, how letter case, quotes and
// wildcards are read, the errors, and that narrowing a result while typing
// finds what a fresh search finds.
#include "platform/AutomationError.h"
#include "platform/recordset/MemoryRecordset.h"
#include "tests/platform/recordset/RecordsetTesting.h"

#include <gtest/gtest.h>

#include <random>

namespace fillahead {
namespace {

using testkit::fill;
using testkit::render;

const std::vector<Text> kValues = {
    u"O'Brien",  u"o'brien street", u"Anna", u"anna-maria",  u"Hanna",   u"ÄRGER",   u"ärger",
    u"Straße",   u"*star*",         u"100%", u"a*b",         u"ΣΊΣΥΦΟΣ", u"σίσυφοσ", u"",
    u"%percent", u"end*",           u"   ",  u"\U00010400x",
};

std::string matches(const Text& criteria) {
    MemoryRecordset records;
    fill(records, kValues);
    records.AddNew(u"SavedStringField", Variant::null()); // Null never matches
    records.SetFilter(criteria);
    EXPECT_EQ(records.Filter(), Variant(criteria));
    std::string found = render(records);
    std::replace(found.begin(), found.end(), '\n', ',');
    return found;
}

TEST(RecordsetFilter, EachFormMatchesIgnoringCase) {
    const struct {
        Text criteria;
        std::string expected;
    } cases[] = {
        {u"SavedStringField = 'anna'", "Anna,"},
        {u"SavedStringField = 'O''Brien'", "O'Brien,"},
        {u"SavedStringField Like '*''BRIEN*'", "O'Brien,o'brien street,"},
        {u"SavedStringField Like 'o''brien'", "O'Brien,"},
        {u"SavedStringField Like 'ANNA*'", "Anna,anna-maria,"},
        {u"SavedStringField Like '%nna'", "Anna,Hanna,"},
        {u"SavedStringField Like '*nn*'", "Anna,anna-maria,Hanna,"},
        {u"SavedStringField Like '*ärger*'", "ÄRGER,ärger,"},
        {u"SavedStringField Like '*STRASSE*'", ""}, // simple folding: ß stays ß
        {u"SavedStringField Like '*straße'", "Straße,"},
        {u"SavedStringField = 'σίσυφος'", "ΣΊΣΥΦΟΣ,σίσυφοσ,"}, // final sigma folds too
        {u"SavedStringField Like '*\U00010428*'", "\xF0\x90\x90\x80x,"},
        // a wildcard only as the first or last character
        {u"SavedStringField Like '***'", "*star*,a*b,end*,"},
        {u"SavedStringField Like '*%*'", "100%,%percent,"},
        {u"SavedStringField Like 'a*b'", "a*b,"},
        {u"SavedStringField Like '%%percent'", "%percent,"},
        {u"SavedStringField Like 'end**'", "end*,"},
        {u"SavedStringField Like '*'", "O'Brien,o'brien street,Anna,anna-maria,Hanna,ÄRGER,ärger,"
                                       "Straße,*star*,100%,a*b,ΣΊΣΥΦΟΣ,σίσυφοσ,,%percent,end*,   ,"
                                       "\xF0\x90\x90\x80x,"},
        {u"SavedStringField = ''", ","},
        {u"SavedStringField Like '* *'", "o'brien street,   ,"},
        // name in brackets, keywords in any case, white space as it comes
        {u"[SavedStringField] LIKE '*ANNA*'", "Anna,anna-maria,Hanna,"},
        {u"  savedstringfield\tlike\r\n'hanna'  ", "Hanna,"},
        {u"SavedStringField='Hanna'", "Hanna,"},
        {u"SavedStringField like'*hanna*'", "Hanna,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.criteria));
        EXPECT_EQ(matches(c.criteria), c.expected);
    }
}

TEST(RecordsetFilter, TextsThatDoNotParseAreRefusedAndChangeNothing) {
    const struct {
        Text criteria;
        std::string problem;
    } cases[] = {
        {u"Foo = 'x'", "Filter: unknown field 'Foo'"},
        {u"SavedStringField = 'O'Brien'", "Filter: unexpected text after the value: 'Brien''"},
        {u"SavedStringField = 'open", "Filter: unterminated quoted value"},
        {u"SavedStringField <> 'x'", "Filter: expected '=' or 'Like' after the field name"},
        {u"SavedStringField Likes 'x'", "Filter: expected '=' or 'Like' after the field name"},
        {u"SavedStringField = x", "Filter: expected a value in single quotes after '='"},
        {u"SavedStringField = \"x\"", "Filter: expected a value in single quotes after '='"},
        {u"SavedStringField = 'a' OR SavedStringField = 'b'", "Filter: unexpected text after"},
        {u"[SavedStringField = 'x'", "Filter: missing ']' after the field name"},
        {u"   ", "Filter: expected a field name"},
        {u"= 'x'", "Filter: expected a field name at '= 'x''"},
    };
    MemoryRecordset records;
    fill(records, kValues);
    records.SetFilter(u"SavedStringField Like 'a*'");
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.criteria));
        try {
            records.SetFilter(c.criteria);
            ADD_FAILURE() << "accepted";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.number(), error::InvalidArgument);
            EXPECT_EQ(toUtf8(e.description()).substr(0, c.problem.size()), c.problem);
        }
        EXPECT_EQ(records.Filter(), Variant(u"SavedStringField Like 'a*'"));
        EXPECT_EQ(records.RecordCount(), 3);
    }
    EXPECT_THROW(records.SetFilter(2), AutomationError);
    records.SetFilter(u"");
    EXPECT_EQ(records.Filter(), Variant(0));
    EXPECT_EQ(records.RecordCount(), static_cast<std::int32_t>(kValues.size()));
}

TEST(RecordsetFilter, ChosenFieldOfSeveral) {
    MemoryRecordset records;
    records.AppendField({u"Name"});
    records.AppendField({u"Town"});
    records.Open();
    for (const auto& [name, town] : {std::pair{u"Anna", u"Lyon"}, {u"Lyon", u"Paris"}}) {
        records.AddNew(u"Name", Text(name));
        records.SetFieldValue(u"Town", Text(town));
    }
    records.SetFilter(u"Town Like '*lyon*'");
    EXPECT_EQ(render(records), "Anna|Lyon\n");
}

// The reference the index is checked against: fold both and search.
bool contains(const Text& value, const Text& typed) {
    return foldCase(value).find(foldCase(typed)) != Text::npos;
}

TEST(RecordsetFilter, NarrowingWhileTypingFindsWhatAFreshSearchFinds) {
    std::mt19937 random(7);
    const std::vector<Text> words = {u"Müller", u"Anna", u"annex", u"Nanny", u"été", u"Ann@x.org",
                                     u"Σοφία",  u"s",    u"",      u"maria", u"Mar", u"n"};
    std::vector<Text> values;
    for (int i = 0; i < 3000; ++i) {
        Text value;
        for (int k = static_cast<int>(random() % 4); k >= 0; --k) {
            value += words[random() % words.size()] + u" ";
        }
        values.push_back(value);
    }
    MemoryRecordset records;
    fill(records, values);
    const Bookmark first = records.BookmarkAt(0);
    auto check = [&](const Text& typed) {
        SCOPED_TRACE(toUtf8(typed));
        records.SetFilter(u"SavedStringField Like '*" + typed + u"*'");
        std::vector<Text> expected;
        for (std::int32_t slot = 0; slot < static_cast<std::int32_t>(values.size()); ++slot) {
            if (contains(values[slot], typed)) {
                expected.push_back(values[slot]);
            }
        }
        std::vector<Text> found;
        for (std::int32_t row = 0; row < records.RecordCount(); ++row) {
            found.push_back(records.ValueAt(records.BookmarkAt(row), 0).toText());
        }
        EXPECT_EQ(found, expected);
    };
    // Typing one letter at a time, a miss, and backspace.
    for (const Text& word : {Text(u"ANN@X.ORG"), Text(u"annexq"), Text(u"MÜLLER ANNA")}) {
        for (std::size_t length = 1; length <= word.size(); ++length) {
            check(word.substr(0, length));
        }
        for (std::size_t length = word.size(); length-- > 1;) {
            check(word.substr(0, length));
        }
    }
    // Rows changed or added under a filter: the added one is presented until
    // the next filter, which then judges both by their new values.
    check(u"mar");
    records.MoveFirst();
    values[*records.CurrentBookmark() - first] = u"now nothing";
    records.SetFieldValue(u"SavedStringField", u"now nothing");
    for (const Text& added : {Text(u"zz MARIAN"), Text(u"no match")}) {
        records.AddNew(u"SavedStringField", added);
        values.push_back(added);
    }
    EXPECT_EQ(records.FieldValue(u"SavedStringField"), Variant(u"no match"));
    check(u"mari");
    check(u"");
    // One row stored after another, each followed by a search, as commits
    // and the next key do.
    for (const Text& added : {Text(u"MARIA 1"), Text(u"2 nothing"), Text(u"x maria")}) {
        records.AddNew(u"SavedStringField", added);
        values.push_back(added);
        check(u"maria");
    }
}

} // namespace
} // namespace fillahead
