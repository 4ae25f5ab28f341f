// Counts the user32 and gdi32 calls this program makes, by kind. The entries
// of the program's own import table (and the functions it looks up with
// GetProcAddress) are pointed at stand-ins that count and pass the call on,
// so that the code under measurement runs unchanged.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

namespace fillahead::bench {

enum class CallKind {
    Placement,    // SetWindowPos, ShowWindow, MoveWindow
    ScrollBar,    // SetScrollInfo, GetScrollInfo, GetScrollBarInfo
    Selection,    // SelectObject
    Invalidation, // InvalidateRect, RedrawWindow, UpdateWindow
    GdiObject,    // fonts, bitmaps and memory DCs made
    Foreground,   // GetForegroundWindow
    Dpi,          // GetDpiForWindow, GetDpiForSystem, GetDeviceCaps
    Count
};

inline constexpr std::array<const char*, static_cast<std::size_t>(CallKind::Count)> kCallKindNames =
    {"placement", "scroll bar", "GDI select", "invalidate", "GDI objects", "foreground", "DPI"};

using CallCounts = std::array<std::uint64_t, static_cast<std::size_t>(CallKind::Count)>;

// Redirects the imports once; call it before the first window is made (the
// DPI functions are looked up on first use). Throws std::runtime_error when
// the import table cannot be changed.
void InstallCallCounters();

// What was counted since the program started.
const CallCounts& CountedCalls();

// RedrawWindow as the system has it, for the harness's own calls, which must
// not count.
BOOL UncountedRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags);

} // namespace fillahead::bench
