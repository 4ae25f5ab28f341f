// DoubleClickGuard: after a click that made the list go away, swallows the
// second click of a double-click wherever it lands, so that it cannot focus
// or activate what lay under the list. It holds a low-level mouse hook only
// from that first click until the double-click time has passed (or, when it
// swallowed a press, until that press is released); every other mouse event
// passes untouched. Use it on the thread that handles the list's messages.
#pragma once

#include <windows.h>

#include "platform/win32/Handles.h"

namespace fillahead::win32 {

class DoubleClickGuard {
public:
    DoubleClickGuard() = default;
    ~DoubleClickGuard();
    DoubleClickGuard(const DoubleClickGuard&) = delete;
    DoubleClickGuard& operator=(const DoubleClickGuard&) = delete;

    // The first click was made with button (MK_LBUTTON, MK_RBUTTON or
    // MK_MBUTTON), pressed at time (the message time) at a position in
    // physical screen pixels. False when the hook cannot be set.
    bool Arm(UINT button, DWORD time, POINT at);
    // The double-click time is over: unhooks, unless a swallowed press still
    // waits for its release. True when no longer hooked.
    bool Expire();
    bool Armed() const { return hook_ != nullptr; }

private:
    static LRESULT CALLBACK MouseProc(int code, WPARAM message, LPARAM event);
    // True when the event is to be swallowed.
    bool swallows(WPARAM message, const MSLLHOOKSTRUCT& event);
    void unhook();

    UniqueHook hook_;
    UINT down_ = 0;
    UINT up_ = 0;
    DWORD time_ = 0;
    POINT at_{};
    bool awaitingPress_ = false;
    bool swallowingRelease_ = false;
};

} // namespace fillahead::win32
