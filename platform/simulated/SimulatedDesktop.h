// SimulatedDesktop: an in-process desktop for running the engine without
// Windows. It keeps windows with rectangles, topmost and visible flags and a
// foreground window, records every window call in a log that tests compare,
// and lets a test click into a list window or run code inside DoEvents.
#pragma once

#include "platform/Desktop.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fillahead {

class SimulatedDesktop final : public Desktop {
public:
    struct Window {
        std::string kind; // "list", "about", "host" or a host window's class
        WindowRect rect;
        bool visible = false;
        bool topmost = false;
        bool activated = false; // ever given the activation
        ListSurfaceClient* client = nullptr;
        AboutInfo about;
    };

    SimulatedDesktop();

    std::unique_ptr<ListSurface> CreateListSurface(ListSurfaceClient& client) override;
    void SetWindowPos(WindowHandle window, WindowHandle insertAfter, std::int32_t x, std::int32_t y,
                      std::int32_t width, std::int32_t height, std::uint32_t flags) override;
    bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
    WindowHandle GetForegroundWindow() override { return foreground_; }
    bool SetForegroundWindow(WindowHandle window) override;
    WindowHandle GetFocus() override { return focus; }
    WindowRect WorkArea(const WindowRect& rect) override;
    void DoEvents() override;
    double TwipsPerPixelX() override { return twipsPerPixel; }
    double TwipsPerPixelY() override { return twipsPerPixel; }
    std::int32_t ListRowHeight() override { return rowHeightPixels; }
    WindowHandle ShowAboutBox(const AboutInfo& about) override;
    std::unique_ptr<Timer> CreateTimer(TimerTick tick) override;

    // --- For tests and simulated hosts. ---
    double twipsPerPixel = 15;
    std::int32_t rowHeightPixels = 16;
    // One work area per monitor.
    std::vector<WindowRect> workAreas{{0, 0, 1920, 1040}};
    // The window with the keyboard focus.
    WindowHandle focus = 0;
    // Runs inside every DoEvents, as a host's message handlers would.
    std::function<void()> onDoEvents;
    int doEventsCount = 0;
    // Every window call, e.g. "SetWindowPos list#1 topmost 10,20 300x0 show noactivate".
    std::vector<std::string> log;

    // The host's own top-level window, foreground at the start.
    WindowHandle HostWindow() const { return hostWindow_; }
    // Another window of the host's (a field, a control's, a drop-down's),
    // without a log line; kind names it in the log ("host" for a field).
    WindowHandle AddWindow(std::string kind, WindowRect rect, bool visible = true);
    void MoveWindow(WindowHandle window, WindowRect rect);
    void SetVisible(WindowHandle window, bool visible);
    const Window* Find(WindowHandle window) const;
    // A click (button up) at a client position of a list window.
    void ClickList(WindowHandle window, std::int32_t x, std::int32_t y);
    ListPaint PaintList(WindowHandle window);
    // Lets simulated time pass: every enabled timer ticks as often as its
    // interval fits, in the order the ticks fall due.
    void AdvanceTime(std::int64_t milliseconds);

private:
    friend class SimulatedListSurface;
    friend class SimulatedTimer;
    std::string nameOf(WindowHandle window) const;
    WindowHandle add(Window window);

    std::map<WindowHandle, Window> windows_;
    WindowHandle nextHandle_ = 0x1000;
    WindowHandle hostWindow_ = 0;
    WindowHandle foreground_ = 0;
    std::int64_t now_ = 0;
    std::vector<class SimulatedTimer*> timers_;
};

} // namespace fillahead
