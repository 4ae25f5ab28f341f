// DataGrid: the list window's grid as the engine drives it (the members of
// the data grid control the engine relies on), over a record set.
//
// The grid follows its record set: when the presented rows change (filter
// set or removed, row added or deleted, reload) it shows them from the first
// row and drops selected bookmarks that are no longer presented. Lengths are
// twips. Members that fail raise AutomationError, like the control does.
#pragma once

#include "platform/EventSource.h"
#include "platform/Recordset.h"
#include "platform/Text.h"
#include "platform/Variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace fillahead {

// Receives the grid's mouse event (button released over the grid; X and Y in
// twips from the grid's top-left corner).
class DataGridEvents {
public:
    virtual ~DataGridEvents() = default;
    virtual void DataGrid_MouseUp(std::int16_t button, std::int16_t shift, float x, float y) = 0;
};

class DataGrid {
public:
    // changed runs whenever what the grid shows may have changed.
    explicit DataGrid(float rowHeight, std::function<void()> changed = {});
    ~DataGrid();
    DataGrid(const DataGrid&) = delete;
    DataGrid& operator=(const DataGrid&) = delete;

    // The one column (Columns(0)).
    class Column {
    public:
        const Text& DataField() const { return dataField_; }
        void SetDataField(TextView field);
        std::int32_t Alignment() const { return alignment_; }
        void SetAlignment(std::int32_t alignment);
        float Width() const { return width_; }
        void SetWidth(float width);
        // The column's value in the row with that bookmark.
        Variant CellValue(Bookmark bookmark) const;

    private:
        friend class DataGrid;
        explicit Column(DataGrid& grid) : grid_(grid) {}
        DataGrid& grid_;
        Text dataField_;
        std::int32_t alignment_ = 0;
        float width_ = 0;
    };

    // The highlighted rows (SelBookmarks).
    class SelBookmarks {
    public:
        std::int32_t Count() const;
        Bookmark Item(std::int32_t index) const; // 9 when out of range
        void Add(Bookmark bookmark);
        void Remove(std::int32_t index); // 9 when out of range

    private:
        friend class DataGrid;
        explicit SelBookmarks(DataGrid& grid) : grid_(grid) {}
        DataGrid& grid_;
    };

    const std::shared_ptr<Recordset>& DataSource() const { return dataSource_; }
    void SetDataSource(std::shared_ptr<Recordset> recordset);
    // Only Columns(0) exists; other indexes raise 9.
    Column& Columns(std::int32_t index);
    SelBookmarks& SelectedBookmarks() { return selBookmarks_; }

    // Rows shown: those that fit the grid's height, from the top row on.
    std::int32_t VisibleRows() const;
    // Bookmark of a visible row (0 is the top one); 9 when out of range.
    Bookmark RowBookmark(std::int32_t visibleIndex) const;
    // The visible row at a vertical position, -1 below the last row.
    std::int32_t RowContaining(float y) const;
    // Scrolls by whole rows; the columns argument is ignored (one column).
    // Past either end the top row stays where it can.
    void Scroll(std::int32_t columns, std::int32_t rows);
    // Re-reads the rows from the data source and shows them from the top.
    void ReBind();
    // The default property: the column's value in the record set's current row,
    // Empty without one.
    Variant Value() const;

    float RowHeight() const { return rowHeight_; }
    void SetRowHeight(float twips);
    std::uint32_t BackColor() const { return backColor_; }
    void SetBackColor(std::uint32_t color);
    // 0 none, 2 vertical.
    std::int32_t ScrollBars() const { return scrollBars_; }
    void SetScrollBars(std::int32_t setting);
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void Move(float left, float top, float width, float height);

    // The typed text the painting emphasises in every row.
    const Text& Emphasis() const { return emphasis_; }
    void SetEmphasis(TextView text);

    // Index of the top row among the presented rows, and how many there are.
    std::int32_t FirstRow() const;
    std::int32_t PresentedRows() const;
    // Rows that fit the height.
    std::int32_t Capacity() const;

    // A sink stays connected until it is disconnected; it must be
    // disconnected before it dies.
    void Connect(DataGridEvents* sink) { events_.Connect(sink); }
    void Disconnect(DataGridEvents* sink) { events_.Disconnect(sink); }
    // Raises the mouse event to every connected sink (platform/EventSource.h).
    void RaiseMouseUp(std::int16_t button, std::int16_t shift, float x, float y);

private:
    // Catches up with the record set's presented rows.
    void follow() const;
    bool sourceOpen() const;
    void notify();

    std::shared_ptr<Recordset> dataSource_;
    Column column_{*this};
    SelBookmarks selBookmarks_{*this};
    mutable std::vector<Bookmark> selected_;
    mutable std::int32_t firstRow_ = 0;
    mutable std::uint64_t seenRevision_ = 0;
    mutable const Recordset* seenSource_ = nullptr;
    float rowHeight_;
    std::uint32_t backColor_ = 0x80000005; // the system window background
    std::int32_t scrollBars_ = 0;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    Text emphasis_;
    // Outlives the grid while it fires: a sink may destroy the grid's owner
    // while it handles the grid's event.
    EventSource<DataGridEvents> events_;
    std::function<void()> changed_;
};

} // namespace fillahead
