// The record set as the engine and the list grid use it: states, rows, the
// current row, bookmarks, revisions, and reopening a file.
#include "platform/AutomationError.h"
#include "platform/recordset/AtomicFile.h"
#include "platform/recordset/MemoryRecordset.h"
#include "tests/platform/recordset/RecordsetTesting.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fillahead {
namespace {

using testkit::fill;
using testkit::readBytes;
using testkit::render;
using testkit::TemporaryFolder;
using testkit::writeBytes;

using testing::errorOf;

TEST(Recordset, StatesAndTheOperationsEachAllows) {
    MemoryRecordset records;
    EXPECT_EQ(records.State(), kStateClosed);
    EXPECT_EQ(errorOf([&] { records.Open(); }), error::InvalidArgument); // no fields
    records.AppendField({u"Name"});
    EXPECT_EQ(errorOf([&] { records.AppendField({u"NAME"}); }), error::AlreadyInCollection);
    for (auto closedCall : std::initializer_list<std::function<void()>>{
             [&] { records.RecordCount(); }, [&] { records.SetFilter(u"Name = 'a'"); },
             [&] { records.AddNew(u"Name", u"a"); }, [&] { records.MoveFirst(); },
             [&] { records.Save(u"x.xml"); }, [&] { records.Close(); }}) {
        EXPECT_EQ(errorOf(closedCall), error::ObjectClosed);
    }

    records.Open();
    EXPECT_EQ(records.State(), kStateOpen);
    EXPECT_EQ(errorOf([&] { records.Open(); }), error::ObjectOpen);
    EXPECT_EQ(errorOf([&] { records.AppendField({u"Other"}); }), error::NotAllowedInContext);
    EXPECT_EQ(errorOf([&] { records.Save(u"x.csv", 0); }), error::InvalidArgument);
    EXPECT_EQ(records.FindField(u"nAmE"), std::optional<std::size_t>(0));

    records.AddNew(u"Name", u"a");
    records.SetFilter(u"Name = 'a'");
    records.Close();
    EXPECT_EQ(records.State(), kStateClosed);
    EXPECT_EQ(records.FieldCount(), 0u);
    EXPECT_EQ(records.Filter(), Variant(0));
}

TEST(Recordset, AddNewAndFieldValuesOfTheCurrentRow) {
    MemoryRecordset records;
    records.AppendField({u"Name"});
    records.AppendField({u"Note"});
    records.Open();
    EXPECT_TRUE(records.IsBOF() && records.IsEOF());
    EXPECT_EQ(records.AbsolutePosition(), kPositionUnknown);
    EXPECT_EQ(errorOf([&] { records.FieldValue(u"Name"); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { records.MoveFirst(); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { records.Update(); }), error::NoCurrentRecord);

    records.AddNew(u"Name", u"first");
    records.AddNew(u"name", Variant(std::int32_t{42})); // stored as its text
    EXPECT_EQ(records.AbsolutePosition(), 2);
    EXPECT_EQ(records.FieldValue(u"Name"), Variant(u"42"));
    EXPECT_TRUE(records.FieldValue(u"Note").isNull());
    records.SetFieldValue(u"Note", u"n");
    records.Update();
    records.MoveFirst();
    records.SetFieldValue(u"Name", Variant::null());
    records.AddNew(u"Note", Variant());
    EXPECT_EQ(render(records), "-|-\n42|n\n-|-\n");
    EXPECT_EQ(errorOf([&] { records.FieldValue(u"Missing"); }), error::ItemNotFound);
    EXPECT_EQ(errorOf([&] { records.AddNew(u"Missing", u"x"); }), error::ItemNotFound);
}

TEST(Recordset, MovingAndDeleting) {
    MemoryRecordset records;
    fill(records, {u"a", u"b", u"c"});
    records.MoveFirst();
    EXPECT_EQ(records.AbsolutePosition(), 1);
    records.MoveNext();
    records.Delete(kAffectCurrent);
    // The deleted row stays current until the next move.
    EXPECT_EQ(records.RecordCount(), 2);
    EXPECT_EQ(records.AbsolutePosition(), kPositionUnknown);
    EXPECT_FALSE(records.IsBOF() || records.IsEOF());
    EXPECT_EQ(errorOf([&] { records.FieldValue(u"SavedStringField"); }), error::NoCurrentRecord);
    EXPECT_FALSE(records.CurrentBookmark());
    records.MoveNext();
    EXPECT_EQ(records.FieldValue(u"SavedStringField"), Variant(u"c"));
    records.Delete();
    records.MoveNext();
    EXPECT_TRUE(records.IsEOF());
    EXPECT_EQ(records.AbsolutePosition(), kPositionEof);
    EXPECT_EQ(errorOf([&] { records.MoveNext(); }), error::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { records.Delete(2); }), error::InvalidArgument);
    records.MoveLast();
    EXPECT_EQ(render(records), "a\n");
    EXPECT_EQ(records.FieldValue(u"SavedStringField"), Variant(u"a"));
}

TEST(Recordset, ValuesRewrittenOverAndOverStayIntactAndFindable) {
    MemoryRecordset records;
    fill(records, {u"first", u"second", u"third"});
    records.MoveFirst();
    records.MoveNext();
    // Enough rewriting to make the column reclaim its old text.
    for (int round = 0; round < 400; ++round) {
        records.SetFieldValue(u"SavedStringField", Text(40, u'a' + round % 26) + toText(round));
    }
    records.SetFieldValue(u"SavedStringField", u"Zweiter Wert");
    EXPECT_EQ(render(records), "first\nZweiter Wert\nthird\n");
    records.SetFilter(u"SavedStringField Like '*WERT'");
    EXPECT_EQ(render(records), "Zweiter Wert\n");
}

TEST(Recordset, BookmarksAreStableAndNeverReused) {
    MemoryRecordset records;
    fill(records, {u"apple", u"banana", u"cherry", u"avocado"});
    std::vector<Bookmark> marks;
    for (std::int32_t row = 0; row < 4; ++row) {
        marks.push_back(records.BookmarkAt(row));
    }
    records.SetFilter(u"SavedStringField Like 'a*'");
    EXPECT_EQ(records.BookmarkAt(1), marks[3]);
    EXPECT_EQ(records.PresentedIndexOf(marks[3]), 1);
    EXPECT_FALSE(records.PresentedIndexOf(marks[1]));
    EXPECT_EQ(records.ValueAt(marks[1], 0), Variant(u"banana")); // presented or not
    EXPECT_EQ(errorOf([&] { records.MoveToBookmark(marks[1]); }), error::InvalidArgument);
    EXPECT_EQ(errorOf([&] { records.BookmarkAt(2); }), error::NoCurrentRecord);
    records.SetAbsolutePosition(2);
    EXPECT_EQ(records.CurrentBookmark(), marks[3]);
    EXPECT_EQ(errorOf([&] { records.SetAbsolutePosition(3); }), error::InvalidArgument);
    EXPECT_EQ(errorOf([&] { records.SetAbsolutePosition(0); }), error::InvalidArgument);
    EXPECT_EQ(records.AbsolutePosition(), 2); // a refused position moves nothing
    records.MoveToBookmark(marks[0]);
    records.MoveToBookmark(marks[3]);
    EXPECT_EQ(records.CurrentBookmark(), marks[3]);
    records.Delete();
    EXPECT_EQ(errorOf([&] { records.ValueAt(marks[3], 0); }), error::NoCurrentRecord);
    records.SetFilter(0);
    EXPECT_EQ(records.PresentedIndexOf(marks[2]), 2);

    records.Close();
    fill(records, {u"new"});
    for (const Bookmark old : marks) {
        EXPECT_NE(records.BookmarkAt(0), old);
        EXPECT_FALSE(records.PresentedIndexOf(old));
    }
}

TEST(Recordset, RevisionFollowsThePresentedRows) {
    MemoryRecordset records;
    fill(records, {u"a", u"b"});
    std::uint64_t seen = records.Revision();
    auto changed = [&] {
        const bool result = records.Revision() != seen;
        seen = records.Revision();
        return result;
    };
    records.MoveFirst();
    records.MoveNext();
    EXPECT_FALSE(changed());
    records.SetFilter(u"SavedStringField = 'a'");
    EXPECT_TRUE(changed());
    records.SetFilter(u"SavedStringField = 'a'");
    EXPECT_TRUE(changed());
    EXPECT_THROW(records.SetFilter(u"Nope = 'a'"), AutomationError);
    EXPECT_FALSE(changed());
    records.SetFieldValue(u"SavedStringField", u"z");
    EXPECT_TRUE(changed());
    records.AddNew(u"SavedStringField", u"c");
    EXPECT_TRUE(changed());
    records.Delete();
    EXPECT_TRUE(changed());
    records.Close();
    EXPECT_TRUE(changed());
}

TEST(Recordset, SavesEveryRowWhateverTheFilterAndReloadsThemIdentically) {
    std::vector<Text> values;
    for (int i = 0; i < 500; ++i) {
        values.push_back(u"value " + toText(i * 7919 % 1000) +
                         (i % 3 == 0 ? u" Ä\U0001F600" : u""));
    }
    TemporaryFolder folder;
    MemoryRecordset records;
    fill(records, values);
    const std::string all = render(records);
    records.SetFilter(u"SavedStringField Like '*Ä*'");
    records.Save(folder.path("buffer.xml"));
    records.SetFilter(0);
    EXPECT_EQ(render(records), all);
    records.Close();
    records.Open(folder.path("buffer.xml"));
    EXPECT_EQ(render(records), all);
    EXPECT_EQ(records.AbsolutePosition(), 1);
    EXPECT_EQ(records.Filter(), Variant(0));
}

// Reopening the file this record set last read or wrote may take the content
// it still holds; a file changed meanwhile is read again, even when the
// change keeps its size or its time of last write.
TEST(Recordset, ReopeningReadsAFileChangedBehindItsBack) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    fill(records, {u"alpha", u"bravo"});
    records.Save(path);
    const Bookmark before = records.BookmarkAt(0);
    records.SetFilter(u"SavedStringField = 'bravo'");
    records.Close();

    records.Open(path); // unchanged: behaves as a fresh read
    EXPECT_EQ(render(records), "alpha\nbravo\n");
    EXPECT_EQ(records.Filter(), Variant(0));
    EXPECT_NE(records.BookmarkAt(0), before);
    records.Close();

    // Rewritten in place at once: same size, and likely the same time.
    std::string bytes = readBytes(path);
    bytes.replace(bytes.find("bravo"), 5, "BRAVO");
    writeBytes(path, bytes);
    records.Open(path);
    EXPECT_EQ(render(records), "alpha\nBRAVO\n");
    records.Close();

    // A file last written long ago, changed with its write time set back.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(toPath(path), old);
    records.Open(path);
    records.Close();
    bytes.replace(bytes.find("alpha"), 5, "ALPHA");
    writeBytes(path, bytes);
    std::filesystem::last_write_time(toPath(path), old);
    records.Open(path);
    EXPECT_EQ(render(records), "ALPHA\nBRAVO\n");
    records.Close();

    // Replaced by another file of the same size and write time.
    bytes.replace(bytes.find("ALPHA"), 5, "alpha");
    writeBytes(folder.path("other.xml"), bytes);
    std::filesystem::last_write_time(toPath(folder.path("other.xml")), old);
    std::filesystem::rename(toPath(folder.path("other.xml")), toPath(path));
    records.Open(path);
    EXPECT_EQ(render(records), "alpha\nBRAVO\n");

    // Changed content is no longer that of the file.
    records.AddNew(u"SavedStringField", u"charlie");
    records.Close();
    records.Open(path);
    EXPECT_EQ(render(records), "alpha\nBRAVO\n");
}

// Storing a value asks whether the file is still what the record set was
// loaded from, whatever it changed in memory since.
TEST(Recordset, TellsWhetherItsFileChangedSinceItWasReadOrWritten) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    records.AppendField({u"SavedStringField", 8, 255, -1});
    records.Open();
    EXPECT_TRUE(records.FileUnchanged(path)); // opened without a file: there is none
    records.AddNew(u"SavedStringField", u"alpha");
    records.Save(path);
    EXPECT_TRUE(records.FileUnchanged(path));
    records.AddNew(u"SavedStringField", u"bravo"); // changes in memory do not count
    EXPECT_TRUE(records.FileUnchanged(path));
    EXPECT_FALSE(records.FileUnchanged(folder.path("other.xml")));

