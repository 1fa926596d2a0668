#include "link/Packet.h"
#include "panel/ConsoleMirror.h"
#include "panel/ExchangeRecorder.h"
#include "panel/LineTurns.h"
#include "panel/LinkEvent.h"
#include "panel/LinkTiming.h"
#include "sim/Recording.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace VPanel::Panel;
using VPanel::Link::ExchangeContent;
using VPanel::Link::repeatBudget;
using VPanel::Link::responseTimeout;
using VPanel::Link::RowUpdate;
using std::chrono::milliseconds;

// A fresh directory, removed with what it holds.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vpanel-panel-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    std::string filePath(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string contentsOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(EventTextTest, ArgumentsAreFilledInOnceAndInOrder)
{
    struct Case {
        const char* pattern;
        std::vector<std::string> arguments;
        const char* expected;
    };
    const Case cases[] = {
        {"Матрица №%1 из %2 считана.", {"3", "40"}, "Матрица №3 из 40 считана."},
        // An argument that holds a placeholder is not filled in again.
        {"%1, версия ПО - %2.%3", {"Датчик %2", "1", "7"}, "Датчик %2, версия ПО - 1.7"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        // Two digits, as the translation tool reads them; a placeholder without an argument stays.
        {"%1%10%3", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}, "ajc"},
        {"%1 and %4", {"a"}, "a and %4"},
        {"100% and %", {"a"}, "100% and %"},
        {"", {}, ""},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.pattern);
        EXPECT_EQ(russianText({item.pattern, item.arguments}), item.expected);
    }
}

