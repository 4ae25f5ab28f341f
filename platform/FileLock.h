// FileLock: a short exclusive lock that the programs sharing a buffer folder
// take around each read-modify-write of the files in it (storing a value,
// trimming, keeping a damaged file aside), so that one program's update never
// interleaves with another's and drops its value.
//
// The lock is a lock file in the folder ("fillahead.lock"), locked with
// flock on POSIX and LockFileEx on Windows. The system releases it when its
// holder ends, also when the holder crashes, so no stale lock outlives a
// program. Only writers take it: files are replaced by a rename, so a reader
// always sees a whole file and never waits.
//
// Waiting is bounded. A lock that stays busy beyond the caller's patience,
// or a lock file that cannot be made (a read-only or missing folder), gives
// an unheld FileLock: the caller goes on without it rather than block the
// user's typing or drop the value. A thread that already holds the lock of a
// folder shares it when it asks again (the inner FileLock releases nothing);
// other threads wait for it like other programs.
#pragma once

#include "platform/Text.h"

#include <chrono>
#include <cstdint>

namespace fillahead {

class FileLock {
public:
    // The name of the lock file inside the folder.
    static constexpr char16_t kFileName[] = u"fillahead.lock";

    // Holds nothing.
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits until the lock of folder (a path ending in a separator, or empty
    // for the current folder) is free, at most patience, and takes it.
    static FileLock Acquire(const Text& folder, std::chrono::milliseconds patience);

    bool held() const noexcept { return handle_ != -1 || shared_; }
    // Releases the lock early.
    void release() noexcept;

private:
    Text folder_;
    std::intptr_t handle_ = -1;
    bool shared_ = false;
};

// The platform's half of FileLock, realised in platform/posix and
// platform/win32: an exclusive lock on one file, taken through a handle of
// its own, released by closing that handle.
namespace filelock {
// The handle that holds the lock of the file at path (created when missing),
// or -1 when it stayed busy for patience or the file cannot be opened.
std::intptr_t lockFile(const Text& path, std::chrono::milliseconds patience);
void unlockFile(std::intptr_t handle) noexcept;
} // namespace filelock

} // namespace fillahead
