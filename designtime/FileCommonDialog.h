// FileCommonDialog: the open-file dialog behind one call, OpenFile. The
// fields carry the usual options of the dialog with fixed defaults; after a
// dialog some of them hold what the user ended with (the filter pair, the
// option bits, the folder).
//
// OpenFile checks its arguments, then blocks on the file chooser until the
// user closes the dialog. Lengths are counted in UTF-16 code units.
#pragma once

#include "platform/FileChooser.h"
#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <cstdint>
#include <memory>

namespace fillahead {

// The longest initial names OpenFile accepts, and so the room the dialog
// has for its answers.
inline constexpr std::size_t kMaxFileName = 1024;
inline constexpr std::size_t kMaxFileTitle = 512;

class FileCommonDialog {
public:
    // The dialog title starts as the chooser's application title.
    explicit FileCommonDialog(std::shared_ptr<FileChooser> chooser = DefaultFileChooser());

    // Shows the dialog, starting at FileName. True when the user chose a
    // file: FileName is its full path (several files come back as the
    // folder and the names, separated by ";") and FileTitle the same text.
    // False when the user cancelled: both arguments become empty. A
    // FileName longer than 1,024 characters or a FileTitle longer than 512
    // raises an invalid-argument error before anything is shown, and both
    // stay as they were.
    bool OpenFile(Text& FileName);
    bool OpenFile(Text& FileName, Text& FileTitle);

    // The option bits the next dialog gets.
    std::uint32_t OptionBits() const;
    // The record the next dialog gets for these arguments (checked by
    // OpenFile, not here).
    OpenFileRecord BuildRecord(TextView FileName, TextView FileTitle) const;

    // Description and pattern items separated by "|" or ":"; after a
    // dialog the item the filter index points at, or a single NUL after a
    // cancel.
    Text Filter;
    std::int32_t FilterIndex = 0; // 1-based; -1 after a cancel
    Text InitialFolder;
    Text DialogTitle;
    Text DefaultExtension;
    // Further option bits; the hook and template bits are never passed on.
    // After a dialog the option bits it returned, 0 after a cancel.
    std::int32_t Flags = 0;
    WindowHandle OwnerWindow = -1; // -1: none
    bool FileMustExist = true;
    bool MultiSelect = false;
    bool ReadOnly = false; // after a dialog: the user ticked the read-only box
    bool HideReadOnly = true;

private:
    std::shared_ptr<FileChooser> chooser_;
};

} // namespace fillahead
