#include "platform/win32/ListPainting.h"

#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"

#include <algorithm>
#include <string>
#include <vector>

namespace fillahead::win32 {
namespace {

constexpr int kGripSide = 32;
constexpr COLORREF kGripColor = RGB(128, 128, 128);

// One brush for every fill: the DC's own, recoloured.
void fill(HDC dc, const RECT& rect, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// Where the first occurrence of the emphasis (already folded) lies in a row's
// text: [start, start + length), empty when there is none. Folding keeps
// UTF-16 lengths, so a position in the folded text is the same position in
// the original.
struct Emphasised {
    std::size_t start = 0;
    std::size_t length = 0;
};

Emphasised findEmphasis(const Text& text, const Text& foldedEmphasis) {
    if (foldedEmphasis.empty()) {
        return {};
    }
    const std::size_t found = foldCase(text).find(foldedEmphasis);
    return found == Text::npos ? Emphasised{} : Emphasised{found, foldedEmphasis.size()};
}

// One row's text in the font selected into dc. advances is scratch space
// kept across rows.
void drawRowText(HDC dc, const RECT& cell, const Text& text, const Text& foldedEmphasis,
                 std::int32_t alignment, std::int32_t rowHeight, const ListFont& font,
                 std::vector<int>& advances) {
    if (text.empty()) {
        return;
    }
    const std::wstring wide = ToWide(text);
    const int count = static_cast<int>(wide.size());
    // Every character goes where this measurement says, also in runs drawn
    // on their own: a text drawn whole may be laid out differently (Wine
    // kerns it) from what its parts measure, which would open gaps between
    // the runs.
    advances.resize(wide.size());
    SIZE size{};
    if (!GetTextExtentExPointW(dc, wide.data(), count, 0, nullptr, advances.data(), &size)) {
        return;
    }
    for (std::size_t i = advances.size() - 1; i > 0; --i) {
        advances[i] -= advances[i - 1]; // from extents up to each character
    }
    const Emphasised emphasis = findEmphasis(text, foldedEmphasis);
    const int offset = emphasis.length > 0 ? font.EmphasisOffset() : 0;
    const std::size_t end = emphasis.start + emphasis.length;
    int before = 0; // from the text's start to the emphasis
    for (std::size_t i = 0; i < emphasis.start; ++i) {
        before += advances[i];
    }
    if (emphasis.length > 0) {
        advances[end - 1] += offset; // the emphasis is that much wider
    }
    const int total = size.cx + offset;

    const RECT clip{cell.left + font.TextPadding(), cell.top, cell.right - font.TextPadding(),
                    cell.bottom};
    int x = clip.left;
    // A value wider than its cell shows its beginning, whatever the alignment.
    if (total < clip.right - clip.left) {
        if (alignment == 1) {
            x = clip.right - total;
        } else if (alignment == 2) {
            x = clip.left + (clip.right - clip.left - total) / 2;
        }
    }
    const int baseline = cell.top + (rowHeight - font.TextHeight()) / 2 + font.Ascent();
    ExtTextOutW(dc, x, baseline, ETO_CLIPPED, &clip, wide.data(), static_cast<UINT>(count),
                advances.data());
    if (emphasis.length > 0) {
        ExtTextOutW(dc, x + before + offset, baseline, ETO_CLIPPED, &clip,
                    wide.data() + emphasis.start, static_cast<UINT>(emphasis.length),
                    advances.data() + emphasis.start);
    }
}

void drawRows(HDC dc, const ListPaint& paint, const ListFont& font, int scrollBarWidth) {
    const WindowRect& grid = paint.grid;
    if (paint.rowHeight <= 0 || grid.Width() <= 0 || grid.Height() <= 0) {
        return;
    }
    const SavedDC saved(dc);
    IntersectClipRect(dc, grid.Left, grid.Top, grid.Right, grid.Bottom);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SelectObject(dc, font.Regular()); // put back with the rest of the DC's state

    const int textRight = grid.Right - (paint.verticalScrollBar ? scrollBarWidth : 0);
    const int cellRight =
        paint.columnWidth > 0 ? std::min(grid.Left + paint.columnWidth, textRight) : textRight;
    const Text emphasis = foldCase(paint.emphasis);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
    std::vector<int> advances;
    int top = grid.Top;
    for (const ListRowPaint& row : paint.rows) {
        if (top >= grid.Bottom) {
            break;
        }
        const RECT cell{grid.Left, top, cellRight, top + paint.rowHeight};
        if (row.selected) {
            fill(dc, cell, highlight);
            SetTextColor(dc, highlightText);
        } else {
            SetTextColor(dc, windowText);
        }
        drawRowText(dc, cell, row.text, emphasis, paint.alignment, paint.rowHeight, font, advances);
        top += paint.rowHeight;
    }
}

// The 32 x 32 icon scaled to its rectangle, one fill per run of dark pixels.
void drawGrip(HDC dc, const ListPaint& paint) {
    const WindowRect& grip = paint.grip;
    if (paint.gripMask.size() != kGripSide * kGripSide || grip.Width() <= 0 || grip.Height() <= 0) {
        return;
    }
    const auto dark = [&](int x, int y) { return paint.gripMask[y * kGripSide + x] != 0; };
    for (int y = 0; y < kGripSide; ++y) {
        const int top = grip.Top + y * grip.Height() / kGripSide;
        const int bottom = grip.Top + (y + 1) * grip.Height() / kGripSide;
        if (bottom <= top) {
            continue;
        }
        for (int x = 0; x < kGripSide;) {
            if (!dark(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < kGripSide && dark(end, y)) {
                ++end;
            }
            fill(dc,
                 {grip.Left + x * grip.Width() / kGripSide, top,
                  grip.Left + end * grip.Width() / kGripSide, bottom},
                 kGripColor);
            x = end;
        }
    }
}

void drawBorder(HDC dc, RECT edge, std::int32_t width) {
    SetDCBrushColor(dc, GetSysColor(COLOR_WINDOWFRAME));
    for (std::int32_t ring = 0; ring < width && edge.right > edge.left && edge.bottom > edge.top;
         ++ring) {
        FrameRect(dc, &edge, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        InflateRect(&edge, -1, -1);
    }
}

} // namespace

ListFont::ListFont(UINT dpi) : dpi_(dpi) {
    const LOGFONTW font = MessageFontForDpi(dpi);
    regular_.reset(CreateFontIndirectW(&font));
    if (!regular_) {
        throw AutomationError(error::OutOfMemory);
    }
    TEXTMETRICW metrics{};
    if (const UniqueWindowDC screen = GetUniqueDC(nullptr)) {
        const SelectedObject selected(screen.get(), regular_.get());
        GetTextMetricsW(screen.get(), &metrics);
    }
    textHeight_ = metrics.tmHeight;
    ascent_ = metrics.tmAscent;
    rowHeight_ = metrics.tmHeight + ScaleToDpi(4, dpi);
    textPadding_ = ScaleToDpi(4, dpi);
    emphasisOffset_ = std::max(1, static_cast<int>(dpi / kDefaultDpi));
}

void PaintList(HDC dc, SIZE clientSize, const ListPaint& paint, const ListFont& font,
               int scrollBarWidth) {
    const RECT client{0, 0, clientSize.cx, clientSize.cy};
    fill(dc, client, ToColorRef(paint.backColor));
    drawRows(dc, paint, font, scrollBarWidth);
    drawGrip(dc, paint);
    drawBorder(dc, client, paint.borderWidth);
}

} // namespace fillahead::win32
