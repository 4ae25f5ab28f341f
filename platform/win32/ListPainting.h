// How the list window looks: its font and the drawing of a ListPaint.
#pragma once

#include <windows.h>

#include "platform/ListSurface.h"
#include "platform/win32/Handles.h"

namespace fillahead::win32 {

// The list's font at one DPI: the system's message font. The typed text
// inside each row is emphasised by drawing it a second time a little to the
// right, in the same font: its letters keep the places they have in the
// plain text, so a match inside a word still reads as one word, and the
// emphasis is rasterised like the rest of the row, so it can only come out
// darker (a bold face of its own may be smoothed differently, and its
// side bearings open gaps beside it).
class ListFont {
public:
    explicit ListFont(UINT dpi);

    UINT Dpi() const { return dpi_; }
    HFONT Regular() const { return regular_.get(); }
    // The font's height with some air above and below: a row that reads
    // like a native drop-down's.
    int RowHeight() const { return rowHeight_; }
    // Space between a cell's edge and its text.
    int TextPadding() const { return textPadding_; }
    // To centre a line of text in a row.
    int TextHeight() const { return textHeight_; }
    int Ascent() const { return ascent_; }
    // How far right the emphasised text is drawn again, and how much wider
    // that makes it: one pixel per 96 DPI.
    int EmphasisOffset() const { return emphasisOffset_; }

private:
    UINT dpi_;
    UniqueFont regular_;
    int rowHeight_ = 0;
    int textPadding_ = 0;
    int textHeight_ = 0;
    int ascent_ = 0;
    int emphasisOffset_ = 1;
};

// Draws paint onto dc, whose origin is the client area's top-left corner:
// background, rows (the selected one highlighted, the part that matches the
// emphasis emphasised), the grip icon and the border. The area of a scroll
// bar of scrollBarWidth at the grid's right edge is left to the scroll bar.
// Leaves the DC's font, colours, modes and clipping as they were.
void PaintList(HDC dc, SIZE clientSize, const ListPaint& paint, const ListFont& font,
               int scrollBarWidth);

} // namespace fillahead::win32
