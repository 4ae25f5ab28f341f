// Where the list goes: under a windowed control by its window, under a
// windowless MSForms or Access text box by the container's window, its frame
// and the box's own position (points or twips, rounded half to even), under
// a .NET text box by the focused window; alignment and colour; and what a
// failing read leaves behind.
#include "tests/control/ControlHarness.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fillahead::testing {
namespace {

using Host = SimulatedForm::Host;

// The engine's placement and the control's anchor, in one line.
std::string placement(ControlHarness& h) {
    std::ostringstream out;
    Fillahead& e = h.engine();
    out << "align " << e.Alignment() << " at " << e.Left() << "," << e.Top() << " " << e.Width()
        << "x" << e.Height() << " anchor " << h.control->ListAnchorLeft() << ","
        << h.control->ListAnchorTop();
    return out.str();
}

// A bound control of a kind, its list shown once the test has set it up.
struct Placed {
    explicit Placed(Host host, SimulatedKind kind) : h(host), box(h.form->Add(kind, u"Field1")) {
        h.placed();
        h.remember("Field1", {"apple"});
        h.form->Focus(box);
        h.tick();
    }
    std::string show() {
        // Shown anew: the engine asks for the place only when it shows.
        h.engine().CloseList();
        box->Type(u"a");
        if (box->Kind() == SimulatedKind::NetTextBox) {
            h.tick();
        }
        EXPECT_TRUE(h.engine().Visible());
        return placement(h);
    }
    ControlHarness h;
    std::shared_ptr<SimulatedControl> box;
};

TEST(Placement, AWindowedControlPutsTheListUnderItsWindow) {
    Placed p(Host::VB, SimulatedKind::TextBox);
    p.h.desktop->MoveWindow(p.box->Window(), {130, 150, 330, 171});
    p.box->Set(u"Alignment", std::int16_t{2});
    p.box->Set(u"BackColor", std::int32_t{0x00C0FFEE});
    EXPECT_EQ(p.show(), "align 2 at 130,171 200x21 anchor 130,150");
    EXPECT_EQ(p.h.engine().BackColor(), 0x00C0FFEEu);

    p.box->Set(u"Alignment", std::int16_t{1});
    EXPECT_EQ(p.show(), "align 1 at 130,171 200x21 anchor 130,150");
    // A window that cannot be found leaves the rectangle at zero.
    p.box->Fail(u"hWnd");
    EXPECT_EQ(p.show(), "align 1 at 0,0 0x0 anchor 0,0");
}

TEST(Placement, AComboBoxAlwaysGetsALeftAlignedList) {
    Placed p(Host::VB, SimulatedKind::ComboBox);
    p.h.engine().LetAlignment(fhalCenter);
    p.h.desktop->MoveWindow(p.box->Window(), {120, 120, 320, 145});
    EXPECT_EQ(p.show(), "align 0 at 120,145 200x25 anchor 120,120");
}

// The container window is the host window, 100,100 to 740,580. An outer
// width of 9600 twips (640 pixels) and an inner width of 474 points (632
// pixels) leave a frame allowance of 8 \ 4 = 2 pixels.
struct WindowlessCase {
    const char* name;
    Host host;
    SimulatedKind kind;
    std::vector<std::pair<const char16_t*, Variant>> set; // on the box or "form."
    std::vector<const char16_t*> failing;
    std::string expected;
};

void PrintTo(const WindowlessCase& c, std::ostream* out) {
    *out << c.name;
}

class Windowless : public ::testing::TestWithParam<WindowlessCase> {};

TEST_P(Windowless, PlaceTheListFromTheContainerAndTheBoxPosition) {
    const WindowlessCase& c = GetParam();
    Placed p(c.host, c.kind);
    p.h.form->Set(u"Width", 9600.0f);
    p.h.form->Set(u"InsideWidth", 474.0f);
    p.h.engine().LetAlignment(fhalCenter);
    for (const auto& [name, value] : c.set) {
        const TextView key(name);
        if (startsWith(key, u"form.")) {
            p.h.form->Set(key.substr(5), value);
        } else {
            p.box->Set(name, value);
        }
    }
    for (const char16_t* name : c.failing) {
        const TextView key(name);
        if (startsWith(key, u"form.")) {
            p.h.form->Remove(key.substr(5));
        } else {
            p.box->Fail(name);
        }
    }
    EXPECT_EQ(p.show(), c.expected);
}

// Points: 15 -> 20 px, 30 -> 40, 150 -> 200, 18 -> 24. Twips: 300 -> 20 px,
// 600 -> 40, 3000 -> 200, 360 -> 24. The anchor is the form's Left and Top.
const std::vector<std::pair<const char16_t*, Variant>> kFormsBox = {
    {u"Left", 15.0f},   {u"Top", 30.0f},       {u"Width", 150.0f},
    {u"Height", 18.0f}, {u"form.Left", 75.0f}, {u"form.Top", 80.0f}};
const std::vector<std::pair<const char16_t*, Variant>> kAccessBox = {
    {u"Left", 300},   {u"Top", 600},        {u"Width", 3000},
    {u"Height", 360}, {u"form.Left", 1500}, {u"form.Top", 1600}};

std::vector<std::pair<const char16_t*, Variant>>
with(std::vector<std::pair<const char16_t*, Variant>> base,
     std::vector<std::pair<const char16_t*, Variant>> more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Windowless,
    ::testing::Values(WindowlessCase{"FormsLeftAligned",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     with(kFormsBox, {{u"TextAlign", 1}}),
                                     {},
                                     "align 0 at 122,164 200x24 anchor 75,80"},
                      WindowlessCase{"FormsRightAligned",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     with(kFormsBox, {{u"TextAlign", 3}}),
                                     {},
                                     "align 1 at 122,164 200x24 anchor 75,80"},
                      // 0.375 points is half a pixel: 100.5 rounds to 100, 101.5 to 102.
                      WindowlessCase{"FormsHalfPixelRoundsToEvenDown",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     with(kFormsBox, {{u"Left", 0.375f}}),
                                     {},
                                     "align 0 at 102,164 200x24 anchor 75,80"},
                      WindowlessCase{"FormsHalfPixelRoundsToEvenUp",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     with(kFormsBox, {{u"Left", 1.125f}}),
                                     {},
                                     "align 0 at 104,164 200x24 anchor 75,80"},
                      // Without an inner width the whole outer width counts: 640 \ 4.
                      WindowlessCase{"FormsWithoutInsideWidth",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     kFormsBox,
                                     {u"form.InsideWidth"},
                                     "align 0 at 280,164 200x24 anchor 75,80"},
                      // A position that cannot be read leaves the edge at the container's.
                      WindowlessCase{"FormsTopUnreadable",
                                     Host::VBA,
                                     SimulatedKind::FormsTextBox,
                                     kFormsBox,
                                     {u"Top"},
                                     "align 0 at 122,124 200x24 anchor 75,80"},
                      WindowlessCase{"AccessCentred",
                                     Host::Access,
                                     SimulatedKind::AccessTextBox,
                                     with(kAccessBox, {{u"TextAlign", std::int16_t{2}}}),
                                     {},
                                     "align 2 at 122,164 200x24 anchor 1500,1600"},
                      WindowlessCase{"AccessGeneralIsLeft",
                                     Host::Access,
                                     SimulatedKind::AccessTextBox,
                                     with(kAccessBox, {{u"TextAlign", std::int16_t{0}}}),
                                     {},
                                     "align 0 at 122,164 200x24 anchor 1500,1600"},
                      // Distribute (4) has no match: the alignment stays.
                      WindowlessCase{"AccessDistributeKeepsAlignment",
                                     Host::Access,
                                     SimulatedKind::AccessTextBox,
                                     with(kAccessBox, {{u"TextAlign", std::int16_t{4}}}),
                                     {},
                                     "align 2 at 122,164 200x24 anchor 1500,1600"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Placement, ANetTextBoxIsPlacedByTheFocusedWindowAndSizedByItself) {
    Placed p(Host::DotNet, SimulatedKind::NetTextBox);
    p.h.desktop->MoveWindow(p.box->Window(), {120, 120, 320, 144});
    p.box->Set(u"Width", 250);
    p.box->Set(u"Height", 30);
    // It has no Alignment: left.
    p.h.engine().LetAlignment(fhalCenter);
    EXPECT_EQ(p.show(), "align 0 at 120,144 250x30 anchor 100,100");
}

TEST(Placement, NothingBoundLeavesTheLastPlacement) {
    Placed p(Host::VB, SimulatedKind::TextBox);
    const std::string shown = p.show();
    p.h.form->Focus(nullptr);
    p.h.tick();
    p.h.engine().OnControlChange(u"Direct", u"");
    p.h.remember("Direct", {"apple"});
    p.h.engine().OnTextChange(u"a");
    EXPECT_EQ(placement(p.h), shown);
}

} // namespace
} // namespace fillahead::testing
