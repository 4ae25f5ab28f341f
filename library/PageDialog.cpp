#include "library/PageDialog.h"

#include "library/ErrorInfo.h"
#include "library/PageResources.h"
#include "platform/AutomationError.h"
#include "platform/win32/Interop.h"
#include "platform/win32/WindowClass.h"

#include <string>

namespace fillahead::library {
namespace {

std::optional<PageField> fieldOfId(int id) {
    const int index = id - FILLAHEAD_IDC_FIELD;
    if (index < 0 || index >= static_cast<int>(kPageFieldCount)) {
        return std::nullopt;
    }
    return static_cast<PageField>(index);
}

int idOf(PageField field) {
    return FILLAHEAD_IDC_FIELD + static_cast<int>(field);
}

void setText(HWND window, TextView text) {
    SetWindowTextW(window, win32::ToWide(text).c_str());
}

WPARAM checkStateOf(std::int32_t value) {
    switch (value) {
    case vbChecked:
        return BST_CHECKED;
    case vbGrayed:
        return BST_INDETERMINATE;
    default:
        return BST_UNCHECKED;
    }
}

} // namespace

void PageDialog::Create(HWND parent, const RECT& where) {
    Destroy();
    const HWND window =
        CreateDialogParamW(win32::ModuleInstance(), MAKEINTRESOURCEW(FILLAHEAD_IDD_PAGE), parent,
                           &PageDialog::procedure, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        throw ErrorOfResult(HRESULT_FROM_WIN32(GetLastError()), u"");
    }
    window_.reset(window);
    MoveWindow(window, where.left, where.top, where.right - where.left, where.bottom - where.top,
               FALSE);
}

SIZE PageDialog::TemplateSize() {
    // Dialog base units as the dialog manager takes them: the average width
    // of the letters and the height of the template's font.
    LONG unitX = 6;
    LONG unitY = 13;
    const win32::UniqueWindowDC screen = win32::GetUniqueDC(nullptr);
    LOGFONTW description{};
    description.lfHeight =
        -MulDiv(FILLAHEAD_PAGE_FONT_SIZE, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    description.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = L"" FILLAHEAD_PAGE_FONT;
    face.copy(description.lfFaceName, LF_FACESIZE - 1);
    const win32::UniqueFont font(CreateFontIndirectW(&description));
    if (font) {
        const win32::SelectedObject selected(screen.get(), font.get());
        TEXTMETRICW metrics{};
        SIZE letters{};
        static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsW(screen.get(), &metrics) &&
            GetTextExtentPoint32W(screen.get(), kLetters, 52, &letters)) {
            unitX = (letters.cx / 26 + 1) / 2;
            unitY = metrics.tmHeight;
        }
    }
    return {MulDiv(FILLAHEAD_PAGE_WIDTH, unitX, 4), MulDiv(FILLAHEAD_PAGE_HEIGHT, unitY, 8)};
}

HWND PageDialog::FieldWindow(PageField field) const {
    return window_ ? GetDlgItem(window_.get(), idOf(field)) : nullptr;
}

Text PageDialog::FieldText(PageField field) const {
    const HWND box = FieldWindow(field);
    if (box == nullptr) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return Text(text.begin(), text.end());
}

void PageDialog::SetFieldText(PageField field, TextView text) {
    if (const HWND box = FieldWindow(field)) {
        setText(box, text);
    }
}

std::int32_t PageDialog::CheckBoxValue(PageField field) const {
    const HWND box = FieldWindow(field);
    if (box == nullptr) {
        return vbUnchecked;
    }
    switch (SendMessageW(box, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return vbChecked;
    case BST_INDETERMINATE:
        return vbGrayed;
    default:
        return vbUnchecked;
    }
}

void PageDialog::SetCheckBoxValue(PageField field, std::int32_t value) {
    if (const HWND box = FieldWindow(field)) {
        SendMessageW(box, BM_SETCHECK, checkStateOf(value), 0);
    }
}

void PageDialog::Focus(PageField field) {
    if (const HWND box = FieldWindow(field)) {
        SendMessageW(window_.get(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    }
}

std::optional<PageField> PageDialog::FocusedField() const {
    HWND focus = GetFocus();
    if (!window_ || focus == nullptr || !IsChild(window_.get(), focus)) {
        return std::nullopt;
    }
    // A control's own child windows (none today) count as the control.
    while (GetParent(focus) != window_.get()) {
        focus = GetParent(focus);
    }
    return fieldOfId(GetDlgCtrlID(focus));
}

bool PageDialog::TranslateKey(const MSG& message) {
    if (!window_ || message.message < WM_KEYFIRST || message.message > WM_KEYLAST ||
        (message.hwnd != window_.get() && !IsChild(window_.get(), message.hwnd))) {
        return false;
    }
    if ((message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
         message.message == WM_CHAR) &&
        (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        return false;
    }
    return IsDialogMessageW(window_.get(), const_cast<MSG*>(&message)) != FALSE;
}

void PageDialog::initialise(HWND window) {
    for (const PageFieldInfo& info : kPageFields) {
        const int id = info.kind == PageFieldKind::TextBox
                           ? FILLAHEAD_IDC_LABEL + static_cast<int>(info.field)
                           : idOf(info.field);
        setText(GetDlgItem(window, id), DialogLabel(info));
    }
}

void PageDialog::command(WORD id, WORD code) {
    const std::optional<PageField> field = fieldOfId(id);
    if (!field) {
        return;
    }
    switch (FieldInfo(*field).kind) {
    case PageFieldKind::TextBox:
        if (code == EN_CHANGE) {
            events_.FieldTextChanged(*field);
        }
        break;
    case PageFieldKind::CheckBox:
        if (code == BN_CLICKED) {
            // A click checks a box that is not checked and clears a checked
            // one, also when it was grayed.
            SetCheckBoxValue(*field, CheckBoxValue(*field) == vbChecked ? vbUnchecked : vbChecked);
            events_.FieldClicked(*field);
        }
        break;
    case PageFieldKind::Button:
        if (code == BN_CLICKED) {
            events_.FieldClicked(*field);
        }
        break;
    }
}

INT_PTR CALLBACK PageDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may unwind into the dialog manager.
    try {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            reinterpret_cast<PageDialog*>(lParam)->initialise(window);
            // The frame decides where the focus goes.
            return FALSE;
        }
        auto* self = reinterpret_cast<PageDialog*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) {
            return FALSE;
        }
        switch (message) {
        case WM_COMMAND:
            self->command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NCDESTROY:
            // Destroyed with its parent: there is nothing left to destroy.
            SetWindowLongPtrW(window, DWLP_USER, 0);
            if (self->window_.get() == window) {
                static_cast<void>(self->window_.release());
            }
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

} // namespace fillahead::library
