#include "DisplayTestSupport.h"

#include "app/display/QOIndicator.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QScreen>
#include <QTableView>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

using DisplayTest::waitForLoad;

namespace {
// Stands in for the connection's thread: the signals the display is wired to.
class FakeLink : public QObject {
    Q_OBJECT

signals:
    void setSymbolMatrix(char symbol, const SymbolMatrix& matrix);
    void setCells(int row, int start, QByteArray symbols, int count);
    void resetView();
};

// What the display's rows were each time the view was told of a change, and each time the
// view painted.
class ScreenWatcher : public QObject {
public:
    explicit ScreenWatcher(QOIndicator& indicator) : m_indicator(indicator)
    {
        const QOSymbolModel* model = &indicator.model();
        connect(model, &QAbstractItemModel::dataChanged, this, [this] { noteNotified(); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { noteNotified(); });
        m_clock.start();
        indicator.view()->viewport()->installEventFilter(this);
    }

    QByteArray rows() const
    {
        QByteArray text;
        for (int r = 0; r < m_indicator.model().displayRows(); ++r)
            for (int c = 0; c < m_indicator.model().displayColumns(); ++c)
                text += m_indicator.model().cell(r, c);
        return text;
    }

    std::vector<QByteArray> notified;
    std::vector<double> notifiedAt_ms;
    std::vector<QByteArray> painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted.push_back(rows());
        return false;
    }

private:
    void noteNotified()
    {
        notified.push_back(rows());
        notifiedAt_ms.push_back(static_cast<double>(m_clock.nsecsElapsed()) / 1e6);
    }

    QOIndicator& m_indicator;
    QElapsedTimer m_clock;
};

struct Connected {
    QOIndicator indicator;
    FakeLink link;

    Connected()
    {
        indicator.resize(400, 200);
        indicator.setDisplaySize(4, 20);
        indicator.setSymbolMatrixSize(5, 8);
        QObject::connect(&link, &FakeLink::setSymbolMatrix, &indicator, &QOIndicator::setSymbolMatrix,
                         Qt::BlockingQueuedConnection);
        QObject::connect(&link, &FakeLink::setCells, &indicator, &QOIndicator::setCells);
        QObject::connect(&link, &FakeLink::resetView, &indicator, &QOIndicator::reset);
    }

    // Runs `work` in a worker thread while the GUI thread keeps its event loop going.
    bool runInWorker(const std::function<void()>& work)
    {
        std::unique_ptr<QThread> thread(QThread::create(work));
        thread->start();
        return QTest::qWaitFor([&] { return thread->isFinished(); }, 5000) && thread->wait(1000);
    }
};

QByteArray screenOf(const char* row0, const char* row1, const char* row2, const char* row3)
{
    return QByteArray(row0) + row1 + row2 + row3;
}
} // namespace

// The connection announces a reply's glyphs with resetView() before it delivers the rows,
// and only for a glyph or row 0; rows 1 to 3 of the same reply must still reach the screen.
TEST(QOIndicatorRefresh, ShowsEveryRowOfAReplyAfterItArrived)
{
    Connected panel;
    ASSERT_TRUE(waitForLoad(panel.indicator));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel.indicator));
    ScreenWatcher watcher(panel.indicator);
    const SymbolMatrix glyph = DisplayTest::glyphOf(std::vector<std::string>(8, "X.X.X"));

    ASSERT_TRUE(panel.runInWorker([&] {
        emit panel.link.setSymbolMatrix(0, glyph);
        emit panel.link.resetView();
        emit panel.link.setCells(1, 0, QByteArray("Row one of the reply"), 20);
        emit panel.link.setCells(2, 0, QByteArray("Row two of the reply"), 20);
        emit panel.link.setCells(3, 0, QByteArray("Row three, last one."), 20);
    }));
    const QByteArray expected = screenOf("                    ", "Row one of the reply", "Row two of the reply",
                                         "Row three, last one.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.painted.empty() && watcher.painted.back() == expected; }, 2000))
        << "the screen was last painted with: " << (watcher.painted.empty() ? "nothing" : watcher.painted.back().data());
    ASSERT_FALSE(watcher.notified.empty());
    EXPECT_EQ(watcher.notified.back(), expected) << "the view was told after the last row";

    // A reply that only changes a glyph repaints the places showing it.
    const std::size_t paints = watcher.painted.size();
    ASSERT_TRUE(panel.runInWorker([&] { emit panel.link.setSymbolMatrix(1, glyph); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.painted.size() > paints; }, 2000));
}

