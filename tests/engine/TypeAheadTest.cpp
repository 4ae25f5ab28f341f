// Type-ahead end to end: matching on every text change, the list's keyboard
// and mouse navigation, completion, and data-bound mode.
//
// The tables use a small step language:
//   type <text>     the host reports a text change
//   key <name>      Down, Up, Return, Tab or Escape is pressed
//   click <row>     a click on a visible row (0 is the top one)
//   focus <name>    the host moves to another control
//   rows <n>        MaxDisplayRows = n
// and expect the list after the step: "hidden", or its visible rows with the
// highlighted one marked "*", its height in rows ("h3") and "sb" with a
// scroll bar; then the engine's Text, the key code handed back, and the
// events raised during the step.
#include "tests/engine/EngineHarness.h"
#include "tests/support/StandInRecordset.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fillahead::testing {
namespace {

struct Step {
    std::string input;
    std::string expected;
};

class TypeAhead : public ::testing::Test {
protected:
    EngineHarness h;
    Fillahead& engine = h.fresh();

    // A Form1 buffer for Text1 with these values, and the engine serving it.
    void serve(const std::vector<std::string>& history) {
        engine.LetControlGroupName(u"Form1");
        engine.LetWidth(200);
        EngineHarness::writeBuffer(h.globalFile("Form1-Text1.xml"), history);
        engine.OnControlChange(u"Text1", u"");
        h.sink.take();
    }

    std::string render(const std::string& key) {
        std::string out;
        if (!engine.Visible()) {
            out = "hidden";
        } else {
            DataGrid& grid = engine.listWindow()->DataGrid();
            out = "[";
            for (std::int32_t row = 0; row < grid.VisibleRows(); ++row) {
                const Bookmark bookmark = grid.RowBookmark(row);
                bool selected = false;
                for (std::int32_t i = 0; i < grid.SelectedBookmarks().Count(); ++i) {
                    selected = selected || grid.SelectedBookmarks().Item(i) == bookmark;
                }
                const Variant value = grid.Columns(0).CellValue(bookmark);
                out += (row == 0 ? "" : ",") + std::string(selected ? "*" : "") +
                       (value.isNull() ? std::string("<null>") : toUtf8(value.toText()));
            }
            out += "] h" + std::to_string(
                               static_cast<int>(engine.listWindow()->Height() / grid.RowHeight()));
            if (grid.ScrollBars() == 2) {
                out += " sb";
            }
        }
        out += " text=" + toUtf8(engine.Text());
        if (!key.empty()) {
            out += " key=" + key;
        }
        const std::string events = h.sink.take();
        return events.empty() ? out : out + " | " + events;
    }

    std::string perform(const std::string& input) {
        const auto space = input.find(' ');
        const std::string verb = input.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : input.substr(space + 1);
        if (verb == "type") {
            h.type(argument);
        } else if (verb == "key") {
            const std::map<std::string, std::int16_t> keys = {
                {"Down", vk::Down}, {"Up", vk::Up},         {"Return", vk::Return},
                {"Tab", vk::Tab},   {"Escape", vk::Escape}, {"A", 65}};
            return render(std::to_string(h.press(keys.at(argument))));
        } else if (verb == "click") {
            const DataGrid& grid = engine.listWindow()->DataGrid();
            const float y = grid.Top() + grid.RowHeight() * (std::stof(argument) + 0.5f);
            h.desktop->ClickList(engine.hWnd(), 5,
                                 static_cast<std::int32_t>(y / h.desktop->twipsPerPixel));
        } else if (verb == "focus") {
            engine.OnControlChange(EngineHarness::u(argument), u"");
        } else if (verb == "rows") {
            engine.LetMaxDisplayRows(std::stoi(argument));
        } else {
            ADD_FAILURE() << "unknown step " << input;
        }
        return render("");
    }

    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            EXPECT_EQ(perform(step.input), step.expected) << "after: " << step.input;
        }
    }
};

