// The simulated desktop's timers tick as simulated time passes, in the order
// their ticks fall due, and follow changes made from inside a tick.
#include "platform/simulated/SimulatedDesktop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace fillahead {
namespace {

TEST(SimulatedTimer, TicksAsTimePassesInOrderAndOnlyWhileRunning) {
    SimulatedDesktop desktop;
    std::string ticks;
    auto fast = desktop.CreateTimer([&] { ticks += "f"; });
    auto slow = desktop.CreateTimer([&] { ticks += "S"; });
    fast->SetInterval(100);
    slow->SetInterval(250);
    desktop.AdvanceTime(1000);
    EXPECT_EQ(ticks, ""); // created disabled

    fast->SetEnabled(true);
    slow->SetEnabled(true);
    desktop.AdvanceTime(500);
    EXPECT_EQ(ticks, "ffSfffS"); // at 100 200 250 300 400 500 500: in due order
    ticks.clear();
    fast->SetInterval(0);
    desktop.AdvanceTime(500);
    EXPECT_EQ(ticks, "SS");
}

TEST(SimulatedTimer, ATickMayStopItsOwnTimer) {
    SimulatedDesktop desktop;
    int ticks = 0;
    std::unique_ptr<Timer> timer;
    timer = desktop.CreateTimer([&] {
        if (++ticks == 3) {
            timer->SetEnabled(false);
        }
    });
    timer->SetInterval(100);
    timer->SetEnabled(true);
    desktop.AdvanceTime(10000);
    EXPECT_EQ(ticks, 3);
}

// Globals, since what a tick captures is what the next test watches.
std::unique_ptr<Timer> selfDestroying;
std::weak_ptr<int> capturedByTheTick;
bool captureLivedThroughTheTick = false;

TEST(SimulatedTimer, ATickMayDestroyItsOwnTimer) {
    SimulatedDesktop desktop;
    auto capture = std::make_shared<int>(0);
    capturedByTheTick = capture;
    selfDestroying = desktop.CreateTimer([capture] {
        selfDestroying.reset(); // the owner goes away
        captureLivedThroughTheTick = !capturedByTheTick.expired();
    });
    capture.reset();
    selfDestroying->SetInterval(100);
    selfDestroying->SetEnabled(true);
    desktop.AdvanceTime(1000);
    EXPECT_EQ(selfDestroying, nullptr);
    EXPECT_TRUE(captureLivedThroughTheTick); // the handler's state outlived its own call
    EXPECT_TRUE(capturedByTheTick.expired());
}

} // namespace
} // namespace fillahead
