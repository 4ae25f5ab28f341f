// Switching to another served control.
#include "engine/Fillahead.h"

#include <algorithm>

namespace fillahead {
namespace {

// What a group or control name may not bring into a file name: a folder
// separator or a colon (a drive, or an alternate data stream on Windows)
// would put the file outside the buffer folder, and control characters and
// the rest that Windows refuses in file names would make it unwritable.
// Identifiers hold none of them, so the names of forms and controls give
// the file names they always gave.
bool unsafeInFileName(char16_t c) {
    return c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':' || c == u'*' ||
           c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

fillahead::Text fileNamePart(TextView name) {
    fillahead::Text part(name);
    std::replace_if(part.begin(), part.end(), unsafeInFileName, u'_');
    return part;
}

} // namespace

void Fillahead::OnControlChange(TextView CurrentControlName, TextView Text) {
    const auto self = keepAlive();
    CloseList();
    const bool usePrivate = BufferUsage_ == buePrivate;
    const fillahead::Text& location = usePrivate ? PrivateBufferLocation_ : GlobalBufferLocation_;
    bufferPath_ = location + fileNamePart(ControlGroupName_) + u"-" +
                  fileNamePart(CurrentControlName) + u".xml";
    bufferPathPrivate_ = usePrivate;
    listDismissed_ = false;
    matchingEnabled_ = true;
    CurrentControlName_ = CurrentControlName;
    Text_ = Text;
    // With a buddy named, only that control's values are stored.
    if (!BuddyControl_.empty() && !equalsIgnoringCase(BuddyControl_, CurrentControlName)) {
        CurrentControlName_.clear();
    }
}

} // namespace fillahead
