// The row reading a record set gets for free from its data-access members,
// for a record set that cannot reach its rows any other way.
#include "platform/Recordset.h"

namespace fillahead {
namespace {

// Puts the current row back once another row was read: on its bookmark, or
// after the last row where it was at EOF. A current row that was deleted has
// no place to go back to.
class CurrentRowKept {
public:
    explicit CurrentRowKept(Recordset& records)
        : records_(records), bookmark_(records.CurrentBookmark()),
          atEnd_(!bookmark_ && records.IsEOF()) {}
    ~CurrentRowKept() {
        ignoreErrors([&] {
            if (bookmark_) {
                records_.MoveToBookmark(*bookmark_);
            } else if (atEnd_ && records_.RecordCount() > 0) {
                records_.MoveLast();
                records_.MoveNext();
            }
        });
    }
    CurrentRowKept(const CurrentRowKept&) = delete;
    CurrentRowKept& operator=(const CurrentRowKept&) = delete;

private:
    Recordset& records_;
    std::optional<Bookmark> bookmark_;
    bool atEnd_;
};

} // namespace

std::optional<std::size_t> Recordset::FindField(TextView name) const {
    const std::size_t count = FieldCount();
    for (std::size_t index = 0; index < count; ++index) {
        if (equalsIgnoringCase(Field(index).name, name)) {
            return index;
        }
    }
    return std::nullopt;
}

Bookmark Recordset::BookmarkAt(std::int32_t presentedIndex) {
    if (presentedIndex < 0 || presentedIndex >= RecordCount()) {
        throw AutomationError(error::NoCurrentRecord);
    }
    const CurrentRowKept kept(*this);
    SetAbsolutePosition(presentedIndex + 1);
    const std::optional<Bookmark> bookmark = CurrentBookmark();
    if (!bookmark) {
        throw AutomationError(error::NoCurrentRecord);
    }
    return *bookmark;
}

std::optional<std::int32_t> Recordset::PresentedIndexOf(Bookmark bookmark) {
    if (State() == kStateClosed) {
        return std::nullopt;
    }
    const CurrentRowKept kept(*this);
    try {
        MoveToBookmark(bookmark);
    } catch (const AutomationError&) {
        return std::nullopt; // not among the presented rows: the answer, not a failure
    }
    const std::int32_t position = AbsolutePosition();
    if (position < 1) {
        return std::nullopt;
    }
    return position - 1;
}

Variant Recordset::ValueAt(Bookmark bookmark, std::size_t field) {
    if (field >= FieldCount()) {
        throw AutomationError(error::ItemNotFound);
    }
    const Text name = Field(field).name;
    const CurrentRowKept kept(*this);
    try {
        MoveToBookmark(bookmark);
    } catch (const AutomationError&) {
        throw AutomationError(error::NoCurrentRecord);
    }
    return FieldValue(name);
}

bool Recordset::FileUnchanged(const Text& /*path*/) const {
    return false;
}

} // namespace fillahead
