// The list window under a real window manager's rules: where the engine puts
// it, that it never takes the focus from the host's field, and that what the
// model describes is really on the screen.
#include "platform/win32/ListSurfaceWin32.h"

#include <windows.h>

#include "platform/win32/Interop.h"
#include "platform/win32/Win32Desktop.h"
#include "tests/win32/WindowTesting.h"

#include <gtest/gtest.h>

namespace fillahead::win32 {
namespace {

using testing::ClickAt;
using testing::DescribeList;
using testing::FakeListClient;
using testing::HostForm;
using testing::Pump;
using testing::PumpUntil;
using testing::ScreenCapture;

constexpr std::int32_t kWidth = 300;
constexpr std::int32_t kHeight = 150;
constexpr std::int32_t kRowHeight = 20;

class ListSurfaceTest : public ::testing::Test {
protected:
    ListSurfaceTest() {
        host.Activate();
        client.paint = DescribeList(kWidth, kHeight, kRowHeight,
                                    {{u"alpha", false}, {u"beta", true}, {u"gamma", false}});
    }

    // As the engine shows the list: topmost at height 0, then its height.
    HWND showBelowField() {
        const POINT at = host.BelowField();
        desktop.SetWindowPos(surface->Handle(), kTopmost, at.x, at.y, kWidth, 0,
                             kShowWindow | kNoActivate);
        surface->Move({at.x, at.y, at.x + kWidth, at.y + kHeight});
        HWND list = ToHwnd(surface->Handle());
        UpdateWindow(list);
        Pump();
        return list;
    }

    // Screen position of a point of the list's client area.
    POINT onList(int x, int y) const {
        POINT point{x, y};
        ClientToScreen(ToHwnd(surface->Handle()), &point);
        return point;
    }

    void expectHostKeepsFocus() const {
        EXPECT_EQ(GetForegroundWindow(), host.Form());
        EXPECT_EQ(GetActiveWindow(), host.Form());
        EXPECT_EQ(GetFocus(), host.Field());
    }

