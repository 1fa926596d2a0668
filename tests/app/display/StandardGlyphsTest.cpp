#include "DisplayTestSupport.h"

#include "app/display/GlyphCache.h"
#include "app/display/QOLoadMatrix.h"

#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

using DisplayTest::rowsOf;
using Rows = std::vector<std::string>;

namespace {
QString zeros(int count)
{
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << QStringLiteral("0");
    return fields.join(QLatin1Char(','));
}

const Rows blankGlyph(8, ".....");
} // namespace

TEST(StandardGlyphs, ParsesLinesColumnAfterColumn)
{
    struct Case {
        const char* name;
        QString line;
        Rows rows;
    };
    const Rows firstColumn(8, "X....");
    const Rows topLeft = {"X....", ".....", ".....", ".....", ".....", ".....", ".....", "....."};
    const std::vector<Case> cases = {
        {"column 0 lit", QStringLiteral("1,1,1,1,1,1,1,1,") + zeros(32) + QStringLiteral(","), firstColumn},
        {"only the integer 1 is lit", QStringLiteral("2,x,,-1,1.0,11, 0,") + zeros(33), blankGlyph},
        {"01 is 1", QStringLiteral("01,") + zeros(39), topLeft},
        {"fields past 39 are not read", zeros(40) + QStringLiteral(",1,1\r"), blankGlyph},
        {"missing fields are unlit", QStringLiteral("1"), topLeft},
        {"empty line", QString(), blankGlyph},
    };
    for (const Case& test : cases)
        EXPECT_EQ(rowsOf(StandardGlyphs::parseLine(test.line)), test.rows) << test.name;

    EXPECT_FALSE(StandardGlyphs::glyphFor(QStringList() << QStringLiteral("1"), 1).has_value());
    EXPECT_FALSE(StandardGlyphs::glyphFor(QStringList(), -1).has_value());
}

TEST(StandardGlyphs, MapFileHasTheShippedLayout)
{
    const QByteArray bytes = DisplayTest::mapFileBytes();
    ASSERT_FALSE(bytes.isEmpty()) << "the resource is missing";
    QList<QByteArray> lines = bytes.split('\n');
    ASSERT_TRUE(lines.last().isEmpty()) << "every line ends with a line break";
    lines.removeLast();
    ASSERT_EQ(lines.size(), 286);
    for (int code = 0; code < lines.size(); ++code) {
        ASSERT_TRUE(lines[code].endsWith(",\r")) << "line " << code << " ends in a comma and CR LF";
        ASSERT_GE(lines[code].count(','), 40) << "line " << code;
    }

    const QString filler = QString::fromLatin1(lines[31]);
    EXPECT_EQ(rowsOf(StandardGlyphs::parseLine(filler)),
              (Rows{".....", ".....", ".....", ".X...", "..X..", ".....", ".X...", "..X.."}));
    for (int code = 0; code < 31; ++code)
        EXPECT_EQ(lines[code], lines[31]) << "line " << code << " repeats the filler";

    EXPECT_EQ(lines[65], QByteArray("0,1,1,1,1,1,1,0,1,0,0,0,1,0,0,0,1,0,0,0,1,0,0,0,1,0,0,0,1,0,0,0,0,1,1,1,1,1,1,0,\r"));
    Rows fullBlock(7, "XXXXX");
    fullBlock.push_back(".....");
    EXPECT_EQ(rowsOf(StandardGlyphs::parseLine(QString::fromLatin1(lines[128]))), fullBlock);
    EXPECT_EQ(rowsOf(StandardGlyphs::parseLine(QString::fromLatin1(lines[167]))), blankGlyph);
}

