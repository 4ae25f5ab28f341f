#include "platform/simulated/SimulatedDesktop.h"

#include <algorithm>
#include <stdexcept>

namespace fillahead {

class SimulatedListSurface final : public ListSurface {
public:
    SimulatedListSurface(SimulatedDesktop& desktop, WindowHandle handle)
        : desktop_(desktop), handle_(handle) {}
    ~SimulatedListSurface() override {
        desktop_.log.push_back("Destroy " + desktop_.nameOf(handle_));
        desktop_.windows_.erase(handle_);
    }

    WindowHandle Handle() const override { return handle_; }
    WindowRect Rect() const override { return desktop_.windows_.at(handle_).rect; }
    void Move(const WindowRect& rect) override {
        SimulatedDesktop::Window& window = desktop_.windows_.at(handle_);
        if (window.rect == rect) {
            return;
        }
        window.rect = rect;
        window.client->SurfaceResized();
    }
    void Invalidate() override {}

private:
    SimulatedDesktop& desktop_;
    WindowHandle handle_;
};

class SimulatedTimer final : public Timer {
public:
    SimulatedTimer(SimulatedDesktop& desktop, TimerTick tick)
        : desktop_(desktop), tick_(std::move(tick)) {
        desktop_.timers_.push_back(this);
    }
    ~SimulatedTimer() override { std::erase(desktop_.timers_, this); }

    std::int32_t Interval() const override { return interval_; }
    void SetInterval(std::int32_t milliseconds) override {
        interval_ = milliseconds;
        restart();
    }
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        restart();
    }

    bool running() const { return enabled_ && interval_ > 0; }
    std::int64_t due() const { return due_; }
    void tick() {
        due_ += interval_;
        // From a copy: the tick may destroy this timer.
        const TimerTick tick = tick_;
        tick();
    }

private:
    void restart() { due_ = desktop_.now_ + interval_; }

    SimulatedDesktop& desktop_;
    TimerTick tick_;
    std::int32_t interval_ = 0;
    bool enabled_ = false;
    std::int64_t due_ = 0;
};

SimulatedDesktop::SimulatedDesktop() {
    Window host;
    host.kind = "host";
    host.rect = {100, 100, 740, 580};
    host.visible = true;
    host.activated = true;
    hostWindow_ = add(host);
    foreground_ = hostWindow_;
}

WindowHandle SimulatedDesktop::add(Window window) {
    const WindowHandle handle = nextHandle_;
    nextHandle_ += 4;
    windows_.emplace(handle, std::move(window));
    return handle;
}

std::string SimulatedDesktop::nameOf(WindowHandle window) const {
    const auto it = windows_.find(window);
    return (it == windows_.end() ? std::string("window") : it->second.kind) + "#" +
           std::to_string(window);
}

std::unique_ptr<ListSurface> SimulatedDesktop::CreateListSurface(ListSurfaceClient& client) {
    Window window;
    window.kind = "list";
    window.client = &client;
    const WindowHandle handle = add(window);
    log.push_back("Create " + nameOf(handle));
    return std::make_unique<SimulatedListSurface>(*this, handle);
}

void SimulatedDesktop::SetWindowPos(WindowHandle handle, WindowHandle insertAfter, std::int32_t x,
                                    std::int32_t y, std::int32_t width, std::int32_t height,
                                    std::uint32_t flags) {
    std::string entry = "SetWindowPos " + nameOf(handle) +
                        (insertAfter == kTopmost ? " topmost " : " ") + std::to_string(x) + "," +
                        std::to_string(y) + " " + std::to_string(width) + "x" +
                        std::to_string(height);
    if (flags & kShowWindow) {
        entry += " show";
    }
    if (flags & kNoActivate) {
        entry += " noactivate";
    }
    log.push_back(entry);
    const auto it = windows_.find(handle);
    if (it == windows_.end()) {
        return;
    }
    Window& window = it->second;
    const WindowRect old = window.rect;
    window.rect = {x, y, x + width, y + height};
    if (insertAfter == kTopmost) {
        window.topmost = true;
    }
    if (flags & kShowWindow) {
        window.visible = true;
    }
    if (!(flags & kNoActivate)) {
        window.activated = true;
        foreground_ = handle;
    }
    if (window.client != nullptr && old != window.rect) {
        window.client->SurfaceResized();
    }
}

