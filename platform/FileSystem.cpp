#include "platform/FileSystem.h"

#include "platform/AutomationError.h"
#include "platform/Path.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace fillahead {
namespace {

[[noreturn]] void raise(std::int32_t number, TextView path) {
    throw AutomationError(number, standardDescription(number) + u": " + Text(path));
}

std::int32_t numberFor(const std::error_code& code) {
    if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory) {
        return error::PathNotFound;
    }
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted) {
        return error::PermissionDenied;
    }
    if (code == std::errc::file_exists) {
        return error::FileAlreadyExists;
    }
    return error::PathFileAccessError;
}

} // namespace

bool PortableFileSystem::FileExists(TextView path) {
    std::error_code code;
    return !path.empty() && fs::is_regular_file(toPath(path), code);
}

bool PortableFileSystem::FolderExists(TextView path) {
    std::error_code code;
    return !path.empty() && fs::is_directory(toPath(path), code);
}

void PortableFileSystem::CreateFolder(TextView path) {
    fs::path folder = toPath(path);
    // "C:\Data\" and "/data/" name the folder "Data"; drop the separator so
    // that create_directory sees one level.
    if (!folder.has_filename() && folder.has_parent_path() && folder != folder.root_path()) {
        folder = folder.parent_path();
    }
    std::error_code code;
    if (fs::exists(folder, code)) {
        raise(error::FileAlreadyExists, path);
    }
    if (!fs::is_directory(folder.parent_path().empty() ? fs::path(".") : folder.parent_path(),
                          code)) {
        raise(error::PathNotFound, path);
    }
    if (!fs::create_directory(folder, code) && code) {
        raise(numberFor(code), path);
    }
}

FolderSnapshot PortableFileSystem::GetFolder(TextView path) {
    const fs::path folder = toPath(path);
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        raise(error::PathNotFound, path);
    }
    FolderSnapshot snapshot;
    for (fs::recursive_directory_iterator it(folder, code), end; !code && it != end;
         it.increment(code)) {
        std::error_code entryCode;
        if (!it->is_regular_file(entryCode)) {
            continue;
        }
        std::uintmax_t size = it->file_size(entryCode);
        if (entryCode) {
            size = 0; // gone meanwhile, or unreadable: nothing to count
        }
        snapshot.Size += size;
        if (it.depth() == 0) {
            const auto modified = it->last_write_time(entryCode);
            if (!entryCode) {
                snapshot.Files.push_back({fromPath(it->path()), modified, size});
            }
        }
    }
    if (code) {
        raise(numberFor(code), path);
    }
    std::sort(snapshot.Files.begin(), snapshot.Files.end(),
              [](const FileEntry& a, const FileEntry& b) {
                  const Text foldedA = foldCase(a.Path);
                  const Text foldedB = foldCase(b.Path);
                  return foldedA != foldedB ? foldedA < foldedB : a.Path < b.Path;
              });
    return snapshot;
}

void PortableFileSystem::RemoveFile(TextView path) {
    std::error_code code;
    const fs::path file = toPath(path);
    if (!fs::is_regular_file(file, code)) {
        raise(error::FileNotFound, path);
    }
    if (!fs::remove(file, code) || code) {
        raise(code ? numberFor(code) : error::FileNotFound, path);
    }
}

void PortableFileSystem::MoveFile(TextView source, TextView destination) {
    std::error_code code;
    const fs::path from = toPath(source);
    const fs::path to = toPath(destination);
    if (!fs::is_regular_file(from, code)) {
        raise(error::FileNotFound, source);
    }
    // rename would replace the destination on POSIX; the check leaves a
    // moment in which another program could create it, which callers that
    // share a folder close with its FileLock.
    if (fs::exists(to, code)) {
        raise(error::FileAlreadyExists, destination);
    }
    fs::rename(from, to, code);
    if (code) {
        raise(numberFor(code), source);
    }
}

} // namespace fillahead
