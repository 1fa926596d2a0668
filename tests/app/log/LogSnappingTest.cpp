#include "app/log/LogWidget.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <ostream>

// Readable failures; found by argument-dependent lookup.
void PrintTo(const QPoint& point, std::ostream* out)
{
    *out << "(" << point.x() << ", " << point.y() << ")";
}

namespace {

// Left of the screen's edge the platform would push the window back: keep every
// tested position on the screen.
const QPoint mainPosition{450, 300};
const QSize mainSize{300, 200};

// Where the log window sits when snapped to each side of the main window, with the
// direction that leads away from that side.
struct Side {
    const char* name;
    QPoint snapped;
    QPoint away;
};

void PrintTo(const Side& side, std::ostream* out)
{
    *out << side.name;
}

class LogSnapping : public ::testing::TestWithParam<Side> {
protected:
    LogSnapping()
    {
        log.show();
        log.position(mainPosition, mainSize);
        settle();
    }

    // Lets move events and the queued snapping passes run out.
    static void settle()
    {
        for (int round = 0; round < 5; ++round)
            QApplication::processEvents();
    }

    void dragTo(QPoint where)
    {
        log.move(where);
        settle();
    }

    LogWidget log;
};

const Side sides[] = {
    {"right", {mainPosition.x() + mainSize.width() + 16, 300}, {1, 0}},
    {"left", {mainPosition.x() - 376 - 16, 300}, {-1, 0}},
    {"above", {400, mainPosition.y() - 230 - 34}, {0, -1}},
    {"below", {400, mainPosition.y() + mainSize.height() + 38}, {0, 1}},
};

TEST_P(LogSnapping, SnapsWithinTwentyPixelsAndThenFollows)
{
    const Side side = GetParam();
    for (int distance : {15, 20, 1}) {
        SCOPED_TRACE(distance);
        log.setPrilip(false);
        dragTo(side.snapped + side.away * distance);
        EXPECT_EQ(log.pos(), side.snapped);
        EXPECT_TRUE(log.following());
    }

    log.position(mainPosition + QPoint(-50, 70), mainSize);
    settle();
    EXPECT_EQ(log.pos(), side.snapped + QPoint(-50, 70));
    EXPECT_TRUE(log.following());
}

TEST_P(LogSnapping, DraggedBeyondTwentyPixelsStopsFollowing)
{
    const Side side = GetParam();
    dragTo(side.snapped + side.away * 10);
    ASSERT_TRUE(log.following());

    const QPoint away = side.snapped + side.away * 21;
    dragTo(away);
    EXPECT_EQ(log.pos(), away);
    EXPECT_FALSE(log.following());

    log.position(mainPosition + QPoint(30, 30), mainSize);
    settle();
    EXPECT_EQ(log.pos(), away);
}

INSTANTIATE_TEST_SUITE_P(Sides, LogSnapping, ::testing::ValuesIn(sides),
                         [](const ::testing::TestParamInfo<Side>& info) { return std::string(info.param.name); });

} // namespace
