#include "link/Device.h"
#include "link/Keys.h"
#include "link/LineTiming.h"
#include "link/LinkErrors.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace VPanel::Link;
using LinkTest::Bytes;
using LinkTest::sealed;

TEST(LinkWire, ExamplesOfTheLineByteForByte)
{
    EXPECT_EQ(deviceIdentificationRequest(5).toVector(), (Bytes{0x05, 0x00, 0x00, 0x05, 0x00}));

    KeyRow keys;
    keys.press(2);
    EXPECT_EQ(exchangeRequest(1, keys.takeMask()).toVector(), (Bytes{0x01, 0x13, 0x00, 0x02, 0x00, 0x00, 0x00, 0x16, 0x00}));

    const Bytes console{0x01, 0x10, 0x00, 0x00, 0x04, 0x14, 0x08, 0x31, 0x00};
    const Reply reply = decodeReply(consoleIdentificationRequest(1), console.data(), console.size(), 0);
    ASSERT_EQ(reply.status, ReplyStatus::Ok);
    const auto& identity = std::get<ConsoleIdentity>(reply.content);
    EXPECT_EQ(identity.version, 0);
    EXPECT_EQ(identity.rows, 4);
    EXPECT_EQ(identity.places, 20);
    EXPECT_EQ(identity.glyphs, 8);

    EXPECT_EQ(exchangeReplySize(0x1000, 20), 7u);
    EXPECT_EQ(exchangeReplySize(0x0100, 20), 27u);
    EXPECT_EQ(exchangeReplySize(0x0301, 20), 55u);
}

// The quick search's wait after the request: a 9-byte reply and 3.5 characters of gap, rounded
// up, and 20 ms.
TEST(LineTimingTest, ResponseTimeoutIs1640BitTimesAnd5MillisecondsTruncated)
{
    const std::tuple<long, long, long> cases[] = {{1200, 1371, 125}, {9600, 175, 34},   {19200, 90, 27},
                                                  {57600, 33, 23},   {115200, 19, 22}, {921600, 6, 21}};
    for (const auto& [baudRate, expected_ms, quick_ms] : cases) {
        EXPECT_EQ(responseTimeout(baudRate), std::chrono::milliseconds(expected_ms)) << baudRate;
        EXPECT_EQ(quickResponseTimeout(baudRate), std::chrono::milliseconds(quick_ms)) << baudRate;
    }
}

TEST(LinkWire, EveryRequestHasItsCommandDataAndTheLengthTheDeviceExpects)
{
    struct Case {
        Frame frame;
        std::uint16_t command;
        Bytes data;
    };
    const Case cases[] = {
        {deviceIdentificationRequest(9), Command::DeviceIdentification, {}},
        {consoleIdentificationRequest(9), Command::ConsoleIdentification, {}},
        {startRequest(9), Command::Start, {}},
        {stopRequest(9), Command::Stop, {}},
        {exchangeRequest(9, 0x0003'0001), Command::Exchange, {0x01, 0x00, 0x03, 0x00}},
        {symbolMatrixRequest(9, 7), Command::SymbolMatrix, {0x07}},
        {languageRequest(9, Language::English), Command::Language, {0x01, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(c.frame.address(), 9);
        EXPECT_EQ(c.frame.command(), c.command);
        EXPECT_EQ(Bytes(c.frame.data(), c.frame.data() + c.frame.dataSize()), c.data);
        EXPECT_TRUE(c.frame.checksumValid());
        EXPECT_EQ(requestSize(c.command), c.frame.size());
        const ParsedRequest parsed = parseRequest(c.frame.bytes(), c.frame.size());
        EXPECT_EQ(parsed.status, RequestStatus::Ok);
        EXPECT_EQ(parsed.request.address, 9);
    }
}

TEST(LinkWire, ChecksumWrapsAndCoversAddressCommandAndData)
{
    const Bytes data(250, 0xFF);
    const Frame frame(0xFF, 0xFFFF, data);
    ASSERT_EQ(frame.size(), maxFrameSize);
    EXPECT_EQ(frame.storedChecksum(), static_cast<std::uint16_t>(0xFF * 253));
    EXPECT_TRUE(frame.checksumValid());

    Frame changed = frame;
    changed.bytes()[100] ^= 0x01;
    EXPECT_FALSE(changed.checksumValid());
    changed.seal();
    EXPECT_TRUE(changed.checksumValid());
}

TEST(LinkWire, PacketsTheWireCannotCarryAreRefused)
{
    const Bytes tooMuch(maxDataSize + 1, 0);
    EXPECT_THROW(Frame(1, Command::Exchange, tooMuch), LinkException);
    const Bytes tooLong(maxFrameSize + 1, 0);
    EXPECT_THROW(Frame::fromWire(tooLong.data(), tooLong.size()), LinkException);
    try {
        Frame(1, Command::Exchange, tooMuch);
    } catch (const LinkException& error) {
        EXPECT_STREQ(error.message(), L"Данные пакета длиннее 250 байт");
    }
}

TEST(DeviceSide, ARequestIsAcceptedOnlyWhole)
{
    const Bytes exchange = exchangeRequest(3, 0x20000).toVector();
    Bytes badSum = exchange;
    badSum.back() ^= 0x80;
    const Bytes unknown = sealed({3, 0x99, 0x00});
    const Bytes shortened(exchange.begin(), exchange.end() - 1);

    EXPECT_EQ(parseRequest(exchange.data(), exchange.size()).request.keyMask, 0x20000u);
    EXPECT_EQ(parseRequest(badSum.data(), badSum.size()).status, RequestStatus::ChecksumMismatch);
    EXPECT_EQ(parseRequest(unknown.data(), unknown.size()).status, RequestStatus::UnknownCommand);
    EXPECT_EQ(parseRequest(shortened.data(), shortened.size()).status, RequestStatus::WrongLength);
    EXPECT_EQ(parseRequest(exchange.data(), 4).status, RequestStatus::TooShort);
    EXPECT_FALSE(requestSize(0x0016));

    const Frame glyph = symbolMatrixRequest(3, 5);
    EXPECT_EQ(parseRequest(glyph.bytes(), glyph.size()).request.glyphIndex, 5);
    const Frame language = languageRequest(3, 0x0201);
    EXPECT_EQ(parseRequest(language.bytes(), language.size()).request.language, 0x0201);
}

} // namespace
