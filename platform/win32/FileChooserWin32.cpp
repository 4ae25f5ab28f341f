#include "platform/win32/FileChooserWin32.h"

#include "platform/win32/Interop.h"

#include <algorithm>
#include <cwchar>
#include <string_view>
#include <vector>

namespace fillahead::win32 {

namespace {

constexpr DWORD kNeedsHookOrTemplate =
    OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE;

const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

// A buffer of the record's room and one NUL more.
std::wstring bufferOf(TextView text) {
    std::wstring buffer = ToWide(text);
    buffer.push_back(L'\0');
    return buffer;
}

// The characters of a buffer's room, NULs after where the answer ends.
Text answerOf(const std::wstring& buffer, std::size_t room, std::size_t end) {
    Text answer(room, u'\0');
    std::copy_n(buffer.begin(), std::min(end, room), answer.begin());
    return answer;
}

std::size_t firstNul(const std::wstring& buffer) {
    return std::min(buffer.find(L'\0'), buffer.size());
}

} // namespace

OpenFileNameRecord::OpenFileNameRecord(const OpenFileRecord& record)
    : filter_(ToWide(record.filter)), file_(bufferOf(record.file)),
      fileTitle_(bufferOf(record.fileTitle)), initialFolder_(ToWide(record.initialFolder)),
      title_(ToWide(record.title)), defaultExtension_(ToWide(record.defaultExtension)),
      requestedFlags_(record.flags) {
    // However the filter list ends, it ends.
    filter_.append(2, L'\0');
    record_.lStructSize = sizeof record_;
    record_.hwndOwner = ToHwnd(record.owner);
    // A list whose first item is empty has no filter.
    record_.lpstrFilter = filter_.front() != L'\0' ? filter_.c_str() : nullptr;
    record_.nFilterIndex = record.filterIndex;
    record_.lpstrFile = file_.data();
    record_.nMaxFile = static_cast<DWORD>(record.file.size());
    record_.lpstrFileTitle = record.fileTitle.empty() ? nullptr : fileTitle_.data();
    record_.nMaxFileTitle = static_cast<DWORD>(record.fileTitle.size());
    record_.lpstrInitialDir = orNull(initialFolder_);
    record_.lpstrTitle = orNull(title_);
    record_.lpstrDefExt = orNull(defaultExtension_);
    // Explorer style also for several files, so that they come back
    // separated by NULs rather than by spaces.
    record_.Flags = (record.flags & ~kNeedsHookOrTemplate) | OFN_EXPLORER;
}

void OpenFileNameRecord::ReadAnswer(OpenFileRecord& record) const {
    // Several files: the folder and the names, each ended by a NUL, one
    // more NUL after the last; the name offset then follows a NUL. One
    // file: one string. The dialog leaves whatever it did not overwrite.
    const std::size_t offset = record_.nFileOffset;
    const bool several = offset > 0 && offset < file_.size() && file_[offset - 1] == L'\0';
    const std::size_t end = several
                                ? std::min(file_.find(std::wstring_view(L"\0\0", 2)), file_.size())
                                : firstNul(file_);
    record.file = answerOf(file_, record.file.size(), end);
    record.fileTitle = answerOf(fileTitle_, record.fileTitle.size(), firstNul(fileTitle_));
    record.filterIndex = record_.nFilterIndex;
    record.flags = record_.Flags & ~(OFN_EXPLORER & ~requestedFlags_);
}

bool Win32FileChooser::OpenFile(OpenFileRecord& record) {
    OpenFileNameRecord dialog(record);
    if (!GetOpenFileNameW(&dialog.Get())) {
        return false;
    }
    dialog.ReadAnswer(record);
    return true;
}

Text Win32FileChooser::ApplicationTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT size = 0;
    if (!version.empty() &&
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()) &&
        VerQueryValueW(version.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translations), &size) &&
        size >= sizeof(Translation)) {
        std::wstring key = L"\\StringFileInfo\\";
        for (const WORD part : {translations->language, translations->codePage}) {
            for (int shift = 12; shift >= 0; shift -= 4) {
                key += L"0123456789abcdef"[(part >> shift) & 0xF];
            }
        }
        key += L"\\FileDescription";
        wchar_t* description = nullptr;
        if (VerQueryValueW(version.data(), key.c_str(), reinterpret_cast<void**>(&description),
                           &size) &&
            size > 1 && description[0] != L'\0') {
            return Text(description, description + std::wcslen(description));
        }
    }
    const std::size_t name = path.find_last_of(L"\\/") + 1; // npos + 1 is 0
    const std::size_t dot = path.rfind(L'.');
    const std::wstring title = path.substr(
        name, dot != std::wstring::npos && dot > name ? dot - name : std::wstring::npos);
    return Text(title.begin(), title.end());
}

} // namespace fillahead::win32
