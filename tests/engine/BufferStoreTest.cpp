// Storing values when the list closes, the buffer files and the size limits.
#include "platform/recordset/AtomicFile.h"
#include "tests/engine/EngineHarness.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fillahead::testing {
namespace {

const std::string kCommitEvents =
    "BeforeOpenRecordset BeforeAddRecord BeforeSaveRecord AfterSaveRecord BeforeSaveRecordset";

// Types a text into a control and leaves it; then the field is emptied, so
// that no text is left for the next control change to store again.
void enter(EngineHarness& h, const std::string& control, const std::string& text) {
    h.engine->OnControlChange(EngineHarness::u(control), u"");
    h.type(text);
    h.engine->CloseList();
    h.type("");
}

void setModified(const Text& file, int secondsAgo) {
    std::filesystem::last_write_time(toPath(file), std::filesystem::file_time_type::clock::now() -
                                                       std::chrono::seconds(secondsAgo));
}

void writeFile(const Text& file, const std::string& bytes) {
    std::ofstream(toPath(file), std::ios::binary) << bytes;
}

std::string contentOf(const Text& file) {
    std::ifstream in(toPath(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A second engine, as another program of the same user would run it, on the
// same global folder.
struct OtherProgram {
    explicit OtherProgram(const EngineHarness& first) {
        h.fresh();
        h.engine->LetGlobalBufferLocation(first.root.text("global"));
    }
    EngineHarness h;
};

// Makes one step of the next saves fail while it lives.
class FailingSaves {
public:
    explicit FailingSaves(ReplaceStep failing) {
        setReplaceFailureHookForTesting([failing](ReplaceStep step) { return step == failing; });
    }
    ~FailingSaves() { setReplaceFailureHookForTesting(nullptr); }
    FailingSaves(const FailingSaves&) = delete;
    FailingSaves& operator=(const FailingSaves&) = delete;
};

TEST(BufferStore, TheFirstCommitCreatesTheControlsFileWithTheFiveEvents) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetControlGroupName(u"Form1");
    engine.OnControlChange(u"Text1", u"");
    EXPECT_EQ(engine.bufferPath(), h.globalFile("Form1-Text1.xml"));
    h.type("first value");
    h.sink.take();
    engine.CloseList();
    EXPECT_EQ(h.sink.take(), kCommitEvents);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Form1-Text1.xml")), "first value");
    EXPECT_EQ(engine.openedBufferPath(), u"");
    EXPECT_EQ(engine.Recordset()->Filter().toText(), u"0");
}

TEST(BufferStore, AValueAlreadyStoredRaisesNoEventAfterTheReloadAndWritesNothing) {
    EngineHarness h;
    h.fresh();
    enter(h, "Name", "O'Brien");
    enter(h, "Name", "Smith");
    const auto written = std::filesystem::last_write_time(toPath(h.globalFile("-Name.xml")));
    h.engine->OnControlChange(u"Name", u"o'brien"); // the same value, ignoring case
    h.sink.take();
    h.engine->CloseList();
    EXPECT_EQ(h.sink.take(), "BeforeOpenRecordset");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "O'Brien,Smith");
    EXPECT_EQ(std::filesystem::last_write_time(toPath(h.globalFile("-Name.xml"))), written);
}

TEST(BufferStore, NothingIsStoredWithoutTextOrWithoutAServedControl) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.OnControlChange(u"Text1", u"");
    engine.CloseList();
    engine.OnControlChange(u"", u"typed");
    engine.CloseList();
    EXPECT_EQ(h.sink.take(), "");
    EXPECT_TRUE(std::filesystem::is_empty(h.root.path() / "global"));
    // The text given with the control change is what is stored if nothing is typed.
    engine.OnControlChange(u"Text2", u"given");
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text2.xml")), "given");
}

TEST(BufferStore, EachCancelStopsTheCommitWhereItStands) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    enter(h, "Text1", "kept");
    // Commits `text` with `event` cancelled; returns the events raised.
    const auto commitCancelling = [&](const std::string& event, const std::string& text) {
        h.sink.cancel[event] = true;
        engine.OnControlChange(u"Text1", EngineHarness::u(text));
        h.sink.take();
        engine.CloseList();
        h.sink.cancel.clear();
        return h.sink.take();
    };

    EXPECT_EQ(commitCancelling("BeforeOpenRecordset", "not loaded"), "BeforeOpenRecordset");
    h.type("");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept");