TEST(LinkTimingTest, StopBoundCoversTheAttemptInFlightAndTheStopPacketsSecond)
{
    const milliseconds interval{20};
    const milliseconds pause{1};
    for (const long baudRate : {1200L, 9600L, 115200L}) {
        const milliseconds attempt = attemptBound(baudRate, interval);
        EXPECT_GT(attempt, responseTimeout(baudRate) + interval) << baudRate;
        EXPECT_GE(stopBound(baudRate, interval, pause), 2 * attempt + milliseconds(repeatBudget)) << baudRate;
    }
    // At 115200 baud a window waits well under two seconds.
    EXPECT_LT(stopBound(115200, interval, pause), milliseconds(2000));
    // A slower line takes longer, and a zero rate does not divide by zero.
    EXPECT_GT(stopBound(1200, interval, pause), stopBound(9600, interval, pause));
    EXPECT_GT(stopBound(0, interval, pause), stopBound(1200, interval, pause));
    // The pause comes before the attempt in flight and before the stop packet's last attempt.
    const milliseconds longPause{300};
    EXPECT_GE(stopBound(115200, interval, longPause), stopBound(115200, interval, pause) + 2 * (longPause - pause));
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

// While one seat holds the line the others queue; the order in which they get it once it is
// handed on. Seat 0 holds the line first and does not ask again.
TEST(LineTurnsTest, RoundRobinWithTheUrgentAskedNextAndAStopWakingTheWait)
{
    struct Case {
        const char* name;
        std::vector<int> urgency; // of seats 0..3
        std::vector<LineTurns::Seat> order;
    };
    const Case cases[] = {
        {"in the order they joined", {0, 0, 0, 0}, {1, 2, 3}},
        {"a key change waiting goes first, then the round goes on where it was", {0, 0, 1, 0}, {2, 1, 3}},
        {"a stop before a key change", {0, 1, 0, 2}, {3, 1, 2}},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        LineTurns turns;
        std::vector<LineTurns::Seat> seats;
        for (const int urgency : item.urgency)
            seats.push_back(turns.join([urgency] { return urgency; }));
        ASSERT_TRUE(turns.take(seats[0], [] { return false; }));

        std::mutex mutex;
        std::condition_variable changed;
        int waiting = 0;
        std::vector<LineTurns::Seat> order;
        std::vector<std::thread> waiters;
        for (std::size_t index = 1; index < seats.size(); ++index)
            waiters.emplace_back([&, seat = seats[index]] {
                bool counted = false;
                // Asked first when the wait begins, under the turns' lock.
                const bool held = turns.take(seat, [&] {
                    if (!std::exchange(counted, true)) {
                        std::lock_guard lock(mutex);
                        ++waiting;
                        changed.notify_all();
                    }
                    return false;
                });
                {
                    std::lock_guard lock(mutex);
                    if (held)
                        order.push_back(seat);
                }
                turns.pass(seat);
            });
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return waiting == 3; }));
        }
        turns.pass(seats[0]);
        for (std::thread& waiter : waiters)
            waiter.join();
        EXPECT_EQ(order, item.order);
    }

    // A stop asked for while the line is another's ends the wait, without the line.
    LineTurns turns;
    const LineTurns::Seat holder = turns.join([] { return 0; });
    const LineTurns::Seat stopping = turns.join([] { return 0; });
    ASSERT_TRUE(turns.take(holder, [] { return false; }));
    std::atomic<bool> stop{false};
    auto waited = std::async(std::launch::async, [&] { return turns.take(stopping, [&] { return stop.load(); }); });
    stop = true;
    turns.wake();
    ASSERT_EQ(waited.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waited.get());
    // Leaving with the line hands it on.
    auto next = std::async(std::launch::async, [&] { return turns.take(stopping, [] { return false; }); });
    turns.leave(holder);
    EXPECT_TRUE(next.get());

    // Two of eight devices with keys coming all the time: the round still reaches the others.
    LineTurns busy;
    const LineTurns::Seat starter = busy.join([] { return 0; });
    ASSERT_TRUE(busy.take(starter, [] { return false; }));
    constexpr int turnCount = 400;
    std::atomic<bool> done{false};
    std::atomic<int> ready{0};
    int taken = 0;
    std::vector<int> turnsOf(8, 0);
    std::vector<std::thread> devices;
    for (std::size_t index = 0; index < turnsOf.size(); ++index) {
        const LineTurns::Seat seat = busy.join([index] { return index < 2 ? 1 : 0; });
        devices.emplace_back([&, index, seat] {
            bool counted = false;
            while (busy.take(seat, [&] {
                if (!std::exchange(counted, true))
                    ++ready;
                return done.load();
            })) {
                const bool more = !done;
                if (more) {
                    ++turnsOf[index];
                    done = ++taken == turnCount;
                    // An attempt takes a while, long enough for every other device to ask again.
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                }
                busy.pass(seat);
                if (!more)
                    break;
            }
            busy.wake();
        });
    }
    while (ready < static_cast<int>(turnsOf.size()))
        std::this_thread::yield();
    busy.leave(starter);
    for (std::thread& device : devices)
        device.join();
    for (std::size_t index = 2; index < turnsOf.size(); ++index)
        EXPECT_GE(turnsOf[index], turnCount / 2 / 6 / 3) << "device " << index;
}

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
    TemporaryDirectory directory;
    const std::string path = directory.filePath("stalled");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string error;
    auto recorder = ExchangeRecorder::open(path, error);
    ASSERT_TRUE(recorder) << error;

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
// its write fail and told of it.
int recordUntilFull(const std::string& path, const std::string& limitPath, int before, off_t limit_bytes, int after)
{
    const pid_t child = fork();
    if (child != 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    std::string error;
    auto recorder = ExchangeRecorder::open(path, error);
    if (!recorder)
        _exit(2);
    std::promise<std::string> told;
    recorder->onWriteFailed([&told](const std::string& text) { told.set_value(text); });
    recorder->beginConnection({"COM3", 1, 115200, 20});
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
    while (before > 0 && stat(path.c_str(), &written) == 0 && written.st_size == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const rlimit fileSize{static_cast<rlim_t>(written.st_size + limit_bytes), RLIM_INFINITY};
    if (!(std::ofstream(limitPath) << fileSize.rlim_cur))
        _exit(3);
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        _exit(3);
    record(after);
    recorder->finish();
    if (!recorder->failed())
        _exit(0);
    // The text names the file and the cause.
    auto text = told.get_future();
    const bool namesTheFile = text.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                              text.get().rfind(path + ": ", 0) == 0;
    _exit(namesTheFile ? 1 : 4);
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
        TemporaryDirectory directory;
        const std::string path = directory.filePath("exchange.txt");
        const std::string limitPath = directory.filePath("limit");
        ASSERT_EQ(recordUntilFull(path, limitPath, item.before, item.limit_bytes, item.after), 1);
        const std::size_t limit_bytes = std::stoull(contentsOf(limitPath));
        const std::string text = contentsOf(path);
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
