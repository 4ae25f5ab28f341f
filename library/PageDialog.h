// PageDialog: the property page's window, a child dialog made from the
// template FILLAHEAD_IDD_PAGE of this module, with one control per
// PageField. It gives the page its fields (texts, the check box, the focus)
// and tells its Events what the user does: a text box's text changed, a
// button or the check box was clicked.
//
// The window exists between Create and Destroy (or the object's end); the
// field calls read empty values and change nothing without it. Everything
// runs on the thread that created the window.
#pragma once

#include <windows.h>

#include "designtime/PageFrame.h"
#include "platform/Text.h"
#include "platform/win32/Handles.h"

#include <cstdint>
#include <optional>

namespace fillahead::library {

class PageDialog {
public:
    class Events {
    public:
        virtual void FieldTextChanged(PageField field) noexcept = 0;
        virtual void FieldClicked(PageField field) noexcept = 0;

    protected:
        ~Events() = default;
    };

    explicit PageDialog(Events& events) : events_(events) {}
    PageDialog(const PageDialog&) = delete;
    PageDialog& operator=(const PageDialog&) = delete;

    // Creates the hidden window inside `parent` at `where` (client
    // coordinates of the parent). Raises AutomationError when Windows
    // refuses.
    void Create(HWND parent, const RECT& where);
    void Destroy() noexcept { window_.reset(); }
    HWND Window() const noexcept { return window_.get(); }

    // The template's size in pixels, for a frame that asks before the
    // window exists: dialog units of the template's font on the screen.
    static SIZE TemplateSize();

    // A field's control; null without the window.
    HWND FieldWindow(PageField field) const;
    Text FieldText(PageField field) const;
    void SetFieldText(PageField field, TextView text);
    std::int32_t CheckBoxValue(PageField field) const;
    void SetCheckBoxValue(PageField field, std::int32_t value);
    // Moves the focus as the dialog manager does (a text box's text is
    // selected).
    void Focus(PageField field);
    std::optional<PageField> FocusedField() const;

    // Handles a keyboard message for a window of the page as the dialog
    // manager does (Tab, the arrow keys, access keys); true when it did.
    // Return and Escape are left to the frame, whose OK and Cancel they
    // press.
    bool TranslateKey(const MSG& message);

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void initialise(HWND window);
    void command(WORD id, WORD code);

    Events& events_;
    win32::UniqueWindow window_;
};

} // namespace fillahead::library
