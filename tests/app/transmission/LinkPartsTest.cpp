#include "link/Packet.h"
#include "app/transmission/ConsoleMirror.h"
#include "app/transmission/ExchangeRecorder.h"
#include "app/transmission/LinkTiming.h"
#include "sim/Recording.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <sstream>
#include <string>
#include <thread>

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
    EXPECT_NE(text.find("\n# lost " + std::to_string(lost) + " frames\n# end: stopped\n"), std::string::npos);
}

// A file that may grow only so far, as on a full disk: in a child process whose file size
// limit is `limit_bytes` beyond what the recording has on disk once `before` frames are there;
// the limit it set is left in `limitPath`. The child's exit code says whether the recorder saw
// its write fail.
int recordUntilFull(const QString& path, const QString& limitPath, int before, off_t limit_bytes, int after)
{
    const pid_t child = fork();
    if (child != 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    QString error;
    auto recorder = ExchangeRecorder::open(path, error);
    if (!recorder)
        _exit(2);
    recorder->beginConnection({QStringLiteral("COM3"), 1, 115200, 20});
    std::uint8_t frame[VPanel::Link::maxFrameSize];
    for (std::size_t i = 0; i < sizeof frame; ++i)
        frame[i] = static_cast<std::uint8_t>(i);
    const auto record = [&](int frames) {
        for (int i = 0; i < frames; ++i)
            recorder->record(i % 2 ? VPanel::Link::FrameDirection::Reply : VPanel::Link::FrameDirection::Request, frame,
                             static_cast<std::size_t>(5 + i * 37 % 250));
    };
    record(before);
    struct stat written {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (before > 0 && stat(path.toLocal8Bit().constData(), &written) == 0 && written.st_size == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const rlimit fileSize{static_cast<rlim_t>(written.st_size + limit_bytes), RLIM_INFINITY};
    QFile limit(limitPath);
    if (!limit.open(QIODevice::WriteOnly) || limit.write(QByteArray::number(qint64(fileSize.rlim_cur))) <= 0)
        _exit(3);
    limit.close();
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        _exit(3);
    record(after);
    recorder->finish();
    _exit(recorder->failed() ? 1 : 0);
}

// However short the last write falls, the file keeps whole lines only, ends with why it
// ended where there is room for that, and replays without a warning. A limit seen in the
// middle of a write, which then went past it, leaves no room.
TEST(ExchangeRecorderTest, AWriteThatFallsShortLeavesWholeLinesAndTheCause)
{
    struct Case {
        const char* name;
        int before; // frames on disk before the limit is set
        off_t limit_bytes;
        int after;
        bool cause;
    };
    const Case cases[] = {
        {"within the first write", 0, 3000, 200, true},
        {"after a chunk is on disk", 0, 100000, 3000, true},
        {"a few bytes past what is on disk", 40, 5, 200, true},
        {"not even the first line", 0, 10, 10, false},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        QTemporaryDir directory;
        const QString path = directory.filePath(QStringLiteral("exchange.txt"));
        const QString limitPath = directory.filePath(QStringLiteral("limit"));
        ASSERT_EQ(recordUntilFull(path, limitPath, item.before, item.limit_bytes, item.after), 1);
        QFile limit(limitPath);
        ASSERT_TRUE(limit.open(QIODevice::ReadOnly));
        const std::size_t limit_bytes = limit.readAll().toULongLong();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::string text = file.readAll().toStdString();
        if (!item.cause || text.size() > limit_bytes) {
            EXPECT_EQ(text.find("# end:"), std::string::npos);
        } else {
            ASSERT_GE(text.size(), 2u);
            const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
            EXPECT_EQ(text.compare(lastLine, 21, "# end: write failed: "), 0) << text.substr(lastLine);
        }
        if (text.empty())
            continue;
        EXPECT_EQ(text.back(), '\n');
        // The replay reads every line as a frame or a comment; only a wrong last one is forgiven.
        std::istringstream replayed(text);
        EXPECT_TRUE(VPanel::Sim::Recording::parse(replayed, "exchange.txt").warnings().empty());
    }
}

} // namespace
