// Dpi: the dots per inch things are drawn at, and the system metrics and
// message font for a DPI. The per-monitor functions exist from Windows 10
// version 1607 on and are looked up at run time, so that the library still
// loads on older systems, where the system DPI serves.
#pragma once

#include <windows.h>

namespace fillahead::win32 {

inline constexpr UINT kDefaultDpi = 96;

// The DPI of window as the calling thread sees it: its monitor's for a
// per-monitor aware window, the system's for a system aware one, 96 for an
// unaware one (Windows scales those). Without a window, or before Windows 10,
// the system DPI on the given axis (LOGPIXELSX or LOGPIXELSY).
UINT DpiOf(HWND window, int axis = LOGPIXELSY);

// DpiOf on both axes from one look: only the fallback to the screen's device
// capabilities can tell them apart.
struct AxisDpi {
    UINT x = kDefaultDpi;
    UINT y = kDefaultDpi;
};
AxisDpi DpiOfBothAxes(HWND window);

// A length designed at 96 DPI, at dpi.
int ScaleToDpi(int pixelsAt96, UINT dpi);

// GetSystemMetrics at dpi.
int SystemMetricForDpi(int index, UINT dpi);

// The font of message boxes and dialogs (Segoe UI on current Windows, Tahoma
// under Wine), sized for dpi.
LOGFONTW MessageFontForDpi(UINT dpi);

} // namespace fillahead::win32
