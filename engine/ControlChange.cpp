// Switching to another served control.
#include "engine/Fillahead.h"

namespace fillahead {

void Fillahead::OnControlChange(TextView CurrentControlName, TextView Text) {
    CloseList();
    const fillahead::Text& location =
        BufferUsage_ == buePrivate ? PrivateBufferLocation_ : GlobalBufferLocation_;
    bufferPath_ =
        location + ControlGroupName_ + u"-" + fillahead::Text(CurrentControlName) + u".xml";
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
