#include "platform/FileIo.h"

#include <windows.h>

#include <winternl.h>

#include <limits>

namespace fillahead::fileio {
namespace {

// Text is UTF-16 like the wide Win32 functions, so a path passes unchanged.
const wchar_t* wide(const Text& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

std::intptr_t valueOf(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

SystemError errorFrom(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text message;
    if (length != 0 && buffer != nullptr) {
        message.assign(buffer, buffer + length);
        while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                                    message.back() == u' ' || message.back() == u'.')) {
            message.pop_back();
        }
    }
    LocalFree(buffer);
    if (message.empty()) {
        message = u"system error " + toText(code);
    }
    const bool notFound = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    const bool exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    return {static_cast<int>(code), notFound, exists, std::move(message)};
}

SystemError lastError() {
    return errorFrom(GetLastError());
}

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

// Two queries of the file itself, microseconds even under Wine.
SystemError sizeAndTimesFromHandle(HANDLE handle, FileStamp& out) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        return lastError();
    }
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        return lastError();
    }
    out.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    out.modified = basic.LastWriteTime.QuadPart;
    out.changed = basic.ChangeTime.QuadPart;
    return {};
}

// The file index alone: a query of the file itself.
SystemError fileIndexFromHandle(HANDLE handle, std::uint64_t& index) {
    IO_STATUS_BLOCK status{};
    FILE_INTERNAL_INFORMATION internal{};
    const NTSTATUS result = NtQueryInformationFile(handle, &status, &internal, sizeof internal,
                                                   FileInternalInformation);
    if (result < 0) {
        return errorFrom(RtlNtStatusToDosError(result));
    }
    index = static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
    return {};
}

// The volume query is the costly part (about 1 ms under Wine, which asks its
// mount manager).
SystemError identityFromHandle(HANDLE handle, FileStamp& out) {
    DWORD serial = 0;
    if (!GetVolumeInformationByHandleW(handle, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        return lastError();
    }
    std::uint64_t index = 0;
    if (const SystemError error = fileIndexFromHandle(handle, index)) {
        return error;
    }
    out.hasIdentity = true;
    out.volume = serial;
    out.fileId = index;
    return {};
}

// Attribute access only, so that a file opened without sharing by another
// program can still be compared.
HANDLE openForAttributes(const Text& path) {
    return CreateFileW(wide(path), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

const std::int64_t kTicksPerSecond = 10'000'000;

std::int64_t now() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    return ticks(time);
}

File::~File() {
    if (isOpen()) {
        CloseHandle(handleOf(handle_));
    }
}

File::File(File&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (isOpen()) {
            CloseHandle(handleOf(handle_));
        }
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

bool File::isOpen() const noexcept {
    return handleOf(handle_) != INVALID_HANDLE_VALUE;
}

SystemError File::openForReading(const Text& path) {
    // FILE_SHARE_DELETE lets another program's atomic save rename over the
    // file while we read it.
    const HANDLE handle = CreateFileW(wide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    handle_ = valueOf(handle);
    return {};
}

SystemError File::createNew(const Text& path, const Text& /*permissionsOf*/) {
    // The renamed file takes the access rights the folder gives new files,
    // as a file written in place would.
    const HANDLE handle = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    handle_ = valueOf(handle);
    return {};
}

SystemError File::sizeAndTimes(FileStamp& out) const {
    return sizeAndTimesFromHandle(handleOf(handle_), out);
}

SystemError File::identity(FileStamp& out) const {
    return identityFromHandle(handleOf(handle_), out);
}

SystemError File::readToEnd(UninitialisedVector<char>& out, std::size_t sizeHint) {
    std::size_t used = out.size();
    out.resize(used + sizeHint + 1); // one spare byte detects a file that grew
    for (;;) {
        if (used == out.size()) {
            out.resize(out.size() * 2);
        }
        const std::size_t room = out.size() - used;
        const DWORD request =
            room > std::numeric_limits<DWORD>::max() / 2 ? 1u << 30 : static_cast<DWORD>(room);
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), out.data() + used, request, &got, nullptr)) {
            out.resize(used);
            return lastError();
        }
        if (got == 0) {
            out.resize(used);
            return {};
        }
        used += got;
    }
}

SystemError File::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD request =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handleOf(handle_), bytes.data(), request, &written, nullptr)) {
            return lastError();
        }
        bytes.remove_prefix(written);
    }
    return {};
}

SystemError File::flush() {
    if (!FlushFileBuffers(handleOf(handle_))) {
        return lastError();
    }
    return {};
}

SystemError File::close() {
    const HANDLE handle = handleOf(handle_);
    handle_ = -1;
    if (!CloseHandle(handle)) {
        return lastError();
    }
    return {};
}

SystemError stampOf(const Text& path, FileStamp& out, bool withIdentity) {
    const HANDLE handle = openForAttributes(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    out = {};
    SystemError error = sizeAndTimesFromHandle(handle, out);
    if (!error && withIdentity) {
        error = identityFromHandle(handle, out);
    }
    CloseHandle(handle);
    return error;
}

SystemError matchesStamp(const Text& path, const FileStamp& expected, bool& same) {
    same = false;
    const HANDLE handle = openForAttributes(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    FileStamp current;
    SystemError error = sizeAndTimesFromHandle(handle, current);
    if (!error && current.sameSizeAndTimes(expected)) {
        // The file index alone: a path whose file kept its size and times
        // still lies on the volume it lay on.
        std::uint64_t index = 0;
        if (expected.hasIdentity) {
            error = fileIndexFromHandle(handle, index);
        }
        same = !error && (!expected.hasIdentity || index == expected.fileId);
    }
    CloseHandle(handle);
    return error;
}

SystemError replace(const Text& from, const Text& to) {
    // Windows refuses to replace a read-only file (access denied); asked
    // first, so that every implementation of the call agrees (Wine's
    // replaces it).
    const DWORD attributes = GetFileAttributesW(wide(to));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return errorFrom(ERROR_ACCESS_DENIED);
    }
    // Windows refuses to replace a file that is open, and another program
    // may be reading the old one for a few milliseconds: try again for a
    // while.
    constexpr DWORD kPatienceMilliseconds = 2000;
    const DWORD start = GetTickCount();
    for (;;) {
        if (MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        const DWORD code = GetLastError();
        const bool inUse = (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) &&
                           attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (!inUse || GetTickCount() - start >= kPatienceMilliseconds) {
            return errorFrom(code);
        }
        Sleep(1);
    }
}

SystemError flushFolder(const Text& /*folder*/) {
    // MOVEFILE_WRITE_THROUGH in replace() returns once the rename is on disk.
    return {};
}

SystemError remove(const Text& path) {
    if (!DeleteFileW(wide(path))) {
        return lastError();
    }
    return {};
}

std::uint32_t processId() {
    return GetCurrentProcessId();
}

} // namespace fillahead::fileio
