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

// Which version of which file: identity (device and inode, or volume serial
// and file index), size, and the times of the last write and of the last
// change of any kind (which a program cannot set back, unlike the write time).
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t fileId = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;

    bool operator==(const FileStamp&) const = default;
};

// Stamp times and now() count in these ticks on the same clock.
extern const std::int64_t kTicksPerSecond;
std::int64_t now();

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

    SystemError stamp(FileStamp& out) const;
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

SystemError stampOf(const Text& path, FileStamp& out);
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
