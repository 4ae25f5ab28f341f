// Where the list window goes beside the field it serves, in screen pixels.
#pragma once

#include "platform/WindowTypes.h"

#include <cstdint>
#include <optional>

namespace fillahead {

// A list of width x height whose field spans [fieldTop, fieldBottom)
// vertically, starting at left. It goes under the field, exactly where the
// engine placed it, as long as it fits within the work area. When it would
// reach past the work area's bottom it goes above the field, its bottom on
// the field's top, if it fits there or there is more room there than below;
// without a known field top it stays below. Sideways it is kept inside the
// work area (its left edge wins when it is the wider). A list of height 0
// (hidden) and an empty work area leave everything where the engine put it.
WindowRect PlaceList(std::int32_t left, std::optional<std::int32_t> fieldTop,
                     std::int32_t fieldBottom, std::int32_t width, std::int32_t height,
                     const WindowRect& workArea);

} // namespace fillahead
