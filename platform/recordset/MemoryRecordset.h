// MemoryRecordset: the in-memory table the engine keeps its history in, with
// the members of a data-access record set that the system relies on (names
// and error numbers as the original data layer has them), stable bookmarks,
// the three filter forms, and persistence in the rowset XML layout. It reads
// its rows for the grid straight from its table, filters through a search
// index that narrows while the user types, and knows its file's version.
//
// Values are text or Null. Field names are matched without regard to case.
// Filters compare with the shared case folding:
//   Name = 'value'      rows whose value equals 'value'
//   Name Like 'pattern' '*' or '%' as the first or last character are
//                       wildcards ('*abc*' contains, 'abc*' starts with,
//                       '*abc' ends with); anywhere else they are literal
//   Filter(0) or ""     no filter
// A quote inside a value is written doubled ('O''Brien'); the field name may
// stand in brackets ([Saved Field]); keywords are read in any case. Anything
// else is AutomationError 3001 naming what is wrong.
//
// Not thread-safe; one thread (the host's user-interface thread) uses it.
#pragma once

#include "platform/AutomationError.h"
#include "platform/Recordset.h"
#include "platform/Text.h"
#include "platform/Variant.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace fillahead {

class MemoryRecordset final : public Recordset {
public:
    MemoryRecordset();
    ~MemoryRecordset() override;
    MemoryRecordset(const MemoryRecordset&) = delete;
    MemoryRecordset& operator=(const MemoryRecordset&) = delete;

    // kStateOpen while open, kStateClosed when closed.
    std::int32_t State() const noexcept override;

    // Fields.Append. Only on a closed record set (3219 when open); a name that
    // is already a field (ignoring case) is 3367.
    void AppendField(const FieldDefinition& field) override;
    std::size_t FieldCount() const noexcept override;
    FieldDefinition Field(std::size_t index) const override;
    // The index of a field by name, ignoring case.
    std::optional<std::size_t> FindField(TextView name) const override;

    // Open with no source: an empty, updatable record set in memory with the
    // appended fields. 3705 when already open; 3001 with no fields.
    void Open() override;
    // Open on a file saved in the rowset XML layout: its fields and rows,
    // updatable, the first row current. A file that is missing, unreadable or
    // damaged raises an error naming the file and the problem, and the record
    // set stays closed with nothing loaded; a file that was read but is
    // damaged raises DamagedFileError. 3705 when already open. Fields
    // appended while closed give way to the file's.
    void Open(const Text& path) override;
    // Drops rows, fields and filter. 3704 when closed.
    void Close() override;

    // Filter put: a criteria text (see above; an empty text removes the
    // filter) or the number 0. The first presented row becomes current.
    // 3704 when closed, 3001 for a text that does not parse, names an unknown
    // field, or a number other than 0.
    void SetFilter(TextView criteria) override;
    void SetFilter(std::int32_t code) override;
    // Filter get: the Long 0 when no filter is set, else the text that was set.
    Variant Filter() const override;

    // Number of presented rows. 3704 when closed.
    std::int32_t RecordCount() const override;
    // 1-based position of the current row among the presented rows;
    // kPositionBof / kPositionEof when before the first or after the last,
    // kPositionUnknown when nothing is presented or the row was deleted.
    std::int32_t AbsolutePosition() const override;
    // Makes the presented row at that 1-based position current; 3001 out of
    // range.
    void SetAbsolutePosition(std::int32_t position) override;
    // BOF and EOF of the original layer (EOF is a C macro, hence the names).
    bool IsBOF() const override;
    bool IsEOF() const override;

    // Fields(name).Value of the current row: 3265 for an unknown field, 3021
    // when there is no current row (empty, BOF, EOF, or the row was deleted).
    Variant FieldValue(TextView name) const override;
    // Stores text (any Variant but Null and Empty is converted with CStr);
    // Null and Empty store Null.
    void SetFieldValue(TextView name, const Variant& value) override;

    // AddNew(field, value): a new row at the end with that value (other
    // fields Null), made current. The row is stored at once. With a filter
    // in force the new row is presented even when it does not match, until
    // the filter is set again (as the original layer does).
    void AddNew(TextView field, const Variant& value) override;
    // Update: stores the current row. 3021 when there is no current row.
    void Update() override;

    void MoveFirst() override;
    void MoveNext() override;
    void MoveLast() override;

    // Delete(kAffectCurrent): removes the current row; it stays current as a
    // deleted row (field access raises 3021) until the next move. Any other
    // argument is 3001.
    void Delete(std::int32_t affectRecords = kAffectCurrent) override;

    // Save(path, kPersistXml): writes every row (the filter is ignored) in the
    // rowset XML layout, replacing the file atomically: a temporary file in
    // the same folder renamed over the old one. On failure the old file is
    // intact, no temporary file is left, and an error naming the file is
    // raised. Another format is 3001. 3704 when closed.
    void Save(const Text& path, std::int32_t persistFormat = kPersistXml) override;

    // What SaveWithin did.
    struct BoundedSave {
        // Bytes of the document of every row: what Save writes.
        std::uint64_t fullSize = 0;
        // The first row was deleted and the rest written.
        bool firstRowDeleted = false;
    };
    // Save(path, kPersistXml) for a file kept within a size: when the
    // document of every row is larger than maxBytes and holds two rows or
    // more, the first row (the oldest) is deleted and the rest written in the
    // same replacement. The file is then what saving and deleting the saved
    // file's first row leaves, written once. The row leaves the record set
    // only once the file is written; a current row stays current. Without
    // maxBytes it is Save, telling the size it wrote.
    BoundedSave SaveWithin(const Text& path, std::optional<std::uint64_t> maxBytes);

    // True while the file at path is still the version this record set was
    // opened on or last saved to, whatever changed in the record set since:
    // no program has replaced, changed or removed the file meanwhile. For a
    // record set opened without a file: while there is no file at path.
    // False when closed. Compares the file's stamp, and its bytes only while
    // it is too young for the stamp to prove anything.
    bool FileUnchanged(const Text& path) const override;

    // --- What the list grid reads. ---
    // Changes whenever the set or order of presented rows changes (filter set
    // or removed, row added or deleted, open, close); a value change of a
    // presented row changes it too.
    std::uint64_t Revision() const noexcept override;
    // Bookmark of the presented row at a 0-based index; 3021 out of range.
    Bookmark BookmarkAt(std::int32_t presentedIndex) override;
    // 0-based index of a bookmark among the presented rows, if presented.
    std::optional<std::int32_t> PresentedIndexOf(Bookmark bookmark) override;
    // Value of a field of the row with that bookmark (3021 for an unknown or
    // deleted bookmark).
    Variant ValueAt(Bookmark bookmark, std::size_t field) override;
    // The current row's bookmark, if there is a current row.
    std::optional<Bookmark> CurrentBookmark() const override;
    // Makes the presented row with that bookmark current (3001 when it is not
    // presented).
    void MoveToBookmark(Bookmark bookmark) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fillahead