    EXPECT_EQ(commitCancelling("BeforeAddRecord", "not added"),
              "BeforeOpenRecordset BeforeAddRecord");
    h.type("");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept");

    EXPECT_EQ(commitCancelling("BeforeSaveRecordset", "not saved"), kCommitEvents);
    EXPECT_EQ(engine.Recordset()->RecordCount(), 2); // in memory only, until the next reload
    h.type("");
    EXPECT_EQ(engine.Recordset()->RecordCount(), 1);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept");

    enter(h, "Text1", "saved");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept,saved");
}

TEST(BufferStore, BuddyControlLimitsStoringToOneControlIgnoringCase) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetBuddyControl(u"Text1");
    engine.OnControlChange(u"TEXT1", u"");
    EXPECT_EQ(engine.CurrentControlName(), u"TEXT1");
    engine.OnControlChange(u"Text2", u"");
    EXPECT_EQ(engine.CurrentControlName(), u"");
    EXPECT_TRUE(endsWith(engine.bufferPath(), u"-Text2.xml"));
    h.type("typed in text2");
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text2.xml")), "missing");
    enter(h, "text1", "typed in text1");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-text1.xml")), "typed in text1");
}

TEST(BufferStore, TheBufferKindChoosesTheFolderAtTheNextControlChange) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetControlGroupName(u"Grp");
    engine.OnControlChange(u"A", u"");
    engine.LetBufferUsage(buePrivate); // takes effect at the next change
    h.type("global value");
    engine.OnControlChange(u"A", u"");
    h.type("private value");
    engine.LetBufferUsage(5); // any other value counts as global
    engine.OnControlChange(u"A", u"");
    h.type("global again");
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Grp-A.xml")), "global value,global again");
    EXPECT_EQ(EngineHarness::valuesOf(h.privateFile("Grp-A.xml")), "private value");
}

TEST(BufferStore, OverTheLimitTheOldestFileLosesItsFirstRowOrIsDeleted) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    EngineHarness::writeBuffer(h.globalFile("-Old.xml"), {"1", "2", "3", "4", "5"});
    EngineHarness::writeBuffer(h.globalFile("-Single.xml"), {"only"});
    setModified(h.globalFile("-Old.xml"), 300);
    setModified(h.globalFile("-Single.xml"), 200);
    engine.LetGlobalBufferSize(0); // every written commit trims once
    const int yieldsBefore = h.desktop->doEventsCount;
    enter(h, "New", "value");
    EXPECT_EQ(h.desktop->doEventsCount - yieldsBefore, 3); // once per file visited
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Old.xml")), "2,3,4,5");

    setModified(h.globalFile("-Old.xml"), 100);
    enter(h, "New", "second");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Single.xml")), "missing");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-New.xml")), "value,second");
}

// What storing a value and then trimming the folder's oldest file, that
// file, left when they were two saves: the file as stored, loaded again with
// its first row deleted and saved.
std::string storedThenTrimmed(const Text& file, const std::string& value, const Text& scratch) {
    MemoryRecordset stored;
    stored.Open(file);
    stored.AddNew(u"SavedStringField", EngineHarness::u(value));
    stored.Save(scratch);
    MemoryRecordset trimmed;
    trimmed.Open(scratch);
    trimmed.MoveFirst();
    trimmed.Delete(kAffectCurrent);
    trimmed.Save(scratch);
    return contentOf(scratch);
}

