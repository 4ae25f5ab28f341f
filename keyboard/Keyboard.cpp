#include "keyboard/Keyboard.h"

#include <algorithm>
#include <utility>

namespace fillahead {
namespace {

// The module's variables of one thread. The flag outside it tells a Keyboard
// released while the thread ends not to touch them any more.
struct ThreadState {
    std::shared_ptr<Keyboard> activeKeyboard;
    HookHandle activeHookHandle = 0;
    // The service of the latest Hook, through which keys are passed on.
    std::shared_ptr<KeyboardHookService> hooks;
    bool inHook = false;
    ~ThreadState();
};

thread_local bool threadStateAlive = true;
thread_local ThreadState threadState;

ThreadState::~ThreadState() {
    threadStateAlive = false;
    const std::shared_ptr<Keyboard> released = std::move(activeKeyboard);
}

// Clears a flag when the scope ends, whatever way it ends.
class InHookScope {
public:
    InHookScope() { threadState.inHook = true; }
    ~InHookScope() { threadState.inHook = false; }
    InHookScope(const InHookScope&) = delete;
    InHookScope& operator=(const InHookScope&) = delete;
};

} // namespace

std::shared_ptr<Keyboard> Keyboard::Create(std::shared_ptr<KeyboardHookService> hooks) {
    std::shared_ptr<Keyboard> keyboard(new Keyboard(std::move(hooks)));
    // The previous ActiveKeyboard is released here, after the new one is in.
    std::shared_ptr<Keyboard> previous = std::exchange(threadState.activeKeyboard, keyboard);
    return keyboard;
}

Keyboard::Keyboard(std::shared_ptr<KeyboardHookService> hooks) : hooks_(std::move(hooks)) {}

Keyboard::~Keyboard() {
    if (threadStateAlive) {
        ModKeyboard::ClearActiveKeyboard();
    }
    UnHook();
}

void Keyboard::Advise(KeyboardEvents* sink) {
    if (sink != nullptr) {
        sinks_.push_back(sink);
    }
}

void Keyboard::Unadvise(KeyboardEvents* sink) {
    const auto it = std::find(sinks_.begin(), sinks_.end(), sink);
    if (it != sinks_.end()) {
        sinks_.erase(it);
    }
}

std::int32_t Keyboard::KeyboardProc(std::int32_t /*nCode*/, std::int32_t& wParam,
                                    std::int32_t lParam) {
    std::int32_t shift = lParam;
    const std::vector<KeyboardEvents*> sinks = sinks_;
    for (KeyboardEvents* sink : sinks) {
        if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) {
            sink->KeyDown(wParam, shift);
        }
    }
    return 0;
}

void Keyboard::Hook() {
    UnHook();
    HookHandle_ = hooks_ ? hooks_->SetKeyboardHook(&ModKeyboard::HookProcedure) : 0;
    installed_ = HookHandle_ != 0;
    threadState.activeHookHandle = HookHandle_;
    threadState.hooks = hooks_;
}

void Keyboard::UnHook() {
    if (HookHandle_ != 0 && installed_) {
        installed_ = false;
        hooks_->UnhookWindowsHookEx(HookHandle_);
    }
}

namespace ModKeyboard {

std::shared_ptr<Keyboard> ActiveKeyboard() {
    return threadState.activeKeyboard;
}

void ClearActiveKeyboard() {
    // Moved out first: releasing it runs its destructor, which comes back here.
    const std::shared_ptr<Keyboard> released = std::move(threadState.activeKeyboard);
}

HookHandle ActiveHookHandle() {
    return threadState.activeHookHandle;
}

bool InHook() {
    return threadState.inHook;
}

std::intptr_t HookProcedure(std::int32_t nCode, std::uintptr_t wParam,
                            std::intptr_t lParam) noexcept {
    const std::shared_ptr<KeyboardHookService> hooks = threadState.hooks;
    if (!hooks) {
        return 0;
    }
    const auto passOn = [&](std::uintptr_t keyCode) -> std::intptr_t {
        try {
            return hooks->CallNextHookEx(threadState.activeHookHandle, nCode, keyCode, lParam);
        } catch (...) {
            return 0;
        }
    };
    if (threadState.inHook) {
        return passOn(wParam);
    }
    // The flag stays set while the key travels down the chain: a second hook
    // of this module further down must pass it on, not hand the same key to
    // ActiveKeyboard again.
    const InHookScope inHook;
    std::uintptr_t keyCode = wParam;
    try {
        const std::shared_ptr<Keyboard> keyboard = threadState.activeKeyboard;
        if (nCode >= 0 && keyboard &&
            hooks->GetAsyncKeyState(static_cast<std::int32_t>(wParam)) < 0) {
            std::int32_t code = static_cast<std::int32_t>(wParam);
            keyboard->KeyboardProc(nCode, code, static_cast<std::int32_t>(lParam));
            if (code == 0) {
                return 1;
            }
            keyCode = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(code));
        }
    } catch (...) {
        keyCode = wParam;
    }
    return passOn(keyCode);
}

} // namespace ModKeyboard

} // namespace fillahead
