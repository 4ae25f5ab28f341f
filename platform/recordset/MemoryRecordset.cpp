#include "platform/recordset/MemoryRecordset.h"

#include "platform/AutomationError.h"
#include "platform/recordset/AtomicFile.h"
#include "platform/recordset/RecordTable.h"
#include "platform/recordset/RecordsetFilter.h"
#include "platform/recordset/RowsetXml.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>

namespace fillahead {
namespace {

[[noreturn]] void raise(std::int32_t number) {
    throw AutomationError(number);
}

// Null and Empty store Null; anything else its text (CStr).
std::optional<Text> storedText(const Variant& value) {
    if (value.isNull() || value.isEmpty()) {
        return std::nullopt;
    }
    return value.toText();
}

std::optional<TextView> viewOf(const std::optional<Text>& text) {
    return text ? std::optional<TextView>(*text) : std::nullopt;
}

// The file whose content the table holds, unmodified since it was read or
// written there.
struct FileTie {
    fileio::FileStamp stamp;
    // Whether the stamp was taken of the very file the bytes came from or
    // went to.
    bool stampOfTheseBytes = false;
    // The file's bytes, kept until the stamp alone can prove them unchanged:
    // as written, or as read (either kept as it was made, never copied).
    std::variant<std::monostate, std::string, UninitialisedVector<char>> bytes;

    // A file written within its file system's last clock tick may be written
    // again without its stamp changing; once settled, any change shows in
    // its size, times or identity.
    bool stampSuffices() const {
        return stampOfTheseBytes && stamp.hasIdentity && fileio::settled(stamp);
    }
    bool keepsBytes() const noexcept { return bytes.index() != 0; }
    bool holds(const UninitialisedVector<char>& read) const {
        const std::string_view other(read.data(), read.size());
        if (const auto* written = std::get_if<std::string>(&bytes)) {
            return *written == other;
        }
        const auto& kept = std::get<UninitialisedVector<char>>(bytes);
        return std::string_view(kept.data(), kept.size()) == other;
    }
};

// Reads the identity of a settled file only: the bytes decide for others.
FileSnapshot readFile(const Text& path) {
    return readWholeFile(path, true);
}

template <typename Bytes>
std::optional<FileTie> tieTo(const fileio::FileStamp& stamp, Bytes&& bytes,
                             bool stampOfTheseBytes) {
    if (stamp == fileio::FileStamp{}) {
        return std::nullopt;
    }
    FileTie tie{stamp, stampOfTheseBytes, std::monostate{}};
    if (!tie.stampSuffices()) {
        tie.bytes = std::forward<Bytes>(bytes);
    }
    return tie;
}

// Whether the file at path still holds what tie describes, and when that
// took reading it, what was read.
bool stillHolds(const FileTie& tie, const Text& path, std::optional<FileSnapshot>& snapshot) {
    if (!tie.keepsBytes() || tie.stampSuffices()) {
        bool same = false;
        return !fileio::matchesStamp(path, tie.stamp, same) && same;
    }
    // The bytes decide: read them at once, the stamp with them.
    snapshot = readFile(path);
    return snapshot->stampMatchesBytes && snapshot->stamp.sameSizeAndTimes(tie.stamp) &&
           tie.holds(snapshot->bytes);
}

} // namespace

struct MemoryRecordset::Impl {
    // Holds the appended fields while closed.
    std::unique_ptr<RecordTable> table = std::make_unique<RecordTable>();
    bool open = false;

    std::optional<Text> filterText;
    // What the presented rows were found with; a next filter whose pattern
    // contains this one's can only narrow them, and searches only them.
    std::optional<FilterCriteria> narrowable;
    // Every slot is presented, in order: no filter and no deleted rows. Saves
    // a list of all rows in the common case.
    bool allSlotsPresented = true;
    RowList presented; // when not all
    RowList scratch;

    std::uint32_t position = 0;  // presented index of the current row; count() is EOF
    bool currentDeleted = false; // then position is where the next row now is
    std::uint64_t revision = 0;
    Bookmark bookmarkBase = 0; // bookmarks of one opening are base + slot + 1

    // The version of the file the content was read from or last saved to,
    // and whether the content is still exactly that.
    std::optional<FileTie> source;
    bool unmodified = false;
    // Opened without a file: based on there being none.
    bool fromNoFile = false;
    // The content of the last closed record set while it is tied to its file:
    // opening that file again unchanged takes it back instead of parsing.
    std::unique_ptr<RecordTable> retained;
    std::optional<FileTie> retainedTie;

