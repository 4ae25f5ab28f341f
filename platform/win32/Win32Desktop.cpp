#include "platform/win32/Win32Desktop.h"

#include <windows.h>

#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"
#include "platform/win32/ListPainting.h"
#include "platform/win32/ListSurfaceWin32.h"
#include "platform/win32/TimerWin32.h"

namespace fillahead::win32 {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// The window the user works in, when it belongs to this thread (the host's
// form; the list never takes the activation), else none. Its DPI is the one
// the host measures its controls in.
HWND hostWindow() {
    HWND foreground = ::GetForegroundWindow();
    return GetWindowThreadProcessId(foreground, nullptr) == GetCurrentThreadId() ? foreground
                                                                                 : nullptr;
}

// Whether SetWindowPos would change anything: the rectangle, the place in
// the z-order, the visibility or the activation. Only the placements the
// engine makes (showing, topmost, not activating) are looked at; any other
// goes through.
bool placementChanges(HWND window, HWND insertAfter, const WindowRect& rect, std::uint32_t flags) {
    constexpr std::uint32_t kUnderstood = SWP_NOACTIVATE | SWP_SHOWWINDOW;
    RECT now{};
    if ((flags & ~kUnderstood) != 0 || (flags & SWP_NOACTIVATE) == 0 ||
        !::GetWindowRect(window, &now) || ToWindowRect(now) != rect) {
        return true;
    }
    if ((flags & SWP_SHOWWINDOW) != 0 && !IsWindowVisible(window)) {
        return true;
    }
    // Topmost, and nothing above it.
    return insertAfter != HWND_TOPMOST ||
           (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 ||
           GetWindow(window, GW_HWNDPREV) != nullptr;
}

} // namespace

Win32Desktop::Win32Desktop() = default;
Win32Desktop::~Win32Desktop() = default;

std::unique_ptr<ListSurface> Win32Desktop::CreateListSurface(ListSurfaceClient& client) {
    return std::make_unique<ListSurfaceWin32>(client);
}

void Win32Desktop::SetWindowPos(WindowHandle window, WindowHandle insertAfter, std::int32_t x,
                                std::int32_t y, std::int32_t width, std::int32_t height,
                                std::uint32_t flags) {
    HWND hwnd = ToHwnd(window);
    if (!placementChanges(hwnd, ToHwnd(insertAfter), {x, y, x + width, y + height}, flags)) {
        return;
    }
    ::SetWindowPos(hwnd, ToHwnd(insertAfter), x, y, width, height, flags);
}

bool Win32Desktop::GetWindowRect(WindowHandle window, WindowRect& rect) {
    RECT found{};
    if (!::GetWindowRect(ToHwnd(window), &found)) {
        return false;
    }
    rect = ToWindowRect(found);
    return true;
}

WindowHandle Win32Desktop::GetForegroundWindow() {
    return ToWindowHandle(::GetForegroundWindow());
}

bool Win32Desktop::SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(ToHwnd(window)) != FALSE;
}

WindowHandle Win32Desktop::GetFocus() {
    return ToWindowHandle(::GetFocus());
}

WindowRect Win32Desktop::WorkArea(const WindowRect& rect) {
    const RECT area = ToRect(rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return {};
    }
    return ToWindowRect(monitor.rcWork);
}

void Win32Desktop::DoEvents() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

double Win32Desktop::TwipsPerPixelX() {
    return kTwipsPerInch / DpiOf(hostWindow(), LOGPIXELSX);
}

double Win32Desktop::TwipsPerPixelY() {
    return kTwipsPerInch / DpiOf(hostWindow(), LOGPIXELSY);
}

TwipsPerPixelXY Win32Desktop::TwipsPerPixel() {
    const AxisDpi dpi = DpiOfBothAxes(hostWindow());
    return {kTwipsPerInch / dpi.x, kTwipsPerInch / dpi.y};
}

std::int32_t Win32Desktop::ListRowHeight() {
    const UINT dpi = DpiOf(hostWindow());
    if (!font_ || font_->Dpi() != dpi) {
        font_ = std::make_unique<ListFont>(dpi);
    }
    return font_->RowHeight();
}

WindowHandle Win32Desktop::ShowAboutBox(const AboutInfo& about) {
    return ToWindowHandle(aboutBoxes_.Show(about));
}

std::unique_ptr<Timer> Win32Desktop::CreateTimer(TimerTick tick) {
    return std::make_unique<TimerWin32>(std::move(tick));
}

} // namespace fillahead::win32
