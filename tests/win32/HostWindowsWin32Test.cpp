// The host's window functions and the thread keyboard hook over user32, with
// real windows and real key strokes through the system's input queue.
#include <windows.h>

#include "keyboard/Keyboard.h"
#include "platform/HostWindows.h"
#include "platform/win32/Interop.h"
#include "platform/win32/Win32HostWindows.h"
#include "tests/win32/WindowTesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace fillahead::win32 {
namespace {

using testing::HostForm;
using testing::Pump;
using testing::PumpUntil;

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A key pressed and released through the input queue, as a user types it:
// the hook acts on a key only while it is still down.
void typeKey(WORD key) {
    for (const DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof(INPUT));
        Pump(std::chrono::milliseconds(50));
    }
}

class Recorder final : public KeyboardEvents {
public:
    std::vector<std::int32_t> keys;
    void KeyDown(std::int32_t& KeyCode, std::int32_t& /*Shift*/) override {
        keys.push_back(KeyCode);
        if (KeyCode == 'B') {
            KeyCode = 0;
        }
    }
};

TEST(Win32HostWindows, FocusTopLevelWindowsAndComboDropDowns) {
    const HostForm& form = HostForm::Shared();
    form.Activate();
    Win32HostWindows windows;
    EXPECT_EQ(windows.GetFocus(), ToWindowHandle(form.Field()));
    EXPECT_EQ(windows.GetCurrentThreadId(), ::GetCurrentThreadId());
    EXPECT_EQ(windows.FindTopLevelWindow(u"FillaheadTestHost", u"Host"),
              ToWindowHandle(form.Form()));
    // An empty title finds only windows without one.
    EXPECT_EQ(windows.FindTopLevelWindow(u"FillaheadTestHost", u""), 0);
    EXPECT_TRUE(windows.IsWindowVisible(ToWindowHandle(form.Form())));
    EXPECT_FALSE(windows.IsWindowVisible(0));

    const UniqueWindow combo(CreateWindowExW(0, L"COMBOBOX", L"",
                                             WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 20, 60, 200, 120,
                                             form.Form(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(combo);
    const WindowHandle handle = ToWindowHandle(combo.get());
    EXPECT_EQ(windows.SendWindowMessage(handle, kComboGetDroppedState, 0, 0), 0);
    SendMessageW(combo.get(), CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_NE(windows.SendWindowMessage(handle, kComboGetDroppedState, 0, 0), 0);
    SendMessageW(combo.get(), CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(windows.SendWindowMessage(0, kComboGetDroppedState, 0, 0), 0);
}

TEST(Win32KeyboardHooks, KeyStrokesReachTheKeyboardAndAClearedOneNeverReachesTheField) {
    const HostForm& form = HostForm::Shared();
    SetWindowTextW(form.Field(), L"");
    form.Activate();
    auto hooks = std::make_shared<Win32KeyboardHooks>();
    Recorder recorder;
    auto keyboard = Keyboard::Create(hooks);
    keyboard->Advise(&recorder);
    keyboard->Hook();
    ASSERT_NE(keyboard->hookHandle(), 0u);

    typeKey('A');
    typeKey('B');
    typeKey('C');
    EXPECT_TRUE(PumpUntil([&] { return textOf(form.Field()).size() >= 2; }));
    Pump();
    EXPECT_EQ(textOf(form.Field()), L"ac");
    // Key-downs only: the releases pass the hook untouched.
    EXPECT_EQ(recorder.keys, (std::vector<std::int32_t>{'A', 'B', 'C'}));

    // One portable procedure per thread.
    EXPECT_EQ(hooks->SetKeyboardHook(
                  [](std::int32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 0; }),
              0u);

    ModKeyboard::ClearActiveKeyboard();
    keyboard->UnHook();
    EXPECT_FALSE(hooks->UnhookWindowsHookEx(keyboard->hookHandle()));
    typeKey('D');
    EXPECT_TRUE(PumpUntil([&] { return textOf(form.Field()).size() >= 3; }));
    EXPECT_EQ(recorder.keys.size(), 3u);
}

} // namespace
} // namespace fillahead::win32
