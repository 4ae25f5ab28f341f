// RecordTable: the rows and fields behind a Recordset, without its cursor
// and filter. Rows live in slots numbered in the order they were added; a
// deleted row keeps its slot (marked deleted), so slot numbers and the
// bookmarks made from them never move.
//
// Each field is a Column: its text values in one UTF-16 arena addressed by
// (offset, length) cells instead of one heap string per row, and its
// SearchIndex, built when first needed and kept current as rows are added.
#pragma once

#include "platform/Recordset.h"
#include "platform/Text.h"
#include "platform/recordset/SearchIndex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fillahead {

// An attribute of a field's schema entry in a buffer file, kept so that the
// field is written back as it was read.
struct SchemaAttribute {
    enum class Space : std::uint8_t { None, DataType, Rowset };
    Space space = Space::None;
    std::string name; // local name, UTF-8
    Text value;
};

struct FieldInfo {
    FieldDefinition definition;
    // Set for a field read from a file: its schema attributes other than
    // name, rs:name and rs:number (which are made anew when writing).
    bool fromFile = false;
    std::vector<SchemaAttribute> fieldAttributes;
    bool hasDatatype = false;
    std::vector<SchemaAttribute> datatypeAttributes;
};

class Column {
public:
    Column();

    std::optional<TextView> value(std::uint32_t row) const noexcept {
        const Cell cell = cells_[row];
        if (cell.length == kNullLength) {
            return std::nullopt;
        }
        return TextView(arena_.data() + cell.offset, cell.length);
    }
    void append(std::optional<TextView> value);
    void set(std::uint32_t row, std::optional<TextView> value);
    // UTF-16 units the values take, at most.
    std::size_t textSize() const noexcept { return arena_.size(); }

    // Loading, into a column that has no rows yet: startLoading, then per row
    // appendLoadedAscii or appendLoadedUtf8 (a value as it stands in the
    // file), appendLoaded (a value decoded) or appendLoadedNull; then
    // finishLoading. The index is built on the way.
    void startLoading(std::size_t rowEstimate, std::size_t charEstimate);
    // readable (at least the value's size) is how many bytes from the
    // value's start the file holds: short values are read sixteen bytes at
    // a time.
    void appendLoadedAscii(std::string_view text, std::size_t readable);
    // A value as it stands in the file, in UTF-8 without control
    // characters; false (adding nothing) when it is not well-formed.
    bool appendLoadedUtf8(std::string_view utf8, std::size_t readable);
    // A value as it stands in a file, from p up to the first byte
    // delimiter, in UTF-8 without control characters, '<' or '&', and short
    // (SearchIndex::kMaxDelimited bytes at most): returns the delimiter's
    // position. Anything else is nullptr, adding nothing, for the caller to
    // read its own way. end is the end of what may be read.
    const char* appendLoadedDelimited(const char* p, const char* end, char delimiter);
    void appendLoaded(TextView text);
    void appendLoadedNull();
    // Takes back the last value added while loading.
    void dropLastLoaded();
    void finishLoading();
    void buildIndex() const;

    // The search form of the column, built first if a change made it stale.
    const SearchIndex& index() const;

private:
    struct Cell {
        std::uint32_t offset;
        std::uint32_t length;
    };
    static constexpr std::uint32_t kNullLength = 0xFFFFFFFF;

    Cell store(std::optional<TextView> value);
    void compact();
    // Drops the room appendLoadedDelimited keeps past the end.
    void settle();

    UninitialisedVector<char16_t> arena_;
    std::vector<Cell> cells_;
    std::size_t unusedChars_ = 0; // arena text no cell refers to any more
    std::size_t slack_ = 0;       // arena past the text while loading
    mutable SearchIndex index_;
    mutable bool indexCurrent_ = true;
};

class RecordTable {
public:
    const std::vector<FieldInfo>& fields() const noexcept { return fields_; }
    // Only while there are no rows.
    void addField(FieldInfo field);
    std::optional<std::size_t> findField(TextView name) const;

    Column& column(std::size_t field) { return columns_[field]; }
    const Column& column(std::size_t field) const { return columns_[field]; }

    std::uint32_t slotCount() const noexcept { return slots_; }
    std::uint32_t liveCount() const noexcept { return slots_ - deletedCount_; }
    bool hasDeleted() const noexcept { return deletedCount_ != 0; }
    bool isDeleted(std::uint32_t slot) const noexcept {
        return deletedCount_ != 0 && deleted_[slot];
    }

    // A new row with value in field and Null in the others; returns its slot.
    std::uint32_t appendRow(std::size_t field, std::optional<TextView> value);
    void deleteRow(std::uint32_t slot);
    // Loading: after one value on every column.
    void countLoadedRow();

private:
    std::vector<FieldInfo> fields_;
    std::vector<Column> columns_;
    std::uint32_t slots_ = 0;
    std::uint32_t deletedCount_ = 0;
    std::vector<bool> deleted_; // empty until a row is deleted
};

} // namespace fillahead