    void requireOpen() const {
        if (!open) {
            raise(error::ObjectClosed);
        }
    }

    std::uint32_t count() const noexcept {
        return allSlotsPresented ? table->slotCount()
                                 : static_cast<std::uint32_t>(presented.size());
    }

    std::uint32_t slotAt(std::uint32_t index) const noexcept {
        return allSlotsPresented ? index : presented[index];
    }

    std::optional<std::uint32_t> currentSlot() const noexcept {
        if (!open || currentDeleted || position >= count()) {
            return std::nullopt;
        }
        return slotAt(position);
    }

    std::uint32_t requireCurrentSlot() const {
        requireOpen();
        const std::optional<std::uint32_t> slot = currentSlot();
        if (!slot) {
            raise(error::NoCurrentRecord);
        }
        return *slot;
    }

    std::size_t requireField(TextView name) const {
        const std::optional<std::size_t> field = table->findField(name);
        if (!field) {
            raise(error::ItemNotFound);
        }
        return *field;
    }

    Bookmark bookmarkOf(std::uint32_t slot) const noexcept { return bookmarkBase + slot + 1; }

    std::optional<std::uint32_t> slotOf(Bookmark bookmark) const noexcept {
        const std::uint32_t slot = bookmark - bookmarkBase - 1;
        if (!open || slot >= table->slotCount() || table->isDeleted(slot)) {
            return std::nullopt;
        }
        return slot;
    }

    void presentLiveSlots() {
        presented.clear();
        presented.reserve(table->liveCount());
        for (std::uint32_t slot = 0; slot < table->slotCount(); ++slot) {
            if (!table->isDeleted(slot)) {
                presented.push_back(slot);
            }
        }
        allSlotsPresented = false;
    }

    void presentEverything() {
        filterText.reset();
        narrowable.reset();
        if (table->hasDeleted()) {
            presentLiveSlots();
        } else {
            // The memory stays for the next filter: typing comes in bursts.
            allSlotsPresented = true;
            presented.clear();
        }
        position = 0;
        currentDeleted = false;
        ++revision;
    }

    // Content changed: no longer what any file holds.
    void modified() {
        unmodified = false;
        ++revision;
    }

    void install(std::unique_ptr<RecordTable> loaded, std::optional<FileTie> loadedTie) {
        table = std::move(loaded);
        source = std::move(loadedTie);
        unmodified = true;
        fromNoFile = false;
        open = true;
        presentEverything();
    }

    // Deletes a row wherever it is presented; the current row stays current
    // (or stays the deleted one's successor).
    void dropSlot(std::uint32_t slot) {
        table->deleteRow(slot);
        std::optional<std::uint32_t> index;
        if (allSlotsPresented) {
            index = slot;
            presentLiveSlots();
        } else if (const auto it = std::find(presented.begin(), presented.end(), slot);
                   it != presented.end()) {
            index = static_cast<std::uint32_t>(it - presented.begin());
            presented.erase(it);
        }
        if (index && position > *index) {
            --position;
        } else if (index && position == *index) {
            currentDeleted = true;
        }
        modified();
    }

