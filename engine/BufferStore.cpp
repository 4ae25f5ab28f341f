// The history buffer: its folders and size limits, storing the current text
// when the list closes, and keeping each folder within its limit.
//
// Programs that share a buffer folder store their values under the folder's
// FileLock, each on the file as it is on disk at that moment, so that no
// program's value is dropped by another's older copy. No host code runs
// while the lock is held.
#include "engine/Fillahead.h"
#include "engine/FilterText.h"
#include "platform/AutomationError.h"
#include "platform/FileLock.h"
#include "platform/Path.h"
#include "platform/recordset/MemoryRecordset.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <vector>

namespace fillahead {
namespace {

// How long storing waits for another program's update of the folder. An
// update holds the lock for milliseconds; a program that holds it longer is
// stuck, and the value is stored without the lock rather than lost.
constexpr std::chrono::milliseconds kLockPatience{5000};

// Enough for any folder path; keeps a path that never reaches an existing
// folder from looping.
constexpr int kMostFolderLevels = 128;

bool isFolderSeparator(char16_t c) {
    return c == kFolderSeparator || c == u'/';
}

// The folder part of a path including its final separator ("" for a bare
// name).
fillahead::Text folderOf(TextView path) {
    std::size_t end = path.size();
    while (end > 0 && !isFolderSeparator(path[end - 1])) {
        --end;
    }
    return fillahead::Text(path.substr(0, end));
}

// The folder above one that ends in a separator, or "" at the top.
fillahead::Text parentFolder(TextView folder) {
    std::size_t end = folder.size();
    while (end > 0 && isFolderSeparator(folder[end - 1])) {
        --end;
    }
    return folderOf(folder.substr(0, end));
}

// Buffer files are the ".xml" files of the folder. Whatever else lies there
// (the temporaries of saves in progress, damaged files kept aside, the lock
// file, a user's own files) is neither trimmed nor counted against the limit.
bool isBufferFile(TextView path) {
    constexpr TextView kExtension = u".xml";
    return path.size() > kExtension.size() + folderOf(path).size() &&
           equalsIgnoringCase(path.substr(path.size() - kExtension.size()), kExtension);
}

// The file's name within its folder.
TextView nameOf(TextView path) {
    return path.substr(folderOf(path).size());
}

// 64-bit arithmetic: every 32-bit limit is a valid byte count; a negative
// limit acts as 0.
std::uint64_t limitInBytes(std::int32_t megabytes) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, megabytes)) * 1024 * 1024;
}

// The buffer files of a folder other than one of them, as its listing has
// them.
struct OtherBuffers {
    std::size_t count = 0;
    std::uint64_t size = 0;
};

OtherBuffers otherBuffersThan(const FolderSnapshot& snapshot, TextView file) {
    OtherBuffers others;
    for (const FileEntry& entry : snapshot.Files) {
        // The exact name only: a file taken for another one is counted and
        // trimmed as a stranger would be, never the other way round.
        if (isBufferFile(entry.Path) && nameOf(entry.Path) != nameOf(file)) {
            ++others.count;
            others.size += entry.Size;
        }
    }
    return others;
}

} // namespace

fillahead::Text Fillahead::DefaultBufferLocation() const {
    fillahead::Text folder = u"0";
    ignoreErrors([&] {
        if (services_.systemFolders) {
            folder = services_.systemFolders->CommonFilesFolder();
        }
    });
    return folder + kFolderSeparator + u"Fillahead";
}

fillahead::Text Fillahead::normalisedFolder(TextView folder) {
    fillahead::Text normalised(folder);
    if (normalised.empty() || normalised.back() != kFolderSeparator) {
        normalised.push_back(kFolderSeparator);
    }
    ignoreErrors([&] {
        if (!fileSystem_->FolderExists(normalised)) {
            fileSystem_->CreateFolder(normalised);
        }
    });
    return normalised;
}

