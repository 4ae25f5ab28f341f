// The row reading a record set gets from its data-access members alone (a
// host's record set reached late-bound has nothing else): the grid's reads
// find the rows and leave the host's current row where it was.
#include "platform/Recordset.h"
#include "tests/support/Errors.h"
#include "tests/support/StandInRecordset.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

TEST(RecordsetDefaults, RowsAreReadAndTheCurrentRowStaysWhereItWas) {
    StandInRecordset people;
    people.AppendField({u"Name"});
    people.AppendField({u"Id"});
    people.Open();
    const std::pair<const char16_t*, const char16_t*> rows[] = {
        {u"Anna", u"17"}, {u"Bert", u"5"}, {u"Carl", u"9"}};
    for (const auto& [name, id] : rows) {
        people.AddNew(u"Name", name);
        people.SetFieldValue(u"Id", id);
    }
    EXPECT_EQ(people.FindField(u"iD"), std::optional<std::size_t>(1));
    EXPECT_FALSE(people.FindField(u"Age"));

    people.SetAbsolutePosition(2);
    const Bookmark carl = people.BookmarkAt(2);
    EXPECT_EQ(people.ValueAt(carl, 1), Variant(u"9"));
    EXPECT_EQ(people.PresentedIndexOf(carl), 2);
    EXPECT_EQ(people.AbsolutePosition(), 2); // still Bert
    EXPECT_EQ(people.FieldValue(u"Name"), Variant(u"Bert"));

    people.SetFilter(u"[Name] Like '*a*'"); // Anna and Carl
    const Bookmark anna = people.BookmarkAt(0);
    EXPECT_EQ(people.PresentedIndexOf(carl), 1);
    people.SetFilter(u"[Name] = 'bert'");
    EXPECT_FALSE(people.PresentedIndexOf(anna)); // not presented
    EXPECT_EQ(errorOf([&] { people.ValueAt(anna, 0); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { people.BookmarkAt(1); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { people.BookmarkAt(-1); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { people.ValueAt(people.BookmarkAt(0), 2); }), error::ItemNotFound);

    // After the last row, and back there after a read.
    people.MoveNext();
    ASSERT_TRUE(people.IsEOF());
    EXPECT_EQ(people.ValueAt(people.BookmarkAt(0), 0), Variant(u"Bert"));
    EXPECT_TRUE(people.IsEOF());

    EXPECT_FALSE(people.FileUnchanged(u"people.txt")); // cannot tell: load it again
    people.Close();
    EXPECT_FALSE(people.PresentedIndexOf(anna));
}

} // namespace
} // namespace fillahead::testing