TEST_F(TypeAhead, TypingListsTheValuesThatContainTheText) {
    serve({"abc", "cab", "xyz", "Abel"});
    run({
        {"type ab", "[abc,cab,Abel] h4 text=ab | BeforeOpenRecordset BeforeChangeRecordset "
                    "BeforeListShow"},
        {"type ab", "[abc,cab,Abel] h4 text=ab"}, // the same text again changes nothing
        {"type abe", "[Abel] h2 text=abe"},       // one containing match: one row
        {"type ABEL", "hidden text=ABEL"},        // the only match is what was typed
        {"type q", "hidden text=q | BeforeListShow"},
        {"type q", "hidden text=q | BeforeListShow"}, // hidden lists are shown anew each time
        {"type ", "[abc,cab,xyz,Abel] h5 text= | BeforeListShow"}, // no text: everything
    });
    EXPECT_EQ(engine.Recordset()->Filter().toText(), u"0");
}

TEST_F(TypeAhead, QuotesAndWildcardsAreTypedText) {
    serve({"O'Brien", "100% cotton", "a*b", "plain"});
    run({
        {"type O'B", "[O'Brien] h2 text=O'B | BeforeOpenRecordset BeforeChangeRecordset "
                     "BeforeListShow"},
        {"type %", "[100% cotton] h2 text=%"},
        {"type *", "[a*b] h2 text=*"},
    });
    EXPECT_EQ(engine.Recordset()->Filter().toText(), u"[SavedStringField] Like '***'");
}

TEST_F(TypeAhead, ManyMatchesShowMaxDisplayRowsWithAScrollBar) {
    std::vector<std::string> history;
    for (int i = 10; i < 30; ++i) {
        history.push_back("v" + std::to_string(i));
    }
    serve(history);
    h.type("v");
    EXPECT_EQ(render(""), "[v10,v11,v12,v13,v14,v15,v16,v17] h9 sb text=v | BeforeOpenRecordset "
                          "BeforeChangeRecordset BeforeListShow");
    DataGrid& grid = engine.listWindow()->DataGrid();
    EXPECT_EQ(grid.Columns(0).Width(), grid.Width() - 250);
    run({
        {"rows 3", "[v10,v11,v12,v13,v14,v15,v16,v17] h9 sb text=v"}, // counts from the next filter
        {"type v1", "[v10,v11,v12] h4 sb text=v1"},
        {"rows 30", "[v10,v11,v12] h4 sb text=v1"},
        {"type v2", "[v20,v21,v22,v23,v24,v25,v26,v27,v28,v29] h11 text=v2"},
    });
    EXPECT_EQ(grid.Columns(0).Width(), grid.Width());
}

TEST_F(TypeAhead, UpAndDownMoveThroughTheRowsAndScrollWithoutWrapping) {
    serve({"a1", "a2", "a3", "a4", "a5"});
    engine.LetMaxDisplayRows(3);
    h.type("a");
    h.sink.take();
    run({
        {"key Down", "[*a1,a2,a3] h4 sb text=a key=0"},
        {"key Down", "[a1,*a2,a3] h4 sb text=a key=0"},
        {"key Down", "[a1,a2,*a3] h4 sb text=a key=0"},
        {"key Down", "[a2,a3,*a4] h4 sb text=a key=0"},
        {"key Down", "[a3,a4,*a5] h4 sb text=a key=0"},
        {"key Down", "[a3,a4,*a5] h4 sb text=a key=0"}, // the end: nothing moves
        {"key Up", "[a3,*a4,a5] h4 sb text=a key=0"},
        {"key Up", "[*a3,a4,a5] h4 sb text=a key=0"},
        {"key Up", "[*a2,a3,a4] h4 sb text=a key=0"},
        {"key Up", "[*a1,a2,a3] h4 sb text=a key=0"},
        {"key Up", "[*a1,a2,a3] h4 sb text=a key=0"}, // the top: still consumed
        {"key A", "[*a1,a2,a3] h4 sb text=a key=65"}, // other keys pass
        {"type 2", "[a2] h2 text=2"},                 // typing drops the highlight
    });
    EXPECT_EQ(engine.navigationRow(), 1);
}