TEST(BufferStore, TrimmingTheFileJustStoredLeavesWhatStoringAndThenTrimmingLeft) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    const Text file = h.globalFile("-Name.xml");
    const Text scratch = h.root.text("scratch.xml");
    EngineHarness::writeBuffer(file, {"first", "O'Brien & <Söhne>", "line\nbreak", "last"});
    engine.LetGlobalBufferSize(0);

    // Alone in its folder: its own oldest value goes.
    std::string expected = storedThenTrimmed(file, "new", scratch);
    int yieldsBefore = h.desktop->doEventsCount;
    enter(h, "Name", "new");
    EXPECT_EQ(h.desktop->doEventsCount - yieldsBefore, 1); // once per file visited
    EXPECT_EQ(contentOf(file), expected);
    EXPECT_EQ(EngineHarness::valuesOf(file), "O'Brien & <Söhne>,line\nbreak,last,new");
    // What the engine holds is the file: the trimmed value is not offered.
    engine.OnControlChange(u"Name", u"");
    h.type("first");
    EXPECT_EQ(engine.Recordset()->RecordCount(), 0);
    h.type("");

    // Beside an older buffer, that one loses its first value instead.
    const Text other = h.globalFile("-Other.xml");
    EngineHarness::writeBuffer(other, {"o1", "o2"});
    setModified(other, 300);
    yieldsBefore = h.desktop->doEventsCount;
    enter(h, "Name", "newer");
    EXPECT_EQ(h.desktop->doEventsCount - yieldsBefore, 2);
    EXPECT_EQ(EngineHarness::valuesOf(other), "o2");
    EXPECT_EQ(EngineHarness::valuesOf(file), "O'Brien & <Söhne>,line\nbreak,last,new,newer");

    // Beside one stamped an hour ahead, the file just stored is the oldest.
    setModified(other, -3600);
    expected = storedThenTrimmed(file, "newest", scratch);
    enter(h, "Name", "newest");
    EXPECT_EQ(contentOf(file), expected);
    EXPECT_EQ(EngineHarness::valuesOf(file), "line\nbreak,last,new,newer,newest");
    EXPECT_EQ(EngineHarness::valuesOf(other), "o2");
}

TEST(BufferStore, OnEqualTimesTheEarlierListedFileIsTrimmed) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    EngineHarness::writeBuffer(h.globalFile("-B.xml"), {"b1", "b2"});
    EngineHarness::writeBuffer(h.globalFile("-A.xml"), {"a1", "a2"});
    const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(toPath(h.globalFile("-A.xml")), when);
    std::filesystem::last_write_time(toPath(h.globalFile("-B.xml")), when);
    engine.LetGlobalBufferSize(0);
    enter(h, "C", "c1");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-A.xml")), "a2");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-B.xml")), "b1,b2");
}

TEST(BufferStore, AFolderWhoseOnlyFileIsTheBufferTrimsThatFile) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetGlobalBufferSize(-5); // a negative limit acts as 0
    enter(h, "Text1", "a");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "missing");
    EngineHarness::writeBuffer(h.globalFile("-Text1.xml"), {"x", "y"});
    enter(h, "Text1", "b");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "y,b");
}

TEST(BufferStore, LargeLimitsWorkAndNeverOverflow) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    for (const std::int32_t megabytes : {2047, 2048, 2147483647}) {
        engine.LetGlobalBufferSize(megabytes);
        const std::string value = "value " + std::to_string(megabytes);
        EXPECT_NO_THROW(enter(h, "Text1", value));
    }
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")),
              "value 2047,value 2048,value 2147483647");
}

TEST(BufferStore, TrimmingUsesTheFolderAndLimitOfTheBufferInUse) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    EngineHarness::writeBuffer(h.privateFile("-Private.xml"), {"p1", "p2"});
    engine.LetPrivateBufferSize(0);  // the private folder is over its limit...
    engine.LetGlobalBufferSize(100); // ...the global one is not
    engine.LetBufferUsage(5);        // stored in the global folder
    enter(h, "Text1", "value");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "value");
    EXPECT_EQ(EngineHarness::valuesOf(h.privateFile("-Private.xml")), "p1,p2");
}

TEST(BufferStore, AHandlerThatClosesTheListInsideACommitStoresTheValueOnce) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    bool reentered = false;
    h.sink.actions["BeforeAddRecord"] = [&] {
        if (!reentered) {
            reentered = true;
            engine.CloseList();
        }
    };
    enter(h, "Text1", "once");
    EXPECT_TRUE(reentered);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "once");

    // Switching controls from inside the commit writes the value to the file
    // it was loaded from, never into the other control's file.
    EngineHarness::writeBuffer(h.globalFile("-Other.xml"), {"other"});
    bool switched = false;
    h.sink.actions["BeforeAddRecord"] = nullptr;
    h.sink.actions["AfterSaveRecord"] = [&] {
        if (!switched) {
            switched = true;
            engine.OnControlChange(u"Other", u"");
        }
    };
    enter(h, "Text1", "twice");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "once,twice");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Other.xml")), "other");
}

