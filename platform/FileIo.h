// FileIo: the little that the record set needs of the operating system's
// files, behind one portable interface. Realised once per platform
// (platform/posix/FileIo.cpp, platform/win32/FileIo.cpp) and kept that small
// on purpose: the sequences built from these calls (whole-file reads, atomic
// replacement, clean-up of temporaries) live in the portable AtomicFile.
//
// Nothing here throws for a failure the system reports: calls return a
// SystemError, so that the caller can clean up and name the file in its own
// error. Handles are owned by File (RAII, move-only).
#pragma once

#include "platform/Text.h"
#include "platform/UninitialisedVector.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fillahead::fileio {

// Which version of which file: its size, the times of the last write and of
// the last change of any kind (which a program cannot set back, unlike the
// write time), and its identity (device and inode, or volume serial and file
// index). The size and times are cheap to read everywhere; the identity
// costs a volume query on Windows (milliseconds under Wine), so it is read
// only where the size and times alone prove nothing, and compared only when
// they are equal.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool hasIdentity = false;
    std::uint64_t volume = 0;
    std::uint64_t fileId = 0;

    bool operator==(const FileStamp&) const = default;
    bool sameSizeAndTimes(const FileStamp& other) const noexcept {
        return size == other.size && modified == other.modified && changed == other.changed;
    }
    // Both identities read, and equal.
    bool sameIdentity(const FileStamp& other) const noexcept {
        return hasIdentity && other.hasIdentity && volume == other.volume && fileId == other.fileId;
    }
};

// Stamp times and now() count in these ticks on the same clock.
extern const std::int64_t kTicksPerSecond;
std::int64_t now();

// Whether any later write to the file would show in its stamp: its last
// write lies more than one tick of its file system's clock back. Times kept
// to the second (FAT counts in two) take seconds for that; a time with a
// fraction of a second comes from a clock that ticks at least every few
// milliseconds (Windows about 16, Linux a jiffy, exFAT 10), so a tenth of a
// second is ample.
inline bool settled(const FileStamp& stamp) {
    const bool wholeSeconds = stamp.modified % kTicksPerSecond == 0;
    const std::int64_t settleTime = wholeSeconds ? 3 * kTicksPerSecond : kTicksPerSecond / 10;
    return stamp.modified < now() - settleTime;
}

// A failure the system reported: its code (errno, or GetLastError) and its
// text. A default SystemError is success.
struct SystemError {
    int code = 0;
    bool notFound = false;
    bool alreadyExists = false;
    Text message;

    explicit operator bool() const noexcept { return code != 0; }
};

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // An existing regular file, for reading; others may write, rename or
    // delete it meanwhile.
    SystemError openForReading(const Text& path);
    // A new file that must not exist yet, for writing; it takes the access
    // rights of permissionsOf when that file exists.
    SystemError createNew(const Text& path, const Text& permissionsOf);

    // The size and times of the open file; its identity is left as it is.
    SystemError sizeAndTimes(FileStamp& out) const;
    // Adds the open file's identity.
    SystemError identity(FileStamp& out) const;
    // Appends everything from the current position to the end.
    SystemError readToEnd(UninitialisedVector<char>& out, std::size_t sizeHint);
    SystemError writeAll(std::string_view bytes);
    // Forces the written data to stable storage.
    SystemError flush();
    // Closes the handle and reports what the system says about it.
    SystemError close();

    bool isOpen() const noexcept;

private:
    std::intptr_t handle_ = -1;
};

// The size and times of the file at path, and its identity when asked for.
SystemError stampOf(const Text& path, FileStamp& out, bool withIdentity = false);
// Whether the file at path is still the version expected describes: same
// size and times, and, only when they are equal and expected has an
// identity, the same identity. A missing file is an error.
SystemError matchesStamp(const Text& path, const FileStamp& expected, bool& same);
// Renames from over to, replacing to in one step. A read-only to is
// refused (access denied), as Windows refuses it: on POSIX, a file whose
// owner may not write it.
SystemError replace(const Text& from, const Text& to);
// Forces the entries of a folder (a rename into it) to stable storage, so
// that a replacement survives a power cut; folder "" is the current one.
// Windows writes a replacing rename through already.
SystemError flushFolder(const Text& folder);
SystemError remove(const Text& path);
std::uint32_t processId();

} // namespace fillahead::fileio