    // Rewritten by another program at once: same size, likely the same time.
    std::string bytes = readBytes(path);
    bytes.replace(bytes.find("alpha"), 5, "ALPHA");
    writeBytes(path, bytes);
    EXPECT_FALSE(records.FileUnchanged(path));

    records.Close();
    EXPECT_FALSE(records.FileUnchanged(path));
    records.Open(path);
    EXPECT_TRUE(records.FileUnchanged(path));
    std::filesystem::remove(toPath(path));
    EXPECT_FALSE(records.FileUnchanged(path));

    // Created by another program after an opening without a file.
    MemoryRecordset fresh;
    fresh.AppendField({u"SavedStringField", 8, 255, -1});
    fresh.Open();
    writeBytes(path, bytes);
    EXPECT_FALSE(fresh.FileUnchanged(path));
}

// Once the file system's clock has moved on, the stamp alone judges the file
// that was saved: a rewrite shows in its times, a replacement that keeps the
// size and the time of modification in its identity or change time.
TEST(Recordset, ASettledSavedFileIsJudgedByItsStamp) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    fill(records, {u"alpha", u"bravo"});
    records.Save(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_TRUE(records.FileUnchanged(path));

    std::string bytes = readBytes(path);
    bytes.replace(bytes.find("alpha"), 5, "ALPHA");
    writeBytes(path, bytes);
    EXPECT_FALSE(records.FileUnchanged(path));

    records.Save(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto modified = std::filesystem::last_write_time(toPath(path));
    writeBytes(folder.path("copy.xml"), bytes);
    std::filesystem::last_write_time(toPath(folder.path("copy.xml")), modified);
    std::filesystem::rename(toPath(folder.path("copy.xml")), toPath(path));
    EXPECT_FALSE(records.FileUnchanged(path));

    // A reopening takes back what the file holds, not what was saved.
    records.Close();
    records.Open(path);
    EXPECT_EQ(render(records), "ALPHA\nbravo\n");
}

// A history kept within a size drops its oldest row in the save that takes
// it over the size: the same file as saving and then trimming the saved
// file, in one write.
TEST(Recordset, SavingWithinASizeDropsTheFirstRowInTheSameWrite) {
    TemporaryFolder folder;
    const Text path = folder.path("bounded.xml");
    const Text reference = folder.path("reference.xml");
    MemoryRecordset records;
    fill(records, {u"alpha", u"O'Brien & <Söhne>", u"line\nbreak", u"delta"});
    records.MoveFirst();
    records.Delete(kAffectCurrent); // a deleted slot ahead of the first row
    records.SetFilter(u"SavedStringField Like '*e*'");
    records.AddNew(u"SavedStringField", u"echo");
    records.Save(reference);
    const std::uint64_t full = readBytes(reference).size();

    const auto atLimit = records.SaveWithin(path, full);
    EXPECT_EQ(atLimit.fullSize, full);
    EXPECT_FALSE(atLimit.firstRowDeleted);
    EXPECT_EQ(readBytes(path), readBytes(reference));

    MemoryRecordset trimmed;
    trimmed.Open(reference);
    trimmed.MoveFirst();
    trimmed.Delete(kAffectCurrent);
    trimmed.Save(reference);
    const auto over = records.SaveWithin(path, full - 1);
    EXPECT_EQ(over.fullSize, full);
    EXPECT_TRUE(over.firstRowDeleted);
    EXPECT_EQ(readBytes(path), readBytes(reference));
    EXPECT_EQ(records.FieldValue(u"SavedStringField"), Variant(u"echo")); // still current
    EXPECT_EQ(render(records), "line\nbreak\ndelta\necho\n");             // the filter stays
    EXPECT_TRUE(records.FileUnchanged(path));
    records.Close();
    records.Open(path);
    EXPECT_EQ(render(records), "line\nbreak\ndelta\necho\n");

    // A write that fails drops nothing.
    setReplaceFailureHookForTesting([](ReplaceStep step) { return step == ReplaceStep::Rename; });
    EXPECT_EQ(errorOf([&] { records.SaveWithin(path, 0); }), error::WritingFile);
    setReplaceFailureHookForTesting(nullptr);
    EXPECT_EQ(render(records), "line\nbreak\ndelta\necho\n");

    // Nor does a size the last row alone exceeds.
    MemoryRecordset single;
    fill(single, {u"only"});
    EXPECT_FALSE(single.SaveWithin(path, 0).firstRowDeleted);
    EXPECT_EQ(render(single), "only\n");
    single.Close();
    single.Open(path);
    EXPECT_EQ(render(single), "only\n");
}

TEST(Recordset, ADamagedFileIsToldApartFromOneThatCannotBeRead) {
    TemporaryFolder folder;
    const Text damaged = folder.path("damaged.xml");
    writeBytes(damaged, "<xml><rs:data><z:row");
    MemoryRecordset records;
    EXPECT_THROW(records.Open(damaged), DamagedFileError);
    EXPECT_EQ(errorOf([&] { records.Open(damaged); }), error::ReadingFile);
    EXPECT_EQ(records.State(), kStateClosed);
    try {
        records.Open(folder.path("missing.xml"));
        FAIL() << "a missing file opened";
    } catch (const DamagedFileError&) {
        FAIL() << "a missing file was taken for a damaged one";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::OpeningFile);
    }
}

} // namespace
} // namespace fillahead
