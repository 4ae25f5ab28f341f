// FillaheadControl on a form, as a user meets it: the registered control
// hosted by the test form host, real EDIT and COMBOBOX windows, real key
// strokes. Typing drops the list down under the field; Down and Return take
// a value; Tab stores what was typed; password, multi-line and drop-down-list
// boxes are left alone; the host hears of every value stored and may refuse
// it; the form's saved settings give back a control that works.
#include "tests/hosts/HostTesting.h"
#include "tests/support/TempFolder.h"

#include <olectl.h>

#include <memory>

namespace fillahead::hosts::testing {
namespace {

using fillahead::testing::TempFolder;

std::vector<std::string> values(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

class ControlOnForm : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FocusOnDisplay()); }

    // The control dropped on the form, its buffers in the test's folder.
    std::unique_ptr<HostedControl> Place() {
        auto control = std::make_unique<HostedControl>(form, CLSID_FillaheadControl, L"Fillahead1");
        control->Put(L"PrivateBufferLocation", *Value(folder.path().wstring()));
        control->Put(L"BufferUsage", *Value(long{buePrivate}));
        return control;
    }

    std::filesystem::path Buffer(const std::string& field,
                                 const std::string& group = "Form1") const {
        return folder.path() / (group + "-" + field + ".xml");
    }

    // Values stored for a field by the library's engine, as an earlier
    // session on the form would have left them.
    void Remember(const std::wstring& field, std::initializer_list<const wchar_t*> stored,
                  const std::wstring& group = L"Form1") {
        hosts::testing::Remember(folder.path(), group, field, stored);
    }

    // The focus in a field, and a tracking pass to notice it.
    void Enter(StandInControl& field) {
        form.Focus(field);
        Pump(std::chrono::milliseconds(300));
    }

    // The list shown directly under a window, exactly as wide.
    static void ExpectListUnder(HWND window) {
        hosts::testing::ExpectListUnder(ScreenRect(window));
    }

    TempFolder folder;
    TestForm form;
};

bool passed(const StandInControl& field, WPARAM key) {
    return std::find(field.keysPassed.begin(), field.keysPassed.end(), key) !=
           field.keysPassed.end();
}

// Every way a host raises its events: through the event interface's vtable
// with the layout its class information gives or with the published one,
// and through IDispatch.
TEST_F(ControlOnForm, TypingShowsTheListUnderTheFieldAndDownReturnTakeAValue) {
    struct Field {
        const wchar_t* name;
        StandInOptions options;
        const char* raised;
    };
    const Field fields[] = {
        {L"txtCity", {}, "vtable, class information"},
        {L"txtTown", {.publishesClassInfo = false}, "vtable, published layout"},
        {L"txtVillage", {.throughDispatch = true, .publishesClassInfo = false}, "IDispatch"},
    };
    std::vector<StandInControl*> boxes;
    for (const Field& field : fields) {
        boxes.push_back(&form.AddTextBox(field.name, field.options));
        Remember(field.name, {L"London", L"Lisbon"});
    }
    const auto control = Place();
    ControlEvents events;
    const EventsConnection connection(control->Object(), &events);

    for (std::size_t i = 0; i < boxes.size(); ++i) {
        StandInControl& field = *boxes[i];
        SCOPED_TRACE(fields[i].raised);
        Enter(field);
        Keys("type --delay 80 l");
        ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
        ExpectListUnder(field.Window());
        EXPECT_GE(events.Count("Change"), 1);

        Keys("key Down");
        Keys("key Return");
        EXPECT_EQ(field.Text(), L"London");
        EXPECT_FALSE(ShownList().has_value());
        // The keys the list used never reached the field.
        EXPECT_FALSE(passed(field, VK_DOWN));
        EXPECT_FALSE(passed(field, VK_RETURN));
        EXPECT_TRUE(passed(field, 'L'));
    }
}

