// DispatchRecordset: a host's own record set (a data-access Recordset, or any
// automation object with its members) reached late-bound through IDispatch,
// standing in for ours in data-bound mode. Every member is a call by name on
// the host's object, as a VB program holding it in an Object variable makes
// it: State, Fields (Count, Item(index or name) with Name, Type, DefinedSize,
// Attributes and Value, Append), Open, Close, Save, Filter, RecordCount,
// AbsolutePosition, BOF, EOF, MoveFirst, MoveNext, MoveLast, AddNew, Update,
// Delete and Bookmark.
//
// - Errors: the object's own error arrives as an AutomationError with its
//   number and description; a member it lacks is 438.
// - Bookmarks: the host's Bookmark values (whatever type they are) are
//   numbered here, in the order they are first met, for as long as the
//   adapter lives. An object without a Bookmark property gets bookmarks for
//   its presented rows by position, valid until the presented rows change
//   (a filter, a row added or deleted, an open or close through this
//   adapter, or a record count that moved).
// - AbsolutePosition put, where the object refuses it, moves to the first
//   row and on from there.
// - Revision counts the changes made through the adapter and notices a
//   record count that changed elsewhere.
//
// Single-threaded, like the apartment the object lives in.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "library/DispatchHostObject.h"
#include "platform/Recordset.h"

#include <oaidl.h>

#include <map>
#include <memory>
#include <utility>

namespace fillahead::library {

class DispatchRecordset final : public fillahead::Recordset {
public:
    // The record set over an automation object. An object that lacks the
    // members every record set has (Fields, State, Filter, RecordCount) is
    // no record set: type mismatch (13).
    static std::shared_ptr<DispatchRecordset> Over(IDispatch* object);

    // The host's own object, handed back as the engine's Recordset.
    IDispatch* Dispatch() const noexcept { return object_->Dispatch(); }

    std::int32_t State() const override;
    std::size_t FieldCount() const override;
    FieldDefinition Field(std::size_t index) const override;
    void AppendField(const FieldDefinition& field) override;
    void Open() override;
    void Open(const Text& path) override;
    void Close() override;
    void Save(const Text& path, std::int32_t persistFormat = kPersistXml) override;
    void SetFilter(TextView criteria) override;
    void SetFilter(std::int32_t code) override;
    Variant Filter() const override;
    std::int32_t RecordCount() const override;
    std::int32_t AbsolutePosition() const override;
    void SetAbsolutePosition(std::int32_t position) override;
    bool IsBOF() const override;
    bool IsEOF() const override;
    void MoveFirst() override;
    void MoveNext() override;
    void MoveLast() override;
    std::optional<Bookmark> CurrentBookmark() const override;
    void MoveToBookmark(Bookmark bookmark) override;
    Variant FieldValue(TextView name) const override;
    void SetFieldValue(TextView name, const Variant& value) override;
    void AddNew(TextView field, const Variant& value) override;
    void Update() override;
    void Delete(std::int32_t affectRecords = kAffectCurrent) override;
    std::uint64_t Revision() const override;

    explicit DispatchRecordset(std::shared_ptr<DispatchHostObject> object);

private:
    // A host bookmark, or a presented row's position in one revision.
    struct Mark {
        Variant hostBookmark;
        std::int32_t position = 0;
        std::uint64_t revision = 0;
    };
    HostObject& fields() const;
    std::shared_ptr<HostObject> fieldsObject() const;
    std::shared_ptr<HostObject> field(const Variant& index) const;
    void changed();
    Bookmark numbered(Mark mark) const;

    std::shared_ptr<DispatchHostObject> object_;
    // The host's Fields collection, asked for once per open.
    mutable std::shared_ptr<HostObject> fields_;
    mutable std::map<Bookmark, Mark> marks_;
    mutable Bookmark nextBookmark_ = 1;
    mutable std::map<std::pair<int, Text>, Bookmark> byHostBookmark_;
    mutable bool positionalMarks_ = false;
    mutable std::uint64_t revision_ = 1;
    mutable std::int32_t seenCount_ = -1;
};

} // namespace fillahead::library
