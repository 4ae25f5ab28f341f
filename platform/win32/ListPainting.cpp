#include "platform/win32/ListPainting.h"

#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Interop.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace fillahead::win32 {
namespace {

constexpr int kGripSide = 32;
constexpr COLORREF kGripColor = RGB(128, 128, 128);

// One brush for every fill: the DC's own, recoloured.
void fill(HDC dc, const RECT& rect, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

struct TextPiece {
    std::wstring_view text;
    HFONT font = nullptr;
    int width = 0;
};

// A row's text in up to three pieces, the first occurrence of the emphasis
// (already folded) in bold. Folding keeps UTF-16 lengths, so a position in
// the folded text is the same position in the original.
std::array<TextPiece, 3> splitAtEmphasis(std::wstring_view text, const Text& original,
                                         const Text& foldedEmphasis, const ListFonts& fonts) {
    std::size_t start = text.size();
    std::size_t length = 0;
    if (!foldedEmphasis.empty()) {
        const std::size_t found = foldCase(original).find(foldedEmphasis);
        if (found != Text::npos) {
            start = found;
            length = foldedEmphasis.size();
        }
    }
    return {TextPiece{text.substr(0, start), fonts.Regular()},
            TextPiece{text.substr(start, length), fonts.Bold()},
            TextPiece{text.substr(start + length), fonts.Regular()}};
}

void drawRowText(HDC dc, const RECT& cell, const Text& text, const Text& foldedEmphasis,
                 std::int32_t alignment, std::int32_t rowHeight, const ListFonts& fonts) {
    const std::wstring wide = ToWide(text);
    std::array<TextPiece, 3> pieces = splitAtEmphasis(wide, text, foldedEmphasis, fonts);
    int total = 0;
    for (TextPiece& piece : pieces) {
        if (!piece.text.empty()) {
            const SelectedObject font(dc, piece.font);
            SIZE size{};
            GetTextExtentPoint32W(dc, piece.text.data(), static_cast<int>(piece.text.size()),
                                  &size);
            piece.width = size.cx;
            total += size.cx;
        }
    }

    const RECT clip{cell.left + fonts.TextPadding(), cell.top, cell.right - fonts.TextPadding(),
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
    // One baseline for both fonts, the regular text centred in the row.
    const int baseline = cell.top + (rowHeight - fonts.TextHeight()) / 2 + fonts.Ascent();
    for (const TextPiece& piece : pieces) {
        if (!piece.text.empty()) {
            const SelectedObject font(dc, piece.font);
            ExtTextOutW(dc, x, baseline, ETO_CLIPPED, &clip, piece.text.data(),
                        static_cast<UINT>(piece.text.size()), nullptr);
            x += piece.width;
        }
    }
}

void drawRows(HDC dc, const ListPaint& paint, const ListFonts& fonts, int scrollBarWidth) {
    const WindowRect& grid = paint.grid;
    if (paint.rowHeight <= 0 || grid.Width() <= 0 || grid.Height() <= 0) {
        return;
    }
    const SavedDC saved(dc);
    IntersectClipRect(dc, grid.Left, grid.Top, grid.Right, grid.Bottom);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);

    const int textRight = grid.Right - (paint.verticalScrollBar ? scrollBarWidth : 0);
    const int cellRight =
        paint.columnWidth > 0 ? std::min(grid.Left + paint.columnWidth, textRight) : textRight;
    const Text emphasis = foldCase(paint.emphasis);
    int top = grid.Top;
    for (const ListRowPaint& row : paint.rows) {
        if (top >= grid.Bottom) {
            break;
        }
        const RECT cell{grid.Left, top, cellRight, top + paint.rowHeight};
        if (row.selected) {
            fill(dc, cell, GetSysColor(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        }
        drawRowText(dc, cell, row.text, emphasis, paint.alignment, paint.rowHeight, fonts);
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

ListFonts::ListFonts(UINT dpi) : dpi_(dpi) {
    LOGFONTW font = MessageFontForDpi(dpi);
    regular_.reset(CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    bold_.reset(CreateFontIndirectW(&font));
    if (!regular_ || !bold_) {
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
}

void PaintList(HDC dc, SIZE clientSize, const ListPaint& paint, const ListFonts& fonts,
               int scrollBarWidth) {
    const RECT client{0, 0, clientSize.cx, clientSize.cy};
    fill(dc, client, ToColorRef(paint.backColor));
    drawRows(dc, paint, fonts, scrollBarWidth);
    drawGrip(dc, paint);
    drawBorder(dc, client, paint.borderWidth);
}

} // namespace fillahead::win32
