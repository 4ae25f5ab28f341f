// Desktop: the window functions the engine calls, the list window's real
// window, the about box and the yield to the host's message loop. On Windows
// these are user32 calls (platform/win32); elsewhere an in-process desktop
// stands in (platform/simulated).
//
// Every call comes on the host's user-interface thread. Positions and sizes
// are screen pixels unless a name says twips.
#pragma once

#include "platform/Text.h"
#include "platform/Timer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace fillahead {

// A window handle as automation clients see it (hWnd is a Long).
using WindowHandle = std::int32_t;

// SetWindowPos arguments the system uses.
inline constexpr WindowHandle kTopmost = -1;       // HWND_TOPMOST
inline constexpr std::uint32_t kNoActivate = 0x10; // SWP_NOACTIVATE
inline constexpr std::uint32_t kShowWindow = 0x40; // SWP_SHOWWINDOW

// OLE colours: 0x00BBGGRR, or 0x800000nn for system colour nn.
inline constexpr std::uint32_t kSystemWindowBackground = 0x80000005; // COLOR_WINDOW
inline constexpr std::uint32_t kSystemWindowText = 0x80000008;       // COLOR_WINDOWTEXT

struct WindowRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    bool operator==(const WindowRect&) const = default;
};

struct TwipsPerPixelXY {
    double x = 15;
    double y = 15;
};

// What the list window shows, in pixels of its client area. The portable
// list window model describes it; the platform only draws it.
struct ListRowPaint {
    Text text;
    bool selected = false;
};

struct ListPaint {
    std::uint32_t backColor = kSystemWindowBackground;
    std::int32_t borderWidth = 1;
    WindowRect grid;            // the grid's area
    std::int32_t rowHeight = 0; // pixels
    std::int32_t columnWidth = 0;
    std::int32_t alignment = 0; // 0 left, 1 right, 2 centre
    std::vector<ListRowPaint> rows;
    Text emphasis; // the typed text; its occurrence in each row is emphasised
    bool verticalScrollBar = false;
    std::int32_t firstRow = 0;          // scroll position: index of the top row
    std::int32_t rowCount = 0;          // rows in all
    std::int32_t pageRows = 0;          // rows that fit
    WindowRect grip;                    // where the grip icon is drawn
    std::vector<std::uint8_t> gripMask; // 32 x 32, row by row, 1 = dark grey
};

// What the list window's model offers its real window.
class ListSurfaceClient {
public:
    virtual ~ListSurfaceClient() = default;
    virtual ListPaint DescribeForPaint() = 0;
    // The window's size changed (by SetWindowPos or Move).
    virtual void SurfaceResized() = 0;
    // A mouse button went up over the client area.
    virtual void SurfaceMouseUp(std::int16_t button, std::int16_t shift, std::int32_t x,
                                std::int32_t y) = 0;
    // The user moved the scroll bar or turned the wheel: show this row on top.
    virtual void SurfaceScrollTo(std::int32_t firstRow) = 0;
};

// The list window's real window: borderless, topmost when placed, never
// activated.
class ListSurface {
public:
    virtual ~ListSurface() = default;
    virtual WindowHandle Handle() const = 0;
    // The window's screen rectangle.
    virtual WindowRect Rect() const = 0;
    // Moves and sizes the window, keeping its z-order and visibility and
    // never activating it; a height of 0 leaves nothing to see. Nothing
    // happens when the window is there already.
    virtual void Move(const WindowRect& rect) = 0;
    // The description changed: draw again.
    virtual void Invalidate() = 0;
};

struct AboutInfo {
    Text title;
    Text version;
    Text description;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual std::unique_ptr<ListSurface> CreateListSurface(ListSurfaceClient& client) = 0;

    // user32's SetWindowPos, GetWindowRect (false leaves rect unchanged),
    // GetForegroundWindow and SetForegroundWindow.
    virtual void SetWindowPos(WindowHandle window, WindowHandle insertAfter, std::int32_t x,
                              std::int32_t y, std::int32_t width, std::int32_t height,
                              std::uint32_t flags) = 0;
    virtual bool GetWindowRect(WindowHandle window, WindowRect& rect) = 0;
    virtual WindowHandle GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
    // The window of this thread that has the keyboard focus, 0 for none.
    virtual WindowHandle GetFocus() = 0;
    // The work area (the screen less the task bars) of the monitor that
    // holds the largest part of rect, or of the one nearest to it.
    virtual WindowRect WorkArea(const WindowRect& rect) = 0;

    // Lets pending window messages be processed once (VB's DoEvents).
    virtual void DoEvents() = 0;

    // Twips per screen pixel (15 at 96 dots per inch).
    virtual double TwipsPerPixelX() = 0;
    virtual double TwipsPerPixelY() = 0;
    // Both at once, from one look at the screen.
    virtual TwipsPerPixelXY TwipsPerPixel() { return {TwipsPerPixelX(), TwipsPerPixelY()}; }
    // Height of one list row in pixels, for the list font.
    virtual std::int32_t ListRowHeight() = 0;

    // Shows the about box without blocking and returns its window.
    virtual WindowHandle ShowAboutBox(const AboutInfo& about) = 0;

    // A timer that calls tick on this thread; created disabled, interval 0.
    virtual std::unique_ptr<Timer> CreateTimer(TimerTick tick) = 0;
};

} // namespace fillahead
