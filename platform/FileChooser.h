// FileChooser: the system's modal open-file dialog. On Windows it is the
// common dialog (platform/win32); elsewhere a stand-in answers the way a
// user at the dialog would (platform/simulated).
//
// The request and the answer travel in one record shaped like the Windows
// dialog record, so that the rules for building the request and reading the
// answer stay portable and the Windows realisation only copies fields.
// Lengths are counted in UTF-16 code units, the characters of the wide API.
// Called on the user-interface thread; the call blocks until the user
// closes the dialog.
#pragma once

#include "platform/Text.h"
#include "platform/WindowTypes.h"

#include <cstdint>
#include <memory>

namespace fillahead {

// Option bits of the dialog record (the OFN_ values).
inline constexpr std::uint32_t kOpenReadOnly = 0x1;           // also the box's state on return
inline constexpr std::uint32_t kOpenHideReadOnly = 0x4;       // no read-only box
inline constexpr std::uint32_t kOpenEnableHook = 0x20;        // needs a hook procedure
inline constexpr std::uint32_t kOpenEnableTemplate = 0x40;    // needs a template resource
inline constexpr std::uint32_t kOpenAllowMultiSelect = 0x200; // several files at once
inline constexpr std::uint32_t kOpenFileMustExist = 0x1000;   // only existing files

struct OpenFileRecord {
    WindowHandle owner = 0; // 0: the dialog has no owner
    // Description and pattern items, each ended by a NUL, the list ended by
    // one more NUL; empty: no filter.
    Text filter;
    std::uint32_t filterIndex = 0; // 1-based pair of the filter
    // The file-name buffer. Its length is the room the dialog has for its
    // answer; the characters before the first NUL are the initial name, and
    // a name that fills the whole buffer is the initial name as it is. On
    // return it holds one path, or for several files the folder and each
    // name, each ended by a NUL, with one more NUL after the last.
    Text file;
    // The file-title buffer: on return the chosen file's name without its
    // folder, by the same rules.
    Text fileTitle;
    Text initialFolder;
    Text title; // the dialog's caption; empty: the system's own
    Text defaultExtension;
    std::uint32_t flags = 0;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;

    // Shows the dialog and waits for the user. True when the user chose a
    // file: file, fileTitle, filterIndex and flags then hold the dialog's
    // answer, each buffer as long as it was. False when the user cancelled
    // or the dialog could not be shown (the file-name buffer too small for
    // the choice, for example); the record is then unchanged.
    virtual bool OpenFile(OpenFileRecord& record) = 0;

    // The title of the program the dialog is shown in, the caption such
    // dialogs usually carry.
    virtual Text ApplicationTitle() = 0;
};

// The file chooser of the platform being built: the common dialog on
// Windows; elsewhere a stand-in without a user, which cancels every dialog.
std::shared_ptr<FileChooser> DefaultFileChooser();

} // namespace fillahead