TEST_F(TypeAhead, ReturnAndTabTakeTheHighlightedValue) {
    serve({"alpha", "alpine", "beta"});
    run({
        {"type al", "[alpha,alpine] h3 text=al | BeforeOpenRecordset BeforeChangeRecordset "
                    "BeforeListShow"},
        {"key Return", "hidden text=al key=0"}, // nothing highlighted: nothing taken
        {"key Down", "[*alpha,alpine] h3 text=al key=0 | BeforeListShow"},
        {"key Down", "[alpha,*alpine] h3 text=al key=0"},
        {"key Return", "hidden text=alpine key=0 | TextChange(alpine)"},
        {"key Down", "hidden text=alpine key=40 | BeforeListShow"}, // only itself matches
        {"type al", "[alpha,alpine] h3 text=al | BeforeListShow"},
        {"key Down", "[*alpha,alpine] h3 text=al key=0"},
        {"key Tab", "hidden text=alpha key=9 | TextChange(alpha)"}, // Tab keeps its code
        {"key Return", "hidden text=alpha key=0"},
    });
}

TEST_F(TypeAhead, UpWithNothingHighlightedSelectsNothing) {
    serve({"one", "two"});
    run({
        {"type o", "[one,two] h3 text=o | BeforeOpenRecordset BeforeChangeRecordset "
                   "BeforeListShow"},
        {"key Up", "[one,two] h3 text=o key=0"},
        {"key Return", "hidden text=o key=0"},
    });
    EXPECT_EQ(engine.navigationRow(), -1);
}

TEST_F(TypeAhead, EscapeDismissesTheListUntilTheNextControlChange) {
    serve({"apple", "apricot"});
    run({
        {"type ap", "[apple,apricot] h3 text=ap | BeforeOpenRecordset BeforeChangeRecordset "
                    "BeforeListShow"},
        {"key Escape", "hidden text=ap key=0"},
        {"key Escape", "hidden text=ap key=27"},
        {"type apr", "hidden text=apr"},
        {"key Down", "hidden text=apr key=40"},
        {"key Return", "hidden text=apr key=13"},
        // Leaving stores what was typed, and the list works again.
        {"focus Text1", "hidden text= | BeforeAddRecord BeforeSaveRecord AfterSaveRecord "
                        "BeforeSaveRecordset"},
        {"type apr", "[apricot,apr] h3 text=apr | BeforeOpenRecordset BeforeChangeRecordset "
                     "BeforeListShow"},
    });
}

TEST_F(TypeAhead, AClickTakesTheClickedRow) {
    serve({"red", "green", "grey"});
    run({
        {"type re", "[red,green,grey] h4 text=re | BeforeOpenRecordset BeforeChangeRecordset "
                    "BeforeListShow"},
        {"click 1", "hidden text=green | TextChange(green)"},
        {"type gr", "[green,grey] h3 text=gr | BeforeListShow"},
        {"click 5", "[green,grey] h3 text=gr"}, // below the rows: nothing
    });
}

TEST_F(TypeAhead, TheHostsWriteBackOfACompletionIsRecordedNotMatched) {
    serve({"north", "northeast"});
    h.sink.actions["TextChange"] = [&] { engine.OnTextChange(engine.Text()); };
    run({
        {"type nor", "[north,northeast] h3 text=nor | BeforeOpenRecordset "
                     "BeforeChangeRecordset BeforeListShow"},
        {"key Down", "[*north,northeast] h3 text=nor key=0"},
        {"key Return", "hidden text=north key=0 | TextChange(north)"},
    });
    EXPECT_TRUE(engine.matchingEnabled());
}

