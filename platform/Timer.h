// Timer: ticks every Interval milliseconds on the user-interface thread while
// Enabled (VB's Timer control). The owner's tick handler may change the
// timer, or disable it, from inside a tick.
#pragma once

#include <cstdint>
#include <functional>

namespace fillahead {

class Timer {
public:
    virtual ~Timer() = default;
    virtual std::int32_t Interval() const = 0;
    // 0 stops the ticks, as it does for VB's Timer.
    virtual void SetInterval(std::int32_t milliseconds) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
};

using TimerTick = std::function<void()>;

} // namespace fillahead
