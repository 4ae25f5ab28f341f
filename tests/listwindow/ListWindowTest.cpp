// The list window's layout, grip icon, and the grid following its record set.
#include "listwindow/frmList.h"
#include "platform/AutomationError.h"
#include "platform/recordset/MemoryRecordset.h"
#include "platform/simulated/SimulatedDesktop.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace fillahead {
namespace {

struct ListWindowTest : ::testing::Test {
    SimulatedDesktop desktop;
    frmList list{desktop};

    // Places the window as the engine does, then gives it a height.
    void size(std::int32_t widthPixels, float heightTwips) {
        desktop.SetWindowPos(list.hWnd(), kTopmost, 10, 20, widthPixels, 0,
                             kShowWindow | kNoActivate);
        list.SetHeight(heightTwips);
    }

    std::shared_ptr<Recordset> values(int count) {
        auto rs = std::make_shared<MemoryRecordset>();
        rs->AppendField({u"SavedStringField", 8, 255, -1});
        rs->Open();
        for (int i = 1; i <= count; ++i) {
            rs->AddNew(u"SavedStringField", u"value " + toText(i));
        }
        rs->MoveFirst();
        return rs;
    }
};

TEST_F(ListWindowTest, LaysOutBorderGridAndGripOnEveryResize) {
    list.DataGrid().SetRowHeight(300);
    size(200, 1200); // 3000 twips wide
    const auto& grid = list.DataGrid();
    EXPECT_EQ(list.Shape().Width, 3000);
    EXPECT_EQ(list.Shape().Height, 1200);
    EXPECT_EQ(grid.Left(), 15);
    EXPECT_EQ(grid.Top(), 15);
    EXPECT_EQ(grid.Width(), 2970);
    EXPECT_EQ(grid.Height(), 900);
    EXPECT_EQ(list.ScrollGrip().Left, 2505);
    EXPECT_EQ(list.ScrollGrip().Top, 705);

    list.SetHeight(300); // not more than one row: the grid gets it all
    EXPECT_EQ(grid.Height(), 300);
    EXPECT_EQ(list.ScrollGrip().Top, 0);

    size(1, 600); // narrower than the border and the grip
    EXPECT_EQ(grid.Width(), 0);
    EXPECT_EQ(list.ScrollGrip().Left, 0);

    list.SetHeight(0);
    EXPECT_EQ(grid.Height(), 0);
    EXPECT_TRUE(desktop.Find(list.hWnd())->visible); // hidden only by its height
    EXPECT_FALSE(desktop.Find(list.hWnd())->activated);
}

// Shown as the engine shows it: placed under a field (fieldHeight pixels
// high, 0 untold) at height 0, then given a height of so many pixels.
struct ListPlacementTest : ListWindowTest {
    WindowRect show(std::int32_t left, std::int32_t fieldBottom, std::int32_t width,
                    std::int32_t pixels, std::int32_t fieldHeight = 24) {
        list.SetFieldHeight(fieldHeight);
        desktop.SetWindowPos(list.hWnd(), kTopmost, left, fieldBottom, width, 0,
                             kShowWindow | kNoActivate);
        return resize(pixels);
    }
    WindowRect resize(std::int32_t pixels) {
        list.SetHeight(static_cast<float>(pixels * 15));
        return desktop.Find(list.hWnd())->rect;
    }
};

TEST_F(ListPlacementTest, GoesAboveItsFieldOnlyWhenItDoesNotFitBelow) {
    // The work area is 0,0 - 1920,1040.
    EXPECT_EQ(show(100, 524, 300, 150), (WindowRect{100, 524, 400, 674}));  // as always
    EXPECT_EQ(show(100, 890, 300, 150), (WindowRect{100, 890, 400, 1040})); // just fits
    EXPECT_EQ(show(100, 1000, 300, 150), (WindowRect{100, 826, 400, 976})); // on the field's top
    // Too tall for either side: the side with more room.
    EXPECT_EQ(show(100, 500, 300, 1000), (WindowRect{100, 500, 400, 1500}));
    EXPECT_EQ(show(100, 700, 300, 1000), (WindowRect{100, -324, 400, 676}));
    // Sideways inside the work area; its start shows when it is the wider.
    EXPECT_EQ(show(1700, 524, 300, 150), (WindowRect{1620, 524, 1920, 674}));
    EXPECT_EQ(show(-50, 524, 300, 150), (WindowRect{0, 524, 300, 674}));
    EXPECT_EQ(show(-50, 1000, 2000, 150), (WindowRect{0, 826, 2000, 976}));
    EXPECT_FALSE(desktop.Find(list.hWnd())->activated);
}

TEST_F(ListPlacementTest, StaysOnTheFieldsTopWhileTypingAndReturnsWhenHidden) {
    EXPECT_EQ(show(100, 1000, 300, 150), (WindowRect{100, 826, 400, 976}));
    EXPECT_EQ(resize(48), (WindowRect{100, 928, 400, 976})); // fewer rows
    EXPECT_EQ(list.DataGrid().Height(), 48 * 15 - list.DataGrid().RowHeight());
    EXPECT_EQ(resize(0), (WindowRect{100, 1000, 400, 1000}));  // hidden where it was placed
    EXPECT_EQ(resize(32), (WindowRect{100, 1000, 400, 1032})); // fits below again
    EXPECT_EQ(resize(150), (WindowRect{100, 826, 400, 976}));
    EXPECT_TRUE(desktop.Find(list.hWnd())->visible);
}

TEST_F(ListPlacementTest, WithoutTheFieldsHeightTheFocusedFieldTellsItsTop) {
    EXPECT_EQ(show(100, 1000, 300, 150, 0), (WindowRect{100, 1000, 400, 1150})); // as always
    desktop.focus = desktop.AddWindow("host", {120, 970, 380, 1000});
    EXPECT_EQ(show(100, 1000, 300, 150, 0), (WindowRect{100, 820, 400, 970}));
    // A focused window the list does not hang under says nothing.
    desktop.focus = desktop.AddWindow("host", {120, 900, 380, 990});
    EXPECT_EQ(show(100, 1000, 300, 150, 0), (WindowRect{100, 1000, 400, 1150}));
    EXPECT_EQ(show(100, 1000, 300, 150, 40), (WindowRect{100, 810, 400, 960}));
}

TEST_F(ListPlacementTest, KeepsToTheWorkAreaOfTheFieldsMonitor) {
    desktop.workAreas = {{0, 0, 1920, 1040}, {1920, 0, 3200, 1024}};
    EXPECT_EQ(show(3000, 524, 300, 150), (WindowRect{2900, 524, 3200, 674}));
    EXPECT_EQ(show(3000, 1000, 300, 150), (WindowRect{2900, 826, 3200, 976}));
    EXPECT_EQ(show(1700, 1000, 300, 40), (WindowRect{1620, 1000, 1920, 1040})); // mostly the first
}

TEST_F(ListWindowTest, TheGripIsAHatchedTriangleInTheCorner) {
    const auto& icon = frmList::GripIcon();
    EXPECT_EQ(std::accumulate(icon.begin(), icon.end(), 0), 84);
    const auto at = [&](int x, int y) { return icon[static_cast<std::size_t>(y * 32 + x)]; };
    EXPECT_EQ(at(31, 31), 1);
    EXPECT_EQ(at(31, 18), 1); // x + y = 49: the first diagonal
    EXPECT_EQ(at(17, 31), 0); // x + y = 48: outside
    EXPECT_EQ(at(31, 21), 0); // x + y = 52: the gap between stripes
    EXPECT_EQ(at(0, 0), 0);
}

TEST_F(ListWindowTest, GridShowsWhatFitsAndScrollsWithinTheRows) {
    auto& grid = list.DataGrid();
    grid.SetRowHeight(240);
    size(200, 240 * 4); // three rows fit
    grid.SetDataSource(values(5));
    EXPECT_EQ(grid.VisibleRows(), 3);
    EXPECT_EQ(grid.Columns(0).CellValue(grid.RowBookmark(0)).toText(), u"value 1");
    EXPECT_EQ(grid.RowContaining(2 * 240 + 10), 2);
    EXPECT_EQ(grid.RowContaining(3 * 240 + 10), -1);
    grid.Scroll(0, 5);
    EXPECT_EQ(grid.FirstRow(), 2); // no further than the last row allows
    EXPECT_EQ(grid.Columns(0).CellValue(grid.RowBookmark(2)).toText(), u"value 5");
    grid.Scroll(0, 1);
    EXPECT_EQ(grid.FirstRow(), 2);
    grid.Scroll(0, -100);
    EXPECT_EQ(grid.FirstRow(), 0);
    EXPECT_THROW(grid.RowBookmark(3), AutomationError);
    EXPECT_THROW(grid.Columns(1), AutomationError);
}

TEST_F(ListWindowTest, GridFollowsItsRecordSet) {
    auto& grid = list.DataGrid();
    grid.SetRowHeight(240);
    size(200, 240 * 4);
    auto rs = values(5);
    grid.SetDataSource(rs);
    grid.Scroll(0, 2);
    grid.SelectedBookmarks().Add(grid.RowBookmark(0)); // value 3
    grid.SelectedBookmarks().Add(rs->BookmarkAt(0));   // value 1
    rs->SetFilter(u"SavedStringField Like '*3*'");
    EXPECT_EQ(grid.FirstRow(), 0);                  // shown again from the first row
    ASSERT_EQ(grid.SelectedBookmarks().Count(), 1); // value 1 is no longer presented
    EXPECT_EQ(grid.Columns(0).CellValue(grid.SelectedBookmarks().Item(0)).toText(), u"value 3");
    EXPECT_EQ(grid.VisibleRows(), 1);
    EXPECT_EQ(grid.Value().toText(), u"value 3");

    rs->Close();
    EXPECT_EQ(grid.VisibleRows(), 0);
    EXPECT_EQ(grid.SelectedBookmarks().Count(), 0);
    EXPECT_TRUE(grid.Value().isEmpty());
}

TEST_F(ListWindowTest, ClicksOnTheGridReachItsMouseEventInGridTwips) {
    struct Sink : DataGridEvents {
        std::string seen;
        void DataGrid_MouseUp(std::int16_t button, std::int16_t, float x, float y) override {
            seen += std::to_string(button) + "@" + std::to_string(static_cast<int>(x)) + "," +
                    std::to_string(static_cast<int>(y)) + " ";
        }
    } sink;
    list.DataGrid().Connect(&sink);
    list.DataGrid().SetRowHeight(240);
    size(200, 240 * 3);
    desktop.ClickList(list.hWnd(), 11, 21); // pixels 11,21 = twips 165,315 less the border
    desktop.ClickList(list.hWnd(), 0, 5);   // on the border: not the grid
    desktop.ClickList(list.hWnd(), 11, 45); // in the grip strip below the grid
    list.DataGrid().Disconnect(&sink);
    EXPECT_EQ(sink.seen, "1@150,300 ");
}

TEST_F(ListWindowTest, PaintingDescribesVisibleRowsSelectionAndScrollBar) {
    auto& grid = list.DataGrid();
    grid.SetRowHeight(240);
    size(200, 240 * 3);
    auto rs = values(4);
    grid.SetDataSource(rs);
    grid.SetScrollBars(2);
    grid.Columns(0).SetWidth(2000);
    grid.SetEmphasis(u"lue");
    grid.SelectedBookmarks().Add(grid.RowBookmark(1));
    const ListPaint paint = desktop.PaintList(list.hWnd());
    ASSERT_EQ(paint.rows.size(), 2u);
    EXPECT_EQ(paint.rows[0].text, u"value 1");
    EXPECT_FALSE(paint.rows[0].selected);
    EXPECT_TRUE(paint.rows[1].selected);
    EXPECT_TRUE(paint.verticalScrollBar);
    EXPECT_EQ(paint.rowHeight, 16);
    EXPECT_EQ(paint.columnWidth, 133);
    EXPECT_EQ(paint.rowCount, 4);
    EXPECT_EQ(paint.pageRows, 2);
    EXPECT_EQ(paint.emphasis, u"lue");
    EXPECT_EQ(paint.grid, (WindowRect{1, 1, 199, 33}));
}

} // namespace
} // namespace fillahead
