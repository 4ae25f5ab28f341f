#include "platform/win32/ListSurfaceWin32.h"

#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"
#include "platform/win32/WindowClass.h"

#include <algorithm>

namespace fillahead::win32 {
namespace {

// BeginPaint and EndPaint as one scope, so that a failing paint still ends.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// VB's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t shiftState(WPARAM keys) {
    std::int16_t shift = 0;
    if ((keys & MK_SHIFT) != 0) {
        shift |= 1;
    }
    if ((keys & MK_CONTROL) != 0) {
        shift |= 2;
    }
    if (GetKeyState(VK_MENU) < 0) {
        shift |= 4;
    }
    return shift;
}

bool sameScrollInfo(const SCROLLINFO& a, const SCROLLINFO& b) {
    return a.nMin == b.nMin && a.nMax == b.nMax && a.nPage == b.nPage && a.nPos == b.nPos;
}

} // namespace

ListSurfaceWin32::ListSurfaceWin32(ListSurfaceClient& client) : client_(client) {
    static const WindowClass windowClass([] {
        WNDCLASSEXW description{};
        // Redrawn whole on any resize: the border and the grip follow the edges.
        description.style = CS_HREDRAW | CS_VREDRAW | CS_DROPSHADOW;
        description.lpfnWndProc = &ListSurfaceWin32::WindowProc;
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.lpszClassName = L"FillaheadList";
        return description;
    }());

    window_.reset(CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                  windowClass.Name(), L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                  nullptr, nullptr, ModuleInstance(), nullptr));
    if (!window_) {
        throw AutomationError(error::OutOfMemory);
    }
    scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 0, 0, 0, 0,
                                 window_.get(), nullptr, ModuleInstance(), nullptr);
    if (scrollBar_ == nullptr) {
        throw AutomationError(error::OutOfMemory);
    }
    // Only now: the messages of the creation itself (WM_SIZE among them)
    // must not reach a client whose surface does not exist yet.
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ListSurfaceWin32::~ListSurfaceWin32() {
    if (window_) {
        // The client may be half gone already; the destruction is no news to it.
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

WindowHandle ListSurfaceWin32::Handle() const {
    return ToWindowHandle(window_.get());
}

WindowRect ListSurfaceWin32::Rect() const {
    RECT rect{};
    if (!window_ || !GetWindowRect(window_.get(), &rect)) {
        return {};
    }
    return ToWindowRect(rect);
}

void ListSurfaceWin32::SetHeight(std::int32_t pixels) {
    if (!window_) {
        return;
    }
    const WindowRect rect = Rect();
    SetWindowPos(window_.get(), nullptr, 0, 0, rect.Width(), std::max(0, pixels),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ListSurfaceWin32::Invalidate() {
    if (window_) {
        InvalidateRect(window_.get(), nullptr, FALSE);
    }
}

LRESULT CALLBACK ListSurfaceWin32::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    // Before the surface is attached too: nothing may activate the list.
    if (message == WM_MOUSEACTIVATE) {
        return MA_NOACTIVATE;
    }
    auto* surface = reinterpret_cast<ListSurfaceWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (surface == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return GuardedWindowProc(window, message, wParam, lParam,
                             [&] { return surface->handle(window, message, wParam, lParam); });
}

LRESULT ListSurfaceWin32::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        client_.SurfaceResized();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam), client_.DescribeForPaint());
        return 0;
    case WM_LBUTTONUP:
        mouseUp(1, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
        mouseUp(2, wParam, lParam);
        return 0;
    case WM_MBUTTONUP:
        mouseUp(4, wParam, lParam);
        return 0;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == scrollBar_) {
            scroll(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_SETTINGCHANGE:
        font_.reset(); // the message font may have changed
        Invalidate();
        break;
    case WM_SYSCOLORCHANGE:
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    case WM_DPICHANGED:
        // The placement stays the engine's; the fonts follow in the next paint.
        Invalidate();
        return 0;
    case WM_NCDESTROY:
        // Destroyed from outside (its thread ended): never destroy the handle
        // again, it may name another window by then.
        (void)window_.release();
        scrollBar_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ListSurfaceWin32::onPaint() {
    // Described before BeginPaint: the scroll bar may move, and what it
    // uncovers joins this paint instead of causing another.
    const ListPaint paint = client_.DescribeForPaint();
    syncScrollBar(paint);
    const PaintScope scope(window_.get());
    if (scope.dc() != nullptr) {
        draw(scope.dc(), paint);
    }
}

void ListSurfaceWin32::draw(HDC target, const ListPaint& paint) {
    RECT client{};
    GetClientRect(window_.get(), &client);
    const SIZE size{client.right, client.bottom};
    if (size.cx <= 0 || size.cy <= 0) {
        return;
    }
    const ListFont& listFont = font();
    const int barWidth = scrollBarWidth();
    // Drawn off screen and copied in one go, so that a list repainted on
    // every key stroke never flickers.
    const UniqueMemoryDC memory(CreateCompatibleDC(target));
    const UniqueBitmap bitmap(CreateCompatibleBitmap(target, size.cx, size.cy));
    if (!memory || !bitmap) {
        PaintList(target, size, paint, listFont, barWidth);
        return;
    }
    const SelectedObject selected(memory.get(), bitmap.get());
    PaintList(memory.get(), size, paint, listFont, barWidth);
    BitBlt(target, 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
}

void ListSurfaceWin32::mouseUp(std::int16_t button, WPARAM keys, LPARAM position) {
    const auto x = static_cast<std::int16_t>(LOWORD(position));
    const auto y = static_cast<std::int16_t>(HIWORD(position));
    client_.SurfaceMouseUp(button, shiftState(keys), x, y);
}

void ListSurfaceWin32::scroll(int request) {
    const ListPaint paint = client_.DescribeForPaint();
    const std::int32_t page = std::max(1, paint.pageRows);
    std::int32_t target = paint.firstRow;
    switch (request) {
    case SB_LINEUP:
        target -= 1;
        break;
    case SB_LINEDOWN:
        target += 1;
        break;
    case SB_PAGEUP:
        target -= page;
        break;
    case SB_PAGEDOWN:
        target += page;
        break;
    case SB_TOP:
        target = 0;
        break;
    case SB_BOTTOM:
        target = paint.rowCount;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 32-bit position; the message's own is 16 bits.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        if (!GetScrollInfo(scrollBar_, SB_CTL, &info)) {
            return;
        }
        target = info.nTrackPos;
        break;
    }
    default:
        return; // SB_ENDSCROLL
    }
    scrollTo(paint, target);
}

void ListSurfaceWin32::wheel(int delta) {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    wheelDelta_ += delta;
    if (lines == 0) {
        wheelDelta_ = 0;
        return;
    }
    const ListPaint paint = client_.DescribeForPaint();
    const int perNotch =
        lines == WHEEL_PAGESCROLL ? std::max(1, paint.pageRows) : static_cast<int>(lines);
    // Fine-grained wheels send less than a notch at a time: rows only once
    // the turns add up to one.
    const int rows = wheelDelta_ * perNotch / WHEEL_DELTA;
    if (rows == 0) {
        return;
    }
    wheelDelta_ -= rows * WHEEL_DELTA / perNotch;
    scrollTo(paint, paint.firstRow - rows);
}

void ListSurfaceWin32::scrollTo(const ListPaint& paint, std::int32_t firstRow) {
    const std::int32_t last = std::max(0, paint.rowCount - paint.pageRows);
    firstRow = std::clamp(firstRow, 0, last);
    if (firstRow != paint.firstRow) {
        client_.SurfaceScrollTo(firstRow);
    }
}

void ListSurfaceWin32::syncScrollBar(const ListPaint& paint) {
    if (!paint.verticalScrollBar) {
        ShowWindow(scrollBar_, SW_HIDE);
        return;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    SCROLLINFO current = info;
    info.nMax = std::max(0, paint.rowCount - 1);
    info.nPage = static_cast<UINT>(std::max(0, paint.pageRows));
    info.nPos = paint.firstRow;
    // Set only when it changed: the scroll bar redraws on every set.
    if (!GetScrollInfo(scrollBar_, SB_CTL, &current) || !sameScrollInfo(info, current)) {
        info.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
    }
    const int width = scrollBarWidth();
    const WindowRect& grid = paint.grid;
    SetWindowPos(scrollBar_, nullptr, grid.Right - width, grid.Top, width,
                 std::max(0, grid.Height()), SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

int ListSurfaceWin32::scrollBarWidth() {
    return SystemMetricForDpi(SM_CXVSCROLL, DpiOf(window_.get()));
}

const ListFont& ListSurfaceWin32::font() {
    const UINT dpi = DpiOf(window_.get());
    if (!font_ || font_->Dpi() != dpi) {
        font_ = std::make_unique<ListFont>(dpi);
    }
    return *font_;
}

} // namespace fillahead::win32
