#include "keyboard/Keyboard.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace fillahead {
namespace {

// The module's variables of one thread. Nothing here may need a destructor:
// where thread-local storage is emulated (mingw-w64), a thread's storage is
// freed before the destructors of its thread_local objects run. The objects
// referred to hold themselves: the active Keyboard by its own reference, the
// hooked ones by the hooks they installed.
struct ThreadState {
    Keyboard* activeKeyboard = nullptr;
    Keyboard* hooked = nullptr;
    HookHandle activeHookHandle = 0;
    bool inHook = false;
};
static_assert(std::is_trivially_destructible_v<ThreadState>);

thread_local constinit ThreadState threadState;

// Sets the flag for the scope, whatever way it ends.
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
    // The one it replaces goes first, so that its release cannot clear the
    // new one.
    ModKeyboard::ClearActiveKeyboard();
    keyboard->activeReference_ = keyboard;
    threadState.activeKeyboard = keyboard.get();
    return keyboard;
}

Keyboard::Keyboard(std::shared_ptr<KeyboardHookService> hooks) : hooks_(std::move(hooks)) {}

Keyboard::~Keyboard() {
    ModKeyboard::ClearActiveKeyboard();
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
    if (installed_) {
        nextHooked_ = threadState.hooked;
        threadState.hooked = this;
    }
}

void Keyboard::UnHook() {
    if (HookHandle_ == 0 || !installed_) {
        return;
    }
    installed_ = false;
    hooks_->UnhookWindowsHookEx(HookHandle_);
    for (Keyboard** link = &threadState.hooked; *link != nullptr; link = &(*link)->nextHooked_) {
        if (*link == this) {
            *link = nextHooked_;
            break;
        }
    }
    nextHooked_ = nullptr;
}

namespace ModKeyboard {

std::shared_ptr<Keyboard> ActiveKeyboard() {
    return threadState.activeKeyboard != nullptr ? threadState.activeKeyboard->shared_from_this()
                                                 : nullptr;
}

void ClearActiveKeyboard() {
    Keyboard* keyboard = std::exchange(threadState.activeKeyboard, nullptr);
    if (keyboard != nullptr) {
        // Its last reference may go here: its destructor comes back to us.
        const std::shared_ptr<Keyboard> released = std::move(keyboard->activeReference_);
    }
}

HookHandle ActiveHookHandle() {
    return threadState.activeHookHandle;
}

bool InHook() {
    return threadState.inHook;
}

std::intptr_t HookProcedure(std::int32_t nCode, std::uintptr_t wParam,
                            std::intptr_t lParam) noexcept {
    // The system calls us only through an installed hook, whose Keyboard is
    // in the list and holds the service.
    if (threadState.hooked == nullptr) {
        return 0;
    }
    const std::shared_ptr<KeyboardHookService> hooks = threadState.hooked->hooks_;
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
        const std::shared_ptr<Keyboard> keyboard = ActiveKeyboard();
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
