#include "tools/GridModel.h"
#include "tools/ImageList.h"

#include <gtest/gtest.h>

#include <new>

namespace {

using tools::GridCellItem;
using tools::GridModel;

GridCellItem textItem(const char* text)
{
    GridCellItem item;
    item.mask = GridCellItem::Text;
    item.cell.text = text;
    return item;
}

TEST(GridModelTest, ContentFollowsInsertionsAndDeletions)
{
    GridModel model;
    model.setRows(3);
    model.setColumns(2);
    model.setCell(1, 1, textItem("b"));
    EXPECT_EQ(model.insertRowBefore(0), 0);
    EXPECT_EQ(model.insertColumnBefore(1, Qt::AlignCenter), 1);
    EXPECT_EQ(model.cell(2, 2).text, "b");
    EXPECT_EQ(model.cell(2, 1).text, "");
    EXPECT_TRUE(model.deleteColumn(1));
    EXPECT_TRUE(model.deleteRow(0));
    EXPECT_EQ(model.cell(1, 1).text, "b");
    model.setColumns(5);
    EXPECT_EQ(model.cell(1, 1).text, "b") << "widening keeps the content";
    model.setColumns(1);
    model.setColumns(2);
    EXPECT_EQ(model.cell(1, 1).text, "") << "a column that went takes its cells along";
    EXPECT_EQ(model.insertRowBefore(-4), 3) << "a negative position appends";
}

TEST(GridModelTest, StoredCellsStayWithinTheBudget)
{
    GridModel model(nullptr, 10);
    model.setRows(5);
    model.setColumns(4);
    model.setCell(0, 0, textItem("a"));
    model.setCell(1, 3, textItem("b"));
    EXPECT_THROW(model.setCell(2, 0, textItem("c")), std::bad_alloc) << "a third row of four would pass ten cells";
    model.setCell(1, 2, textItem("d"));  // a row already stored costs nothing more
    EXPECT_TRUE(model.deleteRow(0));
    model.setCell(2, 0, textItem("c"));
    EXPECT_EQ(model.cell(2, 0).text, "c");
    model.setColumns(6);
    // Rows that no longer fit lose their cells instead of growing past the budget.
    int kept = 0;
    for (int r = 0; r < model.rows(); ++r)
        kept += !model.cell(r, 0).text.empty() || !model.cell(r, 3).text.empty();
    EXPECT_EQ(kept, 1);
    model.setRows(0);
    model.setColumns(2);
    model.setRows(5);
    for (int r = 0; r < 5; ++r)
        model.setCell(r, 1, textItem("x"));  // everything was given back
}

TEST(GridModelTest, LimitsAndFixedCounts)
{
    GridModel model;
    EXPECT_FALSE(model.setRows(-1));
    EXPECT_FALSE(model.setRows(GridModel::kMaxRows + 1));
    EXPECT_FALSE(model.setColumns(GridModel::kMaxColumns + 1));
    EXPECT_TRUE(model.setFixedRows(3));
    EXPECT_EQ(model.rows(), 3);
    model.setRows(2);
    EXPECT_EQ(model.fixedRows(), 2);
    model.setColumns(1);
    EXPECT_EQ(model.flags(model.index(1, 0)), Qt::ItemIsEnabled) << "headings are not selectable";
    model.setRows(4);
    EXPECT_TRUE(model.flags(model.index(3, 0)) & Qt::ItemIsSelectable);
}

TEST(ImageListTest, ThreeImagesWithGreenTransparent)
{
    const QImage strip = tools::fileListImageStrip();
    EXPECT_EQ(strip.size(), QSize(30, 9));
    EXPECT_EQ(strip.depth(), 24);
    const auto images = tools::cutImageList(strip, 10, qRgb(0, 255, 0));
    ASSERT_EQ(images.size(), 3u);
    const QImage blank = images[0].toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage right = images[1].toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage down = images[2].toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 10; ++x)
            opaque += qAlpha(blank.pixel(x, y)) != 0;
    }
    EXPECT_EQ(opaque, 0) << "image 0 is blank";
    // The right triangle is tallest at its left edge, the down triangle widest at its top.
    EXPECT_NE(qAlpha(right.pixel(3, 1)), 0);
    EXPECT_EQ(qAlpha(right.pixel(6, 1)), 0);
    EXPECT_NE(qAlpha(right.pixel(6, 4)), 0);
    EXPECT_NE(qAlpha(down.pixel(1, 2)), 0);
    EXPECT_EQ(qAlpha(down.pixel(1, 5)), 0);
    EXPECT_NE(qAlpha(down.pixel(4, 5)), 0);
}

}  // namespace
