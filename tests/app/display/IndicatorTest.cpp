#include "DisplayTestSupport.h"

#include "app/display/QOIndicator.h"

#include <QHeaderView>
#include <QImage>
#include <QTableView>

#include <gtest/gtest.h>

using DisplayTest::glyphOf;
using DisplayTest::rowsOf;
using DisplayTest::waitForLoad;

namespace {
const SymbolMatrix deviceGlyph = glyphOf({"X...X", ".X.X.", "..X..", ".X.X.", "X...X", ".....", ".....", "XXXXX"});

std::vector<int> glyphCodes(const QOIndicator& indicator)
{
    std::vector<int> codes;
    for (int code = 0; code < 256; ++code)
        if (indicator.model().glyphs().contains(static_cast<char>(code)))
            codes.push_back(code);
    return codes;
}

std::vector<int> range(int first, int last)
{
    std::vector<int> codes;
    for (int code = first; code <= last; ++code)
        codes.push_back(code);
    return codes;
}

bool resizeTo(QOIndicator& indicator, const QSize& size)
{
    indicator.resize(size);
    return QTest::qWaitFor([&] { return indicator.size() == size; }, 2000);
}

QImage screen(const QOIndicator& indicator)
{
    return indicator.view()->viewport()->grab().toImage();
}

QRect place(const QOIndicator& indicator, int row, int column)
{
    return indicator.view()->visualRect(indicator.model().index(row, column));
}

bool hasColour(const QImage& image, const QRect& area, const std::function<bool(QColor)>& wanted)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (wanted(image.pixelColor(x, y)))
                return true;
    return false;
}
} // namespace

TEST(QOIndicator, LaysOutA4x20DisplayIn400x200)
{
    QOIndicator indicator;
    ASSERT_TRUE(resizeTo(indicator, {400, 200}));
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    ASSERT_TRUE(waitForLoad(indicator));

    QTableView* view = indicator.view();
    EXPECT_EQ(indicator.model().dotSize(), 1);
    EXPECT_EQ(view->horizontalHeader()->defaultSectionSize(), 18);
    EXPECT_EQ(view->verticalHeader()->defaultSectionSize(), 27);
    EXPECT_EQ(view->font().pixelSize(), 18);
    EXPECT_EQ(indicator.minimumSize(), QSize(366, 114));
    EXPECT_EQ(view->size(), QSize(20 * 18 + 4, 4 * 27 + 4));
    EXPECT_EQ(view->pos(), QPoint((400 - 364) / 2, (200 - 112) / 2));
    EXPECT_EQ(place(indicator, 3, 19).topLeft(), QPoint(19 * 18, 3 * 27)) << "every place has the cell size";
    EXPECT_TRUE(view->showGrid());
    indicator.showGridTable();
    EXPECT_FALSE(view->showGrid());
}

TEST(QOIndicator, CentresTheViewWithItsOwnThresholds)
{
    QOIndicator indicator;
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    ASSERT_TRUE(waitForLoad(indicator));
    // The minimum size leaves one pixel each way: too little across, enough down.
    ASSERT_TRUE(resizeTo(indicator, {366, 114}));
    EXPECT_EQ(indicator.view()->size(), QSize(364, 112));
    EXPECT_EQ(indicator.view()->pos(), QPoint(6, 1));
}

TEST(QOIndicator, StoresOnlyGlyphsOfTheCurrentSize)
{
    QOIndicator indicator;
    indicator.setSymbolMatrix('A', deviceGlyph);
    EXPECT_FALSE(indicator.model().glyphs().contains('A')) << "no glyph size yet";
    indicator.setSymbolMatrixSize(5, 8);
    indicator.setSymbolMatrix('A', glyphOf(std::vector<std::string>(7, "X.X.X")));
    EXPECT_FALSE(indicator.model().glyphs().contains('A')) << "5 x 7 at 5 x 8";
    // Queued by name, as the link's signals arrive.
    QMetaObject::invokeMethod(&indicator, "setSymbolMatrix", Qt::QueuedConnection, Q_ARG(char, 'A'),
                              Q_ARG(SymbolMatrix, deviceGlyph));
    ASSERT_TRUE(QTest::qWaitFor([&] { return indicator.model().glyphs().contains('A'); }, 2000));
    EXPECT_EQ(*indicator.model().glyphs().matrix('A'), deviceGlyph);
    indicator.deleteSymbolMatrix('A');
    EXPECT_FALSE(indicator.model().glyphs().contains('A'));
}

