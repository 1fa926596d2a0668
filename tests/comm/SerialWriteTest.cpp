#include "PtyFixture.h"

#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <sys/resource.h>

namespace {

using namespace KelComm::Serial;
using KelCommTest::elapsedMs;
using KelCommTest::PtyPair;
using KelCommTest::SteadyClock;
using KelTime::TimeDuration;
using std::chrono::milliseconds;

constexpr std::uint32_t untouched = 0xDEADBEEF;

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class SerialWriteTest : public KelCommTest::PortEnvironment {
protected:
    void SetUp() override
    {
        PortEnvironment::SetUp();
        m_port = std::make_unique<SystemSerialPort>(mapPty(7, m_pty));
        m_port->open();
    }

    KelCommTest::AheadOfOtherLoad m_priority;
    PtyPair m_pty;
    std::unique_ptr<SystemSerialPort> m_port;
};

TEST_F(SerialWriteTest, AWriteLastsAtLeastItsTransmissionTime)
{
    const CommSettings settings(9600, 7, Parity::Even, StopBits::Two); // 11 bits a character
    m_port->setSettings(settings, false);
    const std::string data(100, 'a');
    std::uint32_t sent = 0;
    const auto start = SteadyClock::now();
    const IO_Result result = m_port->write(data.data(), 100, &sent);
    const double took_ms = elapsedMs(start);
    EXPECT_TRUE(result.isGood());
    EXPECT_EQ(sent, 100u);
    EXPECT_GE(took_ms, 100 * 11 * 1000.0 / 9600);
    EXPECT_LT(took_ms, 100 * 11 * 1000.0 / 9600 + 60);
    EXPECT_EQ(m_pty.receive(100, milliseconds(500)).size(), 100u);
}

TEST_F(SerialWriteTest, AbortAndCloseEndAWriteThatIsStillOnTheLine)
{
    m_port->setSettings(CommSettings(75), false); // 10 bytes take 1.3 s
    for (bool closing : {false, true}) {
        std::uint32_t sent = untouched;
        auto result = std::async(std::launch::async, [&] { return m_port->write("0123456789", 10, &sent); });
        std::this_thread::sleep_for(milliseconds(50));
        const auto start = SteadyClock::now();
        if (closing)
            m_port->close();
        else
            m_port->abort(false, true, true);
        EXPECT_EQ(result.get().status, IO_Result::Aborted);
        EXPECT_LT(elapsedMs(start), 200.0);
        EXPECT_EQ(sent, 10u); // the driver had taken everything
    }
}

TEST_F(SerialWriteTest, AFullDriverQueueBlocksUntilAborted)
{
    m_port->setSettings(CommSettings(921600), false);
    const std::vector<char> data(1 << 20, 'q'); // far more than the pty buffers, nobody reads
    std::uint32_t sent = untouched;
    auto result = std::async(std::launch::async, [&] { return m_port->write(data.data(), data.size(), &sent); });
    std::this_thread::sleep_for(milliseconds(50));
    m_port->abort(false, true, true);
    EXPECT_EQ(result.get().status, IO_Result::Aborted);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, data.size());

    m_port->abort(false, true, false);
    sent = untouched;
    EXPECT_EQ(m_port->write("x", 1, &sent).status, IO_Result::Aborted);
    EXPECT_EQ(sent, untouched);
    m_port->clearAbortFlag(false, true);
    m_port->clearQueue(false, true);
    EXPECT_EQ(m_port->write("x", 1, &sent).status, IO_Result::Success);
}

// The other side vanishes (a USB adapter pulled) while a read waits without limit: the read
// ends with the system's text, without spinning meanwhile, and so does every later call.
TEST_F(SerialWriteTest, AVanishedLineEndsABlockedReadAndLaterWrites)
{
    m_port->setTimeouts(CommTimeouts(TimeDuration::infinity(), KelTime::Milliseconds(10)), false);
    m_pty.closeSlave();
    auto read = std::async(std::launch::async, [&]() -> std::wstring {
        std::uint8_t buffer[8];
        try {
            const IO_Result result = m_port->read(buffer, 8, nullptr, false);
            return result.status == IO_Result::Aborted ? L"Aborted" : L"status " + std::to_wstring(result.status);
        } catch (const SerialPortSystemException& error) {
            return error.message();
        }
    });
    const double cpuBefore_ms = processCpuMs();
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_LT(processCpuMs() - cpuBefore_ms, 50.0); // blocked, not polling in a loop
    const auto start = SteadyClock::now();
    m_pty.closeMaster();
    ASSERT_EQ(read.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(read.get(), L"Input/output error");
    EXPECT_LT(elapsedMs(start), 500.0);

    try {
        m_port->write("x", 1, nullptr);
        ADD_FAILURE() << "wrote to a vanished line";
    } catch (const SerialPortSystemException& error) {
        EXPECT_STREQ(error.message(), L"Input/output error");
    }
    std::uint8_t byte;
    EXPECT_THROW(m_port->read(&byte, 1, nullptr, false), SerialPortSystemException);
    m_port->close();
    EXPECT_FALSE(m_port->isOpened());
}

TEST_F(SerialWriteTest, ALineGoneBeforeAWriteFailsWithTheSystemText)
{
    m_pty.closeSlave();
    m_pty.closeMaster();
    try {
        m_port->write("abc", 3, nullptr);
        ADD_FAILURE() << "wrote to a vanished line";
    } catch (const SerialPortSystemException& error) {
        EXPECT_STREQ(error.message(), L"Input/output error");
    }
}

} // namespace
