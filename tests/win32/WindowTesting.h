// What the window tests share: a host window with a focused text field, a
// list client that serves a fixed description and records what reaches it,
// real mouse input, and pixels read back from the screen.
#pragma once

#include <windows.h>

#include "platform/ListSurface.h"
#include "platform/win32/Handles.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace fillahead::win32::testing {

// Dispatches messages until done() holds or the time is up; true if it held.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

inline void Pump(std::chrono::milliseconds time = std::chrono::milliseconds(100)) {
    PumpUntil([] { return false; }, time);
}

// A top-level form with an EDIT control, one per test program: under Wine
// without a window manager, hiding or destroying a captioned window waits two
// seconds for a window manager that never answers.
class HostForm {
public:
    static HostForm& Shared() {
        static HostForm form;
        return form;
    }

    // Foreground, with the focus in the field, as a user typing there.
    void Activate() const {
        SetForegroundWindow(form_.get());
        SetFocus(field_);
        Pump();
    }
    HWND Form() const { return form_.get(); }
    HWND Field() const { return field_; }
    // Where a drop-down under the field goes, in screen pixels.
    POINT BelowField() const {
        RECT field{};
        GetWindowRect(field_, &field);
        return {field.left, field.bottom};
    }

private:
    HostForm() {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadTestHost";
        RegisterClassExW(&description);
        form_.reset(CreateWindowExW(0, description.lpszClassName, L"Host",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 520, 400, nullptr,
                                    nullptr, description.hInstance, nullptr));
        if (!form_) {
            throw std::runtime_error("no host form");
        }
        field_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"typed", WS_CHILD | WS_VISIBLE, 20, 20,
                                 300, 24, form_.get(), nullptr, description.hInstance, nullptr);
    }

    UniqueWindow form_;
    HWND field_ = nullptr;
};

class FakeListClient final : public ListSurfaceClient {
public:
    struct MouseUp {
        std::int16_t button;
        std::int16_t shift;
        std::int32_t x;
        std::int32_t y;
        bool operator==(const MouseUp&) const = default;
    };

    ListPaint paint;
    int described = 0;
    int resized = 0;
    std::vector<MouseUp> mouseUps;
    std::vector<std::int32_t> scrolledTo;

    ListPaint DescribeForPaint() override {
        ++described;
        return paint;
    }
    void SurfaceResized() override { ++resized; }
    void SurfaceMouseUp(std::int16_t button, std::int16_t shift, std::int32_t x,
                        std::int32_t y) override {
        mouseUps.push_back({button, shift, x, y});
    }
    void SurfaceScrollTo(std::int32_t firstRow) override {
        scrolledTo.push_back(firstRow);
        paint.firstRow = firstRow;
    }
};

// Laid out as the list window model lays out a window of that size: a
// one-pixel border, the grid above a strip one row high, the grip in the
// bottom-right corner.
inline ListPaint DescribeList(std::int32_t width, std::int32_t height, std::int32_t rowHeight,
                              std::vector<ListRowPaint> rows) {
    ListPaint paint;
    paint.grid = {1, 1, width - 1, height - 1 - rowHeight};
    paint.rowHeight = rowHeight;
    paint.columnWidth = width - 2;
    paint.rowCount = static_cast<std::int32_t>(rows.size());
    paint.pageRows = paint.grid.Height() / rowHeight;
    paint.rows = std::move(rows);
    paint.grip = {width - 33, height - 33, width - 1, height - 1};
    paint.gripMask.assign(32 * 32, 0);
    for (int y = 24; y < 32; ++y) {
        for (int x = 24; x < 32; ++x) {
            paint.gripMask[static_cast<std::size_t>(y * 32 + x)] = 1;
        }
    }
    return paint;
}

// A click of a real mouse (through the system's input queue) at a screen
// position.
inline void ClickAt(POINT screen, DWORD down = MOUSEEVENTF_LEFTDOWN,
                    DWORD up = MOUSEEVENTF_LEFTUP) {
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = down;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = up;
    SendInput(2, inputs, sizeof(INPUT));
}

// The pixels of a window as they are on the screen.
class ScreenCapture {
public:
    explicit ScreenCapture(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        width_ = rect.right - rect.left;
        height_ = rect.bottom - rect.top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const UniqueWindowDC screen = GetUniqueDC(nullptr);
        const UniqueBitmap bitmap(
            CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
        if (!bitmap || !memory) {
            throw std::runtime_error("no capture bitmap");
        }
        {
            const SelectedObject selected(memory.get(), bitmap.get());
            BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), rect.left, rect.top, SRCCOPY);
        }
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        pixels_.reserve(static_cast<std::size_t>(width_ * height_));
        for (int i = 0; i < width_ * height_; ++i) {
            const std::uint32_t bgra = pixels[i];
            pixels_.push_back(RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF));
        }
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    // How many pixels of the area have (or, with match false, lack) that colour.
    int Count(RECT area, COLORREF color, bool match = true) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                count += (At(x, y) == color) == match ? 1 : 0;
            }
        }
        return count;
    }
    // The columns of an area that hold a pixel other than the background:
    // where the ink is, {-1, -1} when there is none.
    std::pair<int, int> InkColumns(RECT area, COLORREF background) const {
        std::pair<int, int> ink{-1, -1};
        for (int x = area.left; x < area.right; ++x) {
            for (int y = area.top; y < area.bottom; ++y) {
                if (At(x, y) != background) {
                    ink.first = ink.first < 0 ? x : ink.first;
                    ink.second = x;
                    break;
                }
            }
        }
        return ink;
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
};

} // namespace fillahead::win32::testing
