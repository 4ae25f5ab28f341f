#include "listwindow/DataGrid.h"

#include "platform/AutomationError.h"

#include <algorithm>
#include <cmath>

namespace fillahead {
namespace {

[[noreturn]] void outOfRange() {
    throw AutomationError(error::SubscriptOutOfRange);
}

} // namespace

DataGrid::DataGrid(float rowHeight, std::function<void()> changed)
    : rowHeight_(rowHeight), changed_(std::move(changed)) {}

DataGrid::~DataGrid() = default;

void DataGrid::notify() {
    if (changed_) {
        changed_();
    }
}

bool DataGrid::sourceOpen() const {
    return dataSource_ != nullptr && dataSource_->State() != kStateClosed;
}

void DataGrid::follow() const {
    Recordset* source = dataSource_.get();
    const std::uint64_t revision = sourceOpen() ? source->Revision() : 0;
    if (source == seenSource_ && revision == seenRevision_) {
        return;
    }
    firstRow_ = 0;
    std::erase_if(selected_, [&](Bookmark bookmark) {
        return !sourceOpen() || !source->PresentedIndexOf(bookmark).has_value();
    });
    seenSource_ = source;
    seenRevision_ = revision;
}

// --- Column ---

void DataGrid::Column::SetDataField(TextView field) {
    dataField_ = Text(field);
    grid_.notify();
}

void DataGrid::Column::SetAlignment(std::int32_t alignment) {
    alignment_ = alignment;
    grid_.notify();
}

void DataGrid::Column::SetWidth(float width) {
    width_ = width;
    grid_.notify();
}

Variant DataGrid::Column::CellValue(Bookmark bookmark) const {
    if (!grid_.sourceOpen()) {
        throw AutomationError(error::ObjectClosed);
    }
    Recordset& source = *grid_.dataSource_;
    std::size_t field = 0;
    if (!dataField_.empty()) {
        const auto found = source.FindField(dataField_);
        if (!found) {
            throw AutomationError(error::ItemNotFound,
                                  u"The grid's data field '" + dataField_ + u"' is not a field");
        }
        field = *found;
    } else if (source.FieldCount() == 0) {
        throw AutomationError(error::ItemNotFound);
    }
    return source.ValueAt(bookmark, field);
}

// --- SelBookmarks ---

std::int32_t DataGrid::SelBookmarks::Count() const {
    grid_.follow();
    return static_cast<std::int32_t>(grid_.selected_.size());
}

Bookmark DataGrid::SelBookmarks::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        outOfRange();
    }
    return grid_.selected_[static_cast<std::size_t>(index)];
}

void DataGrid::SelBookmarks::Add(Bookmark bookmark) {
    grid_.follow();
    if (std::find(grid_.selected_.begin(), grid_.selected_.end(), bookmark) ==
        grid_.selected_.end()) {
        grid_.selected_.push_back(bookmark);
    }
    grid_.notify();
}

void DataGrid::SelBookmarks::Remove(std::int32_t index) {
    if (index < 0 || index >= Count()) {
        outOfRange();
    }
    grid_.selected_.erase(grid_.selected_.begin() + index);
    grid_.notify();
}

// --- DataGrid ---

void DataGrid::SetDataSource(std::shared_ptr<Recordset> recordset) {
    dataSource_ = std::move(recordset);
    selected_.clear();
    firstRow_ = 0;
    seenSource_ = nullptr;
    seenRevision_ = 0;
    follow();
    notify();
}

DataGrid::Column& DataGrid::Columns(std::int32_t index) {
    if (index != 0) {
        outOfRange();
    }
    return column_;
}

std::int32_t DataGrid::PresentedRows() const {
    return sourceOpen() ? dataSource_->RecordCount() : 0;
}

std::int32_t DataGrid::Capacity() const {
    if (rowHeight_ <= 0 || height_ <= 0) {
        return 0;
    }
    return static_cast<std::int32_t>(std::floor(height_ / rowHeight_));
}

std::int32_t DataGrid::FirstRow() const {
    follow();
    return firstRow_;
}

std::int32_t DataGrid::VisibleRows() const {
    follow();
    return std::clamp(PresentedRows() - firstRow_, 0, Capacity());
}

Bookmark DataGrid::RowBookmark(std::int32_t visibleIndex) const {
    if (visibleIndex < 0 || visibleIndex >= VisibleRows()) {
        outOfRange();
    }
    return dataSource_->BookmarkAt(firstRow_ + visibleIndex);
}

std::int32_t DataGrid::RowContaining(float y) const {
    if (y < 0 || rowHeight_ <= 0) {
        return -1;
    }
    const auto row = static_cast<std::int32_t>(std::floor(y / rowHeight_));
    return row < VisibleRows() ? row : -1;
}

void DataGrid::Scroll(std::int32_t /*columns*/, std::int32_t rows) {
    follow();
    const std::int32_t lastTop = std::max(0, PresentedRows() - Capacity());
    const std::int64_t wanted = std::int64_t{firstRow_} + rows;
    const auto top = static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 0, lastTop));
    if (top != firstRow_) {
        firstRow_ = top;
        notify();
    }
}

void DataGrid::ReBind() {
    seenSource_ = nullptr;
    follow();
    notify();
}

Variant DataGrid::Value() const {
    if (!sourceOpen()) {
        return Variant();
    }
    const auto current = dataSource_->CurrentBookmark();
    if (!current) {
        return Variant();
    }
    return column_.CellValue(*current);
}

void DataGrid::SetRowHeight(float twips) {
    rowHeight_ = twips;
    notify();
}

void DataGrid::SetBackColor(std::uint32_t color) {
    backColor_ = color;
    notify();
}

void DataGrid::SetScrollBars(std::int32_t setting) {
    scrollBars_ = setting;
    notify();
}

void DataGrid::Move(float left, float top, float width, float height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    notify();
}

void DataGrid::SetEmphasis(TextView text) {
    emphasis_ = Text(text);
    notify();
}

void DataGrid::RaiseMouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.Fire([&](DataGridEvents& sink) { sink.DataGrid_MouseUp(button, shift, x, y); });
}

} // namespace fillahead
