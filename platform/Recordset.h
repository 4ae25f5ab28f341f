// Recordset: a data-access record set as the engine, the list grid and the
// record set's automation object use it. Two kinds stand behind it: our
// in-memory record set (platform/recordset/MemoryRecordset.h), which holds
// the history buffers, and a host's own record set reached late-bound
// through IDispatch (library/DispatchRecordset.h), which the host hands
// over in data-bound mode.
//
// The members are those of a data-access record set as hosts know it, with
// the names, states and error numbers of the original data layer: State,
// Fields (count, name, Append), Open with or without a file, Close, Filter,
// RecordCount, AbsolutePosition, BOF and EOF, Fields(name).Value, AddNew,
// Update, MoveFirst, MoveNext, MoveLast, Delete, Save and Bookmark. Every
// record set that stands in takes the two filters the engine builds,
// "[Field] = 'value'" and "[Field] Like '*value*'" (a quote inside the value
// doubled), and the number 0 for none. Failures raise AutomationError.
//
// Bookmarks are ours: small numbers a record set hands out for its rows,
// stable while the row lives there, whatever the filter (a late-bound
// record set keeps a table of its host's bookmark values).
//
// The grid reads rows by their place among the presented rows and by
// bookmark (BookmarkAt, PresentedIndexOf, ValueAt). Those have defaults
// built on the members above: they move the current row to the one they
// read and put it back, as a data-bound grid does. A record set that
// reaches its rows directly overrides them (ours does, through its row
// table); so does FileUnchanged, which by default cannot tell and answers
// false, and the caller loads the file again.
//
// Not thread-safe; one thread (the host's user-interface thread) uses it.
#pragma once

#include "platform/AutomationError.h"
#include "platform/Text.h"
#include "platform/Variant.h"

#include <cstdint>
#include <optional>

namespace fillahead {

// A row's identity for as long as the row lives in its record set; never
// reused, unaffected by filtering.
using Bookmark = std::uint32_t;

struct FieldDefinition {
    Text name;
    std::int32_t type = 8;          // 8: wide-character text (adBSTR)
    std::int32_t definedSize = 255; // characters
    std::int32_t attributes = -1;   // -1: unspecified
};

// Record-set states and codes of the original data layer.
inline constexpr std::int32_t kStateClosed = 0;
inline constexpr std::int32_t kStateOpen = 1;
inline constexpr std::int32_t kPersistXml = 1;
inline constexpr std::int32_t kAffectCurrent = 1;
inline constexpr std::int32_t kPositionUnknown = -1; // empty, or the current row was deleted
inline constexpr std::int32_t kPositionBof = -2;
inline constexpr std::int32_t kPositionEof = -3;

// What Open raises (3003) for a file it read whole but cannot take as a
// record set: damaged, truncated, or not this layout. A file that cannot be
// opened or read raises a plain AutomationError instead.
class DamagedFileError final : public AutomationError {
public:
    using AutomationError::AutomationError;
};

class Recordset : public Object {
public:
    // kStateOpen while open, kStateClosed when closed.
    virtual std::int32_t State() const = 0;

    // --- Fields ---
    // Fields.Count and Fields(index): 3265 for an index out of range.
    virtual std::size_t FieldCount() const = 0;
    virtual FieldDefinition Field(std::size_t index) const = 0;
    // The index of a field by name, ignoring case.
    virtual std::optional<std::size_t> FindField(TextView name) const;
    // Fields.Append, on a closed record set.
    virtual void AppendField(const FieldDefinition& field) = 0;

    // --- Opening and closing ---
    // Open with no source: an empty, updatable record set with the appended
    // fields. Open on a file saved in the rowset XML layout: its fields and
    // rows, the first row current.
    virtual void Open() = 0;
    virtual void Open(const Text& path) = 0;
    virtual void Close() = 0;
    // Save(path, kPersistXml): every row, whatever the filter.
    virtual void Save(const Text& path, std::int32_t persistFormat = kPersistXml) = 0;

    // --- The presented rows and the current row ---
    // Filter put: a criteria text (an empty one removes the filter) or the
    // number 0; the first presented row becomes current. Filter get: the
    // Long 0 when no filter is set, else the text that was set.
    virtual void SetFilter(TextView criteria) = 0;
    virtual void SetFilter(std::int32_t code) = 0;
    virtual Variant Filter() const = 0;
    virtual std::int32_t RecordCount() const = 0;
    // 1-based position of the current row among the presented rows, or
    // kPositionBof, kPositionEof, kPositionUnknown. Setting it makes that
    // presented row current (3001 out of range).
    virtual std::int32_t AbsolutePosition() const = 0;
    virtual void SetAbsolutePosition(std::int32_t position) = 0;
    // BOF and EOF of the original layer (EOF is a C macro, hence the names).
    virtual bool IsBOF() const = 0;
    virtual bool IsEOF() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    virtual void MoveLast() = 0;
    // Bookmark get (none without a current row) and put (3001 for a row
    // that is not presented).
    virtual std::optional<Bookmark> CurrentBookmark() const = 0;
    virtual void MoveToBookmark(Bookmark bookmark) = 0;

    // --- The current row's values ---
    // Fields(name).Value: 3265 for an unknown field, 3021 without a current
    // row. Put: text, or Null for Null and Empty.
    virtual Variant FieldValue(TextView name) const = 0;
    virtual void SetFieldValue(TextView name, const Variant& value) = 0;
    // AddNew(field, value): a new row with that value, made current.
    virtual void AddNew(TextView field, const Variant& value) = 0;
    virtual void Update() = 0;
    // Delete(kAffectCurrent).
    virtual void Delete(std::int32_t affectRecords = kAffectCurrent) = 0;

    // --- What the list grid reads ---
    // Changes whenever the set or order of presented rows changes (filter
    // set or removed, row added or deleted, open, close). A record set that
    // cannot see changes made elsewhere counts those made through it.
    virtual std::uint64_t Revision() const = 0;
    // Bookmark of the presented row at a 0-based index; 3021 out of range.
    virtual Bookmark BookmarkAt(std::int32_t presentedIndex);
    // 0-based index of a bookmark among the presented rows, if presented.
    virtual std::optional<std::int32_t> PresentedIndexOf(Bookmark bookmark);
    // Value of a field of the row with that bookmark (3021 for a row that is
    // not there, 3265 for a field index out of range).
    virtual Variant ValueAt(Bookmark bookmark, std::size_t field);

    // True while the file at path is still the version this record set was
    // opened on or last saved to: no program has replaced, changed or
    // removed it meanwhile. False when it cannot tell.
    virtual bool FileUnchanged(const Text& path) const;
};

} // namespace fillahead
