#include "SerialReadFixture.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using namespace KelComm::Serial;
using KelCommTest::elapsedMs;
using KelCommTest::LineKind;
using KelCommTest::lineKindName;
using KelCommTest::SerialReadTest;
using KelCommTest::SteadyClock;
using KelCommTest::untouched;
using KelTime::TimeDuration;
using std::chrono::milliseconds;

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
