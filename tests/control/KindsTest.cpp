// The seven kinds of bound control, each on a form of its own host: which
// controls are served, typing and keys reaching the engine with each kind's
// key-code rules, a taken value written back, the value stored when the
// focus moves on, the list closed when its anchor moves, the combos' own
// drop-downs, and the controls whose events cannot be connected.
#include "platform/KeyCodes.h"
#include "tests/control/ControlHarness.h"

#include <gtest/gtest.h>

namespace fillahead::testing {
namespace {

using Host = SimulatedForm::Host;

struct Kind {
    const char* name;
    Host host;
    SimulatedKind kind;
    bool raisesEvents;
    // The key code the control is left with when the engine consumed the
    // key (0: suppressed or swallowed).
    std::int32_t downLeft;
    std::int32_t returnLeft;
};

const Kind kKinds[] = {
    {"TextBox", Host::VB, SimulatedKind::TextBox, true, 0, 0},
    {"ComboBox", Host::VB, SimulatedKind::ComboBox, true, 0, 0},
    // MSForms keeps Tab and Return; Access never gets a key code back.
    {"FormsTextBox", Host::VBA, SimulatedKind::FormsTextBox, true, 0, vk::Return},
    {"AccessTextBox", Host::Access, SimulatedKind::AccessTextBox, true, vk::Down, vk::Return},
    {"DataCombo", Host::VB, SimulatedKind::DataCombo, true, 0, 0},
    {"DBCombo", Host::VB, SimulatedKind::DBCombo, true, 0, 0},
    {"NetTextBox", Host::DotNet, SimulatedKind::NetTextBox, false, 0, 0},
};

void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.name;
}

// A kind, and whether its events are refused (served by polling and the
// hook instead).
class Kinds : public ::testing::TestWithParam<std::tuple<Kind, bool>> {
protected:
    Kind kind = std::get<0>(GetParam());
    bool refused = std::get<1>(GetParam());
    ControlHarness h{kind.host};
    std::shared_ptr<SimulatedControl> a = h.form->Add(kind.kind, u"Field1");
    std::shared_ptr<SimulatedControl> b = h.form->Add(kind.kind, u"Field2");

    void SetUp() override {
        a->refuseEvents = refused;
        b->refuseEvents = refused;
        h.placed();
        h.remember("Field1", {"apple", "apricot", "banana"});
        h.form->Focus(a);
        h.tick();
    }
    bool polled() const { return refused || !kind.raisesEvents; }
    // The user types: a polled control is read at the next pass.
    void type(const std::shared_ptr<SimulatedControl>& control, const char16_t* text) {
        control->Type(text);
        if (polled()) {
            h.tick();
        }
    }
};

TEST_P(Kinds, TypingKeysTakingAndLeavingReachTheEngine) {
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1");
    EXPECT_TRUE(endsWith(h.engine().bufferPath(), u"Form1-Field1.xml"));
    ASSERT_FALSE(h.windows->debugOutput.empty());
    EXPECT_NE(h.windows->debugOutput.back().find(polled() ? "polling" : "through its events"),
              std::string::npos)
        << h.windows->debugOutput.back();
    EXPECT_EQ(h.windows->HookCount(), polled() ? 1u : 0u);

    type(a, u"ap");
    EXPECT_EQ(toUtf8(h.engine().Text()), "ap");
    EXPECT_TRUE(h.engine().Visible());
    EXPECT_EQ(std::count(h.log.events.begin(), h.log.events.end(), "Change"), 1);

    EXPECT_EQ(h.form->Press(vk::Down), kind.downLeft);
    EXPECT_EQ(h.form->Press(vk::Return), kind.returnLeft);
    EXPECT_EQ(toUtf8(a->CurrentText()), "apple");
    EXPECT_FALSE(h.engine().Visible());

    // The next pass neither rebinds nor takes the written value for typing.
    h.log.take();
    h.tick();
    EXPECT_EQ(toUtf8(h.engine().Text()), "apple");
    EXPECT_EQ(h.log.take(), "");

    type(a, u"cherry");
    h.form->Focus(b);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,banana,cherry");
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field2");
    EXPECT_EQ(toUtf8(h.engine().Text()), "");
    EXPECT_EQ(a->Connections(), 0u);
    EXPECT_EQ(b->Connections(), polled() ? 0u : 1u);
}

TEST_P(Kinds, MovingTheListsAnchorClosesItAndBindsAgain) {
    type(a, u"ap");
    ASSERT_TRUE(h.engine().Visible());
    h.tick();
    ASSERT_TRUE(h.engine().Visible()) << "a pass with nothing moved keeps the list";

    switch (kind.kind) {
    case SimulatedKind::FormsTextBox:
    case SimulatedKind::AccessTextBox:
        h.form->Set(u"Left", h.form->Peek(u"Left").toDouble() + 100);
        break;
    case SimulatedKind::NetTextBox:
        h.desktop->MoveWindow(h.desktop->HostWindow(), {300, 100, 940, 580});
        break;
    default:
        h.desktop->MoveWindow(a->Window(), {120, 300, 320, 324});
        break;
    }
    h.tick();
    EXPECT_FALSE(h.engine().Visible());
    EXPECT_EQ(h.stored("Field1"), "apple,apricot,banana,ap");
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1");
    EXPECT_EQ(toUtf8(h.engine().Text()), "") << "announced anew";
}

std::string kindName(const ::testing::TestParamInfo<std::tuple<Kind, bool>>& info) {
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) ? "WithoutEvents" : "");
}

