#include "SerialReadFixture.h"

#include <chrono>
#include <thread>

namespace KelCommTest {

using namespace KelComm::Serial;
using KelTime::TimeDuration;
using std::chrono::milliseconds;

std::string lineKindName(const ::testing::TestParamInfo<LineKind>& kind)
{
    return kind.param == LineKind::Local ? "Local" : "RawTcp";
}

void SerialReadTest::SetUp()
{
    PortEnvironment::SetUp();
    m_port = std::make_unique<SystemSerialPort>(GetParam() == LineKind::Local ? mapPty(7, m_pty)
                                                                               : mapServer(7, m_server.url()));
    openPort();
}

void SerialReadTest::openPort()
{
    m_port->open();
    if (GetParam() == LineKind::RawTcp) {
        ASSERT_TRUE(m_server.accept(std::chrono::seconds(5))) << "the port never connected";
    }
}

const PeerEnd& SerialReadTest::deviceEnd() const
{
    return GetParam() == LineKind::Local ? static_cast<const PeerEnd&>(m_pty) : m_server;
}

void SerialReadTest::setTimeouts(TimeDuration response, TimeDuration interval)
{
    m_port->setTimeouts(CommTimeouts(response, interval), false);
}

void SerialReadTest::awaitBuffered(std::uint32_t count)
{
    std::uint32_t input = 0, output = 0;
    for (int attempt = 0; attempt < 1000 && input < count; ++attempt) {
        m_port->queryQueueStatus(input, output);
        std::this_thread::sleep_for(milliseconds(1));
    }
    ASSERT_EQ(input, count);
}

std::vector<std::uint8_t> SerialReadTest::bytes(std::size_t count, std::uint8_t first) const
{
    std::vector<std::uint8_t> result(count);
    for (std::size_t i = 0; i < count; ++i)
        result[i] = static_cast<std::uint8_t>(first + i);
    return result;
}

// Once for the tests of every file that uses the fixture.
INSTANTIATE_TEST_SUITE_P(Lines, SerialReadTest,
                         ::testing::Values(LineKind::Local, LineKind::RawTcp), lineKindName);

} // namespace KelCommTest
