// ListSurfaceWin32: the list window's real window. A borderless topmost
// popup that never takes the activation, so that the host's field keeps the
// focus and the caret while the user clicks or scrolls in the list.
//
// It is created hidden with height 0; only the engine's SetWindowPos (show,
// no activate) makes it visible. Its look comes from the client's
// description, drawn double-buffered on every paint; size changes, clicks and
// scrolling go back to the client. It calls the system only for what
// changes: a move to where it is, an invalidation already pending and a
// scroll bar already in place cost nothing, and the font, its measures and
// the back buffer are kept from paint to paint (made again when the DPI or
// the system's settings change). Use it on the thread that created it.
#pragma once

#include <windows.h>

#include "platform/ListSurface.h"
#include "platform/win32/DoubleClickGuard.h"
#include "platform/win32/Handles.h"
#include "platform/win32/ListPainting.h"

#include <memory>

namespace fillahead::win32 {

// The list window's class: the library's forms look for a shown list by it.
inline constexpr wchar_t kListWindowClass[] = L"FillaheadList";

class ListSurfaceWin32 final : public ListSurface {
public:
    // Throws AutomationError (out of memory) when the window cannot be made.
    explicit ListSurfaceWin32(ListSurfaceClient& client);
    ~ListSurfaceWin32() override;
    ListSurfaceWin32(const ListSurfaceWin32&) = delete;
    ListSurfaceWin32& operator=(const ListSurfaceWin32&) = delete;

    WindowHandle Handle() const override;
    WindowRect Rect() const override;
    void Move(const WindowRect& rect) override;
    void Invalidate() override;

private:
    // What depends on the window's DPI.
    struct Measures {
        explicit Measures(UINT dpi);
        ListFont font;
        int scrollBarWidth;
    };
    class BackBuffer;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void onPaint();
    void draw(HDC target, const ListPaint& paint);
    void mouseDown(UINT button);
    void mouseUp(std::int16_t button, UINT pressed, WPARAM keys, LPARAM position);
    void scroll(int request);
    void wheel(int delta);
    void scrollTo(const ListPaint& paint, std::int32_t firstRow);
    // Brings the scroll bar in line with the description; true when it has
    // to be drawn again.
    bool syncScrollBar(const ListPaint& paint);
    const Measures& measures();
    // The DPI or the system's settings changed: measure and draw anew.
    void forgetMeasures();

    ListSurfaceClient& client_;
    UniqueWindow window_;
    HWND scrollBar_ = nullptr; // a child, destroyed with the window
    std::unique_ptr<Measures> measures_;
    std::unique_ptr<BackBuffer> backBuffer_;
    // The scroll bar as it was last set, and how it looked.
    bool barShown_ = false;
    RECT barRect_{};
    SCROLLINFO barInfo_{};
    SCROLLBARINFO barLook_{};
    bool barLookKnown_ = false;
    bool invalidated_ = false; // and not painted since
    int wheelDelta_ = 0;       // turned but not yet a whole row
    // The last button pressed over the list: which, when and where.
    UINT pressedButton_ = 0;
    DWORD pressedTime_ = 0;
    POINT pressedAt_{};
    DoubleClickGuard doubleClickGuard_;
    // Gone when the surface is: a client may let go of the list while it
    // handles the list's own message.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace fillahead::win32