TEST_F(TypeAhead, AControlWithoutABufferOffersNothingOfAnotherControl) {
    serve({"Ada", "Alan"});
    run({
        {"type a", "[Ada,Alan] h3 text=a | BeforeOpenRecordset BeforeChangeRecordset "
                   "BeforeListShow"},
        {"focus City", "hidden text= | BeforeAddRecord BeforeSaveRecord AfterSaveRecord "
                       "BeforeSaveRecordset"},
        {"type a", "hidden text=a"}, // no names offered for a city
        {"type Leeds", "hidden text=Leeds"},
        {"focus Text1", "hidden text= | BeforeOpenRecordset BeforeAddRecord BeforeSaveRecord "
                        "AfterSaveRecord BeforeSaveRecordset"},
        {"focus City", "hidden text="},
        {"type e", "[Leeds] h2 text=e | BeforeOpenRecordset BeforeChangeRecordset "
                   "BeforeListShow"},
        {"type ", "[Leeds] h2 text="},
    });

    // A host's record set serves any control without a buffer file.
    auto people = std::make_shared<MemoryRecordset>();
    people->AppendField({u"SavedStringField", 8, 255, -1});
    people->Open();
    people->AddNew(u"SavedStringField", u"Anna");
    people->AddNew(u"SavedStringField", u"Hannah");
    engine.SetRecordset(people);
    run({
        {"focus Phone", "hidden text= | BeforeChangeRecordset"},
        {"type an", "[Anna,Hannah] h3 text=an | BeforeListShow"},
    });
}

TEST_F(TypeAhead, ABufferOnlyEverStoredIsStillListed) {
    h.sink.cancel["BeforeSaveRecordset"] = true; // the buffer stays in memory only
    engine.OnControlChange(u"Text1", u"abc");
    engine.CloseList(); // creates Text1's buffer without any matching
    h.type("");
    engine.OnControlChange(u"Text1", u"");
    h.sink.take();
    run({
        {"type ab", "[abc] h2 text=ab | BeforeListShow"},
    });
}

TEST_F(TypeAhead, CancellingTheLoadLeavesNothingToMatch) {
    serve({"value"});
    h.sink.cancel["BeforeOpenRecordset"] = true;
    run({
        {"type va", "hidden text=va | BeforeOpenRecordset"},
        {"type val", "hidden text=val | BeforeOpenRecordset"},
    });
}

TEST_F(TypeAhead, ListIsPlacedWhereTheHostSaysTopmostWithoutActivation) {
    serve({"placed"});
    h.sink.actions["BeforeListShow"] = [&] {
        engine.LetLeft(100.5f);
        engine.LetTop(200.4f);
        engine.LetWidth(151.5f);
        engine.LetAlignment(fhalRight);
        engine.LetBackColor(0x00FFEEDD);
    };
    h.desktop->log.clear();
    h.type("pl");
    const std::string list = "list#" + std::to_string(engine.hWnd());
    ASSERT_FALSE(h.desktop->log.empty());
    EXPECT_EQ(h.desktop->log.front(),
              "SetWindowPos " + list + " topmost 100,200 152x0 show noactivate");
    const SimulatedDesktop::Window* window = h.desktop->Find(engine.hWnd());
    EXPECT_TRUE(window->topmost && window->visible && !window->activated);
    EXPECT_EQ(window->rect.Height(), 32); // two rows of 16 pixels
    EXPECT_EQ(engine.listWindow()->DataGrid().Columns(0).Alignment(), fhalRight);
    EXPECT_EQ(engine.listWindow()->BackColor(), 0x00FFEEDDu);
    EXPECT_EQ(h.desktop->GetForegroundWindow(), h.desktop->HostWindow());
}

TEST_F(TypeAhead, AListThatDoesNotFitUnderItsFieldGoesAboveIt) {
    serve({"abc", "cab", "xyz", "Abel"});
    // A field from 1000 to 1024 on a work area 1040 pixels high.
    h.sink.actions["BeforeListShow"] = [&] {
        engine.LetLeft(30);
        engine.LetTop(1024);
        engine.LetHeight(24);
    };
    const auto rect = [&] { return h.desktop->Find(engine.hWnd())->rect; };
    run({{"type ab", "[abc,cab,Abel] h4 text=ab | BeforeOpenRecordset BeforeChangeRecordset "
                     "BeforeListShow"}});
    EXPECT_EQ(rect(), (WindowRect{30, 1000 - 4 * 16, 230, 1000}));
    run({{"type abe", "[Abel] h2 text=abe"}});
    EXPECT_EQ(rect(), (WindowRect{30, 1000 - 2 * 16, 230, 1000}));
    run({{"type q", "hidden text=q"}});
    EXPECT_EQ(rect(), (WindowRect{30, 1024, 230, 1024})); // hidden where it was placed

    // Higher up the same list stays under its field.
    h.sink.actions["BeforeListShow"] = [&] {
        engine.LetLeft(30);
        engine.LetTop(524);
        engine.LetHeight(24);
    };
    run({{"type ab", "[abc,cab,Abel] h4 text=ab | BeforeListShow"}});
    EXPECT_EQ(rect(), (WindowRect{30, 524, 230, 524 + 4 * 16}));
}

