// WindowClass: a window class of the module this code is linked into (the
// DLL, inside a host), registered on first use and unregistered when the
// module unloads, so that a host which frees the library and loads it again
// does not find a class whose window procedure is gone.
#pragma once

#include <windows.h>

namespace fillahead::win32 {

// The module the library is linked into, whose classes and resources it uses.
HINSTANCE ModuleInstance();

class WindowClass {
public:
    // Registers the class (hInstance and cbSize are filled in). A class left
    // registered by an earlier load of the same module is taken over. Throws
    // AutomationError (out of memory) when the class cannot be registered.
    explicit WindowClass(WNDCLASSEXW windowClass);
    ~WindowClass();
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    // For CreateWindowEx.
    LPCWSTR Name() const { return MAKEINTATOM(atom_); }

private:
    ATOM atom_ = 0;
};

// Runs a window procedure's work, letting no exception escape into the
// system's message dispatch: a failure there would unwind through user32
// frames. On an exception the message gets its default handling.
template <typename Work>
LRESULT GuardedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace fillahead::win32