void Fillahead::LetPrivateBufferLocation(TextView folder) {
    const auto self = keepAlive();
    PrivateBufferLocation_ = folder;
    propertyChanged(PersistedId::PrivateBufferLocation);
    PrivateBufferLocation_ = normalisedFolder(folder);
}

void Fillahead::LetGlobalBufferLocation(TextView folder) {
    const auto self = keepAlive();
    GlobalBufferLocation_ = folder;
    propertyChanged(PersistedId::GlobalBufferLocation);
    GlobalBufferLocation_ = normalisedFolder(folder);
    ignoreErrors([&] {
        services_.settings->SaveSetting(kApplicationTitle, kSettingsSection,
                                        Persisted(PersistedId::GlobalBufferLocation).name,
                                        GlobalBufferLocation_);
    });
}

void Fillahead::LetPrivateBufferSize(std::int32_t megabytes) {
    PrivateBufferSize_ = megabytes;
    propertyChanged(PersistedId::PrivateBufferSize);
}

void Fillahead::LetGlobalBufferSize(std::int32_t megabytes) {
    const auto self = keepAlive();
    GlobalBufferSize_ = megabytes;
    propertyChanged(PersistedId::GlobalBufferSize);
    const PersistedProperty& stored = Persisted(PersistedId::GlobalBufferSize);
    services_.settings->SaveSetting(kApplicationTitle, kSettingsSection, stored.name,
                                    SettingsTextOf(stored, Variant(megabytes)));
}

void Fillahead::CloseList() {
    const auto self = keepAlive();
    if (DataGrid_ == nullptr) {
        InitProperties();
    }
    hideList();

    DamageReport damage;
    if (!CurrentControlName_.empty() && !Text_.empty()) {
        if (!bufferRecordSet_) {
            bufferRecordSet_ = std::make_shared<fillahead::MemoryRecordset>();
            heldBufferPath_.clear();
            grid().SetDataSource(bufferRecordSet_);
        }
        bool loadedNow = false;
        if (!(recordSet().State() != kStateClosed && bufferPath_ == openedBufferPath_)) {
            loadBufferForCommit(damage);
            loadedNow = true;
        }
        if (bufferRecordSet_ && recordSet().State() != kStateClosed &&
            bufferPath_ == openedBufferPath_) {
            commitText(bufferRecordSet_, loadedNow, damage);
        }
    }

    if (bufferRecordSet_ && bufferRecordSet_->State() != kStateClosed) {
        openedBufferPath_.clear();
        recordSet().SetFilter(0);
    }
    if (damage) {
        throw *damage;
    }
}

