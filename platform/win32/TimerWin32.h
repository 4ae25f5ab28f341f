// TimerWin32: a Timer over SetTimer, ticking through a message-only window of
// its own, so that its ticks arrive through the host's message loop on the
// thread that created it. A tick may destroy the timer.
#pragma once

#include <windows.h>

#include "platform/Timer.h"
#include "platform/win32/Handles.h"

#include <memory>

namespace fillahead::win32 {

class TimerWin32 final : public Timer {
public:
    explicit TimerWin32(TimerTick tick);
    ~TimerWin32() override;
    TimerWin32(const TimerWin32&) = delete;
    TimerWin32& operator=(const TimerWin32&) = delete;

    std::int32_t Interval() const override { return interval_; }
    void SetInterval(std::int32_t milliseconds) override;
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Starts, restarts or stops the system timer to match the settings.
    void apply();

    TimerTick tick_;
    std::int32_t interval_ = 0;
    bool enabled_ = false;
    bool ticking_ = false; // a tick that yields to the message loop is not re-entered
    // False once the timer is gone: its owner may destroy it from a tick.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    UniqueWindow window_;
};

} // namespace fillahead::win32
