// What the control shows: at design time its 24 by 31 picture, drawn by the
// container (IViewObject2) or in the control's own window while it is active
// in place; at run time nothing, and its window is hidden.
#include "library/ControlObject.h"
#include "library/ControlResources.h"
#include "platform/win32/WindowClass.h"

namespace fillahead::library {
namespace {

constexpr int kPictureWidth = 24;
constexpr int kPictureHeight = 31;

const win32::WindowClass& controlWindowClass(WNDPROC procedure) {
    static const win32::WindowClass windowClass([procedure] {
        WNDCLASSEXW description{};
        description.style = CS_HREDRAW | CS_VREDRAW;
        description.lpfnWndProc = procedure;
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.lpszClassName = L"FillaheadControl";
        return description;
    }());
    return windowClass;
}

} // namespace

void FillaheadControlObject::drawPicture(HDC dc, const RECT& bounds) {
    FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
    const win32::UniqueBitmap picture(static_cast<HBITMAP>(
        LoadImageW(win32::ModuleInstance(), MAKEINTRESOURCEW(FILLAHEAD_IDB_CONTROL_PICTURE),
                   IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    const win32::UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (!picture || !memory) {
        return;
    }
    const win32::SelectedObject selected(memory.get(), picture.get());
    // At its own size in the top-left corner, cut off where the bounds end.
    const int width = std::min<int>(kPictureWidth, bounds.right - bounds.left);
    const int height = std::min<int>(kPictureHeight, bounds.bottom - bounds.top);
    BitBlt(dc, bounds.left, bounds.top, width, height, memory.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK FillaheadControlObject::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    return win32::GuardedWindowProc(window, message, wParam, lParam, [&]() -> LRESULT {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        auto* control =
            reinterpret_cast<FillaheadControlObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_PAINT && control != nullptr) {
            PAINTSTRUCT paint{};
            const HDC dc = BeginPaint(window, &paint);
            RECT client{};
            GetClientRect(window, &client);
            control->drawPicture(dc, client);
            EndPaint(window, &paint);
            return 0;
        }
        if (message == WM_ERASEBKGND) {
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

bool FillaheadControlObject::createWindow(HWND parent) {
    const win32::WindowClass& windowClass = controlWindowClass(&WindowProc);
    window_.reset(CreateWindowExW(0, windowClass.Name(), L"", WS_CHILD | WS_CLIPSIBLINGS,
                                  position_.left, position_.top, position_.right - position_.left,
                                  position_.bottom - position_.top, parent, nullptr,
                                  win32::ModuleInstance(), this));
    if (!window_) {
        return false;
    }
    showOrHideWindow();
    return true;
}

void FillaheadControlObject::showOrHideWindow() {
    if (window_) {
        ShowWindow(window_.get(), designTime() ? SW_SHOWNA : SW_HIDE);
    }
}

// --- IViewObject2 ---

HRESULT FillaheadControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC draw,
                                     LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                     ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (draw == nullptr || bounds == nullptr) {
        return E_INVALIDARG;
    }
    // Invisible at run time.
    if (designTime()) {
        drawPicture(draw, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
    }
    return S_OK;
}

HRESULT FillaheadControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                            LOGPALETTE** colors) {
    if (colors != nullptr) {
        *colors = nullptr;
    }
    return S_FALSE;
}

HRESULT FillaheadControlObject::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze != nullptr) {
        *freeze = 0;
    }
    return E_NOTIMPL;
}

HRESULT FillaheadControlObject::Unfreeze(DWORD) {
    return OLE_E_NOCONNECTION;
}

HRESULT FillaheadControlObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewAdvise_ = sink;
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
}

HRESULT FillaheadControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects != nullptr) {
        *aspects = viewAspects_;
    }
    if (flags != nullptr) {
        *flags = viewAdviseFlags_;
    }
    if (sink != nullptr) {
        *sink = viewAdvise_.Get();
        if (*sink != nullptr) {
            (*sink)->AddRef();
        }
    }
    return S_OK;
}

HRESULT FillaheadControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

} // namespace fillahead::library
