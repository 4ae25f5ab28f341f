// The control's life: the default group name, saving and restoring through
// the container's bag, design time, the public members without an engine,
// Return kept from the form, and the teardown.
#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"
#include "tests/control/ControlHarness.h"
#include "tests/support/Errors.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

TEST(Lifecycle, TheGroupNameComesFromTheFormsNameItsTypeOrItsExtender) {
    const struct {
        const char* name;
        std::function<void(SimulatedForm&)> setUp;
        std::string expected;
    } cases[] = {
        {"Name", [](SimulatedForm& f) { f.Set(u"Name", u"Orders"); }, "Orders"},
        {"TypeName", [](SimulatedForm& f) { f.Fail(u"Name"); }, "Form1"},
        {"Extender",
         [](SimulatedForm& f) {
             f.Set(u"Name", u"");
             auto extender = std::make_shared<SimulatedObject>();
             AnswerNetType(*extender, u"Shop.OrderForm");
             f.Set(u"Extender", std::shared_ptr<Object>(extender));
         },
         "Shop.OrderForm"},
        {"Nothing", [](SimulatedForm& f) { f.Set(u"Name", u""); }, ""},
    };
    for (const auto& c : cases) {
        ControlHarness h;
        c.setUp(*h.form);
        h.placed();
        EXPECT_EQ(toUtf8(h.control->ControlGroupName()), c.expected) << c.name;
    }
}

TEST(Lifecycle, SavedAndRestoredThroughTheContainersBag) {
    MemoryPropertyBag bag;
    {
        ControlHarness h;
        h.placed();
        h.control->LetControlGroupName(u"Orders");
        h.control->LetBuddyControl(u"Text1");
        h.control->LetPrivateBufferSize(7);
        h.control->LetCaptureReturnKey(true);
        h.control->UserControl_WriteProperties(bag);
    }
    ASSERT_EQ(bag.Entries().size(), 2u);
    EXPECT_EQ(toUtf8(bag.Entries()[0].first), "Fillahead");
    EXPECT_TRUE(bag.Entries()[0].second.isObject());
    EXPECT_EQ(toUtf8(bag.Entries()[1].first), "CaptureReturnKey");

    ControlHarness h;
    h.control->UserControl_Initialize();
    h.control->UserControl_ReadProperties(bag);
    EXPECT_EQ(toUtf8(h.control->ControlGroupName()), "Orders");
    EXPECT_EQ(toUtf8(h.control->BuddyControl()), "Text1");
    EXPECT_EQ(h.control->PrivateBufferSize(), 7);
    EXPECT_TRUE(h.control->CaptureReturnKey());
    EXPECT_TRUE(h.control->LocalTimer().Enabled());
    EXPECT_EQ(h.control->LocalTimer().Interval(), kTrackingInterval);
}

TEST(Lifecycle, ABagWithoutAnEngineGivesAFreshOneNamedAfterTheForm) {
    for (const Variant& stored : {Variant(), Variant(u"not an engine")}) {
        MemoryPropertyBag bag;
        bag.Set(u"CaptureReturnKey", true);
        if (!stored.isEmpty()) {
            bag.Set(u"Fillahead", stored);
        }
        ControlHarness h;
        h.control->UserControl_ReadProperties(bag);
        ASSERT_NE(h.control->LocalFillahead(), nullptr);
        EXPECT_EQ(toUtf8(h.control->ControlGroupName()), "Form1");
        EXPECT_EQ(toUtf8(h.control->ListField()), "SavedStringField");
        EXPECT_TRUE(h.control->CaptureReturnKey());
    }
}

TEST(Lifecycle, WithoutAnEngineTheMembersFollowTheirFailureRules) {
    ControlHarness h;
    MemoryPropertyBag bag;
    h.control->UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.Render(), "CaptureReturnKey=False\n");

    EXPECT_EQ(toUtf8(h.control->ControlGroupName()), "");
    EXPECT_EQ(h.control->PrivateBufferSize(), 0);
    EXPECT_EQ(h.control->BufferUsage(), 0);
    h.control->LetControlGroupName(u"ignored");
    h.control->LetListField(u"ignored");
    h.control->Abuot();
    EXPECT_EQ(errorOf([&] { h.control->BoundText(); }), error::ObjectNotSet);
    EXPECT_EQ(errorOf([&] { h.control->ListField(); }), error::ObjectNotSet);
    EXPECT_EQ(errorOf([&] { h.control->BoundColumn(); }), error::ObjectNotSet);
    EXPECT_EQ(errorOf([&] { h.control->Recordset(); }), error::ObjectNotSet);

    h.placed();
    h.control->LetBoundColumn(u"Code");
    EXPECT_EQ(toUtf8(h.control->BoundColumn()), "Code");
    h.control->Abuot();
    EXPECT_NE(
        std::find_if(h.desktop->log.begin(), h.desktop->log.end(),
                     [](const std::string& line) { return line.starts_with("ShowAboutBox"); }),
        h.desktop->log.end());
}

