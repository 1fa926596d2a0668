#include "PtyFixture.h"

#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <iostream>
#include <mutex>
#include <thread>

#include <sys/syscall.h>

namespace {

using namespace KelComm::Serial;
using KelCommTest::elapsedMs;
using KelCommTest::PtyPair;
using KelCommTest::SteadyClock;
using KelTime::TimeDuration;
using std::chrono::milliseconds;

constexpr std::uint32_t untouched = 0xDEADBEEF;

// How the port reaches the test's end of the line: a pseudo-terminal, or a raw stream from a
// server the test itself holds, so that the gaps the port sees are the ones the test made.
// (A real device server's relay adds its own jitter; the functional tests run through it.)
enum class LineKind { Local, RawTcp };

std::string lineKindName(const ::testing::TestParamInfo<LineKind>& kind)
{
    return kind.param == LineKind::Local ? "Local" : "RawTcp";
}

class SerialReadTest : public KelCommTest::PortEnvironment, public ::testing::WithParamInterface<LineKind> {
protected:
    void SetUp() override
    {
        PortEnvironment::SetUp();
        m_port = std::make_unique<SystemSerialPort>(GetParam() == LineKind::Local ? mapPty(7, m_pty)
                                                                                   : mapServer(7, m_server.url()));
        openPort();
    }

    void openPort()
    {
        m_port->open();
        if (GetParam() == LineKind::RawTcp) {
            ASSERT_TRUE(m_server.accept(std::chrono::seconds(5))) << "the port never connected";
        }
    }

    const KelCommTest::PeerEnd& deviceEnd() const
    {
        return GetParam() == LineKind::Local ? static_cast<const KelCommTest::PeerEnd&>(m_pty) : m_server;
    }

    void setTimeouts(TimeDuration response, TimeDuration interval)
    {
        m_port->setTimeouts(CommTimeouts(response, interval), false);
    }

    // Waits until the port's side holds the bytes, so that a read finds them buffered.
    void awaitBuffered(std::uint32_t count)
    {
        std::uint32_t input = 0, output = 0;
        for (int attempt = 0; attempt < 1000 && input < count; ++attempt) {
            m_port->queryQueueStatus(input, output);
            std::this_thread::sleep_for(milliseconds(1));
        }
        ASSERT_EQ(input, count);
    }

    std::vector<std::uint8_t> bytes(std::size_t count, std::uint8_t first = 1) const
    {
        std::vector<std::uint8_t> result(count);
        for (std::size_t i = 0; i < count; ++i)
            result[i] = static_cast<std::uint8_t>(first + i);
        return result;
    }

    KelCommTest::AheadOfOtherLoad m_priority;
    PtyPair m_pty;
    KelCommTest::LoopbackPeer m_server;
    std::unique_ptr<SystemSerialPort> m_port;
};

INSTANTIATE_TEST_SUITE_P(Lines, SerialReadTest,
                         ::testing::Values(LineKind::Local, LineKind::RawTcp), lineKindName);

TEST_P(SerialReadTest, AReplyAlreadyBufferedIsReadAtOnce)
{
    setTimeouts(TimeDuration::infinity(), TimeDuration::infinity());
    deviceEnd().send(bytes(10));
    awaitBuffered(10);
    std::uint8_t buffer[10] = {};
    std::uint32_t received = untouched;
    const auto start = SteadyClock::now();
    const IO_Result result = m_port->read(buffer, 10, &received, false);
    EXPECT_LT(elapsedMs(start), 50.0);
    EXPECT_TRUE(result.isGood());
    EXPECT_EQ(received, 10u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 10), bytes(10));
}

TEST_P(SerialReadTest, AShortReplyEndsOneIntervalAfterItsLastByte)
{
    constexpr double interval_ms = 50;
    setTimeouts(KelTime::Seconds(2), KelTime::Milliseconds(interval_ms));
    std::promise<SteadyClock::time_point> lastSent;
    std::thread peer([&] {
        std::this_thread::sleep_for(milliseconds(20));
        deviceEnd().send(bytes(6));
        std::this_thread::sleep_for(milliseconds(10));
        deviceEnd().send(bytes(6, 7));
        lastSent.set_value(SteadyClock::now());
    });
    std::vector<std::uint8_t> buffer(255);
    std::uint32_t received = 0;
    const IO_Result result = m_port->read(buffer.data(), 255, &received, false);
    const double afterLast_ms = elapsedMs(lastSent.get_future().get());
    peer.join();
    EXPECT_EQ(result.status, IO_Result::TimedOut);
    EXPECT_EQ(result.errors, 0);
    EXPECT_EQ(received, 12u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 12), bytes(12));
    EXPECT_GE(afterLast_ms, interval_ms - 1);
    EXPECT_LT(afterLast_ms, interval_ms + 40);
}

