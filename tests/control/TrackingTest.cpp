// The tracking pass on a VB form (and the Access and .NET particulars): what
// a moved focus, a lost foreground, a click into the list, a failing
// container and a changed record set do to the binding, in what order the
// pass stores and announces, and the storing events the host receives.
#include "platform/AutomationError.h"
#include "platform/KeyCodes.h"
#include "tests/control/ControlHarness.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

class Tracking : public ::testing::Test {
protected:
    ControlHarness h;
    std::shared_ptr<SimulatedControl> a = h.form->Add(SimulatedKind::TextBox, u"Field1");
    std::shared_ptr<SimulatedControl> b = h.form->Add(SimulatedKind::TextBox, u"Field2");

    void SetUp() override {
        h.placed();
        h.remember("Field1", {"apple", "apricot"});
        h.form->Focus(a);
        h.tick();
    }
};

TEST_F(Tracking, TabStillDownAtThePassIsHandedToTheEngineBeforeTheValueIsStored) {
    for (const bool tabDown : {true, false}) {
        ControlHarness h;
        auto a = h.form->Add(SimulatedKind::TextBox, u"Field1");
        auto b = h.form->Add(SimulatedKind::TextBox, u"Field2");
        h.placed();
        h.remember("Field1", {"apple", "apricot"});
        h.form->Focus(a);
        h.tick();
        a->Type(u"ap");
        h.form->Press(vk::Down);
        h.form->Focus(b);
        h.windows->SetKeyDown(vk::Tab, tabDown);
        h.tick();
        SCOPED_TRACE(tabDown ? "Tab down" : "Tab up");
        EXPECT_EQ(toUtf8(a->CurrentText()), tabDown ? "apple" : "ap");
        EXPECT_EQ(h.stored("Field1"), tabDown ? "apple,apricot" : "apple,apricot,ap");
        EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field2");
    }
}

TEST_F(Tracking, ForegroundLostAndRegainedBindsAgainEachTime) {
    a->Type(u"abc");
    const WindowHandle other = h.windows->AddWindow(u"OtherApplication", {0, 0, 300, 200});
    h.desktop->SetForegroundWindow(other);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,abc");
    EXPECT_EQ(h.control->HostWindow(), other);
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1");
    EXPECT_EQ(toUtf8(h.engine().Text()), "") << "announced anew";

    a->Type(u"abcd");
    h.desktop->SetForegroundWindow(h.desktop->HostWindow());
    h.tick();
    EXPECT_EQ(h.control->HostWindow(), h.desktop->HostWindow());
    EXPECT_EQ(toUtf8(h.engine().Text()), "");
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,abc,abcd");
}

TEST_F(Tracking, ClickingIntoTheListGivesTheForegroundBackAndKeepsTheBinding) {
    a->Type(u"ap");
    ASSERT_TRUE(h.engine().Visible());
    h.desktop->SetForegroundWindow(h.engine().hWnd());
    h.tick();
    EXPECT_EQ(h.desktop->GetForegroundWindow(), h.desktop->HostWindow());
    EXPECT_TRUE(h.engine().Visible());
    EXPECT_EQ(toUtf8(h.engine().Text()), "ap");
    h.tick();
    EXPECT_TRUE(h.engine().Visible());
}

TEST_F(Tracking, NoActiveControlBindsNothingAndAButtonIsLeftAlone) {
    a->Type(u"abc");
    h.form->Focus(nullptr);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,abc");
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    const std::size_t lines = h.windows->debugOutput.size();
    h.tick();
    EXPECT_EQ(h.windows->debugOutput.size(), lines) << "nothing announced";

    auto button = h.form->Add(SimulatedKind::Button, u"OK");
    h.form->Focus(button);
    h.tick();
    h.tick();
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    EXPECT_EQ(h.windows->debugOutput.size(), lines);
}

TEST_F(Tracking, AnActiveControlThatCannotBeReadCountsAsAMoveEveryPass) {
    a->Type(u"abc");
    h.form->activeControlFails = true;
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,abc");
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    EXPECT_EQ(a->Connections(), 0u);
    h.form->activeControlFails = false;
    h.tick();
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1");
}

TEST_F(Tracking, AControlWhoseNameCannotBeReadIsNotFiledUnderTheOneLeft) {
    a->Type(u"abc");
    b->Fail(u"Name");
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "");
    b->Type(u"xyz");
    h.form->Focus(a);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,abc");
}

TEST_F(Tracking, TheTimerIsOffWhileTheListIsClosedAndStartsAfresh) {
    std::vector<bool> enabledWhileStoring;
    h.log.during = [&](const std::string& event) {
        if (event == "BeforeSaveRecordset") {
            enabledWhileStoring.push_back(h.control->LocalTimer().Enabled());
        }
    };
    a->Type(u"new");
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(enabledWhileStoring, std::vector<bool>{false});
    EXPECT_TRUE(h.control->LocalTimer().Enabled());
    EXPECT_EQ(h.control->LocalTimer().Interval(), kTrackingInterval);
}

TEST_F(Tracking, StoringEventsReachTheHostAndItsCancelReachesTheEngine) {
    a->Type(u"first");
    h.log.take();
    h.form->Focus(b);
    h.tick();
    EXPECT_TRUE(h.log.take().starts_with(
        "BeforeAddRecord BeforeSaveRecord AfterSaveRecord BeforeSaveRecordset"));
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,first");

    h.form->Focus(a);
    h.tick();
    a->Type(u"second");
    h.log.cancel["BeforeAddRecord"] = true;
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,first");

    h.log.cancel.clear();
    h.log.cancel["BeforeSaveRecordset"] = true;
    h.form->Focus(a);
    h.tick();
    a->Type(u"third");
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,first");
}

