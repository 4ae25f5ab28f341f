// FillaheadControl on the forms of the other hosts, with real key strokes:
// the windowless MSForms and Access text boxes, DataCombo and DBCombo, the
// .NET Windows Forms text box, a control whose events cannot be connected,
// and a form whose default button must not take the Return that takes a
// value.
#include "tests/hosts/HostKindStandIns.h"
#include "tests/hosts/HostTesting.h"
#include "tests/support/TempFolder.h"

#include <cstring>
#include <memory>

namespace fillahead::hosts::testing {
namespace {

using fillahead::testing::TempFolder;

// The lines a library writes with OutputDebugString in this process: the
// system raises them as exceptions, which a vectored handler sees first.
class DebugLines {
public:
    DebugLines() {
        Lines().clear();
        handler_ = AddVectoredExceptionHandler(1, &Handler);
    }
    ~DebugLines() { RemoveVectoredExceptionHandler(handler_); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    static std::vector<std::wstring>& Lines() {
        static std::vector<std::wstring> lines;
        return lines;
    }
    static std::wstring Containing(const std::wstring& part) {
        for (const std::wstring& line : Lines()) {
            if (line.find(part) != std::wstring::npos) {
                return line;
            }
        }
        return {};
    }

private:
    static constexpr DWORD kPrint = 0x40010006;     // DBG_PRINTEXCEPTION_C
    static constexpr DWORD kPrintWide = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C

    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers) {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        if (record.NumberParameters >= 2 && record.ExceptionInformation[1] != 0) {
            if (record.ExceptionCode == kPrintWide) {
                Lines().emplace_back(
                    reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]));
            } else if (record.ExceptionCode == kPrint) {
                const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
                Lines().emplace_back(text, text + std::strlen(text));
            }
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    PVOID handler_ = nullptr;
};

// The trace switched on while a test lives.
class TraceOn {
public:
    TraceOn() { SetEnvironmentVariableW(L"FILLAHEAD_TRACE", L"1"); }
    ~TraceOn() { SetEnvironmentVariableW(L"FILLAHEAD_TRACE", nullptr); }
    TraceOn(const TraceOn&) = delete;
    TraceOn& operator=(const TraceOn&) = delete;
};

class HostKinds : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FocusOnDisplay()); }

    // The control dropped on the form, its buffers in the test's folder
    // under one group whatever the host's form is called.
    std::unique_ptr<HostedControl> Place() {
        auto control = std::make_unique<HostedControl>(form, CLSID_FillaheadControl, L"Fillahead1");
        control->Put(L"PrivateBufferLocation", *Value(folder.path().wstring()));
        control->Put(L"BufferUsage", *Value(long{buePrivate}));
        control->Put(L"ControlGroupName", *Value(std::wstring(L"Orders")));
        return control;
    }
    void Remember(const std::wstring& field, std::initializer_list<const wchar_t*> stored) {
        hosts::testing::Remember(folder.path(), L"Orders", field, stored);
    }
    std::vector<std::string> Stored(const std::string& field) const {
        return StoredValues(folder.path() / ("Orders-" + field + ".xml"));
    }
    // A tracking pass to notice where the focus is.
    static void Settle() { Pump(std::chrono::milliseconds(300)); }

    TempFolder folder;
    TestForm form;
};

