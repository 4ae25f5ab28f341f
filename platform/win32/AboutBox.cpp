#include "platform/win32/AboutBox.h"

#include "platform/AutomationError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Interop.h"
#include "platform/win32/WindowClass.h"

#include <algorithm>
#include <string>

namespace fillahead::win32 {

struct AboutBoxes::Box {
    AboutBoxes* owner = nullptr;
    HWND window = nullptr;
    UniqueFont font;
    UniqueFont titleFont;
};

namespace {

// Lengths of the layout at 96 DPI.
constexpr int kMargin = 16;
constexpr int kTextWidth = 320;
constexpr int kLineGap = 4;
constexpr int kParagraphGap = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

HWND addChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id,
              HFONT font) {
    HWND child = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ModuleInstance(), nullptr);
    if (child == nullptr) {
        throw AutomationError(error::OutOfMemory);
    }
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// The height text takes when wrapped at width, as a static control draws it.
int wrappedHeight(const std::wstring& text, HFONT font, int width) {
    const UniqueWindowDC screen = GetUniqueDC(nullptr);
    const SelectedObject selected(screen.get(), font);
    RECT bounds{0, 0, width, 0};
    DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return bounds.bottom - bounds.top;
}

void place(HWND child, int x, int y, int width, int height) {
    SetWindowPos(child, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT workAreaOfForeground() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

} // namespace

AboutBoxes::AboutBoxes() = default;

AboutBoxes::~AboutBoxes() {
    std::vector<HWND> windows;
    for (const std::unique_ptr<Box>& box : open_) {
        windows.push_back(box->window);
    }
    for (HWND window : windows) {
        DestroyWindow(window);
    }
    // Only another thread's box survives that; it must not call back here.
    for (const std::unique_ptr<Box>& box : open_) {
        SetWindowLongPtrW(box->window, GWLP_USERDATA, 0);
    }
}

HWND AboutBoxes::Show(const AboutInfo& about) {
    static const WindowClass windowClass([] {
        WNDCLASSEXW description{};
        description.lpfnWndProc = &AboutBoxes::WindowProc;
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadAbout";
        return description;
    }());

    open_.push_back(std::make_unique<Box>());
    Box& box = *open_.back();
    box.owner = this;

    // Owned by the host's window when it is on this thread: the box then
    // stays above it and out of the task bar.
    HWND foreground = GetForegroundWindow();
    HWND ownerWindow = GetWindowThreadProcessId(foreground, nullptr) == GetCurrentThreadId()
                           ? foreground
                           : nullptr;
    const RECT work = workAreaOfForeground();
    // Created on the monitor it will show on, so that it learns that
    // monitor's DPI before it is laid out; large enough for a whole frame
    // around a client area, which gives the frame's size.
    HWND window = CreateWindowExW(
        WS_EX_DLGMODALFRAME, windowClass.Name(), ToWide(u"About " + about.title).c_str(),
        WS_POPUP | WS_CAPTION | WS_SYSMENU, (work.left + work.right) / 2,
        (work.top + work.bottom) / 2, 400, 300, ownerWindow, nullptr, ModuleInstance(), &box);
    if (window == nullptr) {
        closed(&box);
        throw AutomationError(error::OutOfMemory);
    }
    UniqueWindow unfinished(window); // until it is shown

    const UINT dpi = DpiOf(window);
    const auto scale = [dpi](int length) { return ScaleToDpi(length, dpi); };
    LOGFONTW font = MessageFontForDpi(dpi);
    box.font.reset(CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    font.lfHeight = font.lfHeight * 5 / 4;
    box.titleFont.reset(CreateFontIndirectW(&font));
    if (!box.font || !box.titleFont) {
        throw AutomationError(error::OutOfMemory);
    }

    const std::wstring title = ToWide(about.title);
    const std::wstring version = L"Version " + ToWide(about.version);
    const std::wstring description = ToWide(about.description);
    const int left = scale(kMargin);
    const int width = scale(kTextWidth);
    int y = scale(kMargin);
    const auto addText = [&](const std::wstring& text, HFONT textFont, int gapAfter) {
        HWND label = addChild(window, L"STATIC", text, SS_LEFT | SS_NOPREFIX, -1, textFont);
        const int height = wrappedHeight(text, textFont, width);
        place(label, left, y, width, height);
        y += height + scale(gapAfter);
    };
    addText(title, box.titleFont.get(), kLineGap);
    addText(version, box.font.get(), kParagraphGap);
    addText(description, box.font.get(), kMargin);
    HWND ok =
        addChild(window, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, box.font.get());
    place(ok, left + width - scale(kButtonWidth), y, scale(kButtonWidth), scale(kButtonHeight));
    y += scale(kButtonHeight) + scale(kMargin);

    RECT outer{};
    RECT inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    const int outerWidth = width + 2 * left + (outer.right - outer.left) - inner.right;
    const int outerHeight = y + (outer.bottom - outer.top) - inner.bottom;
    SetWindowPos(window, nullptr,
                 std::max<int>(work.left, (work.left + work.right - outerWidth) / 2),
                 std::max<int>(work.top, (work.top + work.bottom - outerHeight) / 2), outerWidth,
                 outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOW);
    return unfinished.release();
}

void AboutBoxes::closed(const Box* box) {
    std::erase_if(open_,
                  [box](const std::unique_ptr<Box>& candidate) { return candidate.get() == box; });
}

LRESULT CALLBACK AboutBoxes::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* box = static_cast<Box*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        box->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
    }
    auto* box = reinterpret_cast<Box*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return GuardedWindowProc(window, message, wParam, lParam, [&]() -> LRESULT {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case WM_ACTIVATE:
            // The box keeps the focus itself, so that Enter and Escape reach
            // it without a dialog loop in the host.
            if (LOWORD(wParam) != WA_INACTIVE) {
                SetFocus(window);
            }
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (box != nullptr) {
                box->owner->closed(box);
            }
            break;
        default:
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

} // namespace fillahead::win32
