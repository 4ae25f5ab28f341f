#include "platform/win32/Win32HostWindows.h"

#include <windows.h>

#include "platform/win32/ErrorTrace.h"
#include "platform/win32/Interop.h"

#include <string>

namespace fillahead::win32 {
namespace {

// The portable procedure of this thread's hooks, and how many hooks call it.
thread_local KeyboardHookProcedure threadProcedure = nullptr;
thread_local int threadHooks = 0;

LRESULT CALLBACK keyboardHookProcedure(int nCode, WPARAM wParam, LPARAM lParam) {
    const KeyboardHookProcedure procedure = threadProcedure;
    if (procedure == nullptr) {
        return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    }
    return static_cast<LRESULT>(
        procedure(nCode, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)));
}

HHOOK toHook(HookHandle hook) {
    return reinterpret_cast<HHOOK>(hook);
}

} // namespace

WindowHandle Win32HostWindows::GetFocus() {
    return ToWindowHandle(::GetFocus());
}

std::int16_t Win32HostWindows::GetKeyState(std::int32_t virtualKey) {
    return ::GetKeyState(virtualKey);
}

std::intptr_t Win32HostWindows::SendWindowMessage(WindowHandle window, std::uint32_t message,
                                                  std::uintptr_t wParam, std::intptr_t lParam) {
    if (window == 0) {
        return 0;
    }
    return static_cast<std::intptr_t>(::SendMessageW(
        ToHwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

WindowHandle Win32HostWindows::FindTopLevelWindow(TextView className, TextView windowName) {
    const std::wstring name = ToWide(className);
    const std::wstring title = ToWide(windowName);
    return ToWindowHandle(::FindWindowW(name.c_str(), title.c_str()));
}

bool Win32HostWindows::IsWindowVisible(WindowHandle window) {
    return window != 0 && ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

std::uint32_t Win32HostWindows::GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

void Win32HostWindows::DebugOutput(TextView line) {
    // Shown where the ignored errors are traced, and only there: a release
    // build stays quiet in a host's debugger unless asked.
    if (!TraceWanted()) {
        return;
    }
    const std::wstring text = ToWide(line) + L"\r\n";
    ::OutputDebugStringW(text.c_str());
}

HookHandle Win32KeyboardHooks::SetKeyboardHook(KeyboardHookProcedure procedure) {
    if (procedure == nullptr || (threadHooks > 0 && threadProcedure != procedure)) {
        return 0;
    }
    HHOOK hook =
        ::SetWindowsHookExW(WH_KEYBOARD, keyboardHookProcedure, nullptr, ::GetCurrentThreadId());
    if (hook == nullptr) {
        return 0;
    }
    threadProcedure = procedure;
    ++threadHooks;
    return reinterpret_cast<HookHandle>(hook);
}

bool Win32KeyboardHooks::UnhookWindowsHookEx(HookHandle hook) {
    if (hook == 0 || ::UnhookWindowsHookEx(toHook(hook)) == FALSE) {
        return false;
    }
    if (threadHooks > 0 && --threadHooks == 0) {
        threadProcedure = nullptr;
    }
    return true;
}

std::intptr_t Win32KeyboardHooks::CallNextHookEx(HookHandle hook, std::int32_t nCode,
                                                 std::uintptr_t wParam, std::intptr_t lParam) {
    return static_cast<std::intptr_t>(::CallNextHookEx(
        toHook(hook), nCode, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

std::int16_t Win32KeyboardHooks::GetAsyncKeyState(std::int32_t virtualKey) {
    return ::GetAsyncKeyState(virtualKey);
}

} // namespace fillahead::win32