// A host's handler that fails is the host's business: it is reported to the
// swallowed-error observer, the value is stored all the same, and the other
// sinks hear every event.
TEST(BufferStore, AFailingHandlerNeitherStopsStoringNorSilencesTheOtherSinks) {
    static std::vector<std::int32_t> reported;
    reported.clear();
    SetIgnoredErrorObserver(
        [](const AutomationError& failure, ErrorSite) { reported.push_back(failure.number()); });
    EngineHarness h;
    Fillahead& engine = h.fresh();
    RecordingSink second;
    engine.Advise(&second);
    enter(h, "Text1", "kept");
    h.sink.take();
    second.take();
    std::string stored = "kept";
    for (const char* event : {"BeforeOpenRecordset", "BeforeAddRecord", "BeforeSaveRecord",
                              "AfterSaveRecord", "BeforeSaveRecordset"}) {
        SCOPED_TRACE(event);
        h.sink.actions[event] = [] { throw AutomationError(error::PermissionDenied); };
        engine.OnControlChange(u"Text1", u"");
        const std::string value = std::string("stored despite ") + event;
        h.type(value);
        EXPECT_NO_THROW(engine.CloseList());
        h.sink.actions.clear();
        stored += "," + value;
        EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), stored);
        const std::string heard = h.sink.take();
        EXPECT_NE(heard.find(event), std::string::npos);
        EXPECT_NE(
            heard.find("BeforeAddRecord BeforeSaveRecord AfterSaveRecord BeforeSaveRecordset"),
            std::string::npos);
        EXPECT_EQ(second.take(), heard);
        h.type(""); // nothing left to store
    }
    // A handler's bug that is no automation error is reported as one.
    h.sink.actions["BeforeSaveRecord"] = [] { throw std::runtime_error("a host's bug"); };
    enter(h, "Text1", "stored despite a bug");
    engine.Unadvise(&second);
    SetIgnoredErrorObserver(nullptr);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")),
              stored + ",stored despite a bug");
    EXPECT_EQ(std::count(reported.begin(), reported.end(), error::PermissionDenied), 5);
    EXPECT_EQ(std::count(reported.begin(), reported.end(), error::HandlerFailed), 1);
}

TEST(BufferStore, AHostSessionLeavesExactlyTheEnteredValuesInEachFile) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    struct Entry {
        const char* group;
        std::int32_t usage;
        const char* control;
        const char* text;
    };
    const Entry session[] = {
        {"Customers", bueGlobal, "Name", "Ada Lovelace"},
        {"Customers", bueGlobal, "City", "London"},
        {"Customers", bueGlobal, "Name", "Grace Hopper"},
        {"Customers", bueGlobal, "Name", "ada lovelace"}, // a duplicate
        {"Orders", buePrivate, "City", "Zürich"},
        {"Orders", buePrivate, "City", ""}, // nothing typed
        {"Customers", bueGlobal, "City", "New York"},
        {"Orders", buePrivate, "City", "Genève"},
        {"Orders", buePrivate, "Notes", "line one\r\nline two"},
    };
    for (const Entry& entry : session) {
        engine.LetControlGroupName(EngineHarness::u(entry.group));
        engine.LetBufferUsage(entry.usage);
        engine.OnControlChange(EngineHarness::u(entry.control), u"");
        for (std::size_t length = 1; length <= std::string(entry.text).size(); ++length) {
            h.type(std::string(entry.text).substr(0, length)); // keystroke by keystroke
        }
    }
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Customers-Name.xml")),
              "Ada Lovelace,Grace Hopper");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Customers-City.xml")), "London,New York");
    EXPECT_EQ(EngineHarness::valuesOf(h.privateFile("Orders-City.xml")), "Zürich,Genève");
    EXPECT_EQ(EngineHarness::valuesOf(h.privateFile("Orders-Notes.xml")), "line one\r\nline two");
}

TEST(BufferStore, ClosingTheListWithoutInitialisationInitialisesFirst) {
    EngineHarness h;
    h.engine->CloseList();
    EXPECT_EQ(h.engine->MaxDisplayRows(), 8);
    EXPECT_NE(h.engine->listWindow(), nullptr);
}

TEST(BufferStore, AFailedSaveLeavesNothingThatCountsAsStored) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    enter(h, "Text1", "kept");
    engine.OnControlChange(u"Text1", u"");
    h.type("retried");
    {
        const FailingSaves failing(ReplaceStep::Rename);
        EXPECT_EQ(errorOf([&] { engine.CloseList(); }), error::WritingFile);
    }
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept");
    h.sink.take();
    engine.CloseList(); // the user leaves the field once more
    EXPECT_EQ(h.sink.take(), kCommitEvents);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "kept,retried");
}