TEST_F(ControlOnForm, TabToTheNextFieldStoresTheValueAndTheHostMayRefuseIt) {
    StandInControl& name = form.AddTextBox(L"txtName");
    StandInControl& city = form.AddTextBox(L"txtCity");
    const auto control = Place();
    ControlEvents events;
    const EventsConnection connection(control->Object(), &events);

    Enter(name);
    Keys("type --delay 60 Ada");
    Keys("key Tab");
    EXPECT_TRUE(PumpUntil([&] { return StoredValues(Buffer("txtName")) == values({"Ada"}); }));
    EXPECT_EQ(form.Active(), &city);
    // The value was stored once, each step told (the engine also reads the
    // file as it is on disk before it adds to it).
    const std::string stored = events.TakeStoring();
    const std::string steps =
        "BeforeAddRecord BeforeSaveRecord AfterSaveRecord BeforeSaveRecordset";
    EXPECT_NE(stored.find(steps), std::string::npos) << stored;
    EXPECT_EQ(stored.find(steps), stored.rfind(steps)) << stored;

    // The host refuses the next value: nothing is stored.
    events.cancel["BeforeAddRecord"] = true;
    Keys("type --delay 60 Bob");
    Keys("key Tab");
    EXPECT_TRUE(PumpUntil([&] { return events.Count("BeforeAddRecord") >= 1; }));
    Pump(std::chrono::milliseconds(300));
    const std::string refused = events.TakeStoring();
    EXPECT_EQ(refused.find("SaveRecord"), std::string::npos) << refused;
    EXPECT_TRUE(StoredValues(Buffer("txtCity")).empty());
    EXPECT_EQ(form.Active(), &name);
}

TEST_F(ControlOnForm, PasswordAndMultiLineBoxesGetNothing) {
    StandInControl& city = form.AddTextBox(L"txtCity");
    StandInControl& password = form.AddTextBox(L"txtPassword", {.password = true});
    StandInControl& notes = form.AddTextBox(L"txtNotes", {.multiLine = true});
    for (const wchar_t* field : {L"txtCity", L"txtPassword", L"txtNotes"}) {
        Remember(field, {L"London", L"Lisbon"});
    }
    const auto control = Place();

    // A box that is served shows the list; the others never do, and keep
    // their history as it was.
    Enter(city);
    Keys("type l");
    EXPECT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    for (StandInControl* box : {&password, &notes}) {
        SCOPED_TRACE(std::string(box == &password ? "password" : "multi-line"));
        Enter(*box);
        EXPECT_FALSE(ShownList().has_value());
        Keys("type --delay 60 lo");
        Pump(std::chrono::milliseconds(300));
        EXPECT_FALSE(ShownList().has_value());
        EXPECT_TRUE(passed(*box, 'L'));
        Keys("key Tab");
        Pump(std::chrono::milliseconds(300));
    }
    EXPECT_EQ(StoredValues(Buffer("txtPassword")), values({"London", "Lisbon"}));
    EXPECT_EQ(StoredValues(Buffer("txtNotes")), values({"London", "Lisbon"}));
}

TEST_F(ControlOnForm, ADropDownComboIsServedADropDownListIsNot) {
    // Its events through the published vtable layout.
    StandInControl& country = form.AddComboBox(L"cboCountry", {.publishesClassInfo = false});
    StandInControl& size = form.AddComboBox(L"cboSize", {.style = 2});
    size.AddItem(L"Small");
    size.AddItem(L"Large");
    Remember(L"cboCountry", {L"France", L"Finland"});
    Remember(L"cboSize", {L"Small", L"Smaller"});
    const auto control = Place();

    Enter(country);
    Keys("type f");
    ASSERT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
    ExpectListUnder(country.Window());
    Keys("key Down");
    Keys("key Return");
    EXPECT_EQ(country.Text(), L"France");
    EXPECT_FALSE(passed(country, VK_DOWN));

    Enter(size);
    Keys("type s");
    Pump(std::chrono::milliseconds(300));
    EXPECT_FALSE(ShownList().has_value());
    EXPECT_EQ(size.Text(), L"Small");
    Keys("key Tab");
    Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(StoredValues(Buffer("cboSize")), values({"Small", "Smaller"}));
}

