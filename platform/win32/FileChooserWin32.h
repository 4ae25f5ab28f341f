// Win32FileChooser: the common open-file dialog, through the wide function
// GetOpenFileNameW so that folders outside the ANSI code page survive.
#pragma once

#include <windows.h>

#include "platform/FileChooser.h"

#include <commdlg.h>

#include <string>

namespace fillahead::win32 {

// The dialog record as GetOpenFileNameW takes it, over buffers of its own.
// Each buffer has one character more than the record's room, always NUL,
// so that an initial name filling the room is still a terminated string
// for the dialog. Bits that need a hook procedure or a template are never
// passed: this record has none to give.
class OpenFileNameRecord {
public:
    explicit OpenFileNameRecord(const OpenFileRecord& record);
    OpenFileNameRecord(const OpenFileNameRecord&) = delete;
    OpenFileNameRecord& operator=(const OpenFileNameRecord&) = delete;

    OPENFILENAMEW& Get() { return record_; }
    // The dialog's answer, written into the portable record: each buffer
    // holds the answer and NULs to its end, whatever the dialog left
    // behind the answer's end.
    void ReadAnswer(OpenFileRecord& record) const;

private:
    std::wstring filter_;
    std::wstring file_;
    std::wstring fileTitle_;
    std::wstring initialFolder_;
    std::wstring title_;
    std::wstring defaultExtension_;
    DWORD requestedFlags_ = 0;
    OPENFILENAMEW record_{};
};

class Win32FileChooser final : public FileChooser {
public:
    bool OpenFile(OpenFileRecord& record) override;
    // The program's file description, or its file name without extension
    // when it has none.
    Text ApplicationTitle() override;
};

} // namespace fillahead::win32
