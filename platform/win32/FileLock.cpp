// The Windows half of FileLock: LockFileEx on the lock file's first byte.
#include "platform/FileLock.h"

#include <windows.h>

namespace fillahead::filelock {
namespace {

// How long a busy lock is left alone before the next try: a commit holds it
// for a few milliseconds.
constexpr DWORD kRetryAfterMilliseconds = 1;

} // namespace

std::intptr_t lockFile(const Text& path, std::chrono::milliseconds patience) {
    // Shared for everything, so that other programs open it too and a user
    // may delete the folder while nobody holds the lock.
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    // The lock belongs to this handle: another handle, in this process too,
    // is kept out until it is closed.
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    for (;;) {
        OVERLAPPED firstByte{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &firstByte)) {
            return reinterpret_cast<std::intptr_t>(file);
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= giveUp) {
            CloseHandle(file);
            return -1;
        }
        Sleep(kRetryAfterMilliseconds);
    }
}

void unlockFile(std::intptr_t handle) noexcept {
    // Closing the handle releases the range locked through it.
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

} // namespace fillahead::filelock