TEST(Lifecycle, AtDesignTimeTheSizeIsFixedAndNothingIsTracked) {
    const struct {
        std::optional<bool> userMode;
        float width;
    } cases[] = {{false, kDesignWidthTwips}, {std::nullopt, kDesignWidthTwips}, {true, 0}};
    for (const auto& c : cases) {
        ControlHarness h;
        h.container->userMode = c.userMode;
        h.control->UserControl_Resize();
        EXPECT_EQ(h.container->widthTwips, c.width);
        EXPECT_EQ(h.container->heightTwips, c.width == 0 ? 0 : kDesignHeightTwips);
    }

    ControlHarness h;
    h.container->userMode = false;
    auto box = h.form->Add(SimulatedKind::TextBox, u"Field1");
    h.placed();
    h.form->Focus(box);
    h.tick();
    EXPECT_FALSE(h.control->LocalTimer().Enabled());
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    // A pass run for a new record set does not start the timer.
    h.control->SetRecordset(std::make_shared<MemoryRecordset>());
    EXPECT_FALSE(h.control->LocalTimer().Enabled());
    // A form that says it runs is believed before the ambient property.
    h.form->Set(u"UserMode", true);
    h.control->UserControl_InitProperties();
    EXPECT_TRUE(h.control->LocalTimer().Enabled());
}

TEST(Lifecycle, InitializeNamesTheHelpFileBesideTheLibrary) {
    ControlHarness h;
    h.control->UserControl_Initialize();
    EXPECT_EQ(h.container->helpFile,
              h.container->libraryFolder + kFolderSeparator + u"Fillahead.chm");
}

TEST(Lifecycle, TerminateReleasesEverythingAndNothingReachesTheControlAfterwards) {
    ControlHarness h(SimulatedForm::Host::DotNet);
    auto box = h.form->Add(SimulatedKind::NetTextBox, u"txtName");
    h.placed();
    h.form->Focus(box);
    h.tick();
    ASSERT_EQ(h.windows->HookCount(), 1u);
    ASSERT_NE(ModKeyboard::ActiveKeyboard(), nullptr);
    const std::weak_ptr<Fillahead> engine = h.control->LocalFillahead();

    h.control->UserControl_Terminate();
    EXPECT_EQ(h.windows->HookCount(), 0u);
    EXPECT_EQ(ModKeyboard::ActiveKeyboard(), nullptr);
    EXPECT_EQ(h.control->LocalKeyboard(), nullptr);
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    EXPECT_EQ(h.control->ParentObject(), nullptr);
    EXPECT_TRUE(engine.expired());
    EXPECT_FALSE(h.control->LocalTimer().Enabled());
    box->Type(u"late");
    h.tick();
    EXPECT_EQ(h.log.take(), "");
}

// A container that closes or takes its site away stops the passes and lets
// go of the form and the bound control; a new site resumes.
TEST(Lifecycle, StopTrackingLetsGoOfTheFormUntilTrackingStartsAgain) {
    const struct {
        SimulatedForm::Host host;
        SimulatedKind kind;
    } cases[] = {{SimulatedForm::Host::VB, SimulatedKind::TextBox},
                 {SimulatedForm::Host::Access, SimulatedKind::AccessTextBox},
                 {SimulatedForm::Host::DotNet, SimulatedKind::NetTextBox}};
    for (const auto& c : cases) {
        ControlHarness h(c.host);
        auto box = h.form->Add(c.kind, u"Field1");
        box->Set(u"OnChange", u"=Audit()");
        h.placed();
        h.form->Focus(box);
        h.tick();
        ASSERT_NE(h.control->CurrentControl(), nullptr);
        const std::string typed = h.stored("Field1");

        h.control->StopTracking();
        SCOPED_TRACE(toUtf8(box->TypeName()));
        EXPECT_FALSE(h.control->LocalTimer().Enabled());
        EXPECT_EQ(h.control->CurrentControl(), nullptr);
        EXPECT_EQ(h.control->ParentObject(), nullptr);
        EXPECT_EQ(box->Connections(), 0u);
        EXPECT_EQ(h.windows->HookCount(), 0u);
        EXPECT_EQ(toUtf8(box->Peek(u"OnChange").toText()), "=Audit()");
        box->Type(u"after");
        h.tick();
        EXPECT_EQ(h.log.take(), "");
        EXPECT_EQ(h.stored("Field1"), typed);

        h.control->StartTracking();
        EXPECT_TRUE(h.control->LocalTimer().Enabled());
        h.tick();
        EXPECT_NE(h.control->CurrentControl(), nullptr);
        EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1");
    }
}

