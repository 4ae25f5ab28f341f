#include "designtime/FileCommonDialog.h"

#include "platform/AutomationError.h"

#include <algorithm>

namespace fillahead {

namespace {

constexpr std::uint32_t kHookAndTemplate = kOpenEnableHook | kOpenEnableTemplate;

// The text before the first NUL of a buffer.
Text beforeNul(TextView buffer) {
    return Text(buffer.substr(0, std::min(buffer.find(u'\0'), buffer.size())));
}

// The answer in a file-name buffer: everything before the first pair of
// NULs (a buffer filled to its end has none), the NULs that separate a
// folder from its files turned into ";".
Text fileNameOf(TextView buffer) {
    TextView answer = buffer.substr(0, std::min(buffer.find(TextView(u"\0\0", 2)), buffer.size()));
    while (!answer.empty() && answer.back() == u'\0') {
        answer.remove_suffix(1);
    }
    Text name(answer);
    std::replace(name.begin(), name.end(), u'\0', u';');
    return name;
}

// The index-th (1-based) of the NUL-separated items of a filter; empty when
// there is no such item.
Text filterItem(TextView filter, std::int32_t index) {
    std::int32_t item = 1;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t end = std::min(filter.find(u'\0', start), filter.size());
        if (item == index) {
            return Text(filter.substr(start, end - start));
        }
        ++item;
        start = end + 1;
    }
    return Text();
}

Text padded(TextView text, std::size_t length) {
    Text buffer(text);
    buffer.resize(std::max(length, text.size()), u'\0');
    return buffer;
}

} // namespace

FileCommonDialog::FileCommonDialog(std::shared_ptr<FileChooser> chooser)
    : DialogTitle(chooser->ApplicationTitle()), chooser_(std::move(chooser)) {}

std::uint32_t FileCommonDialog::OptionBits() const {
    std::uint32_t bits = static_cast<std::uint32_t>(Flags) & ~kHookAndTemplate;
    bits |= FileMustExist ? kOpenFileMustExist : 0;
    bits |= MultiSelect ? kOpenAllowMultiSelect : 0;
    bits |= HideReadOnly ? kOpenHideReadOnly : 0;
    bits |= ReadOnly ? kOpenReadOnly : 0;
    return bits;
}

OpenFileRecord FileCommonDialog::BuildRecord(TextView FileName, TextView FileTitle) const {
    OpenFileRecord record;
    record.owner = OwnerWindow != -1 ? OwnerWindow : 0;
    record.filter = Filter;
    std::replace_if(
        record.filter.begin(), record.filter.end(),
        [](char16_t c) { return c == u'|' || c == u':'; }, u'\0');
    record.filter.append(2, u'\0');
    // After a cancel the index is -1: the dialog then starts at its first pair.
    record.filterIndex = static_cast<std::uint32_t>(std::max<std::int32_t>(FilterIndex, 0));
    record.file = padded(FileName, kMaxFileName);
    record.fileTitle = padded(FileTitle, kMaxFileTitle);
    record.initialFolder = InitialFolder;
    record.title = DialogTitle;
    record.defaultExtension = DefaultExtension;
    record.flags = OptionBits();
    return record;
}

bool FileCommonDialog::OpenFile(Text& FileName) {
    Text FileTitle;
    return OpenFile(FileName, FileTitle);
}

bool FileCommonDialog::OpenFile(Text& FileName, Text& FileTitle) {
    if (FileName.size() > kMaxFileName || FileTitle.size() > kMaxFileTitle) {
        throw AutomationError(error::InvalidProcedureCall);
    }
    OpenFileRecord record = BuildRecord(FileName, FileTitle);
    if (!chooser_->OpenFile(record)) {
        FileName.clear();
        FileTitle.clear();
        Flags = 0;
        FilterIndex = -1;
        Filter = Text(1, u'\0');
        return false;
    }
    FilterIndex = static_cast<std::int32_t>(record.filterIndex);
    Filter = filterItem(record.filter, FilterIndex);
    FileName = fileNameOf(record.file);
    FileTitle = !FileName.empty() ? FileName : beforeNul(record.fileTitle);
    Flags = static_cast<std::int32_t>(record.flags);
    ReadOnly = (record.flags & kOpenReadOnly) != 0;
    InitialFolder = beforeNul(record.file);
    return true;
}

} // namespace fillahead