// The form saves the control with its settings; the control it creates
// from them again has the settings and works. A form that keeps no objects
// in its bag keeps the engine's bytes instead; one that keeps nothing hears
// that saving failed.
TEST_F(ControlOnForm, TheFormsSavedSettingsGiveBackAWorkingControl) {
    StandInControl& city = form.AddTextBox(L"txtCity");
    for (const bool acceptsObjects : {true, false}) {
        SCOPED_TRACE(acceptsObjects ? "nested object" : "byte array");
        form.Bag().Clear();
        form.Bag().acceptsObjects = acceptsObjects;
        {
            const auto control = Place();
            control->Put(L"ControlGroupName", *Value(L"Orders"));
            control->Put(L"CaptureReturnKey", *Value::Boolean(true));
            ASSERT_EQ(control->Save(), S_OK);
        }
        EXPECT_EQ(form.Bag().TypeOf(L"Fillahead"),
                  acceptsObjects ? VARTYPE{VT_UNKNOWN} : VARTYPE{VT_ARRAY | VT_UI1});
        if (acceptsObjects) {
            EXPECT_TRUE(IsEqualCLSID(form.Bag().ClassOf(L"Fillahead"), CLSID_Fillahead));
        }
        EXPECT_EQ(form.Bag().TypeOf(L"CaptureReturnKey"), VT_BOOL);

        Remember(L"txtCity", {L"London", L"Lisbon"}, L"Orders");
        HostedControl restored(form, CLSID_FillaheadControl, L"Fillahead1");
        EXPECT_EQ(PropertyText(restored, L"ControlGroupName"), L"Orders");
        EXPECT_EQ(PropertyText(restored, L"CaptureReturnKey"), L"True");
        EXPECT_EQ(PropertyText(restored, L"PrivateBufferLocation"),
                  folder.path().wstring() + L"\\");
        Enter(city);
        Keys("type l");
        EXPECT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
        Keys("key Escape");
        SetWindowTextW(city.Window(), L"");
        std::filesystem::remove(Buffer("txtCity", "Orders"));
    }

    // A bag that keeps nothing: the form learns that saving failed.
    form.Bag().Clear();
    form.Bag().refusesWrites = true;
    const auto control = Place();
    EXPECT_EQ(control->Save(), E_ACCESSDENIED);
}

// In a form being designed the control keeps its size and serves nothing;
// when the form runs, the container says so and the control starts.
TEST_F(ControlOnForm, AtDesignTimeNothingIsServedUntilTheFormRuns) {
    StandInControl& city = form.AddTextBox(L"txtCity");
    Remember(L"txtCity", {L"London", L"Lisbon"});
    form.userMode = false;
    const auto control = Place();
    SIZEL size{5000, 5000};
    EXPECT_EQ(control->Object()->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(control->Object()->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 635); // 360 twips
    EXPECT_EQ(size.cy, 847); // 480 twips
    Enter(city);
    Keys("type l");
    Pump(std::chrono::milliseconds(300));
    EXPECT_FALSE(ShownList().has_value());

    form.userMode = true;
    ComPtr<IOleControl> ole;
    ASSERT_EQ(control->Object()->QueryInterface(IID_IOleControl,
                                                reinterpret_cast<void**>(ole.GetAddressOf())),
              S_OK);
    EXPECT_EQ(ole->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE), S_OK);
    SetWindowTextW(city.Window(), L"");
    Enter(city);
    Keys("type l");
    EXPECT_TRUE(PumpUntil([] { return ShownList().has_value(); }));
}

} // namespace
} // namespace fillahead::hosts::testing