TEST_P(SerialReadTest, ALongReplyIsReadWholeAcrossChunks)
{
    setTimeouts(KelTime::Seconds(2), KelTime::Milliseconds(30));
    const std::vector<std::uint8_t> reply = bytes(200);
    std::thread peer([&] {
        for (std::size_t offset = 0; offset < reply.size(); offset += 25) {
            deviceEnd().send(std::vector<std::uint8_t>(reply.begin() + offset, reply.begin() + offset + 25));
            std::this_thread::sleep_for(milliseconds(2));
        }
    });
    std::vector<std::uint8_t> buffer(200);
    std::uint32_t received = 0;
    const IO_Result result = m_port->read(buffer.data(), 200, &received, false);
    peer.join();
    EXPECT_TRUE(result.isGood());
    EXPECT_EQ(received, 200u);
    EXPECT_EQ(buffer, reply);
}

TEST_P(SerialReadTest, NothingArrivingEndsAfterTheResponseTimeout)
{
    setTimeouts(KelTime::Milliseconds(30), KelTime::Milliseconds(5));
    std::uint8_t buffer[4];
    std::uint32_t received = untouched;
    const auto start = SteadyClock::now();
    const IO_Result result = m_port->read(buffer, 4, &received, false);
    const double took_ms = elapsedMs(start);
    EXPECT_EQ(result.status, IO_Result::TimedOut);
    EXPECT_EQ(received, 0u);
    EXPECT_GE(took_ms, 29.0);
    EXPECT_LT(took_ms, 80.0);

    const auto waitStart = SteadyClock::now();
    EXPECT_EQ(m_port->waitForByteReceived(KelTime::Timeout(KelTime::Milliseconds(20))).status, IO_Result::TimedOut);
    EXPECT_GE(elapsedMs(waitStart), 19.0);
    deviceEnd().send("z");
    EXPECT_TRUE(m_port->waitForByteReceived(KelTime::Timeout(KelTime::Seconds(2))).isGood());
}

TEST_P(SerialReadTest, ANullIntervalNeverWaitsForFurtherBytes)
{
    setTimeouts(TimeDuration::infinity(), TimeDuration::null());
    std::uint8_t buffer[10];
    std::uint32_t received = untouched;
    auto start = SteadyClock::now();
    EXPECT_EQ(m_port->read(buffer, 10, &received, true).status, IO_Result::TimedOut);
    EXPECT_EQ(received, 0u);
    EXPECT_LT(elapsedMs(start), 20.0);

    deviceEnd().send(bytes(3));
    awaitBuffered(3);
    start = SteadyClock::now();
    EXPECT_EQ(m_port->read(buffer, 10, &received, false).status, IO_Result::TimedOut);
    EXPECT_EQ(received, 3u);
    EXPECT_LT(elapsedMs(start), 20.0);
}

// Runs the read in another thread, so that this one can end it once it is under way.
class BlockedRead {
public:
    BlockedRead(SystemSerialPort& port) : m_port(port)
    {
        m_thread = std::thread([this] {
            started = true;
            result = m_port.read(buffer, sizeof buffer, &received, false);
            endedAt = SteadyClock::now();
        });
    }
    ~BlockedRead()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    // Returns once the reader is about to block, plus a margin for it to get there.
    void awaitBlocking()
    {
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(milliseconds(60));
    }
    void finish() { m_thread.join(); }

    std::atomic<bool> started{false};
    std::uint8_t buffer[16] = {};
    std::uint32_t received = untouched;
    IO_Result result{-1};
    SteadyClock::time_point endedAt;

private:
    SystemSerialPort& m_port;
    std::thread m_thread;
};

TEST_P(SerialReadTest, AnInfiniteWaitEndsWithAbortOrClose)
{
    setTimeouts(TimeDuration::infinity(), KelTime::Milliseconds(10));
    const std::function<void()> enders[] = {
        [&] { m_port->abort(true, false, true); },
        [&] { m_port->close(); },
    };
    for (const auto& end : enders) {
        BlockedRead read(*m_port);
        read.awaitBlocking();
        const auto endedFrom = SteadyClock::now();
        end();
        read.finish();
        EXPECT_EQ(read.result.status, IO_Result::Aborted);
        EXPECT_EQ(read.received, 0u);
        EXPECT_GE(read.endedAt, endedFrom);
    }
    EXPECT_FALSE(m_port->isOpened());

    // A one-shot abort is not latched: after reopening, reads work again.
    openPort();
    deviceEnd().send("ok");
    std::uint8_t buffer[2];
    EXPECT_TRUE(m_port->read(buffer, 2, nullptr, false).isGood());
}

