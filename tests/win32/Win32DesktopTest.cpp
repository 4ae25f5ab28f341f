// The desktop over user32: the yield to the message loop, the measures the
// engine converts with, and the about box.
#include "platform/win32/Win32Desktop.h"

#include <windows.h>

#include "platform/win32/Interop.h"
#include "tests/win32/WindowTesting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fillahead::win32 {
namespace {

using testing::FakeListClient;
using testing::HostForm;
using testing::PumpUntil;

std::vector<UINT> received;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) {
        received.push_back(message);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring textOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

TEST(Win32Desktop, DoEventsRunsWhatWaitsAndLeavesQuitToTheHost) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = recordingProc;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"FillaheadTestRecorder";
    RegisterClassExW(&description);
    const UniqueWindow window(CreateWindowExW(0, description.lpszClassName, L"", 0, 0, 0, 0, 0,
                                              HWND_MESSAGE, nullptr, description.hInstance,
                                              nullptr));
    ASSERT_TRUE(window);
    Win32Desktop desktop;
    received.clear();
    PostMessageW(window.get(), WM_APP, 0, 0);
    PostMessageW(window.get(), WM_APP + 1, 0, 0);
    desktop.DoEvents();
    EXPECT_EQ(received, (std::vector<UINT>{WM_APP, WM_APP + 1}));

    // The host's loop must still see the quit its application asked for.
    PostQuitMessage(7);
    desktop.DoEvents();
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
}

TEST(Win32Desktop, DoEventsLetsTheListRepaint) {
    HostForm::Shared().Activate();
    Win32Desktop desktop;
    FakeListClient client;
    client.paint = testing::DescribeList(200, 80, 20, {{u"one", false}});
    const std::unique_ptr<ListSurface> surface = desktop.CreateListSurface(client);
    desktop.SetWindowPos(surface->Handle(), kTopmost, 300, 300, 200, 80, kShowWindow | kNoActivate);
    testing::Pump();
    client.described = 0;
    surface->Invalidate();
    desktop.DoEvents();
    EXPECT_GT(client.described, 0);
}

TEST(Win32Desktop, MeasuresFollowTheScreen) {
    Win32Desktop desktop;
    // A program without a DPI manifest always sees 96 dots per inch.
    EXPECT_EQ(desktop.TwipsPerPixelX(), 15.0);
    EXPECT_EQ(desktop.TwipsPerPixelY(), 15.0);

    // A row holds a line of the message font with a little air.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    const UniqueFont font(CreateFontIndirectW(&metrics.lfMessageFont));
    const UniqueWindowDC screen = GetUniqueDC(nullptr);
    TEXTMETRICW text{};
    {
        const SelectedObject selected(screen.get(), font.get());
        GetTextMetricsW(screen.get(), &text);
    }
    EXPECT_GT(desktop.ListRowHeight(), text.tmHeight);
    EXPECT_LE(desktop.ListRowHeight(), text.tmHeight + 8);

    WindowRect rect{1, 2, 3, 4};
    EXPECT_FALSE(desktop.GetWindowRect(0, rect));
    EXPECT_EQ(rect, (WindowRect{1, 2, 3, 4}));
}

TEST(Win32Desktop, AboutBoxShowsWithoutBlockingAndCloses) {
    HostForm::Shared().Activate();
    HWND box = nullptr;
    {
        Win32Desktop desktop;
        const AboutInfo about{u"Fillahead", u"2.0.0", u"Offers what was typed before."};
        box = ToHwnd(desktop.ShowAboutBox(about));
        ASSERT_TRUE(IsWindow(box));
        EXPECT_TRUE(IsWindowVisible(box));
        EXPECT_EQ(textOf(box), L"About Fillahead");

        // Every line and the button in full view.
        RECT client{};
        GetClientRect(box, &client);
        std::vector<std::wstring> texts;
        HWND ok = nullptr;
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            texts.push_back(textOf(child));
            ok = GetDlgCtrlID(child) == IDOK ? child : ok;
            RECT rect{};
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
            RECT inside{};
            EXPECT_TRUE(IntersectRect(&inside, &rect, &client) && EqualRect(&inside, &rect))
                << texts.back();
        }
        EXPECT_EQ(texts, (std::vector<std::wstring>{L"Fillahead", L"Version 2.0.0",
                                                    L"Offers what was typed before.", L"OK"}));
        ASSERT_NE(ok, nullptr);
        SendMessageW(ok, BM_CLICK, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));

        // Escape from the keyboard closes an active box.
        box = ToHwnd(desktop.ShowAboutBox(about));
        SetForegroundWindow(box);
        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == box; }));
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof(INPUT));
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));

        box = ToHwnd(desktop.ShowAboutBox(about));
    }
    // One left open goes with the desktop that runs it.
    EXPECT_FALSE(IsWindow(box));
}

} // namespace
} // namespace fillahead::win32
