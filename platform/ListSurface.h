// ListSurface: the list window's real window, and what the portable list
// window model (listwindow/frmList.h) tells it. The model describes what to
// show in pixels of the client area; the platform only draws it and reports
// the user's clicks and scrolling back. On Windows a window of ours
// (platform/win32/ListSurfaceWin32.h); natively the simulated desktop's.
#pragma once

#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <cstdint>
#include <vector>

namespace fillahead {

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

} // namespace fillahead