TEST_F(TypeAhead, NothingIsMatchedBeforeTheFirstControlChange) {
    EngineHarness fresh;
    fresh.fresh();
    fresh.type("anything");
    EXPECT_EQ(fresh.engine->Text(), u"anything");
    EXPECT_FALSE(fresh.engine->Visible());
    EXPECT_EQ(fresh.sink.take(), "");
}

// The whole road of one entry: a user fills Text1 on Form1 twice.
TEST_F(TypeAhead, TheRoadOfOneEntry) {
    engine.LetControlGroupName(u"Form1");
    h.sink.actions["BeforeListShow"] = [&] {
        engine.LetLeft(40);
        engine.LetTop(60);
        engine.LetWidth(120);
    };
    h.sink.actions["TextChange"] = [&] { engine.OnTextChange(engine.Text()); };
    const auto tabAway = [&] {
        EXPECT_EQ(h.press(vk::Tab), vk::Tab);
        engine.OnControlChange(u"Text2", u"");
    };
    run({{"focus Text1", "hidden text="}});
    EXPECT_EQ(engine.bufferPath(), h.globalFile("Form1-Text1.xml"));
    run({{"type a", "hidden text=a"},
         {"type ab", "hidden text=ab"},
         {"type abc", "hidden text=abc"}});
    tabAway();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Form1-Text1.xml")), "abc");
    h.sink.take();

    run({
        {"focus Text1", "hidden text="},
        {"type ab", "[abc] h2 text=ab | BeforeOpenRecordset BeforeChangeRecordset "
                    "BeforeListShow"},
    });
    EXPECT_EQ(engine.Recordset()->Filter().toText(), u"[SavedStringField] Like '*ab*'");
    EXPECT_EQ(engine.listWindow()->Height(), engine.listWindow()->DataGrid().RowHeight() * 2);
    run({
        {"key Down", "[*abc] h2 text=ab key=0"},
        {"key Return", "hidden text=abc key=0 | TextChange(abc)"},
        {"type abcd", "hidden text=abcd | BeforeListShow"},
    });
    tabAway();
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("Form1-Text1.xml")), "abc,abcd");
}

TEST_F(TypeAhead, AHostRecordSetWithItsOwnFields) {
    auto people = std::make_shared<MemoryRecordset>();
    people->AppendField({u"Name", 8, 255, -1});
    people->AppendField({u"Id", 8, 255, -1});
    people->Open();
    for (const auto& [name, id] : std::vector<std::pair<const char16_t*, const char16_t*>>{
             {u"Anna", u"17"}, {u"Hannah", u"23"}, {u"Bert", u"5"}}) {
        people->AddNew(u"Name", name);
        people->SetFieldValue(u"Id", id);
    }
    engine.LetListField(u"Name");
    engine.LetBoundColumn(u"Id");
    h.sink.take();
    engine.SetRecordset(people);
    EXPECT_EQ(h.sink.take(), "BeforeChangeRecordset");
    EXPECT_EQ(engine.Recordset(), people);
    EXPECT_EQ(engine.listWindow()->DataGrid().Columns(0).DataField(), u"Name");
    engine.OnControlChange(u"Customer", u"");
    run({
        {"type nn", "[Anna,Hannah] h3 text=nn | BeforeListShow"},
        {"key Down", "[*Anna,Hannah] h3 text=nn key=0"},
        {"key Down", "[Anna,*Hannah] h3 text=nn key=0"},
    });
    EXPECT_EQ(engine.BoundText(), u"17"); // the record set's current record: the first match
    engine.LetBoundText(u"ignored");
    EXPECT_EQ(engine.BoundText(), u"17");
    run({{"key Return", "hidden text=Hannah key=0 | TextChange(Hannah)"}});

    // Leaving the field: cancelling the load keeps the host's record set,
    // with its filter removed, and stores nothing in it.
    h.sink.cancel["BeforeOpenRecordset"] = true;
    engine.CloseList();
    EXPECT_EQ(h.sink.take(), "BeforeOpenRecordset");
    EXPECT_EQ(engine.Recordset(), people);
    EXPECT_EQ(people->RecordCount(), 3);
    EXPECT_EQ(people->Filter().toText(), u"0");

    engine.LetBoundColumn(u"");
    EXPECT_EQ(engine.BoundText(), u"");
    engine.SetRecordset(nullptr);
    h.type("an");
    EXPECT_FALSE(engine.Visible()); // no record set: nothing to match
}