void Fillahead::commitText(std::shared_ptr<fillahead::Recordset> buffer, bool loadedNow,
                           DamageReport& damage) {
    // Handlers of the events below may call back into the engine, switch
    // controls or replace the record set: the commit goes on with the file,
    // the value and the record set it started with.
    const fillahead::Text file = bufferPath_;
    const fillahead::Text folder = folderOf(file);
    const fillahead::Text value = Text_;
    const fillahead::Text field = ListField_;
    const bool privateFolder = bufferPathPrivate_;
    const bool ownBuffer = heldBufferPath_ == file;
    fillahead::Recordset& records = *buffer;

    // Once the value may be in the copy but not in the file, a failure must
    // not leave the copy looking stored: the next use loads the file again.
    struct StaleOnFailure {
        fillahead::Text& openedBufferPath;
        const int failures = std::uncaught_exceptions();
        ~StaleOnFailure() {
            if (std::uncaught_exceptions() > failures) {
                openedBufferPath.clear();
            }
        }
    } staleOnFailure{openedBufferPath_};

    const auto alreadyStored = [&] {
        records.SetFilter(equalityFilter(field, value));
        const bool found = records.RecordCount() != 0;
        records.SetFilter(0);
        return found;
    };
    // Another program may have stored values since the copy was loaded (by
    // the typing, say): the duplicate check looks at the file as it is now.
    if (ownBuffer && !loadedNow && !records.FileUnchanged(file)) {
        openBufferFile(records, file, damage);
    }
    if (alreadyStored()) {
        return;
    }
    bool cancel = false;
    raise([&](FillaheadEvents& sink) { sink.BeforeAddRecord(cancel); });
    // A handler may have stored the value meanwhile (for example by closing
    // the list itself); never store it twice.
    if (cancel || alreadyStored()) {
        return;
    }
    records.AddNew(field, value);
    records.SetFieldValue(field, value);
    raise([](FillaheadEvents& sink) { sink.BeforeSaveRecord(); });
    records.Update();
    raise([](FillaheadEvents& sink) { sink.AfterSaveRecord(); });
    cancel = false;
    raise([&](FillaheadEvents& sink) { sink.BeforeSaveRecordset(cancel); });
    if (cancel) {
        return;
    }

    const std::int32_t megabytes = privateFolder ? PrivateBufferSize_ : GlobalBufferSize_;
    // Whether the folder is within its limit after the save, and whether the
    // save trimmed the file itself, when that is known without listing the
    // folder again.
    bool withinLimit = false;
    bool trimmedInSave = false;
    {
        // A folder deleted while the program runs is made again, whole.
        if (!fileSystem_->FolderExists(folder)) {
            createFolderPath(folder);
        }
        const FileLock lock = FileLock::Acquire(folder, kLockPatience);
        if (ownBuffer && !records.FileUnchanged(file)) {
            // Written by another program while the events ran: the value
            // goes into what the file holds now.
            openBufferFile(records, file, damage);
            if (alreadyStored()) {
                return;
            }
            records.AddNew(field, value);
        }
        auto* const ownRecords = ownBuffer ? dynamic_cast<MemoryRecordset*>(&records) : nullptr;
        std::optional<FolderSnapshot> listing;
        if (ownRecords != nullptr && isBufferFile(file)) {
            // Listed before the save, under the lock that every program's
            // saves and trims take, it is the folder the save leaves, but
            // for this file's size, which the save tells.
            ignoreErrors([&] { listing = fileSystem_->GetFolder(folder); });
        }
        if (listing) {
            const OtherBuffers others = otherBuffersThan(*listing, file);
            const std::uint64_t limit = limitInBytes(megabytes);
            // Alone in its folder, the file just written is the oldest one
            // there: its first row goes in the same save, rather than in a
            // reload and a second save after it.
            const MemoryRecordset::BoundedSave saved = ownRecords->SaveWithin(
                file, others.count == 0 ? std::optional<std::uint64_t>(limit) : std::nullopt);
            trimmedInSave = saved.firstRowDeleted;
            withinLimit = others.size + saved.fullSize <= limit;
        } else {
            records.Save(file, kPersistXml);
        }
    }
    if (trimmedInSave) {
        // As the trimming of a folder with one buffer file yields once.
        services_.desktop->DoEvents();
        return;
    }
    if (!withinLimit) {
        trimBufferFolder(folder, megabytes, damage);
    }
}

void Fillahead::loadBufferForCommit(DamageReport& damage) {
    bool cancel = false;
    raise([&](FillaheadEvents& sink) { sink.BeforeOpenRecordset(cancel); });
    if (cancel) {
        return;
    }
    openBufferFile(recordSet(), bufferPath_, damage);
    openedBufferPath_ = bufferPath_;
}

