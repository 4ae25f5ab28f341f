// AtomicFile: whole-file reads, and replacing a file in one step so that a
// crash or a failure at any moment leaves either the old or the new content,
// never a torn file. Errors are AutomationErrors that name the file.
//
// A replacement is written to a temporary file in the target's folder (named
// "<target>.<process>-<n>.fillahead-tmp"), forced to disk and renamed over
// the target, and the rename is forced to disk too. A read-only target is
// refused on every platform. A process killed meanwhile leaves its temporary behind; loads
// and saves in that folder remove temporaries older than a minute (younger
// ones may belong to a save still in progress in another process).
#pragma once

#include "platform/FileIo.h"
#include "platform/Text.h"

#include <functional>
#include <string>
#include <string_view>

namespace fillahead {

struct FileSnapshot {
    // Not zeroed before the file is read into it: files are large.
    UninitialisedVector<char> bytes;
    fileio::FileStamp stamp;
    // False when the file changed while it was read: the stamp then proves
    // nothing about the bytes.
    bool stampMatchesBytes = false;
};

// The whole file with its size and times, and its identity when asked for
// and the file has settled (fileio::settled). 3002 when it cannot be opened,
// 3003 when reading fails.
FileSnapshot readWholeFile(const Text& path, bool identityIfSettled = false);

// Replaces path with content; returns the new file's stamp, with its
// identity when the file in place is provably the one written (no other
// program replaced it in between), else without. On failure 3004
// naming the file and no temporary left behind; the old file is intact,
// unless only forcing the rename to disk failed: the new content is then in
// place but may not survive a power cut.
fileio::FileStamp replaceFileAtomically(const Text& path, std::string_view content);

// True for the names replaceFileAtomically gives its temporaries.
bool isTemporaryFileName(TextView fileName);

// Removes the temporaries in the folder of path that are older than a minute.
// Failures are ignored: a temporary that cannot be removed now is tried again
// later.
void removeStaleTemporaries(const Text& path);

// Test hook: the steps of a replacement, in order. A hook that returns true
// for a step makes it fail the way a system error would.
enum class ReplaceStep { Create, Write, Flush, Close, Rename, FlushFolder };
void setReplaceFailureHookForTesting(std::function<bool(ReplaceStep)> hook);

} // namespace fillahead