TEST_F(Tracking, AHostHandlerThatFailsNeitherStopsStoringNorSilencesTheOthers) {
    ControlEventLog second;
    h.control->Advise(&second);
    h.log.during = [](const std::string& event) {
        if (event == "BeforeAddRecord" || event == "Change") {
            throw AutomationError(error::PermissionDenied);
        }
    };
    a->Type(u"first");
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,first");
    EXPECT_EQ(second.take(), h.log.take());
    h.control->Unadvise(&second);
    h.log.during = nullptr;
}

TEST_F(Tracking, ANewRecordsetRunsAPassAtOnce) {
    h.form->Focus(b);
    h.control->SetRecordset(std::make_shared<MemoryRecordset>());
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field2");
}

TEST_F(Tracking, SetParentRedirectsThePassesThatFollowIt) {
    auto other = std::make_shared<SimulatedForm>(SimulatedForm::Host::VB, u"Other", h.windows);
    auto elsewhere = other->Add(SimulatedKind::TextBox, u"Elsewhere");
    other->Focus(elsewhere);
    h.control->SetParent(other);
    h.tick();
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Elsewhere");

    // Before the properties are read it does not last.
    ControlHarness fresh;
    fresh.control->SetParent(other);
    fresh.placed();
    EXPECT_EQ(fresh.control->ParentObject(), fresh.form);
}

TEST_F(Tracking, AControlWithoutAFormFromItsContainerKeepsTheFormGivenThroughSetParent) {
    // An OLE host without extenders: the container has no form to offer.
    h.container->parentFails = true;
    h.control->SetParent(h.form);
    a->Type(u"ap");
    ASSERT_TRUE(h.engine().Visible());
    h.tick();
    h.tick();
    EXPECT_TRUE(h.engine().Visible()) << "the binding lasts from pass to pass";
    EXPECT_EQ(h.stored("Field1"), "apple,apricot") << "nothing stored while the user types";
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field2");
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,ap");
}

TEST(TrackingNet, TheTextIsPolledAndEachDistinctTextReachesTheEngineOnce) {
    ControlHarness h(SimulatedForm::Host::DotNet);
    auto box = h.form->Add(SimulatedKind::NetTextBox, u"txtName");
    box->Type(u"before");
    h.placed();
    h.form->Focus(box);
    h.tick();
    EXPECT_TRUE(h.control->NetTextBoxBound());
    h.tick();
    EXPECT_EQ(h.log.take(), "") << "the text found at binding is not typing";

    box->Type(u"a");
    h.tick();
    h.tick();
    EXPECT_EQ(h.log.take(), "Change");
    EXPECT_EQ(toUtf8(h.engine().Text()), "a");
    box->Type(u"ab");
    h.tick();
    EXPECT_EQ(h.log.take(), "Change");
    EXPECT_EQ(toUtf8(h.engine().Text()), "ab");

    // A text that cannot be read is not taken for an empty one.
    box->Fail(u"Text");
    h.tick();
    EXPECT_EQ(h.log.take(), "");
    EXPECT_EQ(toUtf8(h.engine().Text()), "ab");
}

TEST(TrackingAccess, TheFocusIsFollowedByNameAndTheEventSettingsComeBack) {
    ControlHarness h(SimulatedForm::Host::Access);
    auto a = h.form->Add(SimulatedKind::AccessTextBox, u"Customer");
    auto b = h.form->Add(SimulatedKind::AccessTextBox, u"City");
    a->Set(u"OnChange", u"=Validate()");
    h.placed();
    h.form->Focus(a);
    h.tick();
    EXPECT_EQ(a->Peek(u"OnChange").toText(), kEventProcedure);
    EXPECT_EQ(a->Peek(u"OnKeyDown").toText(), kEventProcedure);
    EXPECT_EQ(a->Peek(u"OnKeyUp").toText(), kEventProcedure);

    // Every read of ActiveControl gives a new object; the same name is no move.
    a->Type(u"Smith");
    h.tick();
    h.tick();
    EXPECT_EQ(toUtf8(h.engine().Text()), "Smith");

    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(h.stored("Customer"), "Smith");
    EXPECT_EQ(a->Peek(u"OnChange").toText(), u"=Validate()");
    EXPECT_EQ(a->Peek(u"OnKeyDown").toText(), u"");
    EXPECT_EQ(b->Peek(u"OnChange").toText(), kEventProcedure);

    // The form closing with a box bound leaves it as it was too.
    h.control->UserControl_Terminate();
    EXPECT_EQ(b->Peek(u"OnChange").toText(), u"");
    EXPECT_EQ(b->Peek(u"OnKeyUp").toText(), u"");
}

// An Access form has no Left or Top: the list of its box must not be closed
// and bound again on every pass for want of them.
TEST(TrackingAccess, AFormThatDoesNotTellItsPositionHasNotMoved) {
    ControlHarness h(SimulatedForm::Host::Access);
    auto a = h.form->Add(SimulatedKind::AccessTextBox, u"Customer");
    h.form->Remove(u"Left");
    h.form->Remove(u"Top");
    h.placed();
    h.remember("Customer", {"Smith", "Smythe"});
    h.form->Focus(a);
    h.tick();
    a->Type(u"Sm");
    ASSERT_TRUE(h.engine().Visible());
    h.tick();
    h.tick();
    EXPECT_TRUE(h.engine().Visible());
    EXPECT_EQ(toUtf8(h.engine().Text()), "Sm");
    EXPECT_EQ(h.stored("Customer"), "Smith,Smythe") << "nothing stored: the focus stayed";
}

} // namespace
} // namespace fillahead::testing