// Return with a default button on the form: kept from the form while the
// list is open and CaptureReturnKey is set, and only then.
TEST(CaptureReturnKey, ReturnTakesTheValueInsteadOfPressingTheDefaultButton) {
    const struct {
        SimulatedForm::Host host;
        SimulatedKind kind;
        bool capture;
        bool listOpen;
        std::int32_t keyLeft;
        int presses;
        const char* text;
    } cases[] = {
        {SimulatedForm::Host::VB, SimulatedKind::TextBox, true, true, 0, 0, "apple"},
        {SimulatedForm::Host::VB, SimulatedKind::TextBox, true, false, vk::Return, 1, "zz"},
        {SimulatedForm::Host::VB, SimulatedKind::TextBox, false, true, vk::Return, 1, "ap"},
        {SimulatedForm::Host::VBA, SimulatedKind::FormsTextBox, true, true, 0, 0, "apple"},
        {SimulatedForm::Host::DotNet, SimulatedKind::NetTextBox, true, true, 0, 0, "apple"},
        {SimulatedForm::Host::DotNet, SimulatedKind::NetTextBox, true, false, vk::Return, 1, "zz"},
    };
    for (const auto& c : cases) {
        ControlHarness h(c.host);
        auto box = h.form->Add(c.kind, u"Field1");
        h.form->hasDefaultButton = true;
        h.placed();
        h.control->LetCaptureReturnKey(c.capture);
        h.remember("Field1", {"apple", "apricot"});
        h.form->Focus(box);
        h.tick();
        EXPECT_EQ(h.windows->HookCount(), c.capture ? 1u : 0u);
        box->Type(c.listOpen ? u"ap" : u"zz");
        h.tick();
        h.form->Press(vk::Down);
        SCOPED_TRACE(std::string(c.text) + (c.capture ? " captured" : " not captured"));
        EXPECT_EQ(h.form->Press(vk::Return), c.keyLeft);
        EXPECT_EQ(h.form->defaultButtonPresses, c.presses);
        EXPECT_EQ(toUtf8(box->CurrentText()), c.text);
    }
}

// Each binding makes its own Keyboard the thread's ActiveKeyboard, and any
// change of binding clears it: with two controls on a form, the keys then
// reach neither until one binds again.
TEST(CaptureReturnKey, TwoControlsShareTheThreadsActiveKeyboard) {
    ControlHarness h;
    auto box = h.form->Add(SimulatedKind::TextBox, u"Field1");
    auto button = h.form->Add(SimulatedKind::Button, u"OK");
    h.form->hasDefaultButton = true;
    auto second = std::make_shared<FillaheadControl>(h.services);
    for (FillaheadControl* control : {h.control.get(), second.get()}) {
        h.placed(*control);
        control->LetCaptureReturnKey(true);
    }
    h.remember("Field1", {"apple", "apricot"});
    h.form->Focus(box);
    h.tick();
    EXPECT_EQ(h.windows->HookCount(), 2u);
    const std::shared_ptr<Keyboard> active = ModKeyboard::ActiveKeyboard();
    EXPECT_TRUE(active == h.control->LocalKeyboard() || active == second->LocalKeyboard());

    h.form->Focus(button);
    h.control->LocalTimer_Timer();
    EXPECT_EQ(ModKeyboard::ActiveKeyboard(), nullptr);
    EXPECT_EQ(h.windows->HookCount(), 1u);
    // The second control still serves the box, but Return passes its hook.
    h.form->Focus(box);
    box->Type(u"ap");
    h.form->Press(vk::Down);
    EXPECT_EQ(h.form->Press(vk::Return), vk::Return);
    EXPECT_EQ(h.form->defaultButtonPresses, 1);
}

} // namespace
} // namespace fillahead::testing