void Fillahead::openBufferFile(fillahead::Recordset& buffer, const fillahead::Text& file,
                               DamageReport& damage) {
    const bool engineBuffer = &buffer == bufferRecordSet_.get();
    if (buffer.State() != kStateClosed) {
        buffer.Close();
    }
    if (engineBuffer) {
        heldBufferPath_.clear();
    }
    // Another program may trim the file away at any moment: a file gone by
    // the time it is opened is no file.
    const auto openWhereThere = [&] {
        try {
            if (fileSystem_->FileExists(file)) {
                buffer.Open(file);
            }
        } catch (const DamagedFileError&) {
            throw;
        } catch (const AutomationError&) {
            if (fileSystem_->FileExists(file)) {
                throw;
            }
        }
    };
    try {
        openWhereThere();
    } catch (const DamagedFileError&) {
        // Under the lock, so that only one program keeps it aside; one may
        // have done so, and started anew, meanwhile.
        const FileLock lock = FileLock::Acquire(folderOf(file), kLockPatience);
        try {
            openWhereThere();
        } catch (const DamagedFileError& refused) {
            damage = keepDamagedFileAside(file, refused);
        }
    }
    if (buffer.State() == kStateClosed) {
        // No file: a new, empty buffer with the one field values go into.
        if (!buffer.FindField(ListField_)) {
            buffer.AppendField({ListField_, 8, 255, -1});
        }
        buffer.Open();
    }
    if (engineBuffer) {
        heldBufferPath_ = file;
    }
}

AutomationError Fillahead::keepDamagedFileAside(const fillahead::Text& file,
                                                const DamagedFileError& refused) {
    // Its own name with ".damaged" after it: no longer a buffer file, so it
    // is never loaded, trimmed or replaced, and a user can still look at it.
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const fillahead::Text aside =
            file + u".damaged" + (attempt == 1 ? fillahead::Text() : u"-" + toText(attempt));
        if (fileSystem_->FileExists(aside) || fileSystem_->FolderExists(aside)) {
            continue;
        }
        if (!ignoreErrors([&] { fileSystem_->MoveFile(file, aside); })) {
            break;
        }
        return AutomationError(refused.number(), refused.description() + u" (kept as '" + aside +
                                                     u"'; a new buffer took its place)");
    }
    throw refused;
}

void Fillahead::createFolderPath(const fillahead::Text& folder) {
    std::vector<fillahead::Text> missing;
    for (fillahead::Text level = folder;
         !level.empty() && missing.size() < kMostFolderLevels && !fileSystem_->FolderExists(level);
         level = parentFolder(level)) {
        missing.push_back(level);
    }
    // Top down; a level that cannot be made shows in the save's own error.
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        ignoreErrors([&] { fileSystem_->CreateFolder(*level); });
    }
}

void Fillahead::trimBufferFolder(const fillahead::Text& folder, std::int32_t megabytes,
                                 DamageReport& damage) {
    const FolderSnapshot snapshot = fileSystem_->GetFolder(folder);
    std::vector<const FileEntry*> buffers;
    std::uint64_t size = 0;
    for (const FileEntry& file : snapshot.Files) {
        if (isBufferFile(file.Path)) {
            buffers.push_back(&file);
            size += file.Size;
        }
    }
    if (buffers.empty()) {
        return;
    }
    if (size <= limitInBytes(megabytes)) {
        return;
    }
    const FileEntry* oldest = buffers.front();
    for (const FileEntry* file : buffers) {
        if (file->DateLastModified < oldest->DateLastModified) {
            oldest = file;
        }
        services_.desktop->DoEvents();
    }

    // The yields above ran host code, and other programs share the folder:
    // the file may have been trimmed away meanwhile.
    const FileLock lock = FileLock::Acquire(folder, kLockPatience);
    if (!fileSystem_->FileExists(oldest->Path)) {
        return;
    }
    auto trimmed = std::make_shared<fillahead::MemoryRecordset>();
    try {
        trimmed->Open(oldest->Path);
    } catch (const DamagedFileError& refused) {
        const AutomationError report = keepDamagedFileAside(oldest->Path, refused);
        if (!damage) {
            damage = report;
        }
        return;
    }
    if (trimmed->State() == kStateClosed) {
        return;
    }
    if (trimmed->RecordCount() >= 2) {
        trimmed->MoveFirst();
        trimmed->Delete(kAffectCurrent);
        trimmed->Save(oldest->Path, kPersistXml);
    } else {
        trimmed->Close();
        fileSystem_->RemoveFile(oldest->Path);
    }
}

} // namespace fillahead
