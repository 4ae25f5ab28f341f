#include "platform/win32/DoubleClickGuard.h"

#include "platform/win32/WindowClass.h"

#include <cstdlib>

namespace fillahead::win32 {
namespace {

// The guard whose hook is set on this thread; one at a time.
thread_local DoubleClickGuard* armedGuard = nullptr;

bool isPress(WPARAM message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
           message == WM_XBUTTONDOWN;
}

} // namespace

DoubleClickGuard::~DoubleClickGuard() {
    unhook();
}

bool DoubleClickGuard::Arm(UINT button, DWORD time, POINT at) {
    if (armedGuard != nullptr && armedGuard != this) {
        armedGuard->unhook();
    }
    switch (button) {
    case MK_RBUTTON:
        down_ = WM_RBUTTONDOWN;
        up_ = WM_RBUTTONUP;
        break;
    case MK_MBUTTON:
        down_ = WM_MBUTTONDOWN;
        up_ = WM_MBUTTONUP;
        break;
    default:
        down_ = WM_LBUTTONDOWN;
        up_ = WM_LBUTTONUP;
        break;
    }
    time_ = time;
    at_ = at;
    awaitingPress_ = true;
    swallowingRelease_ = false;
    if (!hook_) {
        hook_.reset(
            SetWindowsHookExW(WH_MOUSE_LL, &DoubleClickGuard::MouseProc, ModuleInstance(), 0));
    }
    armedGuard = hook_ ? this : nullptr;
    return hook_ != nullptr;
}

bool DoubleClickGuard::Expire() {
    awaitingPress_ = false;
    if (!swallowingRelease_) {
        unhook();
    }
    return !Armed();
}

void DoubleClickGuard::unhook() {
    hook_.reset();
    awaitingPress_ = false;
    swallowingRelease_ = false;
    if (armedGuard == this) {
        armedGuard = nullptr;
    }
}

LRESULT CALLBACK DoubleClickGuard::MouseProc(int code, WPARAM message, LPARAM event) {
    if (code == HC_ACTION && armedGuard != nullptr &&
        armedGuard->swallows(message, *reinterpret_cast<const MSLLHOOKSTRUCT*>(event))) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, message, event);
}

bool DoubleClickGuard::swallows(WPARAM message, const MSLLHOOKSTRUCT& event) {
    if (message == up_ && swallowingRelease_) {
        swallowingRelease_ = false;
        return true;
    }
    if (!isPress(message) || !awaitingPress_) {
        return false;
    }
    // Whatever this press is, it is the one a double-click would be made of.
    awaitingPress_ = false;
    const bool second = message == down_ && event.time - time_ <= GetDoubleClickTime() &&
                        std::abs(event.pt.x - at_.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                        std::abs(event.pt.y - at_.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    swallowingRelease_ = second;
    return second;
}

} // namespace fillahead::win32
