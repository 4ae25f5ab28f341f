// The timer ticks through the message loop at its interval, and not at all
// when disabled or at interval 0.
#include "platform/win32/TimerWin32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

namespace fillahead::win32 {
namespace {

// Dispatches messages for about the given time.
void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

TEST(TimerWin32, TicksOnlyWhileEnabledWithAnInterval) {
    int ticks = 0;
    TimerWin32 timer([&] { ++ticks; });
    EXPECT_FALSE(timer.Enabled());
    timer.SetInterval(20);
    pumpFor(150);
    EXPECT_EQ(ticks, 0); // created disabled

    timer.SetEnabled(true);
    pumpFor(300);
    EXPECT_GE(ticks, 3);
    EXPECT_LE(ticks, 16);

    timer.SetEnabled(false);
    const int stopped = ticks;
    pumpFor(150);
    EXPECT_EQ(ticks, stopped);

    timer.SetEnabled(true);
    timer.SetInterval(0); // VB's way of stopping a timer
    pumpFor(150);
    EXPECT_EQ(ticks, stopped);
}

TEST(TimerWin32, ATickThatYieldsIsNotReentered) {
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    TimerWin32 timer([&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        pumpFor(40); // like a tick that lets the host's messages run
        --depth;
    });
    timer.SetInterval(10);
    timer.SetEnabled(true);
    pumpFor(200);
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(deepest, 1);
}

// Globals, since what a tick captures is what the next test watches.
std::unique_ptr<TimerWin32> selfDestroying;
std::weak_ptr<int> capturedByTheTick;
bool captureLivedThroughTheTick = false;

TEST(TimerWin32, ATickMayDestroyItsOwnTimer) {
    auto capture = std::make_shared<int>(0);
    capturedByTheTick = capture;
    selfDestroying = std::make_unique<TimerWin32>([capture] {
        selfDestroying.reset(); // the owner goes away
        captureLivedThroughTheTick = !capturedByTheTick.expired();
    });
    capture.reset();
    selfDestroying->SetInterval(10);
    selfDestroying->SetEnabled(true);
    pumpFor(200);
    EXPECT_EQ(selfDestroying, nullptr);
    EXPECT_TRUE(captureLivedThroughTheTick); // the handler's state outlived its own call
    EXPECT_TRUE(capturedByTheTick.expired());
}

} // namespace
} // namespace fillahead::win32