// A host's record set that is not ours is driven exactly as ours is: the
// same lists, the same completion, the same storing. Reading its rows for
// the list leaves its current row where the engine put it.
TEST_F(TypeAhead, ARecordSetThatIsNotOursIsDrivenAsOursIs) {
    auto people = std::make_shared<StandInRecordset>();
    people->AppendField({u"Name"});
    people->AppendField({u"Id"});
    people->Open();
    const std::pair<const char16_t*, const char16_t*> rows[] = {
        {u"Anna", u"17"}, {u"Hannah", u"23"}, {u"Bert", u"5"}};
    for (const auto& [name, id] : rows) {
        people->AddNew(u"Name", name);
        people->SetFieldValue(u"Id", id);
    }
    people->takeLog();
    engine.LetListField(u"Name");
    engine.LetBoundColumn(u"Id");
    engine.SetRecordset(people);
    engine.OnControlChange(u"Customer", u"");
    h.sink.take();
    run({
        {"type nn", "[Anna,Hannah] h3 text=nn | BeforeListShow"},
        {"key Down", "[*Anna,Hannah] h3 text=nn key=0"},
        {"key Down", "[Anna,*Hannah] h3 text=nn key=0"},
    });
    EXPECT_EQ(engine.BoundText(), u"17");
    EXPECT_EQ(people->AbsolutePosition(), 1);
    run({{"key Return", "hidden text=Hannah key=0 | TextChange(Hannah)"}});
    EXPECT_EQ(people->Filter(), Variant(u"[Name] Like '*nn*'"));

    // Leaving the field: the record set is closed and opened anew on the
    // field's buffer (none yet), the value added and saved there. The file's
    // version is unknown to a record set that is not ours, so it is loaded
    // again under the folder's lock before saving.
    engine.CloseList();
    EXPECT_EQ(h.sink.take(), "BeforeOpenRecordset BeforeAddRecord BeforeSaveRecord "
                             "AfterSaveRecord BeforeSaveRecordset");
    EXPECT_EQ(people->takeLog(), "Close Open Close Open Save(-Customer.xml)");
    EXPECT_EQ(engine.Recordset(), people);
    EXPECT_EQ(people->RecordCount(), 1);
    EXPECT_EQ(people->Filter(), Variant(0));

    // Back in the field: the text left there is found in the buffer and not
    // stored again, and typing opens the buffer into the same record set.
    engine.OnControlChange(u"Customer", u"");
    EXPECT_EQ(h.sink.take(), "BeforeOpenRecordset");
    EXPECT_EQ(people->takeLog(), "Close Open(-Customer.xml)");
    run({{"type ann", "[Hannah] h2 text=ann | BeforeOpenRecordset BeforeChangeRecordset "
                      "BeforeListShow"}});
    EXPECT_EQ(people->takeLog(), "Close Open(-Customer.xml)");
}

