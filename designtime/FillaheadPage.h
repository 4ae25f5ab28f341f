// FillaheadPage: the control's property page, captioned "General". It edits
// seven public properties of the selected control as text (the buddy
// control, the group name, both buffer folders and sizes) and one check box
// (CaptureReturnKey), and lets the developer browse for a buffer folder.
//
// The page talks to the controls only by property name, through its frame,
// and only to the first selected one. SelectionChanged and ApplyChanges trap
// no errors: the first property that fails ends the call with its
// AutomationError, and what was read or written before stays so. Browsing
// never raises. Everything runs on the user-interface thread.
#pragma once

#include "designtime/FileCommonDialog.h"
#include "designtime/PageFrame.h"
#include "platform/FileChooser.h"

#include <memory>
#include <optional>

namespace fillahead {

inline constexpr char16_t kPageCaption[] = u"General";

class FillaheadPage {
public:
    // The frame outlives the page.
    explicit FillaheadPage(PageFrame& frame,
                           std::shared_ptr<FileChooser> chooser = DefaultFileChooser());
    FillaheadPage(const FillaheadPage&) = delete;
    FillaheadPage& operator=(const FillaheadPage&) = delete;

    // Fills the fields from the first selected control and leaves the page
    // unchanged; with nothing selected the fields stay as they are.
    void SelectionChanged();
    // Writes the fields to the first selected control, then clears the
    // changed flag. A size that is not a number fails in the control's
    // setter, and the page stays changed.
    void ApplyChanges();

    // The changed flag: on after the user edits a field, off after the
    // fields were filled or applied.
    bool Changed() const { return changed_; }
    // The field that has the focus.
    std::optional<PageField> ActiveControl() { return frame_.FocusedField(); }

    // --- What the frame reports. ---
    // The text of a text box changed.
    void TextChange(PageField field);
    // A button or the check box was clicked.
    void Click(PageField field);

private:
    void cmdPublic_Click() { browse(PageField::txtGlobalBufferLocation); }
    void cmdPrivate_Click() { browse(PageField::txtPrivateBufferLocation); }
    void browse(PageField location);
    void setChanged(bool changed);

    PageFrame& frame_;
    std::shared_ptr<FileChooser> chooser_;
    // Made on the first browse and kept, with the options it ended with.
    std::unique_ptr<FileCommonDialog> dialog_;
    bool changed_ = false;
    // While the page writes its own fields their change notices are not
    // the user's edits.
    bool writing_ = false;
};

} // namespace fillahead
