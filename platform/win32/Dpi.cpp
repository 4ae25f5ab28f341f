#include "platform/win32/Dpi.h"

#include "platform/win32/Handles.h"

#include <cstddef>

namespace fillahead::win32 {
namespace {

// A user32 export that older systems may lack; null when absent.
template <typename Function>
Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    // Through void (*)(), the one function pointer type that converts to
    // every other without a cast-function-type warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

struct DpiFunctions {
    UINT(WINAPI* getDpiForWindow)(HWND) = user32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT(WINAPI* getDpiForSystem)() = user32Function<UINT(WINAPI*)()>("GetDpiForSystem");
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) =
        user32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    BOOL(WINAPI* systemParametersInfoForDpi)
    (UINT, UINT, PVOID, UINT, UINT) =
        user32Function<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
};

const DpiFunctions& dpiFunctions() {
    static const DpiFunctions functions;
    return functions;
}

UINT deviceDpi(HDC screen, int axis) {
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, axis) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

UINT screenDpi(int axis) {
    const UniqueWindowDC screen = GetUniqueDC(nullptr);
    return deviceDpi(screen.get(), axis);
}

// The window's or the system's DPI where the system tells it, else 0.
UINT systemDpi(HWND window) {
    const DpiFunctions& functions = dpiFunctions();
    if (window != nullptr && functions.getDpiForWindow != nullptr) {
        if (const UINT dpi = functions.getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    return functions.getDpiForSystem != nullptr ? functions.getDpiForSystem() : 0;
}

} // namespace

UINT DpiOf(HWND window, int axis) {
    const UINT dpi = systemDpi(window);
    return dpi != 0 ? dpi : screenDpi(axis);
}

AxisDpi DpiOfBothAxes(HWND window) {
    if (const UINT dpi = systemDpi(window); dpi != 0) {
        return {dpi, dpi};
    }
    const UniqueWindowDC screen = GetUniqueDC(nullptr);
    return {deviceDpi(screen.get(), LOGPIXELSX), deviceDpi(screen.get(), LOGPIXELSY)};
}

int ScaleToDpi(int pixelsAt96, UINT dpi) {
    return MulDiv(pixelsAt96, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

int SystemMetricForDpi(int index, UINT dpi) {
    const DpiFunctions& functions = dpiFunctions();
    if (functions.getSystemMetricsForDpi != nullptr) {
        return functions.getSystemMetricsForDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                  static_cast<int>(screenDpi(LOGPIXELSY)));
}

LOGFONTW MessageFontForDpi(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const DpiFunctions& functions = dpiFunctions();
    if (functions.systemParametersInfoForDpi != nullptr &&
        functions.systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0,
                                             dpi)) {
        return metrics.lfMessageFont;
    }
    // Without the DPI-aware call the font comes at the system DPI; systems
    // before Vista also want the structure without its last member.
    bool found = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    if (!found) {
        metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        found = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    }
    LOGFONTW font = metrics.lfMessageFont;
    if (!found) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    }
    font.lfHeight =
        MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(screenDpi(LOGPIXELSY)));
    return font;
}

} // namespace fillahead::win32
