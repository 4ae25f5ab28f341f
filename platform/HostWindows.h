// HostWindows: the window functions the control calls beside those of the
// Desktop: the focused window, key states, a combo box's drop-down state,
// the search for a top-level window by class, the current thread, and a line
// of debugging output. On Windows these are user32 and kernel32 calls
// (platform/win32); natively a simulated host stands in.
//
// Calls come on the host's user-interface thread. None raises: a call that
// fails answers 0 (no window, key up, no result), as its Win32 function does.
#pragma once

#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <cstdint>

namespace fillahead {

// SendMessage message a combo box answers non-zero while its own list is
// dropped down.
inline constexpr std::uint32_t kComboGetDroppedState = 0x157; // CB_GETDROPPEDSTATE

// Window classes of the drop-down lists of the data-list combos.
inline constexpr char16_t kDataComboListClass[] = u"DataComboListWndClass";
inline constexpr char16_t kDBComboListClass[] = u"DBComboListWndClass";

class HostWindows {
public:
    virtual ~HostWindows() = default;

    // GetFocus: the window of this thread that has the keyboard focus.
    virtual WindowHandle GetFocus() = 0;
    // GetKeyState: negative (high bit set) while the key is down, as this
    // thread's messages have seen it.
    virtual std::int16_t GetKeyState(std::int32_t virtualKey) = 0;
    // SendMessage to a window; 0 when the window does not exist.
    virtual std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // FindWindow with a class name and a window name; an empty window name
    // matches only windows whose title is empty (it is not a null pointer).
    virtual WindowHandle FindTopLevelWindow(TextView className, TextView windowName) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // The identifier of the calling thread.
    virtual std::uint32_t GetCurrentThreadId() = 0;
    // One line for a debugger or a debug-output viewer (OutputDebugString);
    // the line end is added. On Windows it is written where the ignored
    // errors are traced: in a debug build, or with FILLAHEAD_TRACE set.
    virtual void DebugOutput(TextView line) = 0;
};

} // namespace fillahead
