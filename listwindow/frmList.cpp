#include "listwindow/frmList.h"

#include "listwindow/ListPlacement.h"
#include "platform/AutomationError.h"

#include <algorithm>
#include <cmath>

namespace fillahead {
namespace {

std::int32_t toPixels(float twips, double twipsPerPixel) {
    return static_cast<std::int32_t>(std::lround(twips / twipsPerPixel));
}

} // namespace

frmList::frmList(Desktop& desktop)
    : desktop_(desktop), scale_(desktop.TwipsPerPixel()),
      grid_(static_cast<float>(desktop.ListRowHeight() * scale_.y), [this] { invalidate(); }) {
    surface_ = desktop_.CreateListSurface(*this);
    Form_Resize();
}

frmList::~frmList() = default;

WindowHandle frmList::hWnd() const {
    return surface_->Handle();
}

void frmList::SetHeight(float twips) {
    height_ = twips;
    // Once per height given (once per key): the layout and its painting
    // convert with the same measure.
    scale_ = desktop_.TwipsPerPixel();
    surface_->Move(placement(std::max(0, toPixels(twips, scale_.y))));
    Form_Resize();
}

WindowRect frmList::placement(std::int32_t pixels) {
    const WindowRect now = surface_->Rect();
    // Anywhere but where it was shown from the last anchor, the window was
    // placed anew: by the engine, at height 0, under a field.
    if (!(now == placed_ && placed_.Height() > 0)) {
        anchorLeft_ = now.Left;
        anchorTop_ = now.Top;
        workArea_.reset();
    }
    const std::int32_t width = now.Width();
    if (pixels == 0) {
        placed_ = {anchorLeft_, anchorTop_, anchorLeft_ + width, anchorTop_};
        return placed_;
    }
    if (!workArea_) {
        const std::int32_t fieldHeight = std::max(1, fieldHeight_);
        workArea_ = desktop_.WorkArea(
            {anchorLeft_, anchorTop_ - fieldHeight, anchorLeft_ + width, anchorTop_});
    }
    std::optional<std::int32_t> top;
    if (anchorTop_ + pixels > workArea_->Bottom) {
        top = fieldTop(width); // only asked for when it matters
    }
    placed_ = PlaceList(anchorLeft_, top, anchorTop_, width, pixels, *workArea_);
    return placed_;
}

std::optional<std::int32_t> frmList::fieldTop(std::int32_t width) {
    if (fieldHeight_ > 0) {
        return anchorTop_ - fieldHeight_;
    }
    // A host that does not tell the field's height: the focused window, when
    // the list hangs right under it.
    const WindowHandle focus = desktop_.GetFocus();
    WindowRect field;
    if (focus != 0 && desktop_.GetWindowRect(focus, field) && field.Bottom == anchorTop_ &&
        field.Left < anchorLeft_ + width && anchorLeft_ < field.Right && field.Top < field.Bottom) {
        return field.Top;
    }
    return std::nullopt;
}

float frmList::Width() const {
    return static_cast<float>(surface_->Rect().Width() * scale_.x);
}

void frmList::SetBackColor(std::uint32_t color) {
    backColor_ = color;
    invalidate();
}

const std::array<std::uint8_t, 32 * 32>& frmList::GripIcon() {
    static const std::array<std::uint8_t, 32 * 32> icon = [] {
        std::array<std::uint8_t, 32 * 32> pixels{};
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const int diagonal = x + y;
                pixels[static_cast<std::size_t>(y * 32 + x)] =
                    diagonal >= 49 && (diagonal - 49) % 4 != 3 ? 1 : 0;
            }
        }
        return pixels;
    }();
    return icon;
}

void frmList::Form_Resize() {
    const float scaleWidth = Width();
    const float scaleHeight = height_;

    shape_.Left = 0;
    shape_.Top = 0;
    shape_.Width = scaleWidth;
    shape_.Height = scaleHeight;

    const auto bx = static_cast<float>(shape_.BorderWidth * scale_.x);
    const auto by = static_cast<float>(shape_.BorderWidth * scale_.y);

    const float gridWidth = std::max(0.0f, scaleWidth - 2 * bx);
    grip_.Left = std::max(0.0f, scaleWidth - grip_.Width - bx);
    grip_.Top = std::max(0.0f, scaleHeight - grip_.Height - by);

    const float rowHeight = grid_.RowHeight();
    const float gridHeight = rowHeight < height_ ? height_ - rowHeight : height_;
    grid_.Move(bx, by, gridWidth, gridHeight);
}

void frmList::invalidate() {
    if (surface_) {
        surface_->Invalidate();
    }
}

ListPaint frmList::DescribeForPaint() {
    const double tx = scale_.x;
    const double ty = scale_.y;
    ListPaint paint;
    paint.backColor = grid_.BackColor();
    paint.borderWidth = shape_.BorderWidth;
    paint.grid = {toPixels(grid_.Left(), tx), toPixels(grid_.Top(), ty),
                  toPixels(grid_.Left() + grid_.Width(), tx),
                  toPixels(grid_.Top() + grid_.Height(), ty)};
    paint.rowHeight = toPixels(grid_.RowHeight(), ty);
    paint.columnWidth = toPixels(grid_.Columns(0).Width(), tx);
    paint.alignment = grid_.Columns(0).Alignment();
    paint.emphasis = grid_.Emphasis();
    paint.verticalScrollBar = grid_.ScrollBars() == 2;
    paint.firstRow = grid_.FirstRow();
    paint.rowCount = grid_.PresentedRows();
    paint.pageRows = grid_.Capacity();

    fillahead::DataGrid::SelBookmarks& selected = grid_.SelectedBookmarks();
    const std::int32_t visible = grid_.VisibleRows();
    for (std::int32_t row = 0; row < visible; ++row) {
        ListRowPaint line;
        // A row that cannot be read (a data field the source lacks) shows empty.
        ignoreErrors([&] {
            const Bookmark bookmark = grid_.RowBookmark(row);
            const Variant value = grid_.Columns(0).CellValue(bookmark);
            line.text = value.isNull() ? Text() : value.toText();
            for (std::int32_t i = 0; i < selected.Count(); ++i) {
                line.selected = line.selected || selected.Item(i) == bookmark;
            }
        });
        paint.rows.push_back(std::move(line));
    }
    paint.grip = {toPixels(grip_.Left, tx), toPixels(grip_.Top, ty),
                  toPixels(grip_.Left + grip_.Width, tx), toPixels(grip_.Top + grip_.Height, ty)};
    const auto& icon = GripIcon();
    paint.gripMask.assign(icon.begin(), icon.end());
    return paint;
}

void frmList::SurfaceResized() {
    Form_Resize();
}

void frmList::SurfaceMouseUp(std::int16_t button, std::int16_t shift, std::int32_t x,
                             std::int32_t y) {
    const auto gridX = static_cast<float>(x * scale_.x) - grid_.Left();
    const auto gridY = static_cast<float>(y * scale_.y) - grid_.Top();
    if (gridX < 0 || gridY < 0 || gridX >= grid_.Width() || gridY >= grid_.Height()) {
        return; // on the border or the grip strip, not on the grid
    }
    grid_.RaiseMouseUp(button, shift, gridX, gridY);
}

void frmList::SurfaceScrollTo(std::int32_t firstRow) {
    grid_.Scroll(0, firstRow - grid_.FirstRow());
}

} // namespace fillahead