    const HostForm& host = HostForm::Shared();
    Win32Desktop desktop;
    FakeListClient client;
    std::unique_ptr<ListSurface> surface = desktop.CreateListSurface(client);
};

TEST_F(ListSurfaceTest, AppearsOnlyWhereAndWhenTheEnginePlacesIt) {
    HWND list = ToHwnd(surface->Handle());
    ASSERT_TRUE(IsWindow(list));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(surface->Rect().Height(), 0);

    desktop.SetWindowPos(surface->Handle(), kTopmost, 120, 140, kWidth, 0,
                         kShowWindow | kNoActivate);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_NE(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(surface->Rect(), (WindowRect{120, 140, 120 + kWidth, 140}));
    const int resizedWhenPlaced = client.resized;
    EXPECT_GT(resizedWhenPlaced, 0);

    surface->Move({120, 140, 120 + kWidth, 140 + kHeight});
    EXPECT_EQ(surface->Rect(), (WindowRect{120, 140, 120 + kWidth, 140 + kHeight}));
    EXPECT_GT(client.resized, resizedWhenPlaced);

    // Moved as a whole (above a field), still topmost, visible and inactive.
    const WindowRect above{130, 140 - 24 - kHeight, 130 + kWidth, 140 - 24};
    surface->Move(above);
    EXPECT_EQ(surface->Rect(), above);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_NE(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    expectHostKeepsFocus();

    surface.reset();
    EXPECT_FALSE(IsWindow(list));
}

TEST_F(ListSurfaceTest, ClicksReachTheClientWhileTheFieldKeepsTheFocus) {
    showBelowField();
    expectHostKeepsFocus();

    ClickAt(onList(30, 25));
    ASSERT_TRUE(PumpUntil([&] { return !client.mouseUps.empty(); }));
    EXPECT_EQ(client.mouseUps.front(), (FakeListClient::MouseUp{1, 0, 30, 25}));
    ClickAt(onList(40, 5), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([&] { return client.mouseUps.size() == 2; }));
    EXPECT_EQ(client.mouseUps.back(), (FakeListClient::MouseUp{2, 0, 40, 5}));
    Pump();
    expectHostKeepsFocus();
}

TEST_F(ListSurfaceTest, DrawsRowsSelectionGripAndBorder) {
    HWND list = showBelowField();
    const ScreenCapture shot(list);
    ASSERT_EQ(shot.Width(), kWidth);
    ASSERT_EQ(shot.Height(), kHeight);
    const COLORREF background = GetSysColor(COLOR_WINDOW);

    // The selected row: highlight from edge to edge, its text in the
    // highlight text colour.
    const RECT selected{1, 1 + kRowHeight, kWidth - 1, 1 + 2 * kRowHeight};
    EXPECT_EQ(shot.At(kWidth - 10, 1 + kRowHeight + kRowHeight / 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_GT(shot.Count(selected, GetSysColor(COLOR_HIGHLIGHT)), 250 * kRowHeight);
    EXPECT_GT(shot.Count(selected, GetSysColor(COLOR_HIGHLIGHTTEXT)), 10);

    // Text in the other rows, nothing below them.
    EXPECT_GT(shot.Count({1, 1, 100, 1 + kRowHeight}, background, false), 10);
    EXPECT_GT(shot.Count({1, 1 + 2 * kRowHeight, 100, 1 + 3 * kRowHeight}, background, false), 10);
    EXPECT_EQ(shot.Count({1, 1 + 3 * kRowHeight, kWidth - 1, kHeight - 40}, background, false), 0);

    // The grip's dark square (scaled 1:1) and the one-pixel border.
    EXPECT_EQ(shot.Count({kWidth - 9, kHeight - 9, kWidth - 1, kHeight - 1}, RGB(128, 128, 128)),
              64);
    EXPECT_EQ(shot.At(kWidth - 20, kHeight - 20), background);
    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME);
    EXPECT_EQ(shot.Count({0, 0, kWidth, 1}, frame), kWidth);
    EXPECT_EQ(shot.Count({0, kHeight - 1, kWidth, kHeight}, frame), kWidth);
    EXPECT_EQ(shot.Count({0, 0, 1, kHeight}, frame), kHeight);
    EXPECT_EQ(shot.Count({kWidth - 1, 0, kWidth, kHeight}, frame), kHeight);
}

TEST_F(ListSurfaceTest, TypedTextIsBoldInEveryCaseAndRedrawnOnInvalidate) {
    client.paint.rows = {{u"mmmm mmmm", false}};
    HWND list = showBelowField();
    const RECT row{1, 1, kWidth - 1, 1 + kRowHeight};
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const auto ink = [&] {
        UpdateWindow(list);
        Pump();
        return ScreenCapture(list).Count(row, background, false);
    };
    const int plain = ink();
    ASSERT_GT(plain, 0);

    client.paint.emphasis = u"MMMM"; // bold for the first occurrence only
    surface->Invalidate();
    const int emphasised = ink();
    EXPECT_GT(emphasised, plain);

    client.paint.emphasis = u"MMMM MMMM";
    surface->Invalidate();
    EXPECT_GT(ink(), emphasised);

    client.paint.emphasis = u"mx"; // nowhere in the row
    surface->Invalidate();
    EXPECT_EQ(ink(), plain);
}

TEST_F(ListSurfaceTest, AlignmentPlacesTheTextInItsCell) {
    client.paint.rows = {{u"short", false}};
    HWND list = showBelowField();
    const RECT row{1, 1, kWidth - 1, 1 + kRowHeight};
    for (const std::int32_t alignment : {0, 1, 2}) {
        SCOPED_TRACE(alignment);
        client.paint.alignment = alignment;
        surface->Invalidate();
        UpdateWindow(list);
        Pump();
        const auto [left, right] = ScreenCapture(list).InkColumns(row, GetSysColor(COLOR_WINDOW));
        ASSERT_GE(left, 0);
        const int before = left - row.left;
        const int after = row.right - 1 - right;
        if (alignment == 0) {
            EXPECT_LE(before, 10); // the padding only
            EXPECT_GT(after, 150);
        } else if (alignment == 1) {
            EXPECT_GT(before, 150);
            EXPECT_LE(after, 10);
        } else {
            EXPECT_NEAR(before, after, 3);
        }
    }
}

TEST_F(ListSurfaceTest, ScrollBarFollowsTheModelAndScrollsIt) {
    client.paint.verticalScrollBar = true;
    client.paint.rowCount = 10;
    client.paint.firstRow = 2;
    HWND list = showBelowField();
    HWND bar = FindWindowExW(list, nullptr, L"ScrollBar", nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(IsWindowVisible(bar));
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 9);
    EXPECT_EQ(info.nPage, static_cast<UINT>(client.paint.pageRows));
    EXPECT_EQ(info.nPos, 2);
    RECT barRect{};
    GetWindowRect(bar, &barRect);
    RECT listRect{};
    GetWindowRect(list, &listRect);
    EXPECT_EQ(barRect.right, listRect.right - 1); // inside the border
    EXPECT_EQ(barRect.top, listRect.top + 1);

    // A real click on the down arrow: one row, and the field keeps the focus.
    ClickAt({(barRect.left + barRect.right) / 2, barRect.bottom - 3});
    ASSERT_TRUE(PumpUntil([&] { return !client.scrolledTo.empty(); }));
    EXPECT_EQ(client.scrolledTo, std::vector<std::int32_t>{3});
    Pump();
    expectHostKeepsFocus();

    // Paging and the wheel stop at the last full page.
    const std::int32_t last = 10 - client.paint.pageRows;
    SendMessageW(list, WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(client.scrolledTo.back(), last);
    SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(client.scrolledTo.size(), 2u);
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    ASSERT_EQ(client.scrolledTo.size(), 3u);
    EXPECT_LT(client.scrolledTo.back(), last);

    // Without the scroll bar in the description it goes away.
    client.paint.verticalScrollBar = false;
    surface->Invalidate();
    UpdateWindow(list);
    EXPECT_FALSE(IsWindowVisible(bar));
}

TEST_F(ListSurfaceTest, TheScrollBarIsDrawnWithTheList) {
    client.paint.verticalScrollBar = true;
    client.paint.rowCount = 40;
    SetCursorPos(0, 0); // no arrow drawn hot under the pointer
    HWND list = showBelowField();
    HWND bar = FindWindowExW(list, nullptr, L"ScrollBar", nullptr);
    ASSERT_NE(bar, nullptr);
    // What is drawn in the bar's window, down its middle (the screen itself
    // may show it a little later under Wine).
    const auto barPixels = [&] {
        RECT client{};
        GetClientRect(bar, &client);
        const UniqueWindowDC dc = GetUniqueDC(bar);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < client.bottom; ++y) {
            pixels.push_back(GetPixel(dc.get(), client.right / 2, y));
        }
        return pixels;
    };
    const std::vector<COLORREF> atTop = barPixels();

    // The list painted, and none of its children: the thumb has moved with it.
    const auto paintListAlone = [&] {
        surface->Invalidate();
        RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW | RDW_NOCHILDREN);
    };
    client.paint.firstRow = 30;
    paintListAlone();
    EXPECT_NE(barPixels(), atTop);
    client.paint.firstRow = 0;
    paintListAlone();
    EXPECT_EQ(barPixels(), atTop);
}

TEST_F(ListSurfaceTest, PlacedTopmostAgainItComesBackAboveAnotherTopmostWindow) {
    HWND list = showBelowField();
    const RECT rect = ToRect(surface->Rect());
    const UniqueWindow other(CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                             L"STATIC", L"", WS_POPUP, rect.left, rect.top, 50, 50,
                                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);
    SetWindowPos(other.get(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ASSERT_NE(GetWindow(list, GW_HWNDPREV), nullptr);

    // The same place, the same size: only the z-order is to change.
    desktop.SetWindowPos(surface->Handle(), kTopmost, rect.left, rect.top, kWidth, kHeight,
                         kShowWindow | kNoActivate);
    EXPECT_EQ(GetWindow(list, GW_HWNDPREV), nullptr);
    expectHostKeepsFocus();
}

} // namespace
} // namespace fillahead::win32