TEST(StandardGlyphs, MapFileDrawsEveryCharacterAndOnlyTheDevicesSigns)
{
    const QStringList lines = QString::fromLatin1(DisplayTest::mapFileBytes()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 256);
    const auto blank = [&](int code) { return rowsOf(*StandardGlyphs::glyphFor(lines, code)) == blankGlyph; };

    EXPECT_TRUE(blank(32));
    for (int code = 33; code <= 126; ++code)
        EXPECT_FALSE(blank(code)) << "ASCII " << code;
    const std::vector<int> drawnSigns = {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139,
                                         168, 171, 176, 177, 184, 187};
    for (int code = 128; code <= 191; ++code) {
        const bool drawn = std::find(drawnSigns.begin(), drawnSigns.end(), code) != drawnSigns.end();
        EXPECT_EQ(blank(code), !drawn) << "sign " << code;
    }
    // Look-alikes of Latin letters may share a drawing, but no two Cyrillic letters do.
    for (int code = 192; code <= 255; ++code) {
        EXPECT_FALSE(blank(code)) << "letter " << code;
        for (int other = 192; other < code; ++other)
            EXPECT_NE(rowsOf(*StandardGlyphs::glyphFor(lines, code)), rowsOf(*StandardGlyphs::glyphFor(lines, other)))
                << "codes " << other << " and " << code;
    }
}

TEST(QOLoadMatrix, HandsOverTheLinesOrNothing)
{
    StandardGlyphs::initResources();
    struct Case {
        QString fileName;
        bool signal;
    };
    const std::vector<Case> cases = {
        {QString::fromLatin1(StandardGlyphs::mapFileName), true},
        {QStringLiteral(":/Resources/no-such-file.txt"), false},
        {QString(), false},
    };
    for (const Case& test : cases) {
        QOLoadMatrix loader;
        loader.setFileName(test.fileName);
        QSignalSpy spy(&loader, &QOLoadMatrix::finishLoad);
        loader.start();
        ASSERT_TRUE(loader.wait(5000));
        ASSERT_EQ(spy.count(), test.signal ? 1 : 0) << test.fileName.toStdString();
        if (test.signal) {
            const QStringList lines = spy.first().first().toStringList();
            EXPECT_EQ(lines.size(), 287) << "286 lines and the empty part after the last break";
            EXPECT_TRUE(lines[65].endsWith(QLatin1Char('\r'))) << "no line-end conversion";
        }
    }
}

TEST(GlyphCache, RendersDotsWhereTheyBelongOncePerStaleMark)
{
    const SymbolMatrix glyph = DisplayTest::glyphOf({".....", ".....", ".X...", ".....", ".....", ".....", ".....", "....."});
    const int dot = 3;
    const GlyphStyle plain{QSize(28, 43), dot, false};
    // Centre of the dot in column c, row r.
    const auto centre = [&](int column, int row) { return QPoint(3 + column * (dot + 2) + 1, 2 + row * (dot + 2) + 1); };

    const QImage image = renderGlyph(glyph, plain).toImage();
    EXPECT_EQ(image.size(), QSize(28, 43));
    EXPECT_EQ(image.pixelColor(centre(1, 2)), DisplayColours::litDot());
    EXPECT_EQ(image.pixelColor(centre(0, 0)), DisplayColours::ground());
    const QImage empty = renderGlyph(glyph, GlyphStyle{QSize(28, 43), dot, true}).toImage();
    EXPECT_EQ(empty.pixelColor(centre(0, 0)), DisplayColours::unlitDot());
    EXPECT_EQ(empty.pixelColor(centre(1, 2)), DisplayColours::litDot());

    GlyphCache cache;
    cache.store('A', glyph);
    EXPECT_TRUE(cache.isStale('A'));
    const QPixmap* first = cache.image('A', plain);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(cache.isStale('A'));
    const qint64 key = first->cacheKey();
    EXPECT_EQ(cache.image('A', plain)->cacheKey(), key) << "not rendered again while fresh";
    cache.markAllStale();
    EXPECT_NE(cache.image('A', plain)->cacheKey(), key);
    EXPECT_EQ(cache.image('B', plain), nullptr);
    EXPECT_TRUE(cache.remove('A'));
    EXPECT_FALSE(cache.contains('A'));
}
