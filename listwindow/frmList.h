// frmList: the drop-down list, a borderless top-level window with a one-piece
// border (Shape), the grid of matches (DataGrid) and a decorative size grip
// (ScrollGrip) in the bottom-right corner.
//
// The engine drives it from outside. Shown and hidden are a matter of its
// height: 0 is hidden, anything more is shown; the window itself is only ever
// made visible by the engine's topmost placement. The engine places it under
// the field; when it is given a height that would take it past the bottom of
// the field's work area it moves above the field instead (ListPlacement.h),
// and back when hidden. On every resize the window lays out its three
// controls. Lengths are twips, the screen measured once per height given;
// the real window lives behind the platform's ListSurface.
#pragma once

#include "listwindow/DataGrid.h"
#include "platform/Desktop.h"
#include "platform/ListSurface.h"
#include "platform/WindowTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace fillahead {

class frmList final : public ListSurfaceClient {
public:
    struct ShapeControl {
        float Left = 0;
        float Top = 0;
        float Width = 0;
        float Height = 0;
        std::int32_t BorderWidth = 1; // pixels
    };
    struct ImageControl {
        float Left = 0;
        float Top = 0;
        float Width = 480;
        float Height = 480;
    };

    // Loads the window: created with height 0, not visible.
    explicit frmList(Desktop& desktop);
    // Unloads it.
    ~frmList() override;
    frmList(const frmList&) = delete;
    frmList& operator=(const frmList&) = delete;

    WindowHandle hWnd() const;
    float Height() const { return height_; }
    void SetHeight(float twips);
    // The height of the field the engine places the window under, in screen
    // pixels (the engine's Height); 0 when the host does not tell it.
    void SetFieldHeight(std::int32_t pixels) { fieldHeight_ = pixels; }
    // The window's width, read from the screen.
    float Width() const;
    std::uint32_t BackColor() const { return backColor_; }
    void SetBackColor(std::uint32_t color);

    class DataGrid& DataGrid() {
        return grid_;
    }
    const ShapeControl& Shape() const { return shape_; }
    ShapeControl& Shape() { return shape_; }
    const ImageControl& ScrollGrip() const { return grip_; }

    // The grip icon: 32 x 32 pixels, row by row, 1 where it is dark grey
    // (red, green, blue 128), 0 where it is transparent.
    static const std::array<std::uint8_t, 32 * 32>& GripIcon();

    // Lays out Shape, DataGrid and ScrollGrip for the current size.
    void Form_Resize();

    // ListSurfaceClient
    ListPaint DescribeForPaint() override;
    void SurfaceResized() override;
    void SurfaceMouseUp(std::int16_t button, std::int16_t shift, std::int32_t x,
                        std::int32_t y) override;
    void SurfaceScrollTo(std::int32_t firstRow) override;

private:
    void invalidate();
    // Where the window goes at that height beside its field.
    WindowRect placement(std::int32_t pixels);
    std::optional<std::int32_t> fieldTop(std::int32_t width);

    Desktop& desktop_;
    TwipsPerPixelXY scale_;
    float height_ = 0;
    std::int32_t fieldHeight_ = 0;
    // The field's bottom-left corner, where the engine last placed the
    // window, that field's work area once asked for, and where the window
    // was put from there.
    std::int32_t anchorLeft_ = 0;
    std::int32_t anchorTop_ = 0;
    std::optional<WindowRect> workArea_;
    WindowRect placed_;
    std::uint32_t backColor_ = kSystemWindowBackground;
    ShapeControl shape_;
    ImageControl grip_;
    class DataGrid grid_;
    std::unique_ptr<ListSurface> surface_;
};

} // namespace fillahead
