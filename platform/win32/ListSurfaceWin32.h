// ListSurfaceWin32: the list window's real window. A borderless topmost
// popup that never takes the activation, so that the host's field keeps the
// focus and the caret while the user clicks or scrolls in the list.
//
// It is created hidden with height 0; only the engine's SetWindowPos (show,
// no activate) makes it visible. Its look comes from the client's
// description, drawn double-buffered on every paint; size changes, clicks and
// scrolling go back to the client. Use it on the thread that created it.
#pragma once

#include <windows.h>

#include "platform/Desktop.h"
#include "platform/win32/Handles.h"
#include "platform/win32/ListPainting.h"

#include <memory>

namespace fillahead::win32 {

class ListSurfaceWin32 final : public ListSurface {
public:
    // Throws AutomationError (out of memory) when the window cannot be made.
    explicit ListSurfaceWin32(ListSurfaceClient& client);
    ~ListSurfaceWin32() override;
    ListSurfaceWin32(const ListSurfaceWin32&) = delete;
    ListSurfaceWin32& operator=(const ListSurfaceWin32&) = delete;

    WindowHandle Handle() const override;
    WindowRect Rect() const override;
    void SetHeight(std::int32_t pixels) override;
    void Invalidate() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void onPaint();
    void draw(HDC target, const ListPaint& paint);
    void mouseUp(std::int16_t button, WPARAM keys, LPARAM position);
    void scroll(int request);
    void wheel(int delta);
    void scrollTo(const ListPaint& paint, std::int32_t firstRow);
    void syncScrollBar(const ListPaint& paint);
    int scrollBarWidth();
    const ListFont& font();

    ListSurfaceClient& client_;
    UniqueWindow window_;
    HWND scrollBar_ = nullptr; // a child, destroyed with the window
    std::unique_ptr<ListFont> font_;
    int wheelDelta_ = 0; // turned but not yet a whole row
};

} // namespace fillahead::win32