TEST(QOIndicator, InstallsTheDeviceSignsAfterEveryLoad)
{
    QOIndicator indicator;
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    indicator.setSymbolMatrix(static_cast<char>(130), deviceGlyph);
    indicator.setSymbolMatrix('A', deviceGlyph);
    ASSERT_TRUE(waitForLoad(indicator));

    std::vector<int> expected = range(128, 191);
    expected.insert(expected.begin(), 'A');
    EXPECT_EQ(glyphCodes(indicator), expected);
    EXPECT_EQ(*indicator.model().glyphs().matrix('A'), deviceGlyph) << "outside the signs the device's glyph stays";
    EXPECT_EQ(rowsOf(*indicator.model().glyphs().matrix(static_cast<char>(130))),
              rowsOf(*StandardGlyphs::glyphFor(indicator.lines(), 130)))
        << "the file's sign replaces the device's";
    EXPECT_FALSE(indicator.standardSymbolsOn());
}

TEST(QOIndicator, SwitchesTheStandardSetOnAndOff)
{
    QOIndicator indicator;
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    ASSERT_TRUE(waitForLoad(indicator));
    indicator.setSymbolMatrix('A', deviceGlyph);

    indicator.setStandartSymbolMatrix();
    EXPECT_TRUE(indicator.standardSymbolsOn());
    EXPECT_EQ(glyphCodes(indicator), range(31, 255));
    EXPECT_EQ(rowsOf(*indicator.model().glyphs().matrix('A')), rowsOf(*StandardGlyphs::glyphFor(indicator.lines(), 'A')));

    indicator.setSymbolMatrix(static_cast<char>(0xC0), deviceGlyph);
    indicator.setStandartSymbolMatrix();
    EXPECT_FALSE(indicator.standardSymbolsOn());
    EXPECT_EQ(glyphCodes(indicator), range(128, 191)) << "the device's glyphs go too, the signs stay";
}

TEST(QOIndicator, SwitchingOnBeforeTheFileArrivesInstallsNothing)
{
    QOIndicator indicator;
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    indicator.setStandartSymbolMatrix();
    EXPECT_TRUE(indicator.standardSymbolsOn());
    EXPECT_TRUE(glyphCodes(indicator).empty());
    ASSERT_TRUE(waitForLoad(indicator));
    EXPECT_EQ(glyphCodes(indicator), range(128, 191)) << "a load installs the signs only";
}

TEST(QOIndicator, IgnoresTheStandardSetAtAnotherGlyphSize)
{
    QOIndicator indicator;
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(6, 8);
    ASSERT_TRUE(waitForLoad(indicator));
    EXPECT_TRUE(glyphCodes(indicator).empty());
    indicator.setStandartSymbolMatrix();
    EXPECT_FALSE(indicator.standardSymbolsOn());
    EXPECT_TRUE(glyphCodes(indicator).empty());
}

TEST(QOIndicator, TogglingEmptyDotsTwiceRestoresTheLook)
{
    QOIndicator indicator;
    ASSERT_TRUE(resizeTo(indicator, {772, 1000}));
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    ASSERT_TRUE(waitForLoad(indicator));
    ASSERT_EQ(indicator.model().dotSize(), 5);
    indicator.setCells(0, 0, QByteArray("\x80" "A"), 2);
    const QRect block = place(indicator, 0, 0);
    // The full block leaves its bottom row unlit: column 0, row 7 at a step of 7 pixels.
    const QPoint unlitDot = block.topLeft() + QPoint(3 + 2, 2 + 7 * 7 + 2);

    const QImage before = screen(indicator);
    EXPECT_EQ(before.pixelColor(unlitDot), DisplayColours::ground());
    const auto dark = [](QColor colour) { return qGray(colour.rgb()) < 100; };
    EXPECT_TRUE(hasColour(before, place(indicator, 0, 1), dark)) << "a code without a glyph is drawn as text";

    indicator.setBackgroundElement();
    EXPECT_TRUE(indicator.model().glyphs().isStale(static_cast<char>(128)));
    const QImage empties = screen(indicator);
    EXPECT_FALSE(indicator.model().glyphs().isStale(static_cast<char>(128))) << "rendered again when painted";
    EXPECT_EQ(empties.pixelColor(unlitDot), DisplayColours::unlitDot());
    EXPECT_TRUE(hasColour(empties, place(indicator, 0, 1), [](QColor c) { return c == DisplayColours::unlitDot(); }))
        << "the blank sign is drawn under the text";

    indicator.setBackgroundElement();
    EXPECT_TRUE(indicator.model().glyphs().isStale(static_cast<char>(128)));
    EXPECT_EQ(screen(indicator), before);
}

TEST(QOIndicator, CanBeDestroyedWhileItsMapFileLoads)
{
    for (int round = 0; round < 20; ++round) {
        QOIndicator indicator;
        indicator.setDisplaySize(4, 20);
        indicator.setSymbolMatrixSize(5, 8);
    }
    // The loads' results, if any were queued, must find no dead display.
    QTest::qWait(20);
}
