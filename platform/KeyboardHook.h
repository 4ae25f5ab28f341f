// KeyboardHookService: the thread keyboard hook (a WH_KEYBOARD hook on the
// calling thread only), the call that passes a key stroke on to the next
// hook, and the asynchronous key state. On Windows these are
// SetWindowsHookExW, UnhookWindowsHookEx, CallNextHookEx and
// GetAsyncKeyState (platform/win32); natively a simulated host stands in.
//
// The system calls a hook procedure on the thread that installed it, while
// that thread retrieves a keyboard message: wParam is the virtual-key code,
// lParam the keystroke flags (bit 31 set for a release). A procedure that
// returns non-zero discards the key stroke; one that passes it on returns
// what CallNextHookEx returned. A hook procedure must not let an exception
// out.
#pragma once

#include <cstdint>

namespace fillahead {

// A hook handle (HHOOK); 0 is none.
using HookHandle = std::uintptr_t;

using KeyboardHookProcedure = std::intptr_t (*)(std::int32_t nCode, std::uintptr_t wParam,
                                                std::intptr_t lParam);

// nCode of a key stroke the procedure may act on (HC_ACTION); negative codes
// must be passed on untouched.
inline constexpr std::int32_t kHookAction = 0;
// The transition bit of lParam: set when the key is being released.
inline constexpr std::intptr_t kKeyReleaseFlag = std::intptr_t{1} << 31;

class KeyboardHookService {
public:
    virtual ~KeyboardHookService() = default;
    // Installs procedure as a keyboard hook of the calling thread; 0 when
    // the system refuses. A thread's hooks all call one procedure.
    virtual HookHandle SetKeyboardHook(KeyboardHookProcedure procedure) = 0;
    // Removes a hook; false (and nothing else) for a handle already removed.
    virtual bool UnhookWindowsHookEx(HookHandle hook) = 0;
    // Passes the key stroke to the next hook of the chain and returns its
    // answer (0 at the end of the chain: the key is delivered).
    virtual std::intptr_t CallNextHookEx(HookHandle hook, std::int32_t nCode, std::uintptr_t wParam,
                                         std::intptr_t lParam) = 0;
    // Negative while the key is down at this moment.
    virtual std::int16_t GetAsyncKeyState(std::int32_t virtualKey) = 0;
};

} // namespace fillahead
