// Keyboard and ModKeyboard: a thread keyboard hook that hands every key
// press on the host's user-interface thread to one object, which raises
// KeyDown; a handler that sets the key code to 0 makes the hook swallow the
// key stroke, so neither the focused control nor the host form sees it.
// Key releases, and keys pressed while the previous one is still being
// handled, are passed on untouched.
//
// ModKeyboard keeps per thread the Keyboard its hook procedure calls
// (ActiveKeyboard, which holds it alive), the handle of the latest hook and
// the re-entry flag. A new Keyboard becomes ActiveKeyboard; the release of
// any Keyboard clears ActiveKeyboard, whichever object it referred to. A
// Keyboard still active when its thread ends is not released.
//
// Everything runs on the thread that created the Keyboard.
#pragma once

#include "platform/KeyboardHook.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace fillahead {

class Keyboard;

namespace ModKeyboard {
void ClearActiveKeyboard();
std::intptr_t HookProcedure(std::int32_t nCode, std::uintptr_t wParam,
                            std::intptr_t lParam) noexcept;
} // namespace ModKeyboard

// The Keyboard's event. KeyCode is the hook's key-code variable (set it to
// 0 to swallow the key stroke); Shift is a copy of the keystroke flags, and
// changes to it are dropped.
class KeyboardEvents {
public:
    virtual ~KeyboardEvents() = default;
    virtual void KeyDown(std::int32_t& KeyCode, std::int32_t& Shift) = 0;
};

class Keyboard final : public std::enable_shared_from_this<Keyboard> {
public:
    // A new Keyboard, not hooked yet; it becomes this thread's ActiveKeyboard.
    static std::shared_ptr<Keyboard> Create(std::shared_ptr<KeyboardHookService> hooks);
    // Clears ActiveKeyboard, then removes the hook.
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    void Advise(KeyboardEvents* sink);
    void Unadvise(KeyboardEvents* sink);

    // Raises KeyDown with KeyCode bound to wParam itself and Shift to a copy
    // of lParam. Always returns 0. A handler's failure propagates.
    std::int32_t KeyboardProc(std::int32_t nCode, std::int32_t& wParam, std::int32_t lParam);
    // Removes this object's hook, then installs a new one for this thread and
    // makes it the thread's ActiveHookHandle. A refused hook leaves the
    // handle 0.
    void Hook();
    // Removes the hook if one is installed. The handle keeps its value.
    void UnHook();

    // The handle of the latest Hook (0 before, or when it was refused).
    HookHandle hookHandle() const { return HookHandle_; }

private:
    explicit Keyboard(std::shared_ptr<KeyboardHookService> hooks);

    std::shared_ptr<KeyboardHookService> hooks_;
    HookHandle HookHandle_ = 0;
    // Whether HookHandle_ is still installed: a removed handle may be handed
    // to a later hook, which a second removal must not take away.
    bool installed_ = false;
    std::vector<KeyboardEvents*> sinks_;
    // While this is the thread's ActiveKeyboard, the reference that holds it.
    std::shared_ptr<Keyboard> activeReference_;
    // The thread's keyboards whose hook is installed, newest first.
    Keyboard* nextHooked_ = nullptr;

    friend void ModKeyboard::ClearActiveKeyboard();
    friend std::intptr_t ModKeyboard::HookProcedure(std::int32_t, std::uintptr_t,
                                                    std::intptr_t) noexcept;
};

// The module's per-thread variables and its hook procedure.
namespace ModKeyboard {

std::shared_ptr<Keyboard> ActiveKeyboard();
// Sets ActiveKeyboard to nothing; the object it held is released.
void ClearActiveKeyboard();
HookHandle ActiveHookHandle();
bool InHook();

// The procedure every Keyboard installs. It hands a key press to
// ActiveKeyboard's KeyboardProc and discards the stroke when the key code
// comes back 0; it passes on untouched a negative nCode, a key that is not
// down at this moment (a release), every key when there is no
// ActiveKeyboard, and every key that arrives while one is being handled
// (nested hooks of this module further down the chain included). Lets no
// exception out: a failing handler passes the key on.
std::intptr_t HookProcedure(std::int32_t nCode, std::uintptr_t wParam,
                            std::intptr_t lParam) noexcept;

} // namespace ModKeyboard

} // namespace fillahead