INSTANTIATE_TEST_SUITE_P(Served, Kinds,
                         ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::Values(false)),
                         kindName);
INSTANTIATE_TEST_SUITE_P(Refused, Kinds,
                         ::testing::Combine(::testing::ValuesIn(kKinds, kKinds + 6),
                                            ::testing::Values(true)),
                         kindName);

// Controls that hide or fix their text are never served; leaving a served
// one for them still stores its value.
struct Unserved {
    const char* name;
    Host host;
    SimulatedKind kind;
    const char16_t* property;
    Variant value;
};

void PrintTo(const Unserved& c, std::ostream* out) {
    *out << c.name;
}

class UnservedControls : public ::testing::TestWithParam<Unserved> {};

TEST_P(UnservedControls, AreNotBoundAndTheLeftValueIsStored) {
    const Unserved& c = GetParam();
    ControlHarness h(c.host);
    h.placed();
    auto served = h.form->Add(c.kind, u"Field1");
    auto odd = h.form->Add(c.kind, u"Secret");
    odd->Set(c.property, c.value);
    h.form->Focus(served);
    h.tick();
    served->Type(u"kept");
    h.tick();

    h.form->Focus(odd);
    h.tick();
    EXPECT_EQ(h.stored("Field1"), "kept");
    h.tick();
    EXPECT_EQ(h.control->CurrentControl(), nullptr);
    EXPECT_EQ(odd->Connections(), 0u);
    EXPECT_EQ(h.windows->HookCount(), 0u);
    odd->Type(u"hunter2");
    h.tick();
    EXPECT_EQ(toUtf8(h.engine().Text()), "kept");
    EXPECT_EQ(h.stored("Secret"), "missing");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnservedControls,
    ::testing::Values(
        Unserved{"PasswordTextBox", Host::VB, SimulatedKind::TextBox, u"PasswordChar", u"*"},
        Unserved{"MultiLineTextBox", Host::VB, SimulatedKind::TextBox, u"MultiLine", true},
        Unserved{"PasswordForms", Host::VBA, SimulatedKind::FormsTextBox, u"PasswordChar", u"*"},
        Unserved{"MultiLineForms", Host::VBA, SimulatedKind::FormsTextBox, u"MultiLine", true},
        Unserved{"PasswordNet", Host::DotNet, SimulatedKind::NetTextBox, u"PasswordChar",
                 std::int32_t{'*'}},
        Unserved{"MultiLineNet", Host::DotNet, SimulatedKind::NetTextBox, u"MultiLine", true},
        Unserved{"ListStyleComboBox", Host::VB, SimulatedKind::ComboBox, u"Style", std::int16_t{2}},
        Unserved{"ListStyleDataCombo", Host::VB, SimulatedKind::DataCombo, u"Style",
                 std::int16_t{2}},
        Unserved{"ListStyleDBCombo", Host::VB, SimulatedKind::DBCombo, u"Style", std::int16_t{2}}),
    [](const auto& info) { return std::string(info.param.name); });

// While a combo's own drop-down is open, its typing and keys belong to it:
// the engine is not fed, and every pass closes the engine's list.
class ComboDropDowns : public ::testing::TestWithParam<SimulatedKind> {};

TEST_P(ComboDropDowns, GateTheRelaysAndCloseTheList) {
    ControlHarness h;
    h.placed();
    h.remember("Field1", {"apple", "apricot"});
    auto combo = h.form->Add(GetParam(), u"Field1");
    h.form->Focus(combo);
    h.tick();
    combo->Type(u"ap");
    ASSERT_TRUE(h.engine().Visible());

    // The data-list combos' drop-downs are top-level windows of their own
    // class; only a visible one counts.
    WindowHandle dropDown = 0;
    const auto open = [&](bool opened) {
        if (GetParam() == SimulatedKind::ComboBox) {
            h.windows->SetDroppedDown(combo->Window(), opened);
        } else if (dropDown == 0) {
            dropDown = h.windows->AddWindow(
                GetParam() == SimulatedKind::DataCombo ? kDataComboListClass : kDBComboListClass,
                {120, 144, 320, 300}, opened);
        } else {
            h.desktop->SetVisible(dropDown, opened);
        }
    };
    open(false);
    h.tick();
    EXPECT_TRUE(h.engine().Visible()) << "a closed drop-down changes nothing";

    open(true);
    h.tick();
    EXPECT_FALSE(h.engine().Visible());
    h.log.take();
    combo->Type(u"apr");
    EXPECT_EQ(h.form->Press(vk::Down), vk::Down);
    EXPECT_EQ(toUtf8(h.engine().Text()), "ap");
    EXPECT_EQ(h.log.take(), "");
    EXPECT_EQ(toUtf8(h.control->CurrentControlName()), "Field1") << "still bound";

    open(false);
    combo->Type(u"apri");
    EXPECT_EQ(toUtf8(h.engine().Text()), "apri");
    EXPECT_TRUE(h.engine().Visible());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ComboDropDowns,
                         ::testing::Values(SimulatedKind::ComboBox, SimulatedKind::DataCombo,
                                           SimulatedKind::DBCombo),
                         [](const auto& info) {
                             return std::string(info.param == SimulatedKind::ComboBox ? "ComboBox"
                                                : info.param == SimulatedKind::DataCombo
                                                    ? "DataCombo"
                                                    : "DBCombo");
                         });

} // namespace
} // namespace fillahead::testing
