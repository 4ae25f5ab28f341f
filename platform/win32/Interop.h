// Conversions between the portable types and their Win32 forms.
#pragma once

#include <windows.h>

#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <cstdint>
#include <string>

namespace fillahead::win32 {

// Window handles are 32-bit values even in 64-bit Windows (they are shared
// with 32-bit processes), so the Long that automation clients see holds one
// without loss; widening back sign-extends, which keeps HWND_TOPMOST (-1).
inline WindowHandle ToWindowHandle(HWND window) {
    return static_cast<WindowHandle>(reinterpret_cast<std::intptr_t>(window));
}
inline HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(window));
}

inline WindowRect ToWindowRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}
inline RECT ToRect(const WindowRect& rect) {
    return {rect.Left, rect.Top, rect.Right, rect.Bottom};
}

inline std::wstring ToWide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

// An OLE colour as GDI wants it: 0x800000nn is system colour nn.
inline COLORREF ToColorRef(std::uint32_t oleColor) {
    if ((oleColor & 0x80000000u) != 0) {
        return GetSysColor(static_cast<int>(oleColor & 0xFFu));
    }
    return static_cast<COLORREF>(oleColor & 0x00FFFFFFu);
}

} // namespace fillahead::win32
