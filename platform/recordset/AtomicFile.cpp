#include "platform/recordset/AtomicFile.h"

#include "platform/AutomationError.h"
#include "platform/Path.h"

#include <atomic>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fillahead {
namespace {

constexpr TextView kTemporarySuffix = u".fillahead-tmp";
// Long enough for any save to finish; a younger temporary may be another
// process's save in progress.
constexpr std::int64_t kStaleAfterSeconds = 60;
// Keeps "<stem>.<pid>-<n>.fillahead-tmp" within the usual 255-character
// limit of a file name.
constexpr std::size_t kMaxStemLength = 200;

std::function<bool(ReplaceStep)>& failureHook() {
    static std::function<bool(ReplaceStep)> hook;
    return hook;
}

// Runs one step of a replacement, unless the test hook makes it fail first.
template <typename Step>
fileio::SystemError attempt(ReplaceStep step, Step&& run) {
    if (failureHook() && failureHook()(step)) {
        return {5, false, false, u"simulated failure"};
    }
    return run();
}

bool isFolderSeparator(char16_t c) {
    return c == kFolderSeparator || c == u'/';
}

// The folder part of path including its final separator ("" for a bare name).
TextView folderOf(TextView path) {
    std::size_t end = path.size();
    while (end > 0 && !isFolderSeparator(path[end - 1])) {
        --end;
    }
    return path.substr(0, end);
}

Text hex(std::uint32_t value) {
    static constexpr char16_t digits[] = u"0123456789abcdef";
    Text out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return out;
}

Text quoted(const Text& path) {
    return u"'" + path + u"'";
}

[[noreturn]] void failSave(const Text& path, TextView what, const fileio::SystemError& error) {
    throw AutomationError(error::WritingFile, u"Cannot save " + quoted(path) + u": " + Text(what) +
                                                  u": " + error.message);
}

} // namespace

bool isTemporaryFileName(TextView fileName) {
    return fileName.size() > kTemporarySuffix.size() && endsWith(fileName, kTemporarySuffix);
}

void removeStaleTemporaries(const Text& path) {
    const TextView folder = folderOf(path);
    const std::filesystem::path folderPath =
        folder.empty() ? std::filesystem::path(".") : toPath(folder);
    std::error_code error;
    std::filesystem::directory_iterator entries(folderPath, error);
    if (error) {
        return;
    }
    const std::int64_t oldest = fileio::now() - kStaleAfterSeconds * fileio::kTicksPerSecond;
    for (const std::filesystem::directory_entry& entry : entries) {
        const Text name = fromPath(entry.path().filename());
        if (!isTemporaryFileName(name)) {
            continue;
        }
        const Text temporary = Text(folder) + name;
        fileio::FileStamp stamp;
        if (!fileio::stampOf(temporary, stamp) && stamp.modified < oldest) {
            (void)fileio::remove(temporary);
        }
    }
}

FileSnapshot readWholeFile(const Text& path, bool identityIfSettled) {
    fileio::File file;
    if (const fileio::SystemError error = file.openForReading(path)) {
        throw AutomationError(error::OpeningFile,
                              u"Cannot open " + quoted(path) + u": " + error.message);
    }
    FileSnapshot snapshot;
    fileio::FileStamp after;
    fileio::SystemError error = file.sizeAndTimes(snapshot.stamp);
    if (!error) {
        error = file.readToEnd(snapshot.bytes, static_cast<std::size_t>(snapshot.stamp.size));
    }
    if (!error) {
        // The open handle keeps its file: only its size and times can move.
        error = file.sizeAndTimes(after);
    }
    if (!error && identityIfSettled && fileio::settled(snapshot.stamp)) {
        error = file.identity(snapshot.stamp);
    }
    if (error) {
        throw AutomationError(error::ReadingFile,
                              u"Cannot read " + quoted(path) + u": " + error.message);
    }
    snapshot.stampMatchesBytes =
        after.sameSizeAndTimes(snapshot.stamp) && after.size == snapshot.bytes.size();
    return snapshot;
}

fileio::FileStamp replaceFileAtomically(const Text& path, std::string_view content) {
    static std::atomic<std::uint32_t> counter{0};
    const TextView folder = folderOf(path);
    const TextView name = TextView(path).substr(folder.size());
    const Text stem = Text(folder) + Text(name.substr(0, kMaxStemLength)) + u"." +
                      hex(fileio::processId()) + u"-";

    fileio::File file;
    Text temporary;
    for (int tries = 0;; ++tries) {
        // A crashed process with the same id may have left this name behind.
        temporary = stem + hex(counter++) + Text(kTemporarySuffix);
        const fileio::SystemError error =
            attempt(ReplaceStep::Create, [&] { return file.createNew(temporary, path); });
        if (!error) {
            break;
        }
        if (!error.alreadyExists || tries == 100) {
            failSave(path, u"cannot create a temporary file in its folder", error);
        }
    }

    // Every failure from here on removes the temporary again.
    auto fail = [&](TextView what, const fileio::SystemError& error) {
        if (file.isOpen()) {
            (void)file.close();
        }
        (void)fileio::remove(temporary);
        failSave(path, what, error);
    };
    if (const auto error = attempt(ReplaceStep::Write, [&] { return file.writeAll(content); })) {
        fail(u"writing failed", error);
    }
    if (const auto error = attempt(ReplaceStep::Flush, [&] { return file.flush(); })) {
        fail(u"flushing to disk failed", error);
    }
    // Which file was written, to tell it from one another program may put in
    // its place before it is stamped below.
    fileio::FileStamp written;
    const bool knowsWritten = !file.identity(written);
    if (const auto error = attempt(ReplaceStep::Close, [&] { return file.close(); })) {
        fail(u"closing the written file failed", error);
    }
    if (const auto error =
            attempt(ReplaceStep::Rename, [&] { return fileio::replace(temporary, path); })) {
        fail(u"replacing the old file failed", error);
    }
    if (const auto error =
            attempt(ReplaceStep::FlushFolder, [&] { return fileio::flushFolder(Text(folder)); })) {
        failSave(path, u"forcing the replacement to disk failed", error);
    }
    fileio::FileStamp stamp;
    if (fileio::stampOf(path, stamp, knowsWritten)) {
        // Written and in place; only the stamp for later comparisons is
        // missing, and an empty stamp never matches a real file.
        return {};
    }
    if (!knowsWritten || !stamp.sameIdentity(written)) {
        stamp.hasIdentity = false; // describes whatever is there now
    }
    return stamp;
}

void setReplaceFailureHookForTesting(std::function<bool(ReplaceStep)> hook) {
    failureHook() = std::move(hook);
}

} // namespace fillahead