TEST(BufferStore, AnotherProgramsValuesSurviveAnOlderCopy) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    OtherProgram other(h);
    enter(h, "Name", "first");

    // This program loads the file while its user types; the other one stores
    // two values meanwhile, one of them what this user is typing.
    engine.OnControlChange(u"Name", u"");
    h.type("mine");
    enter(other.h, "Name", "theirs");
    enter(other.h, "Name", "MINE");
    h.sink.take();
    engine.CloseList();
    EXPECT_EQ(h.sink.take(), ""); // stored already: nothing to add
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "first,theirs,MINE");

    // A value the other program stores while this one's events run.
    engine.OnControlChange(u"Name", u"");
    h.type("late");
    h.sink.actions["BeforeSaveRecordset"] = [&] { enter(other.h, "Name", "during"); };
    engine.CloseList();
    h.sink.actions.clear();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "first,theirs,MINE,during,late");

    // Without another program, the events may still change what is saved.
    engine.OnControlChange(u"Name", u"");
    h.type("last");
    h.sink.actions["BeforeSaveRecordset"] = [&] {
        engine.Recordset()->MoveFirst();
        engine.Recordset()->Delete(kAffectCurrent);
    };
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "theirs,MINE,during,late,last");
}

TEST(BufferStore, NamesThatWouldLeaveTheFolderOrCannotBeWrittenAreMapped) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    engine.LetControlGroupName(u"../..\\elsewhere");
    engine.OnControlChange(u"a:b*c?d\"e<f>g|h\x01i\x7fj", u"");
    EXPECT_EQ(engine.bufferPath(), h.globalFile(".._.._elsewhere-a_b_c_d_e_f_g_h_i_j.xml"));
    h.type("kept");
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(engine.bufferPath()), "kept");
    EXPECT_EQ(h.root.names(), (std::vector<std::string>{"common", "config", "global", "private"}));

    // Identifiers, and anything else Windows takes, give the names they gave.
    engine.LetControlGroupName(u"frmCustomer_2");
    engine.OnControlChange(u"txtName", u"");
    EXPECT_EQ(engine.bufferPath(), h.globalFile("frmCustomer_2-txtName.xml"));
    engine.LetControlGroupName(u"Größe 100% #1");
    engine.OnControlChange(u"Straße.v2 (alt) [x] {y} 'z' & ~", u"");
    EXPECT_EQ(engine.bufferPath(),
              h.globalFile("Größe 100% #1-Straße.v2 (alt) [x] {y} 'z' & ~.xml"));
}

TEST(BufferStore, TrimmingFollowsTheWrittenFileNotSettingsChangedSince) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    EngineHarness::writeBuffer(h.privateFile("-Private.xml"), {"p1", "p2"});
    engine.LetPrivateBufferSize(0);  // the private folder is over its limit...
    engine.LetGlobalBufferSize(100); // ...the global one is not
    engine.OnControlChange(u"Text1", u"");
    engine.LetBufferUsage(buePrivate); // counts from the next control change
    h.type("value");
    engine.CloseList();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "value");
    EXPECT_EQ(EngineHarness::valuesOf(h.privateFile("-Private.xml")), "p1,p2");

    // The global folder moved after the control change, to a folder that
    // cannot be made: the folder written to is trimmed, with its limit.
    engine.LetBufferUsage(bueGlobal);
    engine.OnControlChange(u"Text1", u"");
    engine.LetGlobalBufferSize(0);
    engine.LetGlobalBufferLocation(h.root.text("gone") + EngineHarness::sep() + u"deeper");
    h.type("second");
    EXPECT_EQ(errorOf([&] { engine.CloseList(); }), 0);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Text1.xml")), "second");
}