TEST_F(TypeAhead, AHighlightedNullValueKeepsTheTextAndStillCompletes) {
    auto rs = std::make_shared<MemoryRecordset>();
    rs->AppendField({u"Name", 8, 255, -1});
    rs->AppendField({u"Id", 8, 255, -1});
    rs->Open();
    rs->AddNew(u"Name", u"Anna");
    rs->AddNew(u"Id", u"9"); // no name: Null
    engine.LetListField(u"Name");
    engine.SetRecordset(rs);
    engine.LetWidth(200);
    engine.OnControlChange(u"Customer", u"");
    h.sink.take();
    run({
        {"type n", "[Anna] h2 text=n | BeforeListShow"},
        {"type ", "[Anna,<null>] h3 text="}, // Like never matches Null; no filter shows it
        {"key Down", "[*Anna,<null>] h3 text= key=0"},
        {"key Down", "[Anna,*<null>] h3 text= key=0"},
        {"key Return", "hidden text= key=0 | TextChange()"},
    });
}

TEST_F(TypeAhead, RecordSetBindingFollowsTheFieldNames) {
    auto closed = std::make_shared<MemoryRecordset>();
    engine.SetRecordset(closed);
    EXPECT_EQ(engine.listWindow()->DataGrid().DataSource(), closed);
    EXPECT_EQ(engine.listWindow()->DataGrid().Columns(0).DataField(), u""); // closed: no field
    EXPECT_EQ(engine.BoundText(), u"");
    h.sink.take();
    engine.LetListField(u"SavedStringField"); // unchanged: nothing happens
    EXPECT_EQ(h.sink.take(), "");
    closed->AppendField({u"Other", 8, 255, -1});
    closed->Open();
    closed->AddNew(u"Other", u"x");
    engine.LetListField(u"Other");
    EXPECT_EQ(h.sink.take(), "BeforeChangeRecordset");
    EXPECT_EQ(engine.listWindow()->DataGrid().Columns(0).DataField(), u"Other");
    try {
        engine.LetBoundColumn(u"Missing");
        (void)engine.BoundText();
        FAIL() << "BoundText read a field the record set does not have";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::ItemNotFound);
    }
}

TEST_F(TypeAhead, AFieldNameWithSpacesIsFilteredAndStored) {
    auto customers = std::make_shared<MemoryRecordset>();
    customers->AppendField({u"Customer Name", 8, 255, -1});
    customers->Open();
    customers->AddNew(u"Customer Name", u"Anna");
    customers->AddNew(u"Customer Name", u"Hannah");
    engine.LetListField(u"Customer Name");
    engine.SetRecordset(customers);
    engine.LetWidth(200);
    engine.OnControlChange(u"Customer", u"");
    h.sink.take();
    run({
        {"type nn", "[Anna,Hannah] h3 text=nn | BeforeListShow"},
        {"key Down", "[*Anna,Hannah] h3 text=nn key=0"},
        {"key Return", "hidden text=Anna key=0 | TextChange(Anna)"},
    });
    EXPECT_EQ(customers->Filter().toText(), u"[Customer Name] Like '*nn*'");

    // The same field name in a buffer of the engine's own: stored once each.
    engine.SetRecordset(std::make_shared<MemoryRecordset>());
    for (const char* value : {"Zoe", "Yann", "zoe"}) {
        engine.OnControlChange(u"Name", EngineHarness::u(value));
        EXPECT_NO_THROW(engine.CloseList()) << value;
    }
    EXPECT_EQ(EngineHarness::valuesOf(h.globalFile("-Name.xml")), "Zoe,Yann");
}

TEST_F(TypeAhead, ASingleNullRowOffersNothing) {
    auto rs = std::make_shared<MemoryRecordset>();
    rs->AppendField({u"Name", 8, 255, -1});
    rs->AppendField({u"Id", 8, 255, -1});
    rs->Open();
    rs->AddNew(u"Id", u"9"); // no name: Null
    engine.LetListField(u"Name");
    engine.SetRecordset(rs);
    engine.OnControlChange(u"Customer", u"");
    h.sink.take();
    run({
        {"type n", "hidden text=n | BeforeListShow"},
        {"type ", "hidden text= | BeforeListShow"}, // one blank row would offer nothing
    });
    rs->AddNew(u"Name", u"Nina");
    run({{"type ", "[<null>,Nina] h3 text= | BeforeListShow"}});
}

} // namespace
} // namespace fillahead::testing
