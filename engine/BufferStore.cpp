// The history buffer: its folders and size limits, storing the current text
// when the list closes, and keeping each folder within its limit.
#include "engine/Fillahead.h"
#include "engine/FilterText.h"
#include "platform/AutomationError.h"
#include "platform/Path.h"

#include <algorithm>

namespace fillahead {

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
    PrivateBufferLocation_ = folder;
    propertyChanged(u"PrivateBufferLocation");
    PrivateBufferLocation_ = normalisedFolder(folder);
}

void Fillahead::LetGlobalBufferLocation(TextView folder) {
    GlobalBufferLocation_ = folder;
    propertyChanged(u"GlobalBufferLocation");
    GlobalBufferLocation_ = normalisedFolder(folder);
    ignoreErrors([&] {
        services_.settings->SaveSetting(kApplicationTitle, kSettingsSection,
                                        u"GlobalBufferLocation", GlobalBufferLocation_);
    });
}

void Fillahead::LetPrivateBufferSize(std::int32_t megabytes) {
    PrivateBufferSize_ = megabytes;
    propertyChanged(u"PrivateBufferSize");
}

void Fillahead::LetGlobalBufferSize(std::int32_t megabytes) {
    GlobalBufferSize_ = megabytes;
    propertyChanged(u"GlobalBufferSize");
    services_.settings->SaveSetting(kApplicationTitle, kSettingsSection, u"GlobalBufferSize",
                                    toText(megabytes));
}

void Fillahead::CloseList() {
    if (DataGrid_ == nullptr) {
        InitProperties();
    }
    hideList();

    if (!CurrentControlName_.empty() && !Text_.empty()) {
        if (!bufferRecordSet_) {
            bufferRecordSet_ = std::make_shared<fillahead::Recordset>();
            grid().SetDataSource(bufferRecordSet_);
        }
        if (!(recordSet().State() != kStateClosed && bufferPath_ == openedBufferPath_)) {
            loadBufferForCommit();
        }
        if (bufferRecordSet_ && recordSet().State() != kStateClosed &&
            bufferPath_ == openedBufferPath_) {
            // Handlers of the events below may call back into the engine and
            // even switch controls; the record set holds the content of this
            // file, so this is the file it is written to.
            const fillahead::Text file = bufferPath_;
            const fillahead::Text value = Text_;
            const auto alreadyStored = [&] {
                recordSet().SetFilter(equalityFilter(ListField_, value));
                const bool found = recordSet().RecordCount() != 0;
                recordSet().SetFilter(0);
                return found;
            };
            bool commit = !alreadyStored();
            if (commit) {
                bool cancel = false;
                raise([&](FillaheadEvents& sink) { sink.BeforeAddRecord(cancel); });
                // A handler may have stored the value meanwhile (for example by
                // closing the list itself); never store it twice.
                commit = !cancel && !alreadyStored();
            }
            if (commit) {
                recordSet().AddNew(ListField_, value);
                recordSet().SetFieldValue(ListField_, value);
                raise([](FillaheadEvents& sink) { sink.BeforeSaveRecord(); });
                recordSet().Update();
                raise([](FillaheadEvents& sink) { sink.AfterSaveRecord(); });
                bool cancel = false;
                raise([&](FillaheadEvents& sink) { sink.BeforeSaveRecordset(cancel); });
                if (!cancel) {
                    recordSet().Save(file, kPersistXml);
                    trimBufferFolder();
                }
            }
        }
    }

    if (bufferRecordSet_ && bufferRecordSet_->State() != kStateClosed) {
        openedBufferPath_.clear();
        recordSet().SetFilter(0);
    }
}

void Fillahead::loadBufferForCommit() {
    bool cancel = false;
    raise([&](FillaheadEvents& sink) { sink.BeforeOpenRecordset(cancel); });
    if (cancel) {
        return;
    }
    if (recordSet().State() != kStateClosed) {
        recordSet().Close();
    }
    if (fileSystem_->FileExists(bufferPath_)) {
        recordSet().Open(bufferPath_);
    } else {
        recordSet().AppendField({ListField_, 8, 255, -1});
        recordSet().Open();
    }
    openedBufferPath_ = bufferPath_;
}

void Fillahead::trimBufferFolder() {
    // The folder the buffer file was just written to, with that folder's
    // limit (the same test as the buffer path's).
    const bool usePrivate = BufferUsage_ == buePrivate;
    const fillahead::Text& folder = usePrivate ? PrivateBufferLocation_ : GlobalBufferLocation_;
    const std::int32_t megabytes = usePrivate ? PrivateBufferSize_ : GlobalBufferSize_;

    const FolderSnapshot snapshot = fileSystem_->GetFolder(folder);
    if (snapshot.Files.empty()) {
        return;
    }
    // 64-bit arithmetic: every 32-bit limit is a valid byte count; a negative
    // limit acts as 0.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, megabytes)) * 1024 * 1024;
    if (snapshot.Size <= limit) {
        return;
    }
    const FileEntry* oldest = &snapshot.Files.front();
    for (const FileEntry& file : snapshot.Files) {
        if (file.DateLastModified < oldest->DateLastModified) {
            oldest = &file;
        }
        services_.desktop->DoEvents();
    }
    auto trimmed = std::make_shared<fillahead::Recordset>();
    trimmed->Open(oldest->Path);
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
