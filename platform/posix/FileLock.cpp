// The POSIX half of FileLock: flock on the lock file.
#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace fillahead::filelock {
namespace {

// How long a busy lock is left alone before the next try: a commit holds it
// for a few milliseconds.
constexpr std::chrono::milliseconds kRetryAfter{1};

} // namespace

std::intptr_t lockFile(const Text& path, std::chrono::milliseconds patience) {
    const int fd = ::open(toUtf8(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    // flock belongs to this open file, not to the process: another open of
    // the same file, in this process too, is kept out until it is closed.
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return fd;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= giveUp) {
            ::close(fd);
            return -1;
        }
        std::this_thread::sleep_for(kRetryAfter);
    }
}

void unlockFile(std::intptr_t handle) noexcept {
    ::close(static_cast<int>(handle));
}

} // namespace fillahead::filelock