// A one-shot abort must end the read under way wherever it falls among the read's waits
// and passes. Each round waits until the read sleeps in its poll, then sends a byte that
// wakes it and aborts a little later, the delay swept across the reader's wake-up. The
// read has no time limit of its own: a lost abort leaves it blocked, and it is counted and
// freed by a second abort once the generous bound has passed.
TEST_P(SerialReadTest, EveryAbortRacingTheReadEndsIt)
{
    constexpr int rounds = 10000;
    constexpr int delaySteps = 100;
    constexpr auto delayStep = std::chrono::nanoseconds(1000);
    constexpr auto generousBound = std::chrono::seconds(10);
    constexpr double quickEnd_ms = 50;
    setTimeouts(TimeDuration::infinity(), TimeDuration::infinity());

    std::mutex mutex;
    std::condition_variable changed;
    int started = 0, finished = 0;
    pid_t reader = 0;
    IO_Result result;
    std::thread readerThread([&] {
        std::unique_lock<std::mutex> guard(mutex);
        reader = KelCommTest::currentThreadId();
        changed.notify_all();
        for (int round = 0; round < rounds; ++round) {
            changed.wait(guard, [&] { return started > round; });
            guard.unlock();
            // Room for every byte of the run: a server between may pass on the bytes of
            // several rounds at once, and a read that filled up would end without its abort.
            std::vector<std::uint8_t> buffer(rounds + 1);
            const IO_Result ended =
                m_port->read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), nullptr, false);
            guard.lock();
            result = ended;
            finished = round + 1;
            changed.notify_all();
        }
    });

    {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait(guard, [&] { return reader != 0; });
    }
    int neverEnded = 0, notAborted = 0, slowEnds = 0;
    double slowest_ms = 0;
    for (int round = 0; round < rounds; ++round) {
        {
            const std::lock_guard<std::mutex> guard(mutex);
            started = round + 1;
        }
        changed.notify_all();
        ASSERT_TRUE(KelCommTest::awaitBlockedIn(reader, SYS_ppoll, generousBound)) << "round " << round;
        deviceEnd().send("a");
        const auto delayEnd = SteadyClock::now() + delayStep * (round % delaySteps);
        while (SteadyClock::now() < delayEnd) {
        }
        const auto aborted = SteadyClock::now();
        m_port->abort(true, false, true);
        std::unique_lock<std::mutex> guard(mutex);
        if (!changed.wait_for(guard, generousBound, [&] { return finished > round; })) {
            ++neverEnded;
            guard.unlock();
            m_port->abort(true, false, true);
            guard.lock();
            changed.wait(guard, [&] { return finished > round; });
        }
        const double took_ms = elapsedMs(aborted);
        slowest_ms = std::max(slowest_ms, took_ms);
        slowEnds += took_ms > quickEnd_ms;
        notAborted += result.status != IO_Result::Aborted;
    }
    readerThread.join();
    EXPECT_EQ(neverEnded, 0);
    EXPECT_EQ(notAborted, 0);
    // Not asserted: a loaded machine may deschedule the reader for longer.
    std::cout << "reads ending later than " << quickEnd_ms << " ms after their abort: " << slowEnds
              << ", slowest " << slowest_ms << " ms\n";
}

TEST_P(SerialReadTest, ALatchedAbortHoldsUntilCleared)
{
    setTimeouts(KelTime::Seconds(2), KelTime::Milliseconds(10));
    deviceEnd().send(bytes(4));
    awaitBuffered(4);
    m_port->abort(true, false, false);
    std::uint8_t buffer[4];
    std::uint32_t received = untouched;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto start = SteadyClock::now();
        EXPECT_EQ(m_port->read(buffer, 4, &received, false).status, IO_Result::Aborted);
        EXPECT_EQ(m_port->waitForByteReceived(KelTime::Timeout(KelTime::Seconds(1))).status, IO_Result::Aborted);
        EXPECT_EQ(m_port->waitForNonbreakStatus(KelTime::Timeout(KelTime::Seconds(1))).status, IO_Result::Aborted);
        EXPECT_LT(elapsedMs(start), 20.0);
    }
    EXPECT_EQ(received, untouched);
    // Writes were not aborted.
    EXPECT_TRUE(m_port->write("w", 1, nullptr).isGood());
    // Closing and opening keep the latch.
    m_port->close();
    openPort();
    EXPECT_EQ(m_port->read(buffer, 4, &received, false).status, IO_Result::Aborted);

    m_port->clearAbortFlag(true, false);
    deviceEnd().send(bytes(4));
    EXPECT_TRUE(m_port->read(buffer, 4, &received, false).isGood());
    EXPECT_EQ(received, 4u);
}