TEST(QOIndicatorRefresh, RefreshesOncePerBatchAndNotForUnchangedRows)
{
    Connected panel;
    ASSERT_TRUE(waitForLoad(panel.indicator));
    QTest::qWait(20);
    ScreenWatcher watcher(panel.indicator);

    for (int row = 0; row < 4; ++row)
        QMetaObject::invokeMethod(&panel.indicator, "setCells", Qt::QueuedConnection, Q_ARG(int, row), Q_ARG(int, 0),
                                  Q_ARG(QByteArray, QByteArray(20, static_cast<char>('a' + row))), Q_ARG(int, 20));
    QTest::qWait(50);
    EXPECT_EQ(watcher.notified.size(), 1u);

    for (int row = 0; row < 4; ++row)
        panel.indicator.setCells(row, 0, QByteArray(20, static_cast<char>('a' + row)), 20);
    panel.indicator.setCells(4, 0, QByteArray(20, 'x'), 20);
    QTest::qWait(50);
    EXPECT_EQ(watcher.notified.size(), 1u) << "nothing changed";
}

// A device that changes every row faster than the screen refreshes costs the view at most one
// refresh a frame, and the screen ends with the last rows it sent.
TEST(QOIndicatorRefresh, RefreshesAtMostOnceAFrameAndEndsWithTheLastRows)
{
    Connected panel;
    ASSERT_TRUE(waitForLoad(panel.indicator));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel.indicator));
    ScreenWatcher watcher(panel.indicator);
    const int screens = 60;
    const auto rowOf = [](int screen, int row) { return QByteArray(20, static_cast<char>('A' + (screen + row) % 26)); };

    ASSERT_TRUE(panel.runInWorker([&] {
        for (int screen = 0; screen < screens; ++screen) {
            emit panel.link.resetView();
            for (int row = 0; row < 4; ++row)
                emit panel.link.setCells(row, 0, rowOf(screen, row), 20);
            QThread::msleep(2);
        }
    }));
    const QByteArray expected = rowOf(screens - 1, 0) + rowOf(screens - 1, 1) + rowOf(screens - 1, 2) + rowOf(screens - 1, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.painted.empty() && watcher.painted.back() == expected; }, 2000));
    EXPECT_EQ(watcher.notified.back(), expected);

    const double rate_hz = panel.indicator.screen()->refreshRate();
    const double frame_ms = 1000.0 / (rate_hz > 0.0 ? rate_hz : 60.0);
    for (std::size_t i = 1; i < watcher.notifiedAt_ms.size(); ++i)
        EXPECT_GE(watcher.notifiedAt_ms[i] - watcher.notifiedAt_ms[i - 1], frame_ms - 1.0) << "refresh " << i;
}

// The connection reuses one buffer per row; what it sent must be what the display shows.
TEST(QOIndicatorRefresh, KeepsTheBytesSentWhenTheSenderReusesItsBuffer)
{
    Connected panel;
    ASSERT_TRUE(waitForLoad(panel.indicator));
    ScreenWatcher watcher(panel.indicator);
    const int rounds = 200;

    ASSERT_TRUE(panel.runInWorker([&] {
        char stored[4][20];
        for (int round = 0; round < rounds; ++round) {
            for (int row = 0; row < 4; ++row) {
                std::memset(stored[row], 'A' + (round + row) % 26, sizeof stored[row]);
                emit panel.link.setCells(row, 0, QByteArray(stored[row], 20), 20);
                // The next reply lands in the same buffer at once.
                std::memset(stored[row], '#', sizeof stored[row]);
            }
        }
    }));
    QByteArray expected;
    for (int row = 0; row < 4; ++row)
        expected += QByteArray(20, static_cast<char>('A' + (rounds - 1 + row) % 26));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.rows() == expected; }, 2000));
    for (const QByteArray& seen : watcher.notified)
        EXPECT_FALSE(seen.contains('#'));
}

#include "IndicatorRefreshTest.moc"
