// How the list window looks: its fonts and the drawing of a ListPaint.
#pragma once

#include <windows.h>

#include "platform/Desktop.h"
#include "platform/win32/Handles.h"

namespace fillahead::win32 {

// The list's fonts at one DPI: the system's message font, and a bold one for
// the typed text inside each row.
class ListFonts {
public:
    explicit ListFonts(UINT dpi);

    UINT Dpi() const { return dpi_; }
    HFONT Regular() const { return regular_.get(); }
    HFONT Bold() const { return bold_.get(); }
    // The font's height with some air above and below: a row that reads
    // like a native drop-down's.
    int RowHeight() const { return rowHeight_; }
    // Space between a cell's edge and its text.
    int TextPadding() const { return textPadding_; }
    // Of the regular font, to centre a line of text in a row.
    int TextHeight() const { return textHeight_; }
    int Ascent() const { return ascent_; }

private:
    UINT dpi_;
    UniqueFont regular_;
    UniqueFont bold_;
    int rowHeight_ = 0;
    int textPadding_ = 0;
    int textHeight_ = 0;
    int ascent_ = 0;
};

// Draws paint onto dc, whose origin is the client area's top-left corner:
// background, rows (the selected one highlighted, the part that matches the
// emphasis in bold), the grip icon and the border. The area of a scroll bar
// of scrollBarWidth at the grid's right edge is left to the scroll bar.
void PaintList(HDC dc, SIZE clientSize, const ListPaint& paint, const ListFonts& fonts,
               int scrollBarWidth);

} // namespace fillahead::win32
