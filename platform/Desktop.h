// Desktop: what the engine and its list window need of the screen: the
// window functions, the factory of the list window's real window, the about
// box, timers, the yield to the host's message loop, and the screen's units.
// On Windows these are user32 calls (platform/win32/Win32Desktop.h);
// elsewhere an in-process desktop stands in (platform/simulated). The control
// reaches the host's own windows and the keyboard hook through services of
// their own beside this one (HostWindows.h, KeyboardHook.h).
//
// Every call comes on the host's user-interface thread. Positions and sizes
// are screen pixels unless a name says twips.
#pragma once

#include "platform/ListSurface.h"
#include "platform/Text.h"
#include "platform/Timer.h"
#include "platform/WindowTypes.h"

#include <cstdint>
#include <memory>

namespace fillahead {

struct AboutInfo {
    Text title;
    Text version;
    Text description;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual std::unique_ptr<ListSurface> CreateListSurface(ListSurfaceClient& client) = 0;

    // user32's SetWindowPos, GetWindowRect (false leaves rect unchanged),
    // GetForegroundWindow and SetForegroundWindow.
    virtual void SetWindowPos(WindowHandle window, WindowHandle insertAfter, std::int32_t x,
                              std::int32_t y, std::int32_t width, std::int32_t height,
                              std::uint32_t flags) = 0;
    virtual bool GetWindowRect(WindowHandle window, WindowRect& rect) = 0;
    virtual WindowHandle GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
    // The window of this thread that has the keyboard focus, 0 for none.
    virtual WindowHandle GetFocus() = 0;
    // The work area (the screen less the task bars) of the monitor that
    // holds the largest part of rect, or of the one nearest to it.
    virtual WindowRect WorkArea(const WindowRect& rect) = 0;

    // Lets pending window messages be processed once (VB's DoEvents).
    virtual void DoEvents() = 0;

    // Twips per screen pixel (15 at 96 dots per inch).
    virtual double TwipsPerPixelX() = 0;
    virtual double TwipsPerPixelY() = 0;
    // Both at once, from one look at the screen.
    virtual TwipsPerPixelXY TwipsPerPixel() { return {TwipsPerPixelX(), TwipsPerPixelY()}; }
    // Height of one list row in pixels, for the list font.
    virtual std::int32_t ListRowHeight() = 0;

    // Shows the about box without blocking and returns its window.
    virtual WindowHandle ShowAboutBox(const AboutInfo& about) = 0;

    // A timer that calls tick on this thread; created disabled, interval 0.
    virtual std::unique_ptr<Timer> CreateTimer(TimerTick tick) = 0;
};

} // namespace fillahead
