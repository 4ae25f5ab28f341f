#include "platform/simulated/SimulatedFileChooser.h"

#include <algorithm>
#include <stdexcept>

namespace fillahead {

namespace {

std::size_t nameStart(TextView path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == TextView::npos ? 0 : separator + 1;
}

// The answer written over the start of a buffer, the rest cleared; false
// when it does not fit, as the dialog refuses a buffer too small.
bool fill(Text& buffer, const Text& answer) {
    if (answer.size() > buffer.size()) {
        return false;
    }
    buffer.replace(0, answer.size(), answer);
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(answer.size()), buffer.end(), u'\0');
    return true;
}

} // namespace

void SimulatedFileChooser::WillChoose(Choice choice) {
    if (choice.files.empty()) {
        throw std::invalid_argument("a choice names at least one file");
    }
    answers_.push_back(std::move(choice));
}

void SimulatedFileChooser::WillCancel() {
    answers_.push_back(std::nullopt);
}

bool SimulatedFileChooser::OpenFile(OpenFileRecord& record) {
    shown.push_back(record);
    if (answers_.empty()) {
        return false;
    }
    const std::optional<Choice> answer = std::move(answers_.front());
    answers_.pop_front();
    if (!answer) {
        return false;
    }
    const std::vector<Text>& files = answer->files;
    if (files.size() > 1 && (record.flags & kOpenAllowMultiSelect) == 0) {
        throw std::logic_error("several files chosen in a dialog that takes one");
    }

    Text file;
    Text title;
    if (files.size() == 1) {
        file = files.front() + u'\0';
        title = files.front().substr(nameStart(files.front())) + u'\0';
    } else {
        const std::size_t folderEnd = nameStart(files.front());
        file = files.front().substr(0, folderEnd > 0 ? folderEnd - 1 : 0) + u'\0';
        for (const Text& path : files) {
            file += path.substr(nameStart(path)) + u'\0';
        }
        file += u'\0';
    }
    OpenFileRecord answered = record;
    if (!fill(answered.file, file)) {
        return false;
    }
    // The title buffer is optional for the dialog: one too small stays empty.
    if (!fill(answered.fileTitle, title)) {
        fill(answered.fileTitle, Text());
    }
    if (answer->filterIndex != 0) {
        answered.filterIndex = answer->filterIndex;
    }
    answered.flags =
        answer->readOnly ? (record.flags | kOpenReadOnly) : (record.flags & ~kOpenReadOnly);
    record = std::move(answered);
    return true;
}

} // namespace fillahead
