#include "library/DispatchRecordset.h"

#include "platform/AutomationError.h"

#include <string>

namespace fillahead::library {
namespace {

// What every record set answers; an object without them is something else.
constexpr const char16_t* kRequiredMembers[] = {u"Fields", u"State", u"Filter", u"RecordCount"};

bool answers(IDispatch& object, TextView name) {
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

std::shared_ptr<HostObject> objectOfResult(const Variant& value, TextView member) {
    std::shared_ptr<HostObject> object = asHostObject(value);
    if (!object) {
        throw AutomationError(error::ObjectNotSet,
                              Text(member) + u": the record set handed back no object");
    }
    return object;
}

} // namespace

std::shared_ptr<DispatchRecordset> DispatchRecordset::Over(IDispatch* object) {
    if (object == nullptr) {
        return nullptr;
    }
    for (const char16_t* member : kRequiredMembers) {
        if (!answers(*object, member)) {
            throw AutomationError(error::TypeMismatch,
                                  u"Type mismatch: the object is not a record set (it has no " +
                                      Text(member) + u")");
        }
    }
    return std::make_shared<DispatchRecordset>(DispatchHostObject::Of(object));
}

DispatchRecordset::DispatchRecordset(std::shared_ptr<DispatchHostObject> object)
    : object_(std::move(object)) {}

void DispatchRecordset::changed() {
    ++revision_;
}

std::shared_ptr<HostObject> DispatchRecordset::fieldsObject() const {
    if (!fields_) {
        fields_ = objectOfResult(object_->GetProperty(u"Fields"), u"Fields");
    }
    return fields_;
}

HostObject& DispatchRecordset::fields() const {
    // Held by fields_ until the next open or close.
    return *fieldsObject();
}

std::shared_ptr<HostObject> DispatchRecordset::field(const Variant& index) const {
    return objectOfResult(fields().CallMethod(u"Item", {index}), u"Fields.Item");
}

std::int32_t DispatchRecordset::State() const {
    return object_->GetProperty(u"State").toLong();
}

std::size_t DispatchRecordset::FieldCount() const {
    const std::int32_t count = fields().GetProperty(u"Count").toLong();
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

FieldDefinition DispatchRecordset::Field(std::size_t index) const {
    if (index >= FieldCount()) {
        throw AutomationError(error::ItemNotFound);
    }
    const std::shared_ptr<HostObject> found = field(Variant(static_cast<std::int32_t>(index)));
    FieldDefinition definition;
    definition.name = found->GetProperty(u"Name").toText();
    // What a record set may not tell keeps the usual value.
    ignoreErrors([&] { definition.type = found->GetProperty(u"Type").toLong(); });
    ignoreErrors([&] { definition.definedSize = found->GetProperty(u"DefinedSize").toLong(); });
    ignoreErrors([&] { definition.attributes = found->GetProperty(u"Attributes").toLong(); });
    return definition;
}

void DispatchRecordset::AppendField(const FieldDefinition& definition) {
    fields().CallMethod(u"Append",
                        {Variant(definition.name), Variant(definition.type),
                         Variant(definition.definedSize), Variant(definition.attributes)});
}

void DispatchRecordset::Open() {
    changed();
    fields_.reset();
    object_->CallMethod(u"Open");
}

void DispatchRecordset::Open(const Text& path) {
    changed();
    fields_.reset();
    object_->CallMethod(u"Open", {Variant(path)});
}

void DispatchRecordset::Close() {
    changed();
    fields_.reset();
    object_->CallMethod(u"Close");
}

void DispatchRecordset::Save(const Text& path, std::int32_t persistFormat) {
    object_->CallMethod(u"Save", {Variant(path), Variant(persistFormat)});
}

void DispatchRecordset::SetFilter(TextView criteria) {
    changed();
    object_->PutProperty(u"Filter", Variant(criteria));
}

void DispatchRecordset::SetFilter(std::int32_t code) {
    changed();
    object_->PutProperty(u"Filter", Variant(code));
}

Variant DispatchRecordset::Filter() const {
    return object_->GetProperty(u"Filter");
}

std::int32_t DispatchRecordset::RecordCount() const {
    return object_->GetProperty(u"RecordCount").toLong();
}

std::int32_t DispatchRecordset::AbsolutePosition() const {
    return object_->GetProperty(u"AbsolutePosition").toLong();
}

void DispatchRecordset::SetAbsolutePosition(std::int32_t position) {
    try {
        object_->PutProperty(u"AbsolutePosition", Variant(position));
        return;
    } catch (const AutomationError& refused) {
        if (refused.number() != error::NotSupported) {
            throw;
        }
    }
    // A record set whose position cannot be set: walked to from the first row.
    if (position < 1 || position > RecordCount()) {
        throw AutomationError(error::InvalidArgument);
    }
    MoveFirst();
    for (std::int32_t row = 1; row < position; ++row) {
        MoveNext();
    }
}

bool DispatchRecordset::IsBOF() const {
    return object_->GetProperty(u"BOF").toBoolean();
}

bool DispatchRecordset::IsEOF() const {
    return object_->GetProperty(u"EOF").toBoolean();
}

void DispatchRecordset::MoveFirst() {
    object_->CallMethod(u"MoveFirst");
}

void DispatchRecordset::MoveNext() {
    object_->CallMethod(u"MoveNext");
}

void DispatchRecordset::MoveLast() {
    object_->CallMethod(u"MoveLast");
}

Bookmark DispatchRecordset::numbered(Mark mark) const {
    if (!positionalMarks_) {
        const std::pair<int, Text> key{static_cast<int>(mark.hostBookmark.type()),
                                       mark.hostBookmark.toText()};
        if (const auto known = byHostBookmark_.find(key); known != byHostBookmark_.end()) {
            return known->second;
        }
        const Bookmark bookmark = nextBookmark_++;
        marks_.emplace(bookmark, std::move(mark));
        byHostBookmark_.emplace(key, bookmark);
        return bookmark;
    }
    // Positions of an older revision mean nothing any more.
    std::erase_if(marks_,
                  [&](const auto& known) { return known.second.revision != mark.revision; });
    for (const auto& [bookmark, known] : marks_) {
        if (known.position == mark.position) {
            return bookmark;
        }
    }
    const Bookmark bookmark = nextBookmark_++;
    marks_.emplace(bookmark, mark);
    return bookmark;
}

std::optional<Bookmark> DispatchRecordset::CurrentBookmark() const {
    if (State() == kStateClosed || IsBOF() || IsEOF()) {
        return std::nullopt;
    }
    if (!positionalMarks_) {
        try {
            const Variant hostBookmark = object_->GetProperty(u"Bookmark");
            if (!hostBookmark.isObject() && !hostBookmark.isNull() && !hostBookmark.isEmpty()) {
                return numbered(Mark{hostBookmark, 0, 0});
            }
        } catch (const AutomationError& refused) {
            if (refused.number() != error::NotSupported) {
                throw;
            }
        }
        // No bookmarks of its own, or none that can be told apart.
        positionalMarks_ = true;
        marks_.clear();
        byHostBookmark_.clear();
    }
    const std::int32_t position = AbsolutePosition();
    if (position < 1) {
        return std::nullopt;
    }
    return numbered(Mark{Variant(), position, Revision()});
}

void DispatchRecordset::MoveToBookmark(Bookmark bookmark) {
    const auto found = marks_.find(bookmark);
    if (found == marks_.end()) {
        throw AutomationError(error::InvalidArgument);
    }
    const Mark mark = found->second;
    if (!positionalMarks_) {
        object_->PutProperty(u"Bookmark", mark.hostBookmark);
        return;
    }
    if (mark.revision != Revision()) {
        // Its row may be anywhere now.
        throw AutomationError(error::InvalidArgument);
    }
    SetAbsolutePosition(mark.position);
}

Variant DispatchRecordset::FieldValue(TextView name) const {
    return field(Variant(name))->GetProperty(u"Value");
}

void DispatchRecordset::SetFieldValue(TextView name, const Variant& value) {
    field(Variant(name))->PutProperty(u"Value", value);
}

void DispatchRecordset::AddNew(TextView fieldName, const Variant& value) {
    changed();
    object_->CallMethod(u"AddNew", {Variant(fieldName), value});
}

void DispatchRecordset::Update() {
    object_->CallMethod(u"Update");
}

void DispatchRecordset::Delete(std::int32_t affectRecords) {
    changed();
    object_->CallMethod(u"Delete", {Variant(affectRecords)});
}

std::uint64_t DispatchRecordset::Revision() const {
    // Rows the host added or removed behind our back still show.
    std::int32_t count = -1;
    ignoreErrors([&] {
        if (State() != kStateClosed) {
            count = RecordCount();
        }
    });
    if (count != seenCount_) {
        seenCount_ = count;
        ++revision_;
    }
    return revision_;
}

} // namespace fillahead::library