// How many bytes one read takes from a peer that sends `byteCount` single bytes `gap` apart.
// A descheduled peer or reader can spoil one attempt on a busy machine, so a case passes when
// any of ten attempts gives the expected count.
class PacedPeerTest : public SerialReadTest {
protected:
    static constexpr std::uint32_t byteCount = 6;

    bool readsOnce(double interval_ms, milliseconds gap, std::uint32_t expected)
    {
        for (int tries = 0; tries < 10; ++tries) {
            setTimeouts(KelTime::Seconds(1), KelTime::Milliseconds(interval_ms));
            m_port->clearQueue(true, true);
            std::thread peer([&] {
                for (std::uint32_t i = 0; i < byteCount; ++i) {
                    deviceEnd().send(bytes(1, static_cast<std::uint8_t>(i)));
                    std::this_thread::sleep_for(gap);
                }
            });
            std::uint8_t buffer[64];
            std::uint32_t received = 0;
            m_port->read(buffer, sizeof buffer, &received, false);
            peer.join();
            std::this_thread::sleep_for(milliseconds(20)); // let the rest arrive before the next try
            if (received == expected)
                return true;
        }
        return false;
    }
};

INSTANTIATE_TEST_SUITE_P(Lines, PacedPeerTest,
                         ::testing::Values(LineKind::Local, LineKind::RawTcp), lineKindName);

// Bytes 5 ms apart: a 7 ms interval timeout takes them as one reply, a 3 ms one (4 ms with the
// floor) cuts the reply after its first byte.
TEST_P(PacedPeerTest, IntervalTimingHoldsToTheMillisecond)
{
    EXPECT_TRUE(readsOnce(7, milliseconds(5), byteCount));
    EXPECT_TRUE(readsOnce(3, milliseconds(5), 1));
}

// Below 4 ms the wait for a further byte keeps its floor: bytes 2 ms apart stay one reply
// even with a 1 ms interval timeout.
TEST_P(PacedPeerTest, WaitsForAFurtherByteLastAtLeastFourMilliseconds)
{
    EXPECT_TRUE(readsOnce(1, milliseconds(2), byteCount));
}

// An infinite interval timeout sets no limit on the gap between two bytes.
TEST_P(SerialReadTest, AnInfiniteIntervalWaitsForTheWholeReply)
{
    setTimeouts(KelTime::Seconds(2), TimeDuration::infinity());
    deviceEnd().send(bytes(3));
    awaitBuffered(3);
    std::thread peer([&] {
        std::this_thread::sleep_for(milliseconds(30));
        deviceEnd().send(bytes(7, 4));
    });
    std::uint8_t buffer[10];
    std::uint32_t received = 0;
    const IO_Result result = m_port->read(buffer, 10, &received, false);
    peer.join();
    EXPECT_TRUE(result.isGood());
    EXPECT_EQ(received, 10u);
}

TEST_P(SerialReadTest, TrackedTimeoutsGovernTheNextRead)
{
    CommTimeouts timeouts(KelTime::Milliseconds(20), KelTime::Milliseconds(5));
    m_port->setTimeouts(timeouts, true);
    std::uint8_t buffer[4];
    const auto timedRead = [&] {
        const auto start = SteadyClock::now();
        EXPECT_EQ(m_port->read(buffer, 4, nullptr, false).status, IO_Result::TimedOut);
        return elapsedMs(start);
    };
    // Short of the longer timeout below, with room for a loaded machine.
    EXPECT_LT(timedRead(), 119.0);
    timeouts.setReadTimeouts(KelTime::Milliseconds(120), KelTime::Milliseconds(5));
    EXPECT_GE(timedRead(), 119.0);

    // Given without tracking: the port keeps and reports what it was given.
    m_port->setTimeouts(timeouts, false);
    timeouts.setReadTimeouts(KelTime::Milliseconds(10), KelTime::Milliseconds(5));
    EXPECT_GE(timedRead(), 119.0);
    CommTimeouts reported;
    m_port->timeouts(reported);
    TimeDuration response, interval;
    reported.getReadTimeouts(response, interval);
    EXPECT_EQ(response, TimeDuration(KelTime::Milliseconds(120)));
}

TEST_P(SerialReadTest, AnEmptyReadSucceedsAtOnce)
{
    setTimeouts(TimeDuration::infinity(), TimeDuration::infinity());
    deviceEnd().send(bytes(2));
    awaitBuffered(2);
    std::uint8_t buffer[1];
    std::uint32_t received = untouched;
    EXPECT_TRUE(m_port->read(buffer, 0, &received, false).isGood());
    EXPECT_EQ(received, 0u);
}

} // namespace
