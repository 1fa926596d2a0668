#include "DisplayTestSupport.h"

#include "app/display/QOSymbolModel.h"

#include <climits>

#include <gtest/gtest.h>

using row = QByteArray;

namespace {
// Lets a test ask for a place the model does not have, as a stale index would.
class ExposedModel : public QOSymbolModel {
public:
    using QOSymbolModel::createIndex;
};

QByteArray rowOf(const QOSymbolModel& model, int r)
{
    QByteArray bytes;
    for (int c = 0; c < model.displayColumns(); ++c)
        bytes += model.cell(r, c);
    return bytes;
}
} // namespace

TEST(QOSymbolModel, ChoosesTheLargestOddDotThatFits)
{
    struct Case {
        QSize area;
        int dotSize;
        QSize cell;
    };
    const std::vector<Case> cases = {
        // v = 3, u = 1.
        {{400, 200}, 1, {18, 27}},
        // u = 4 is even and becomes 3; v = 28 becomes 27.
        {{672, 1000}, 3, {28, 43}},
        {{772, 1000}, 5, {38, 59}},
        // u = 0 becomes -1, and a negative size becomes 1.
        {{272, 1000}, 1, {18, 27}},
        {{10, 10}, 1, {18, 27}},
    };
    for (const Case& test : cases) {
        QOSymbolModel model;
        model.setDisplaySize(4, 20);
        model.setMatrixSize(5, 8);
        model.computeDotSize(test.area);
        EXPECT_EQ(model.dotSize(), test.dotSize) << test.area.width() << "x" << test.area.height();
        EXPECT_EQ(model.cellSize(), test.cell) << test.area.width() << "x" << test.area.height();
    }
}

TEST(QOSymbolModel, KeepsTheDotWithoutSizesToDivideBy)
{
    QOSymbolModel model;
    EXPECT_EQ(model.cellSize(), QSize(10, 10));
    model.setMatrixSize(5, 8);
    model.computeDotSize({400, 200});
    EXPECT_EQ(model.dotSize(), 0) << "no display size yet";
    model.setDisplaySize(4, 20);
    model.setMatrixSize(0, 8);
    model.computeDotSize({400, 200});
    EXPECT_EQ(model.dotSize(), 0);
    EXPECT_EQ(model.cellSize(), QSize(10, 10));
}

TEST(QOSymbolModel, ReportsPlacesAsSignExtendedCodes)
{
    QOSymbolModel model;
    ASSERT_TRUE(model.setDisplaySize(4, 20));
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.columnCount(), 20);
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 0) << "a table has no children";
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(rowOf(model, r), QByteArray(20, ' '));

    model.setCell(1, 2, static_cast<char>(0xC0));
    EXPECT_EQ(model.data(model.index(1, 2)).toInt(), -64);
    EXPECT_EQ(model.data(model.index(1, 2), Qt::EditRole).toInt(), -64);
    EXPECT_EQ(model.data(model.index(0, 0)).toInt(), 0x20);
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    EXPECT_FALSE(model.data(QModelIndex()).isValid());
}

TEST(QOSymbolModel, WritesRowsOnlyWhereTheyFit)
{
    struct Case {
        const char* name;
        int row;
        int start;
        QByteArray symbols;
        int count;
        QByteArray row3;
    };
    const QByteArray spaces(20, ' ');
    const std::vector<Case> cases = {
        {"last five places", 3, 15, row("ABCDE"), 5, row("               ABCDE")},
        {"a whole row", 3, 0, row("abcdefghijklmnopqrst"), 20, row("abcdefghijklmnopqrst")},
        {"part of the bytes", 3, 0, row("XYZ"), 2, row("XY                  ")},
        {"one place too far", 3, 16, row("ABCDE"), 5, spaces},
        {"no such row", 4, 0, row("A"), 1, spaces},
        {"negative row", -1, 0, row("A"), 1, spaces},
        {"negative start", 3, -1, row("AB"), 2, spaces},
        {"nothing to write", 3, 0, row("A"), 0, spaces},
        {"more than the bytes given", 3, 0, row("AB"), 5, spaces},
        {"start past any row", 3, INT_MAX, row("A"), 1, spaces},
        {"count past any row", 3, 1, row("A"), INT_MAX, spaces},
    };
    for (const Case& test : cases) {
        QOSymbolModel model;
        model.setDisplaySize(4, 20);
        const bool expectChange = test.row3 != spaces;
        EXPECT_EQ(model.setCells(test.row, test.start, test.symbols, test.count), expectChange) << test.name;
        EXPECT_EQ(rowOf(model, 3), test.row3) << test.name;
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(rowOf(model, r), spaces) << test.name;
    }
    QOSymbolModel model;
    model.setDisplaySize(4, 20);
    EXPECT_FALSE(model.setCell(4, 0, 'A'));
    EXPECT_FALSE(model.setCell(0, 20, 'A'));
    EXPECT_TRUE(model.setCell(0, 19, 'A'));
    EXPECT_FALSE(model.setCell(0, 19, 'A')) << "no change";
}

TEST(QOSymbolModel, SizesItsRowsByTheConsolesReport)
{
    struct Case {
        int rows;
        int columns;
    };
    for (const Case& size : std::vector<Case>{{2, 40}, {8, 16}, {1, 1}, {255, 255}}) {
        ExposedModel model;
        model.setDisplaySize(4, 20);
        ASSERT_TRUE(model.setDisplaySize(size.rows, size.columns));
        EXPECT_EQ(model.rowCount(), size.rows);
        EXPECT_EQ(model.columnCount(), size.columns);
        const QByteArray full(size.columns, 'x');
        EXPECT_TRUE(model.setCells(size.rows - 1, 0, full, size.columns));
        EXPECT_EQ(rowOf(model, size.rows - 1), full);
        EXPECT_FALSE(model.setCells(size.rows, 0, full, size.columns)) << "no row past the reported ones";
        EXPECT_FALSE(model.setCells(0, 0, full + 'y', size.columns + 1)) << "no place past the row";
        EXPECT_FALSE(model.data(model.createIndex(size.rows, 0)).isValid());
        EXPECT_FALSE(model.data(model.createIndex(0, size.columns)).isValid());
        EXPECT_EQ(model.cell(size.rows, 0), ' ');
    }

    QOSymbolModel model;
    model.setDisplaySize(4, 20);
    model.setCells(0, 0, row("kept"), 4);
    for (const auto& [rows, columns] : std::vector<std::pair<int, int>>{{-1, 20}, {4, -1}, {256, 20}, {4, 256}})
        EXPECT_FALSE(model.setDisplaySize(rows, columns)) << rows << "x" << columns;
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(rowOf(model, 0).left(4), row("kept"));
    ASSERT_TRUE(model.setDisplaySize(0, 0));
    EXPECT_FALSE(model.setCells(0, 0, row("A"), 1));
}
