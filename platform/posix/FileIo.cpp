#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

namespace fillahead::fileio {
namespace {

std::string nativePath(const Text& path) {
    return toUtf8(path);
}

SystemError lastError() {
    const int code = errno;
    return {code, code == ENOENT || code == ENOTDIR, code == EEXIST,
            fromUtf8(std::generic_category().message(code))};
}

std::int64_t ticks(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// One stat call tells everything: the identity comes free here.
FileStamp stampFrom(const struct stat& status) {
    FileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modified = ticks(status.st_mtim);
    stamp.changed = ticks(status.st_ctim);
    stamp.hasIdentity = true;
    stamp.volume = static_cast<std::uint64_t>(status.st_dev);
    stamp.fileId = static_cast<std::uint64_t>(status.st_ino);
    return stamp;
}

} // namespace

const std::int64_t kTicksPerSecond = 1'000'000'000;

std::int64_t now() {
    timespec time{};
    clock_gettime(CLOCK_REALTIME, &time);
    return ticks(time);
}

File::~File() {
    if (isOpen()) {
        ::close(static_cast<int>(handle_));
    }
}

File::File(File&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (isOpen()) {
            ::close(static_cast<int>(handle_));
        }
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

bool File::isOpen() const noexcept {
    return handle_ >= 0;
}

SystemError File::openForReading(const Text& path) {
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    handle_ = fd;
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return lastError();
    }
    if (!S_ISREG(status.st_mode)) {
        return {EISDIR, false, false, u"not a regular file"};
    }
    return {};
}

SystemError File::createNew(const Text& path, const Text& permissionsOf) {
    const int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return lastError();
    }
    handle_ = fd;
    struct stat model {};
    if (::stat(nativePath(permissionsOf).c_str(), &model) == 0 && S_ISREG(model.st_mode)) {
        // The replacement keeps the rights of the file it replaces; when
        // that is refused the default rights are no reason to fail a save.
        (void)fchmod(fd, model.st_mode & 07777);
    }
    return {};
}

SystemError File::sizeAndTimes(FileStamp& out) const {
    struct stat status {};
    if (fstat(static_cast<int>(handle_), &status) != 0) {
        return lastError();
    }
    out = stampFrom(status);
    return {};
}

SystemError File::identity(FileStamp& out) const {
    return sizeAndTimes(out);
}

SystemError File::readToEnd(UninitialisedVector<char>& out, std::size_t sizeHint) {
    std::size_t used = out.size();
    out.resize(used + sizeHint + 1); // one spare byte detects a file that grew
    for (;;) {
        if (used == out.size()) {
            out.resize(out.size() * 2);
        }
        const ssize_t got = ::read(static_cast<int>(handle_), out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            out.resize(used);
            return lastError();
        }
        if (got == 0) {
            out.resize(used);
            return {};
        }
        used += static_cast<std::size_t>(got);
    }
}

SystemError File::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

SystemError File::flush() {
    if (fdatasync(static_cast<int>(handle_)) != 0) {
        return lastError();
    }
    return {};
}

SystemError File::close() {
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    // Linux releases the descriptor even when close reports an error, so it
    // is never retried.
    if (::close(fd) != 0) {
        return lastError();
    }
    return {};
}

SystemError stampOf(const Text& path, FileStamp& out, bool /*withIdentity*/) {
    struct stat status {};
    if (::stat(nativePath(path).c_str(), &status) != 0) {
        return lastError();
    }
    out = stampFrom(status);
    return {};
}

SystemError matchesStamp(const Text& path, const FileStamp& expected, bool& same) {
    FileStamp current;
    const SystemError error = stampOf(path, current);
    same = !error && current.sameSizeAndTimes(expected) &&
           (!expected.hasIdentity || current.sameIdentity(expected));
    return error;
}

SystemError replace(const Text& from, const Text& to) {
    const std::string target = nativePath(to);
    // rename() only asks whether the folder may be written; the file's own
    // read-only state is ours to keep, as MoveFileEx keeps it on Windows.
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        (status.st_mode & S_IWUSR) == 0) {
        return {EACCES, false, false,
                fromUtf8(std::generic_category().message(EACCES)) + u" (the file is read-only)"};
    }
    if (::rename(nativePath(from).c_str(), target.c_str()) != 0) {
        return lastError();
    }
    return {};
}

SystemError flushFolder(const Text& folder) {
    const std::string path = folder.empty() ? std::string(".") : nativePath(folder);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    SystemError error;
    // Some file systems cannot sync a folder (EINVAL): nothing more to do there.
    if (fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
        error = lastError();
    }
    ::close(fd);
    return error;
}

SystemError remove(const Text& path) {
    if (::unlink(nativePath(path).c_str()) != 0) {
        return lastError();
    }
    return {};
}

std::uint32_t processId() {
    return static_cast<std::uint32_t>(getpid());
}

} // namespace fillahead::fileio
