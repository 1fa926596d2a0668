#include "app/link/Packet.h"
#include "app/transmission/ConsoleMirror.h"
#include "app/transmission/ExchangeRecorder.h"
#include "app/transmission/LinkTiming.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <string>

namespace {

using namespace VPanel::Transmission;
using VPanel::Link::ExchangeContent;
using VPanel::Link::repeatBudget;
using VPanel::Link::responseTimeout;
using VPanel::Link::RowUpdate;
using std::chrono::milliseconds;

TEST(LinkTimingTest, StopBoundCoversTheAttemptInFlightAndTheStopPacketsSecond)
{
    const milliseconds interval{20};
    for (const long baudRate : {1200L, 9600L, 115200L}) {
        const milliseconds attempt = attemptBound(baudRate, interval);
        EXPECT_GT(attempt, responseTimeout(baudRate) + interval) << baudRate;
        EXPECT_GE(stopBound(baudRate, interval), 2 * attempt + milliseconds(repeatBudget)) << baudRate;
    }
    // At 115200 baud a window waits well under two seconds.
    EXPECT_LT(stopBound(115200, interval), milliseconds(2000));
    // A slower line takes longer, and a zero rate does not divide by zero.
    EXPECT_GT(stopBound(1200, interval), stopBound(9600, interval));
    EXPECT_GT(stopBound(0, interval), stopBound(1200, interval));
}

ExchangeContent content(std::vector<RowUpdate> rows, bool consoleOn = true, bool soundOn = false)
{
    ExchangeContent result;
    result.rows = std::move(rows);
    result.consoleOn = consoleOn;
    result.soundOn = soundOn;
    return result;
}

std::vector<std::uint8_t> cells(std::size_t size, char value) { return std::vector<std::uint8_t>(size, value); }

TEST(ConsoleMirrorTest, ReportsOnlyChangedRowsAndStateFlips)
{
    ConsoleMirror mirror;
    ASSERT_EQ(mirror.rows(), 4);
    ASSERT_EQ(mirror.places(), 20);

    // Rows start as twenty "0": a first row of twenty "0" is no change.
    auto changes = mirror.apply(content({{0, cells(20, '0')}, {2, cells(20, 'a')}}));
    EXPECT_EQ(changes.rows, std::vector<int>{2});
    EXPECT_FALSE(changes.consoleOn);
    EXPECT_FALSE(changes.soundOn);
    EXPECT_EQ(mirror.row(2), cells(20, 'a'));

    changes = mirror.apply(content({{2, cells(20, 'a')}, {3, cells(20, 'b')}}, true, true));
    EXPECT_EQ(changes.rows, std::vector<int>{3});
    EXPECT_FALSE(changes.consoleOn);
    EXPECT_EQ(changes.soundOn, true);

    changes = mirror.apply(content({}, true, true));
    EXPECT_TRUE(changes.rows.empty());
    EXPECT_FALSE(changes.consoleOn);
    EXPECT_FALSE(changes.soundOn);
}

TEST(ConsoleMirrorTest, ASwitchedConsoleHasEveryRowDeliveredAgain)
{
    ConsoleMirror mirror;
    mirror.apply(content({{1, cells(20, 'a')}}));
    auto changes = mirror.apply(content({{1, cells(20, 'a')}}, false));
    EXPECT_EQ(changes.consoleOn, false);
    EXPECT_EQ(changes.rows, std::vector<int>{1});

    mirror.apply(content({{1, cells(20, 'a')}}, false));
    changes = mirror.apply(content({{1, cells(20, 'a')}}, true));
    EXPECT_EQ(changes.consoleOn, true);
    EXPECT_EQ(changes.rows, std::vector<int>{1});
}

TEST(ConsoleMirrorTest, RowsAreSizedByWhatTheConsoleReported)
{
    ConsoleMirror mirror;
    mirror.resize(2, 16);
    ASSERT_EQ(mirror.rows(), 2);
    EXPECT_EQ(mirror.row(1), cells(16, '0'));

    // Rows the console does not have and rows of another width are left out.
    auto changes = mirror.apply(content({{1, cells(16, 'x')}, {3, cells(16, 'y')}}));
    EXPECT_EQ(changes.rows, std::vector<int>{1});
    changes = mirror.apply(content({{0, cells(20, 'z')}}));
    EXPECT_TRUE(changes.rows.empty());
    EXPECT_EQ(mirror.row(0), cells(16, '0'));

    // More rows than a reply can carry keep only those it can; nothing negative.
    mirror.resize(6, 40);
    EXPECT_EQ(mirror.rows(), 4);
    mirror.resize(-1, -5);
    EXPECT_EQ(mirror.rows(), 0);
    EXPECT_EQ(mirror.places(), 0);
    EXPECT_TRUE(mirror.apply(content({{0, {}}})).rows.empty());
}

// A disk that cannot keep up: a pipe nobody reads until the end. Recording never waits for
// it; what found the queue full is counted, and the count ends the file.
TEST(ExchangeRecorderTest, FramesTheWriterCannotTakeAreCountedNotWaitedFor)
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("stalled"));
    ASSERT_EQ(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    const int reader = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    QString error;
    auto recorder = ExchangeRecorder::open(path, error);
    ASSERT_TRUE(recorder) << error.toStdString();

    const std::uint8_t frame[VPanel::Link::maxFrameSize] = {};
    for (std::size_t i = 0; i < 4 * ExchangeRecorder::queueCapacity; ++i)
        recorder->record(VPanel::Link::FrameDirection::Reply, frame, sizeof frame);
    EXPECT_GT(recorder->lost(), 0u);

    auto drained = std::async(std::launch::async, [reader] {
        std::string text;
        char buffer[65536];
        for (pollfd wait{reader, POLLIN, 0}; ::poll(&wait, 1, -1) > 0;) {
            const ssize_t size = ::read(reader, buffer, sizeof buffer);
            if (size <= 0)
                break;
            text.append(buffer, static_cast<std::size_t>(size));
        }
        return text;
    });
    recorder->finish();
    const std::uint64_t lost = recorder->lost();
    recorder.reset(); // closes the pipe: the reader sees its end
    const std::string text = drained.get();
    ::close(reader);
    EXPECT_NE(text.find("\n# lost " + std::to_string(lost) + " frames\n"), std::string::npos);
}

} // namespace
