#include "platform/win32/ListSurfaceWin32.h"

#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"
#include "platform/win32/WindowClass.h"

#include <algorithm>
#include <iterator>

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

// Whether a scroll bar in the same place would be drawn the same: its arrows,
// its thumb and the states of its parts.
bool sameLook(const SCROLLBARINFO& a, const SCROLLBARINFO& b) {
    return a.dxyLineButton == b.dxyLineButton && a.xyThumbTop == b.xyThumbTop &&
           a.xyThumbBottom == b.xyThumbBottom &&
           std::equal(std::begin(a.rgstate), std::end(a.rgstate), std::begin(b.rgstate));
}

constexpr UINT_PTR kDoubleClickTimer = 1;

} // namespace

// The bitmap the list is drawn in before it is copied to the screen, with its
// DC; grown when the window outgrows it.
class ListSurfaceWin32::BackBuffer {
public:
    // Not Usable() when the system has no room for it.
    BackBuffer(HDC compatibleWith, SIZE size)
        : dc_(CreateCompatibleDC(compatibleWith)),
          bitmap_(CreateCompatibleBitmap(compatibleWith, size.cx, size.cy)), size_(size) {
        if (dc_ && bitmap_) {
            original_ = SelectObject(dc_.get(), bitmap_.get());
        }
    }
    ~BackBuffer() {
        if (original_ != nullptr) {
            SelectObject(dc_.get(), original_);
        }
    }
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    bool Usable() const { return original_ != nullptr; }
    bool Holds(SIZE size) const { return size.cx <= size_.cx && size.cy <= size_.cy; }
    SIZE Size() const { return size_; }
    HDC Dc() const { return dc_.get(); }

private:
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    SIZE size_;
    HGDIOBJ original_ = nullptr;
};

ListSurfaceWin32::Measures::Measures(UINT dpi)
    : font(dpi), scrollBarWidth(SystemMetricForDpi(SM_CXVSCROLL, dpi)) {}

