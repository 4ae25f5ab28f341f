// The host's window functions and its thread keyboard hook as user32 and
// kernel32 offer them.
#pragma once

#include "platform/HostWindows.h"
#include "platform/KeyboardHook.h"

namespace fillahead::win32 {

class Win32HostWindows final : public HostWindows {
public:
    WindowHandle GetFocus() override;
    std::int16_t GetKeyState(std::int32_t virtualKey) override;
    std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) override;
    WindowHandle FindTopLevelWindow(TextView className, TextView windowName) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::uint32_t GetCurrentThreadId() override;
    void DebugOutput(TextView line) override;
};

// WH_KEYBOARD hooks of the calling thread. The system calls one fixed
// procedure of ours, which calls the portable procedure the thread's hooks
// were installed with; installing a different procedure while hooks of
// another are in place on the same thread is refused (handle 0).
class Win32KeyboardHooks final : public KeyboardHookService {
public:
    HookHandle SetKeyboardHook(KeyboardHookProcedure procedure) override;
    bool UnhookWindowsHookEx(HookHandle hook) override;
    std::intptr_t CallNextHookEx(HookHandle hook, std::int32_t nCode, std::uintptr_t wParam,
                                 std::intptr_t lParam) override;
    std::int16_t GetAsyncKeyState(std::int32_t virtualKey) override;
};

} // namespace fillahead::win32