    // The retained content when the file is provably the one it came from;
    // when that took reading the file and it differs, snapshot keeps what
    // was read. The retained content is gone either way.
    std::unique_ptr<RecordTable> takeRetainedFor(const Text& path,
                                                 std::optional<FileSnapshot>& snapshot,
                                                 std::optional<FileTie>& reusedTie) {
        std::unique_ptr<RecordTable> candidate = std::move(retained);
        std::optional<FileTie> candidateTie = std::move(retainedTie);
        retainedTie.reset();
        if (!candidate || !candidateTie) {
            return nullptr;
        }
        if (!stillHolds(*candidateTie, path, snapshot)) {
            return nullptr;
        }
        if (!snapshot) {
            reusedTie = std::move(candidateTie);
            return candidate;
        }
        reusedTie = tieTo(snapshot->stamp, std::move(snapshot->bytes), true);
        snapshot.reset();
        return candidate;
    }
};

MemoryRecordset::MemoryRecordset() : impl_(std::make_unique<Impl>()) {}
MemoryRecordset::~MemoryRecordset() = default;

std::int32_t MemoryRecordset::State() const noexcept {
    return impl_->open ? kStateOpen : kStateClosed;
}

void MemoryRecordset::AppendField(const FieldDefinition& field) {
    if (impl_->open) {
        raise(error::NotAllowedInContext);
    }
    if (field.name.empty()) {
        throw AutomationError(error::InvalidArgument, u"Fields.Append: a field needs a name");
    }
    if (impl_->table->findField(field.name)) {
        raise(error::AlreadyInCollection);
    }
    FieldInfo info;
    info.definition = field;
    impl_->table->addField(std::move(info));
}

std::size_t MemoryRecordset::FieldCount() const noexcept {
    return impl_->table->fields().size();
}

FieldDefinition MemoryRecordset::Field(std::size_t index) const {
    if (index >= impl_->table->fields().size()) {
        raise(error::ItemNotFound);
    }
    return impl_->table->fields()[index].definition;
}

std::optional<std::size_t> MemoryRecordset::FindField(TextView name) const {
    return impl_->table->findField(name);
}

void MemoryRecordset::Open() {
    if (impl_->open) {
        raise(error::ObjectOpen);
    }
    if (impl_->table->fields().empty()) {
        throw AutomationError(error::InvalidArgument,
                              u"Open: the record set has no fields; append one first");
    }
    impl_->open = true;
    impl_->source.reset();
    impl_->fromNoFile = true;
    impl_->presentEverything();
}

void MemoryRecordset::Open(const Text& path) {
    if (impl_->open) {
        raise(error::ObjectOpen);
    }
    std::optional<FileSnapshot> snapshot;
    std::optional<FileTie> reusedTie;
    if (std::unique_ptr<RecordTable> reused = impl_->takeRetainedFor(path, snapshot, reusedTie)) {
        impl_->install(std::move(reused), std::move(reusedTie));
        return;
    }
    // Loading and saving clear away what crashed saves left behind; taking
    // back the content this record set last held, unchanged, reads nothing.
    removeStaleTemporaries(path);
    if (!snapshot) {
        snapshot = readFile(path);
    }
    auto loaded = std::make_unique<RecordTable>();
    try {
        rowsetxml::read(std::string_view(snapshot->bytes.data(), snapshot->bytes.size()), *loaded,
                        path);
    } catch (const AutomationError& refused) {
        throw DamagedFileError(refused.number(), refused.description());
    }
    impl_->install(std::move(loaded),
                   tieTo(snapshot->stamp, std::move(snapshot->bytes), snapshot->stampMatchesBytes));
}

void MemoryRecordset::Close() {
    Impl& impl = *impl_;
    impl.requireOpen();
    // Bookmarks of the next opening never repeat this one's.
    impl.bookmarkBase += impl.table->slotCount() + 1;
    if (impl.source && impl.unmodified) {
        impl.retained = std::move(impl.table);
        impl.retainedTie = std::move(impl.source);
    }
    impl.table = std::make_unique<RecordTable>();
    impl.source.reset();
    impl.unmodified = false;
    impl.fromNoFile = false;
    impl.open = false;
    impl.filterText.reset();
    impl.narrowable.reset();
    impl.allSlotsPresented = true;
    RowList().swap(impl.presented);
    RowList().swap(impl.scratch);
    impl.position = 0;
    impl.currentDeleted = false;
    ++impl.revision;
}

void MemoryRecordset::SetFilter(TextView criteria) {
    Impl& impl = *impl_;
    impl.requireOpen();
    if (criteria.empty()) {
        impl.presentEverything();
        return;
    }
    FilterCriteria parsed =
        parseFilter(criteria, [&impl](TextView name) { return impl.table->findField(name); });
    const SearchIndex& index = impl.table->column(parsed.field).index();
    if (impl.narrowable && !impl.allSlotsPresented && impl.narrowable->field == parsed.field &&
        parsed.pattern.find(impl.narrowable->pattern) != std::string::npos) {
        index.findAmong(parsed.pattern, impl.presented, impl.scratch);
    } else {
        index.findAll(parsed.pattern, impl.scratch);
        if (impl.table->hasDeleted()) {
            std::erase_if(impl.scratch,
                          [&impl](std::uint32_t slot) { return impl.table->isDeleted(slot); });
        }
    }
    impl.presented.swap(impl.scratch);
    impl.allSlotsPresented = false;
    impl.filterText = Text(criteria);
    impl.narrowable = std::move(parsed);
    impl.position = 0;
    impl.currentDeleted = false;
    ++impl.revision;
}

void MemoryRecordset::SetFilter(std::int32_t code) {
    impl_->requireOpen();
    if (code != 0) {
        throw AutomationError(error::InvalidArgument,
                              u"Filter: the only number it takes is 0 (no filter)");
    }
    impl_->presentEverything();
}

Variant MemoryRecordset::Filter() const {
    if (impl_->filterText) {
        return Variant(*impl_->filterText);
    }
    return Variant(std::int32_t{0});
}

std::int32_t MemoryRecordset::RecordCount() const {
    impl_->requireOpen();
    return static_cast<std::int32_t>(impl_->count());
}

std::int32_t MemoryRecordset::AbsolutePosition() const {
    const Impl& impl = *impl_;
    impl.requireOpen();
    if (impl.count() == 0 || impl.currentDeleted) {
        return kPositionUnknown;
    }
    if (impl.position >= impl.count()) {
        return kPositionEof;
    }
    return static_cast<std::int32_t>(impl.position) + 1;
}

void MemoryRecordset::SetAbsolutePosition(std::int32_t position) {
    Impl& impl = *impl_;
    impl.requireOpen();
    if (position < 1 || static_cast<std::uint32_t>(position) > impl.count()) {
        throw AutomationError(error::InvalidArgument,
                              u"AbsolutePosition: there is no presented row " + toText(position));
    }
    impl.position = static_cast<std::uint32_t>(position) - 1;
    impl.currentDeleted = false;
}

bool MemoryRecordset::IsBOF() const {
    impl_->requireOpen();
    return !impl_->currentDeleted && impl_->count() == 0;
}

bool MemoryRecordset::IsEOF() const {
    impl_->requireOpen();
    return !impl_->currentDeleted && impl_->position >= impl_->count();
}

Variant MemoryRecordset::FieldValue(TextView name) const {
    const Impl& impl = *impl_;
    impl.requireOpen();
    const std::size_t field = impl.requireField(name);
    const std::optional<TextView> value =
        impl.table->column(field).value(impl.requireCurrentSlot());
    return value ? Variant(*value) : Variant::null();
}

void MemoryRecordset::SetFieldValue(TextView name, const Variant& value) {
    Impl& impl = *impl_;
    impl.requireOpen();
    const std::size_t field = impl.requireField(name);
    const std::uint32_t slot = impl.requireCurrentSlot();
    const std::optional<Text> text = storedText(value);
    impl.table->column(field).set(slot, viewOf(text));
    // The row may now match a filter it did not match before.
    impl.narrowable.reset();
    impl.modified();
}

void MemoryRecordset::AddNew(TextView field, const Variant& value) {
    Impl& impl = *impl_;
    impl.requireOpen();
    const std::size_t index = impl.requireField(field);
    const std::optional<Text> text = storedText(value);
    const std::uint32_t slot = impl.table->appendRow(index, viewOf(text));
    if (!impl.allSlotsPresented) {
        impl.presented.push_back(slot);
    }
    impl.position = impl.count() - 1;
    impl.currentDeleted = false;
    impl.modified();
}

void MemoryRecordset::Update() {
    // Rows are stored as they change; there is nothing pending to write.
    (void)impl_->requireCurrentSlot();
}

void MemoryRecordset::MoveFirst() {
    impl_->requireOpen();
    if (impl_->count() == 0) {
        raise(error::NoCurrentRecord);
    }
    impl_->position = 0;
    impl_->currentDeleted = false;
}

void MemoryRecordset::MoveNext() {
    Impl& impl = *impl_;
    impl.requireOpen();
    if (impl.currentDeleted) {
        impl.currentDeleted = false; // the next row has moved into its place
        return;
    }
    if (impl.position >= impl.count()) {
        raise(error::NoCurrentRecord);
    }
    ++impl.position;
}

void MemoryRecordset::MoveLast() {
    impl_->requireOpen();
    if (impl_->count() == 0) {
        raise(error::NoCurrentRecord);
    }
    impl_->position = impl_->count() - 1;
    impl_->currentDeleted = false;
}

void MemoryRecordset::Delete(std::int32_t affectRecords) {
    Impl& impl = *impl_;
    impl.requireOpen();
    if (affectRecords != kAffectCurrent) {
        throw AutomationError(error::InvalidArgument,
                              u"Delete: only the current record (1) can be deleted");
    }
    const std::uint32_t slot = impl.requireCurrentSlot();
    impl.table->deleteRow(slot);
    if (impl.allSlotsPresented) {
        impl.presentLiveSlots();
    } else {
        impl.presented.erase(impl.presented.begin() + impl.position);
    }
    impl.currentDeleted = true;
    impl.modified();
}

void MemoryRecordset::Save(const Text& path, std::int32_t persistFormat) {
    impl_->requireOpen();
    if (persistFormat != kPersistXml) {
        throw AutomationError(error::InvalidArgument,
                              u"Save: the only format is XML (1), not " + toText(persistFormat));
    }
    (void)SaveWithin(path, std::nullopt);
}

MemoryRecordset::BoundedSave MemoryRecordset::SaveWithin(const Text& path,
                                                         std::optional<std::uint64_t> maxBytes) {
    Impl& impl = *impl_;
    impl.requireOpen();
    removeStaleTemporaries(path);
    std::string document;
    rowsetxml::RowSpan firstRow;
    rowsetxml::write(*impl.table, document, &firstRow);
    BoundedSave result{document.size(), false};
    if (maxBytes && document.size() > *maxBytes && impl.table->liveCount() >= 2) {
        document.erase(firstRow.begin, firstRow.end - firstRow.begin);
        result.firstRowDeleted = true;
    }
    const fileio::FileStamp stamp = replaceFileAtomically(path, document);
    if (result.firstRowDeleted) {
        std::uint32_t first = 0;
        while (impl.table->isDeleted(first)) {
            ++first;
        }
        impl.dropSlot(first);
    }
    // A stamp without identity may be another program's file: then the
    // bytes decide.
    impl.source = tieTo(stamp, std::move(document), stamp.hasIdentity);
    impl.unmodified = true;
    impl.fromNoFile = false;
    return result;
}

bool MemoryRecordset::FileUnchanged(const Text& path) const {
    const Impl& impl = *impl_;
    if (!impl.open) {
        return false;
    }
    if (!impl.source) {
        fileio::FileStamp current;
        return impl.fromNoFile && fileio::stampOf(path, current).notFound;
    }
    bool unchanged = false;
    std::optional<FileSnapshot> snapshot;
    ignoreErrors([&] { unchanged = stillHolds(*impl.source, path, snapshot); });
    return unchanged;
}

std::uint64_t MemoryRecordset::Revision() const noexcept {
    return impl_->revision;
}

Bookmark MemoryRecordset::BookmarkAt(std::int32_t presentedIndex) {
    const Impl& impl = *impl_;
    impl.requireOpen();
    if (presentedIndex < 0 || static_cast<std::uint32_t>(presentedIndex) >= impl.count()) {
        raise(error::NoCurrentRecord);
    }
    return impl.bookmarkOf(impl.slotAt(static_cast<std::uint32_t>(presentedIndex)));
}

std::optional<std::int32_t> MemoryRecordset::PresentedIndexOf(Bookmark bookmark) {
    const Impl& impl = *impl_;
    const std::optional<std::uint32_t> slot = impl.slotOf(bookmark);
    if (!slot) {
        return std::nullopt;
    }
    if (impl.allSlotsPresented) {
        return static_cast<std::int32_t>(*slot);
    }
    const auto it = std::lower_bound(impl.presented.begin(), impl.presented.end(), *slot);
    if (it == impl.presented.end() || *it != *slot) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(it - impl.presented.begin());
}

Variant MemoryRecordset::ValueAt(Bookmark bookmark, std::size_t field) {
    const Impl& impl = *impl_;
    impl.requireOpen();
    const std::optional<std::uint32_t> slot = impl.slotOf(bookmark);
    if (!slot) {
        raise(error::NoCurrentRecord);
    }
    if (field >= impl.table->fields().size()) {
        raise(error::ItemNotFound);
    }
    const std::optional<TextView> value = impl.table->column(field).value(*slot);
    return value ? Variant(*value) : Variant::null();
}

std::optional<Bookmark> MemoryRecordset::CurrentBookmark() const {
    const std::optional<std::uint32_t> slot = impl_->currentSlot();
    if (!slot) {
        return std::nullopt;
    }
    return impl_->bookmarkOf(*slot);
}

void MemoryRecordset::MoveToBookmark(Bookmark bookmark) {
    impl_->requireOpen();
    const std::optional<std::int32_t> index = PresentedIndexOf(bookmark);
    if (!index) {
        throw AutomationError(error::InvalidArgument,
                              u"MoveToBookmark: the row is not among the presented rows");
    }
    impl_->position = static_cast<std::uint32_t>(*index);
    impl_->currentDeleted = false;
}

} // namespace fillahead