ListSurfaceWin32::ListSurfaceWin32(ListSurfaceClient& client) : client_(client) {
    static const WindowClass windowClass([] {
        WNDCLASSEXW description{};
        // Redrawn whole on any resize: the border and the grip follow the edges.
        description.style = CS_HREDRAW | CS_VREDRAW | CS_DROPSHADOW;
        description.lpfnWndProc = &ListSurfaceWin32::WindowProc;
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.lpszClassName = kListWindowClass;
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

void ListSurfaceWin32::Move(const WindowRect& rect) {
    if (!window_ || Rect() == rect) {
        return;
    }
    SetWindowPos(window_.get(), nullptr, rect.Left, rect.Top, rect.Width(),
                 std::max(0, rect.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ListSurfaceWin32::Invalidate() {
    // One invalidation until the paint: a key may change the description
    // several times.
    if (window_ && !invalidated_) {
        InvalidateRect(window_.get(), nullptr, FALSE);
        invalidated_ = true;
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
    case WM_LBUTTONDOWN:
        mouseDown(MK_LBUTTON);
        return 0;
    case WM_RBUTTONDOWN:
        mouseDown(MK_RBUTTON);
        return 0;
    case WM_MBUTTONDOWN:
        mouseDown(MK_MBUTTON);
        return 0;
    case WM_LBUTTONUP:
        mouseUp(1, MK_LBUTTON, wParam, lParam);
        return 0;
    case WM_RBUTTONUP:
        mouseUp(2, MK_RBUTTON, wParam, lParam);
        return 0;
    case WM_MBUTTONUP:
        mouseUp(4, MK_MBUTTON, wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kDoubleClickTimer) {
            if (doubleClickGuard_.Expire()) {
                KillTimer(window, kDoubleClickTimer);
            }
            return 0;
        }
        break;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == scrollBar_) {
            scroll(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_SETTINGCHANGE: // the message font may have changed
    case WM_DISPLAYCHANGE: // and the screen's colours with its mode
        forgetMeasures();
        break;
    case WM_SYSCOLORCHANGE:
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    case WM_DPICHANGED:
        // The placement stays the engine's; the font follows in the next paint.
        forgetMeasures();
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
    invalidated_ = false;
    // Described before BeginPaint: the scroll bar may move, and what it
    // uncovers joins this paint instead of causing another.
    const ListPaint paint = client_.DescribeForPaint();
    const bool drawBar = syncScrollBar(paint);
    const PaintScope scope(window_.get());
    if (scope.dc() != nullptr) {
        draw(scope.dc(), paint);
    }
    // The scroll bar changed without drawing itself: drawn now, before the
    // list's paint ends, so that the screen shows both at once.
    if (drawBar) {
        RedrawWindow(scrollBar_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void ListSurfaceWin32::draw(HDC target, const ListPaint& paint) {
    RECT client{};
    GetClientRect(window_.get(), &client);
    const SIZE size{client.right, client.bottom};
    if (size.cx <= 0 || size.cy <= 0) {
        return;
    }
    const Measures& measured = measures();
    // Drawn off screen and copied in one go, so that a list repainted on
    // every key stroke never flickers.
    if (!backBuffer_ || !backBuffer_->Holds(size)) {
        const SIZE kept = backBuffer_ ? backBuffer_->Size() : SIZE{0, 0};
        backBuffer_.reset(); // before its successor takes the memory
        backBuffer_ = std::make_unique<BackBuffer>(
            target, SIZE{std::max(size.cx, kept.cx), std::max(size.cy, kept.cy)});
    }
    if (!backBuffer_->Usable()) {
        backBuffer_.reset();
        PaintList(target, size, paint, measured.font, measured.scrollBarWidth);
        return;
    }
    PaintList(backBuffer_->Dc(), size, paint, measured.font, measured.scrollBarWidth);
    BitBlt(target, 0, 0, size.cx, size.cy, backBuffer_->Dc(), 0, 0, SRCCOPY);
}

void ListSurfaceWin32::mouseDown(UINT button) {
    pressedButton_ = button;
    pressedTime_ = static_cast<DWORD>(GetMessageTime());
    if (!GetPhysicalCursorPos(&pressedAt_)) {
        GetCursorPos(&pressedAt_);
    }
}

void ListSurfaceWin32::mouseUp(std::int16_t button, UINT pressed, WPARAM keys, LPARAM position) {
    const auto x = static_cast<std::int16_t>(LOWORD(position));
    const auto y = static_cast<std::int16_t>(HIWORD(position));
    const std::weak_ptr<bool> alive = alive_;
    client_.SurfaceMouseUp(button, shiftState(keys), x, y);
    if (alive.expired()) {
        return; // the client let go of the list meanwhile
    }
    // The click took its row and the list went away: the second click of a
    // double-click would land on whatever lay underneath.
    if (pressed == pressedButton_ && Rect().Height() == 0 &&
        doubleClickGuard_.Arm(pressed, pressedTime_, pressedAt_)) {
        SetTimer(window_.get(), kDoubleClickTimer, GetDoubleClickTime(), nullptr);
    }
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

bool ListSurfaceWin32::syncScrollBar(const ListPaint& paint) {
    if (!paint.verticalScrollBar) {
        if (barShown_) {
            ShowWindow(scrollBar_, SW_HIDE);
            barShown_ = false;
        }
        return false;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = std::max(0, paint.rowCount - 1);
    info.nPage = static_cast<UINT>(std::max(0, paint.pageRows));
    info.nPos = paint.firstRow;
    // Without a redraw of its own: it is drawn once, with the list.
    const bool infoChanged = barInfo_.cbSize == 0 || !sameScrollInfo(info, barInfo_);
    if (infoChanged) {
        SetScrollInfo(scrollBar_, SB_CTL, &info, FALSE);
        barInfo_ = info;
    }
    const int width = measures().scrollBarWidth;
    const WindowRect& grid = paint.grid;
    const RECT rect{grid.Right - width, grid.Top, grid.Right,
                    grid.Top + std::max(0, grid.Height())};
    const bool placed = !barShown_ || !EqualRect(&rect, &barRect_);
    if (placed) {
        SetWindowPos(scrollBar_, nullptr, rect.left, rect.top, width, rect.bottom - rect.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        barShown_ = true;
        barRect_ = rect;
    }
    if (!placed && !infoChanged) {
        return false;
    }
    // Drawn again only when it looks different: a count that changes by a
    // few rows among thousands leaves the thumb where it is, and drawing a
    // scroll bar is far from free (under Wine it costs more than the list).
    SCROLLBARINFO look{};
    look.cbSize = sizeof look;
    const bool known = GetScrollBarInfo(scrollBar_, OBJID_CLIENT, &look) != FALSE;
    const bool looksDifferent = placed || !known || !barLookKnown_ || !sameLook(look, barLook_);
    barLook_ = look;
    barLookKnown_ = known;
    return looksDifferent;
}

const ListSurfaceWin32::Measures& ListSurfaceWin32::measures() {
    if (!measures_) {
        measures_ = std::make_unique<Measures>(DpiOf(window_.get()));
    }
    return *measures_;
}

void ListSurfaceWin32::forgetMeasures() {
    measures_.reset();
    backBuffer_.reset();
    barRect_ = {}; // its width follows the DPI
    barLookKnown_ = false;
    invalidated_ = false;
    Invalidate();
}

} // namespace fillahead::win32
