#pragma once

#include "PtyFixture.h"

#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KelCommTest {

// What a read leaves in its count when it never writes there.
constexpr std::uint32_t untouched = 0xDEADBEEF;

// How the port reaches the test's end of the line: a pseudo-terminal, or a raw stream from a
// server the test itself holds, so that the gaps the port sees are the ones the test made.
// (A real device server's relay adds its own jitter; the functional tests run through it.)
enum class LineKind { Local, RawTcp };

std::string lineKindName(const ::testing::TestParamInfo<LineKind>& kind);

// A port open on either kind of line, its device end at hand; every test runs on both lines.
class SerialReadTest : public PortEnvironment, public ::testing::WithParamInterface<LineKind> {
protected:
    void SetUp() override;

    void openPort();

    const PeerEnd& deviceEnd() const;

    void setTimeouts(KelTime::TimeDuration response, KelTime::TimeDuration interval);

    // Waits until the port's side holds the bytes, so that a read finds them buffered.
    void awaitBuffered(std::uint32_t count);

    std::vector<std::uint8_t> bytes(std::size_t count, std::uint8_t first = 1) const;

    AheadOfOtherLoad m_priority;
    PtyPair m_pty;
    LoopbackPeer m_server;
    std::unique_ptr<KelComm::Serial::SystemSerialPort> m_port;
};

} // namespace KelCommTest
