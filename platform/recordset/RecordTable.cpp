#include "platform/recordset/RecordTable.h"

#include "platform/AutomationError.h"
#include "platform/recordset/AsciiRuns.h"

#include <limits>

namespace fillahead {
namespace {

// Cells address the arena with 32 bits.
void checkArenaSize(std::size_t size) {
    if (size >= std::numeric_limits<std::uint32_t>::max()) {
        throw AutomationError(error::OutOfMemory);
    }
}

} // namespace

Column::Column() = default;

Column::Cell Column::store(std::optional<TextView> value) {
    if (!value) {
        return {0, kNullLength};
    }
    const std::size_t offset = arena_.size();
    checkArenaSize(offset + value->size());
    arena_.insert(arena_.end(), value->begin(), value->end());
    return {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(value->size())};
}

void Column::append(std::optional<TextView> value) {
    cells_.push_back(store(value));
    if (indexCurrent_) {
        index_.append(value);
    }
}

void Column::set(std::uint32_t row, std::optional<TextView> value) {
    if (this->value(row) == value) {
        return; // storing a value again (as every commit does) keeps the index
    }
    Cell& cell = cells_[row];
    if (cell.length != kNullLength) {
        unusedChars_ += cell.length;
    }
    cell = store(value);
    indexCurrent_ = false;
    // Values rewritten over and over would grow the arena without end.
    if (unusedChars_ > 4096 && unusedChars_ > arena_.size() / 2) {
        compact();
    }
}

void Column::compact() {
    UninitialisedVector<char16_t> packed;
    packed.reserve(arena_.size() - unusedChars_);
    for (Cell& cell : cells_) {
        if (cell.length != kNullLength) {
            const std::size_t offset = packed.size();
            const auto from = arena_.begin() + cell.offset;
            packed.insert(packed.end(), from, from + cell.length);
            cell.offset = static_cast<std::uint32_t>(offset);
        }
    }
    arena_ = std::move(packed);
    unusedChars_ = 0;
}

void Column::startLoading(std::size_t rowEstimate, std::size_t charEstimate) {
    arena_.reserve(charEstimate);
    cells_.reserve(rowEstimate);
    index_.startBulk(rowEstimate, charEstimate);
    indexCurrent_ = false;
}

void Column::appendLoadedAscii(std::string_view text, std::size_t readable) {
    settle();
    const std::size_t offset = arena_.size();
    checkArenaSize(offset + text.size());
    arena_.resize(offset + text.size() + ascii::kWriteAhead);
    ascii::widenAhead(text.data(), text.size(), readable, arena_.data() + offset);
    arena_.resize(offset + text.size());
    cells_.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(text.size())});
    index_.appendUnsealedAscii(text, readable);
}

bool Column::appendLoadedUtf8(std::string_view utf8, std::size_t readable) {
    settle();
    const std::size_t offset = arena_.size();
    checkArenaSize(offset + utf8.size());
    // Never more UTF-16 units than bytes.
    arena_.resize(offset + utf8.size() + ascii::kWriteAhead);
    const std::size_t length = index_.appendUnsealedUtf8(utf8, readable, arena_.data() + offset);
    if (length == SearchIndex::kNotUtf8) {
        arena_.resize(offset);
        return false;
    }
    arena_.resize(offset + length);
    cells_.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)});
    return true;
}

const char* Column::appendLoadedDelimited(const char* p, const char* end, char delimiter) {
    // Room for the longest value, kept past the end for many values at a
    // time (settle gives it back).
    constexpr std::size_t kRoom = SearchIndex::kMaxDelimited + 32;
    if (slack_ < kRoom) {
        if (arena_.size() + kRoom * 32 >= std::numeric_limits<std::uint32_t>::max()) {
            return nullptr; // appendLoaded says whether it still fits
        }
        arena_.resize(arena_.size() + kRoom * 32);
        slack_ += kRoom * 32;
    }
    const std::size_t offset = arena_.size() - slack_;
    std::size_t length = 0;
    const char* stop =
        index_.appendUnsealedDelimited(p, end, delimiter, arena_.data() + offset, length);
    if (stop != nullptr) {
        slack_ -= length;
        cells_.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)});
    }
    return stop;
}

void Column::settle() {
    arena_.resize(arena_.size() - slack_);
    slack_ = 0;
}

void Column::dropLastLoaded() {
    settle();
    const Cell cell = cells_.back();
    cells_.pop_back();
    if (cell.length != kNullLength) {
        arena_.resize(cell.offset);
    }
    index_.dropLastUnsealed();
}

void Column::appendLoaded(TextView text) {
    settle();
    cells_.push_back(store(text));
    index_.appendUnsealed(text);
}

void Column::appendLoadedNull() {
    cells_.push_back({0, kNullLength});
    index_.appendUnsealed(std::nullopt);
}

void Column::finishLoading() {
    settle();
    index_.seal();
    indexCurrent_ = true;
}

void Column::buildIndex() const {
    const auto rows = static_cast<std::uint32_t>(cells_.size());
    // Folding keeps the length in code points; most text is ASCII.
    index_.assign(rows, arena_.size() + arena_.size() / 8,
                  [this](std::uint32_t row) { return value(row); });
    indexCurrent_ = true;
}

const SearchIndex& Column::index() const {
    if (!indexCurrent_) {
        buildIndex();
    }
    return index_;
}

void RecordTable::addField(FieldInfo field) {
    fields_.push_back(std::move(field));
    columns_.emplace_back();
}

std::optional<std::size_t> RecordTable::findField(TextView name) const {
    for (std::size_t index = 0; index < fields_.size(); ++index) {
        if (equalsIgnoringCase(fields_[index].definition.name, name)) {
            return index;
        }
    }
    return std::nullopt;
}

std::uint32_t RecordTable::appendRow(std::size_t field, std::optional<TextView> value) {
    if (slots_ == std::numeric_limits<std::uint32_t>::max() - 1) {
        throw AutomationError(error::OutOfMemory);
    }
    // The one column that can refuse (a full arena) goes first, before any
    // other column has grown.
    columns_[field].append(value);
    for (std::size_t index = 0; index < columns_.size(); ++index) {
        if (index != field) {
            columns_[index].append(std::nullopt);
        }
    }
    if (deletedCount_ != 0) {
        deleted_.push_back(false);
    }
    return slots_++;
}

void RecordTable::deleteRow(std::uint32_t slot) {
    if (deletedCount_ == 0) {
        deleted_.assign(slots_, false);
    }
    if (!deleted_[slot]) {
        deleted_[slot] = true;
        ++deletedCount_;
    }
}

void RecordTable::countLoadedRow() {
    if (slots_ == std::numeric_limits<std::uint32_t>::max() - 1) {
        throw AutomationError(error::OutOfMemory);
    }
    ++slots_;
}

} // namespace fillahead