bool SimulatedDesktop::GetWindowRect(WindowHandle window, WindowRect& rect) {
    const auto it = windows_.find(window);
    if (it == windows_.end()) {
        return false;
    }
    rect = it->second.rect;
    return true;
}

WindowRect SimulatedDesktop::WorkArea(const WindowRect& rect) {
    // The one sharing the most with rect; when none does, the nearest.
    const WindowRect* best = nullptr;
    std::int64_t bestShared = 0;
    std::int64_t bestDistance = 0;
    for (const WindowRect& area : workAreas) {
        const std::int64_t width =
            std::int64_t{std::min(area.Right, rect.Right)} - std::max(area.Left, rect.Left);
        const std::int64_t height =
            std::int64_t{std::min(area.Bottom, rect.Bottom)} - std::max(area.Top, rect.Top);
        const std::int64_t shared = width > 0 && height > 0 ? width * height : 0;
        const std::int64_t distance =
            std::max<std::int64_t>(0, -width) + std::max<std::int64_t>(0, -height);
        if (best == nullptr || shared > bestShared ||
            (shared == 0 && bestShared == 0 && distance < bestDistance)) {
            best = &area;
            bestShared = shared;
            bestDistance = distance;
        }
    }
    return best == nullptr ? WindowRect{} : *best;
}

bool SimulatedDesktop::SetForegroundWindow(WindowHandle window) {
    log.push_back("SetForegroundWindow " + nameOf(window));
    const auto it = windows_.find(window);
    if (it == windows_.end()) {
        return false;
    }
    foreground_ = window;
    it->second.activated = true;
    return true;
}

void SimulatedDesktop::DoEvents() {
    ++doEventsCount;
    if (onDoEvents) {
        onDoEvents();
    }
}

WindowHandle SimulatedDesktop::ShowAboutBox(const AboutInfo& about) {
    Window window;
    window.kind = "about";
    window.about = about;
    window.rect = {200, 150, 560, 330};
    window.visible = true;
    const WindowHandle handle = add(window);
    log.push_back("ShowAboutBox " + nameOf(handle));
    return handle;
}

std::unique_ptr<Timer> SimulatedDesktop::CreateTimer(TimerTick tick) {
    return std::make_unique<SimulatedTimer>(*this, std::move(tick));
}

void SimulatedDesktop::AdvanceTime(std::int64_t milliseconds) {
    const std::int64_t end = now_ + milliseconds;
    for (;;) {
        // The next tick due; a tick may change or destroy any timer.
        SimulatedTimer* next = nullptr;
        for (SimulatedTimer* timer : timers_) {
            if (timer->running() && timer->due() <= end &&
                (next == nullptr || timer->due() < next->due())) {
                next = timer;
            }
        }
        if (next == nullptr) {
            break;
        }
        now_ = next->due();
        next->tick();
    }
    now_ = end;
}

WindowHandle SimulatedDesktop::AddWindow(std::string kind, WindowRect rect, bool visible) {
    Window window;
    window.kind = std::move(kind);
    window.rect = rect;
    window.visible = visible;
    return add(std::move(window));
}

void SimulatedDesktop::MoveWindow(WindowHandle window, WindowRect rect) {
    const auto it = windows_.find(window);
    if (it != windows_.end()) {
        it->second.rect = rect;
    }
}

void SimulatedDesktop::SetVisible(WindowHandle window, bool visible) {
    const auto it = windows_.find(window);
    if (it != windows_.end()) {
        it->second.visible = visible;
    }
}

const SimulatedDesktop::Window* SimulatedDesktop::Find(WindowHandle window) const {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

void SimulatedDesktop::ClickList(WindowHandle window, std::int32_t x, std::int32_t y) {
    const Window* found = Find(window);
    if (found == nullptr || found->client == nullptr) {
        throw std::logic_error("ClickList: not a list window");
    }
    found->client->SurfaceMouseUp(1, 0, x, y);
}

ListPaint SimulatedDesktop::PaintList(WindowHandle window) {
    const Window* found = Find(window);
    if (found == nullptr || found->client == nullptr) {
        throw std::logic_error("PaintList: not a list window");
    }
    return found->client->DescribeForPaint();
}

} // namespace fillahead
