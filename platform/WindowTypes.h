// The value types of windows that every window service shares: handles as
// automation clients see them, rectangles, the SetWindowPos arguments the
// system uses, OLE colours and the screen's twips per pixel. Positions and
// sizes are screen pixels unless a name says twips.
#pragma once

#include <cstdint>

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

} // namespace fillahead
