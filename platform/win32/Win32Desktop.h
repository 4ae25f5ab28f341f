// Win32Desktop: the desktop as user32 offers it. The window functions go
// straight through, except that a placement that would change nothing is
// left out; the list window is a ListSurfaceWin32; twips follow the DPI of
// the window the user works in.
#pragma once

#include "platform/Desktop.h"
#include "platform/win32/AboutBox.h"

#include <memory>

namespace fillahead::win32 {

class ListFont;

class Win32Desktop final : public Desktop {
public:
    Win32Desktop();
    ~Win32Desktop() override;

    std::unique_ptr<ListSurface> CreateListSurface(ListSurfaceClient& client) override;
    void SetWindowPos(WindowHandle window, WindowHandle insertAfter, std::int32_t x, std::int32_t y,
                      std::int32_t width, std::int32_t height, std::uint32_t flags) override;
    bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
    WindowHandle GetForegroundWindow() override;
    bool SetForegroundWindow(WindowHandle window) override;
    WindowHandle GetFocus() override;
    WindowRect WorkArea(const WindowRect& rect) override;
    // Dispatches every message waiting in this thread's queue, then returns;
    // a WM_QUIT met on the way is posted again for the host's own loop.
    void DoEvents() override;
    double TwipsPerPixelX() override;
    double TwipsPerPixelY() override;
    TwipsPerPixelXY TwipsPerPixel() override;
    std::int32_t ListRowHeight() override;
    WindowHandle ShowAboutBox(const AboutInfo& about) override;
    std::unique_ptr<Timer> CreateTimer(TimerTick tick) override;

private:
    AboutBoxes aboutBoxes_;
    std::unique_ptr<ListFont> font_; // at the DPI last asked for
};

} // namespace fillahead::win32
