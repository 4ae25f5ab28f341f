#include "platform/win32/TimerWin32.h"

#include <windows.h>

#include "platform/AutomationError.h"
#include "platform/win32/WindowClass.h"

namespace fillahead::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;

} // namespace

TimerWin32::TimerWin32(TimerTick tick) : tick_(std::move(tick)) {
    static const WindowClass windowClass([] {
        WNDCLASSEXW description{};
        description.lpfnWndProc = &TimerWin32::WindowProc;
        description.lpszClassName = L"FillaheadTimer";
        return description;
    }());
    window_.reset(CreateWindowExW(0, windowClass.Name(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ModuleInstance(), nullptr));
    if (!window_) {
        throw AutomationError(error::OutOfMemory, u"The timer's window cannot be created");
    }
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TimerWin32::~TimerWin32() {
    *alive_ = false;
    KillTimer(window_.get(), kTimerId);
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void TimerWin32::SetInterval(std::int32_t milliseconds) {
    interval_ = milliseconds;
    apply();
}

void TimerWin32::SetEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

void TimerWin32::apply() {
    if (enabled_ && interval_ > 0) {
        // Setting it again restarts the interval, as VB's Timer does.
        SetTimer(window_.get(), kTimerId, static_cast<UINT>(interval_), nullptr);
    } else {
        KillTimer(window_.get(), kTimerId);
    }
}

LRESULT CALLBACK TimerWin32::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedWindowProc(window, message, wParam, lParam, [&]() -> LRESULT {
        auto* timer = reinterpret_cast<TimerWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != WM_TIMER || wParam != kTimerId || timer == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        if (!timer->ticking_ && timer->enabled_ && timer->tick_) {
            // The tick may change this timer or destroy it (its owner going
            // away): the handler runs from a copy, and the timer is touched
            // afterwards only while it still exists.
            const std::shared_ptr<bool> alive = timer->alive_;
            const TimerTick tick = timer->tick_;
            timer->ticking_ = true;
            struct Reset {
                const std::shared_ptr<bool>& alive;
                bool& flag;
                ~Reset() {
                    if (*alive) {
                        flag = false;
                    }
                }
            } reset{alive, timer->ticking_};
            tick();
        }
        return 0;
    });
}

} // namespace fillahead::win32
