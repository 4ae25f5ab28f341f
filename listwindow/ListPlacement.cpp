#include "listwindow/ListPlacement.h"

namespace fillahead {

WindowRect PlaceList(std::int32_t left, std::optional<std::int32_t> fieldTop,
                     std::int32_t fieldBottom, std::int32_t width, std::int32_t height,
                     const WindowRect& workArea) {
    WindowRect list{left, fieldBottom, left + width, fieldBottom + height};
    if (height <= 0 || workArea.Width() <= 0 || workArea.Height() <= 0) {
        return list;
    }
    if (list.Bottom > workArea.Bottom && fieldTop) {
        const std::int64_t roomAbove = std::int64_t{*fieldTop} - workArea.Top;
        const std::int64_t roomBelow = std::int64_t{workArea.Bottom} - fieldBottom;
        if (height <= roomAbove || roomAbove > roomBelow) {
            list.Top = *fieldTop - height;
            list.Bottom = *fieldTop;
        }
    }
    std::int32_t shift = 0;
    if (list.Right > workArea.Right) {
        shift = workArea.Right - list.Right;
    }
    if (list.Left + shift < workArea.Left) {
        shift = workArea.Left - list.Left;
    }
    list.Left += shift;
    list.Right += shift;
    return list;
}

} // namespace fillahead
