// FileSystem: the folders and files of the history buffers, as the engine
// asks for them (the scripting run time's file-system object on the original
// platform). Paths are UTF-16 text on every platform.
//
// Failures raise AutomationError with the VB numbers a file-system object
// raises: 53 File not found, 58 File already exists, 70 Permission denied,
// 75 Path/File access error, 76 Path not found.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace fillahead {

struct FileEntry {
    Text Path;
    std::filesystem::file_time_type DateLastModified;
    std::uint64_t Size = 0; // bytes
};

// A folder as GetFolder found it: its total size and its files.
struct FolderSnapshot {
    // Bytes of every file inside, subfolders included.
    std::uint64_t Size = 0;
    // The files directly inside, in a stable order (by name, ignoring case,
    // then by exact name). Item(1) is Files[0].
    std::vector<FileEntry> Files;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual bool FileExists(TextView path) = 0;
    virtual bool FolderExists(TextView path) = 0;
    // Creates one folder level; a missing parent raises 76, an existing
    // folder or file 58.
    virtual void CreateFolder(TextView path) = 0;
    // A missing folder raises 76.
    virtual FolderSnapshot GetFolder(TextView path) = 0;
    // A missing file raises 53.
    virtual void RemoveFile(TextView path) = 0;
    // Renames a file; it never replaces one: an existing destination raises
    // 58, a missing source 53.
    virtual void MoveFile(TextView source, TextView destination) = 0;
};

// The file system of the machine, through std::filesystem.
class PortableFileSystem final : public FileSystem {
public:
    bool FileExists(TextView path) override;
    bool FolderExists(TextView path) override;
    void CreateFolder(TextView path) override;
    FolderSnapshot GetFolder(TextView path) override;
    void RemoveFile(TextView path) override;
    void MoveFile(TextView source, TextView destination) override;
};

} // namespace fillahead