bool passed(const std::vector<WPARAM>& keys, WPARAM key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The list under the box at the place the container reports for it (its
// client window plus the box's position in points), Down and Return take a
// value, and the box keeps Return although the list used it: the form
// moves on with it, as it does with Tab.
TEST_F(HostKinds, MSFormsTextBoxWindowless) {
    UserFormHost host(form);
    UserFormHost::TextBox& city = host.Add(L"txtCity");
    UserFormHost::TextBox& town = host.Add(L"txtTown");
    Remember(L"txtCity", {L"London", L"Lisbon"});
    const auto control = Place();

    host.Focus(city);
    Settle();
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    ExpectListUnder(host.Boxes().ScreenRect(*city.box));
    EXPECT_GE(city.changesRaised, 1);

    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(city.box->text, L"London");
    EXPECT_FALSE(ShownList().has_value());
    EXPECT_FALSE(passed(city.box->keysPassed, VK_DOWN)) << "a key the list used is dropped";
    EXPECT_TRUE(passed(city.box->keysPassed, VK_RETURN));
    EXPECT_EQ(host.Boxes().Focused(), town.box);

    // Tab with the list open and nothing highlighted: the list closes, the
    // box keeps the key, and what was typed is stored.
    host.Focus(city);
    host.Boxes().SetText(*city.box, L"");
    Settle();
    Keys("type --delay 80 li");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    Keys("key Tab");
    EXPECT_TRUE(passed(city.box->keysPassed, VK_TAB));
    EXPECT_EQ(host.Boxes().Focused(), town.box);
    EXPECT_TRUE(PumpUntil([] { return !ShownList().has_value(); }));
    EXPECT_TRUE(PumpUntil([&] { return Stored("txtCity").size() == 3; }));
    EXPECT_EQ(Stored("txtCity").back(), "li");
}

// A new object for every read of ActiveControl; the event properties hold
// "[Event Procedure]" while the box is served and what they held before
// once the focus has left it. Access gets no key codes back: the box sees
// Down and Return, and Return moves the focus on.
TEST_F(HostKinds, AccessTextBox) {
    AccessFormHost host(form);
    AccessFormHost::TextBox& city = host.Add(L"City");
    AccessFormHost::TextBox& notes = host.Add(L"Notes");
    city.onChange = L"=Validate()";
    city.onKeyUp = L"[Event Procedure]";
    Remember(L"City", {L"London", L"Lisbon"});
    const auto control = Place();

    host.Focus(city);
    Settle();
    EXPECT_EQ(city.onChange, L"[Event Procedure]");
    EXPECT_EQ(city.onKeyDown, L"[Event Procedure]");
    EXPECT_EQ(city.events->Connections(), 1u);
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    ExpectListUnder(host.Boxes().ScreenRect(*city.box));
    Settle();
    EXPECT_TRUE(ShownList().has_value()) << "a form without Left and Top has not moved";
    EXPECT_GT(city.objectsHandedOut, 2);

    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(city.box->text, L"London");
    EXPECT_TRUE(passed(city.box->keysPassed, VK_DOWN));
    EXPECT_EQ(host.Boxes().Focused(), notes.box);
    EXPECT_TRUE(PumpUntil([&] { return city.onKeyDown.empty(); }));
    EXPECT_EQ(city.onChange, L"=Validate()");
    EXPECT_EQ(city.onKeyUp, L"[Event Procedure]");
    EXPECT_EQ(city.events->Connections(), 0u);
    EXPECT_EQ(notes.onChange, L"[Event Procedure]");
}

// DataCombo and DBCombo: text at DISPID 15, the list under the window,
// Down and Return take a value; while a combo's own list is dropped down
// ours closes and typing reaches nothing; a drop-down-list style is left
// alone.
TEST_F(HostKinds, DataComboAndDBCombo) {
    DataListComboHost host(form);
    using Kind = DataListComboHost::Kind;
    DataListComboHost::Combo& country = host.Add(Kind::DataCombo, L"dcbCountry");
    DataListComboHost::Combo& region = host.Add(Kind::DBCombo, L"dbcRegion");
    DataListComboHost::Combo& size = host.Add(Kind::DBCombo, L"dbcSize", 2);
    Remember(L"dcbCountry", {L"France", L"Finland"});
    Remember(L"dbcRegion", {L"Franconia", L"Flanders"});
    Remember(L"dbcSize", {L"Small", L"Smaller"});
    const auto control = Place();
    ControlEvents events;
    const EventsConnection connection(control->Object(), &events);

    for (DataListComboHost::Combo* combo : {&country, &region}) {
        SCOPED_TRACE(std::string(combo == &country ? "DataCombo" : "DBCombo"));
        host.Focus(*combo);
        Settle();
        EXPECT_EQ(combo->control->events->Connections(), 1u);
        Keys("type --delay 80 f");
        ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
        ExpectListUnder(ScreenRect(combo->window));
        Keys("key Down");
        Keys("key Return");
        EXPECT_EQ(combo->Text(), combo == &country ? L"France" : L"Franconia");
        EXPECT_FALSE(passed(combo->keysPassed, VK_DOWN));
    }

    // Its own list dropped down: ours goes, and typing feeds nothing.
    host.Focus(country);
    SetWindowTextW(country.edit, L"");
    Settle();
    Keys("type --delay 80 f");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    Keys("key F4");
    ASSERT_TRUE(country.DroppedDown());
    EXPECT_TRUE(PumpUntil([] { return !ShownList().has_value(); }));
    events.events.clear();
    const int changes = country.changesRaised;
    Keys("type --delay 80 ra");
    Settle();
    EXPECT_GT(country.changesRaised, changes);
    EXPECT_EQ(events.Count("Change"), 0) << "the engine was fed while the drop-down was open";
    EXPECT_FALSE(ShownList().has_value());
    Keys("key F4");
    EXPECT_FALSE(country.DroppedDown());

    host.Focus(size);
    Settle();
    EXPECT_EQ(size.control->events->Connections(), 0u);
    Keys("type s");
    Settle();
    EXPECT_FALSE(ShownList().has_value());
}

// No events, no type information: the text is read each pass and the keys
// come through the thread's keyboard hook, which keeps the keys the list
// used from the box.
TEST_F(HostKinds, NetTextBoxThroughPollingAndTheHook) {
    NetFormHost host(form);
    NetFormHost::TextBox& city = host.Add(L"txtCity");
    host.Add(L"txtTown");
    Remember(L"txtCity", {L"London", L"Lisbon"});
    const auto control = Place();
    const DebugLines debug;
    const TraceOn trace;

    host.Focus(city);
    Settle();
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    ExpectListUnder(ScreenRect(city.window));
    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(city.Text(), L"London");
    EXPECT_FALSE(ShownList().has_value());
    EXPECT_FALSE(passed(city.keysPassed, VK_DOWN));
    EXPECT_FALSE(passed(city.keysPassed, VK_RETURN));
    EXPECT_TRUE(passed(city.keysPassed, 'L'));
    const std::wstring line = DebugLines::Containing(L"txtCity");
    EXPECT_NE(line.find(L".NET TextBox"), std::wstring::npos) << line;
    EXPECT_NE(line.find(L"keyboard hook"), std::wstring::npos) << line;
}

// A control that refuses the connection to its events is served the .NET
// way, and one line of debug output says so.
TEST_F(HostKinds, AControlWhoseEventsCannotBeConnectedStillGetsTheList) {
    StandInControl& city = form.AddTextBox(L"txtCity", {.refusesConnections = true});
    Remember(L"txtCity", {L"London", L"Lisbon"});
    const auto control = Place();
    const DebugLines debug;
    const TraceOn trace;

    form.Focus(city);
    Settle();
    EXPECT_EQ(city.Connections(), 0u);
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    ExpectListUnder(ScreenRect(city.Window()));
    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(city.Text(), L"London");
    EXPECT_FALSE(passed(city.keysPassed, VK_DOWN));
    const std::wstring line = DebugLines::Containing(L"txtCity (TextBox)");
    EXPECT_NE(line.find(L"refused"), std::wstring::npos) << line;
    EXPECT_NE(line.find(L"polling"), std::wstring::npos) << line;
}

// A form with a default button: with CaptureReturnKey, Return with the
// list open takes the highlighted value and the button is not pressed;
// with the list closed Return presses it. Without CaptureReturnKey Return
// reaches the form as usual.
TEST_F(HostKinds, CaptureReturnKeyKeepsReturnFromTheDefaultButton) {
    StandInControl& city = form.AddTextBox(L"txtCity");
    form.AddDefaultButton();
    Remember(L"txtCity", {L"London", L"Lisbon"});
    const auto control = Place();
    control->Put(L"CaptureReturnKey", *Value::Boolean(true));

    form.Focus(city);
    Settle();
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(city.Text(), L"London");
    EXPECT_EQ(form.clicks, 0);
    EXPECT_FALSE(ShownList().has_value());

    Keys("key Return");
    EXPECT_EQ(form.clicks, 1) << "with the list closed Return is the form's";

    control->Put(L"CaptureReturnKey", *Value::Boolean(false));
    SetWindowTextW(city.Window(), L"");
    form.Focus(city);
    Keys("type --delay 80 l");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    Keys("key Return");
    EXPECT_EQ(form.clicks, 2);
}

} // namespace
} // namespace fillahead::hosts::testing