TEST(BufferStore, OnlyBufferFilesAreTrimmedOrCounted) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    // Another program's save in progress, a damaged file kept aside and a
    // file of the user's, all older than any buffer, two of them large.
    const Text temporary = h.globalFile("-Name.xml.1f2e-0.fillahead-tmp");
    const Text aside = h.globalFile("-Old.xml.damaged");
    const Text notes = h.globalFile("notes.txt");
    writeFile(temporary, "<xml xmlns:rs='urn:schemas-microsoft-com:rowset'><rs:da");
    writeFile(aside, std::string(2 * 1024 * 1024, 'x'));
    writeFile(notes, std::string(1024 * 1024, 'n'));
    setModified(temporary, 30); // young enough to be a save in progress
    setModified(aside, 3600);
    setModified(notes, 3600);
    engine.LetGlobalBufferSize(1);
    enter(h, "Name", "value");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "value");

    EngineHarness::writeBuffer(h.globalFile("-Old.xml"), {"o1", "o2"});
    setModified(h.globalFile("-Old.xml"), 300);
    engine.LetGlobalBufferSize(0);
    const int yieldsBefore = h.desktop->doEventsCount;
    enter(h, "Name", "second");
    EXPECT_EQ(h.desktop->doEventsCount - yieldsBefore, 2); // the two buffers only
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Old.xml")), "o2");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "value,second");
    EXPECT_EQ(contentOf(temporary), "<xml xmlns:rs='urn:schemas-microsoft-com:rowset'><rs:da");
    EXPECT_EQ(contentOf(aside).size(), 2u * 1024 * 1024);
    EXPECT_EQ(contentOf(notes).size(), 1024u * 1024);
}

TEST(BufferStore, ABufferFolderDeletedMeanwhileIsMadeAgain) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    enter(h, "Name", "one");
    std::filesystem::remove_all(h.root.path() / "global");
    EXPECT_EQ(errorOf([&] { enter(h, "Name", "two"); }), 0);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "two");

    // Its whole path, however many levels are missing.
    const Text nested =
        h.root.text("a") + EngineHarness::sep() + u"b" + EngineHarness::sep() + u"c";
    engine.LetPrivateBufferLocation(nested); // one level at most: not made here
    engine.LetBufferUsage(buePrivate);
    EXPECT_EQ(errorOf([&] { enter(h, "Name", "three"); }), 0);
    EXPECT_EQ(EngineHarness::valuesOf(nested + EngineHarness::sep() + u"-Name.xml"), "three");
}

TEST(BufferStore, ADamagedBufferIsKeptAsideOnceAndStoringGoesOnAtOnce) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    const Text file = h.globalFile("-Name.xml");
    const std::string damaged = "<xml><rs:data><z:row SavedStringField='trunc";
    writeFile(file, damaged);
    engine.OnControlChange(u"Name", u"");
    h.type("first");
    EXPECT_FALSE(engine.Visible());
    h.sink.take();
    try {
        engine.CloseList();
        FAIL() << "the damaged file went unreported";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::ReadingFile);
        EXPECT_NE(toUtf8(e.description()).find("-Name.xml.damaged"), std::string::npos)
            << toUtf8(e.description());
    }
    EXPECT_EQ(h.sink.take(), kCommitEvents);
    EXPECT_EQ(EngineHarness::valuesOf(file), "first");
    EXPECT_EQ(contentOf(file + u".damaged"), damaged);

    h.type("");
    EXPECT_EQ(errorOf([&] { enter(h, "Name", "second"); }), 0); // reported once
    EXPECT_EQ(EngineHarness::valuesOf(file), "first,second");

    // Damaged again: the file kept first stays as it is.
    writeFile(file, "not xml at all");
    EXPECT_EQ(errorOf([&] { enter(h, "Name", "third"); }), error::ReadingFile);
    EXPECT_EQ(EngineHarness::valuesOf(file), "third");
    EXPECT_EQ(contentOf(file + u".damaged"), damaged);
    EXPECT_EQ(contentOf(file + u".damaged-2"), "not xml at all");
}

TEST(BufferStore, AHandlerMayStoreAnotherValueFromTheTrimmingYield) {
    EngineHarness h;
    Fillahead& engine = h.fresh();
    EngineHarness::writeBuffer(h.globalFile("-Single.xml"), {"only"});
    setModified(h.globalFile("-Single.xml"), 300);
    engine.LetGlobalBufferSize(0);
    // A host's message handler stores another field's value while the
    // trimming yields: that commit trims the oldest file first.
    bool reentered = false;
    h.desktop->onDoEvents = [&] {
        if (!reentered) {
            reentered = true;
            engine.OnControlChange(u"Other", u"nested");
            engine.CloseList();
        }
    };
    EXPECT_EQ(errorOf([&] { enter(h, "Name", "outer"); }), 0);
    EXPECT_TRUE(reentered);
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Single.xml")), "missing");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Other.xml")), "nested");
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "outer");
}

} // namespace
} // namespace fillahead::testing
