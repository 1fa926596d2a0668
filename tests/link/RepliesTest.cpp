#include "link/Device.h"
#include "link/LinkErrors.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace VPanel::Link;
using LinkTest::Bytes;
using LinkTest::sealed;

constexpr std::size_t places = 20;

Reply decode(const Frame& request, const Bytes& reply, std::size_t placesPerRow = places)
{
    return decodeReply(request, reply.data(), reply.size(), placesPerRow);
}

Bytes row(std::uint8_t first)
{
    Bytes cells(places);
    std::iota(cells.begin(), cells.end(), first);
    return cells;
}

TEST(ReplyChecks, FailuresAreReportedInTheOrderLengthCommandAddressChecksum)
{
    const Frame request = startRequest(1);
    const Bytes good = sealed({1, 0x11, 0x00, 0x00});
    Bytes badSum = good;
    badSum.back() ^= 0x01;

    EXPECT_EQ(decode(request, good).status, ReplyStatus::Ok);
    EXPECT_EQ(decode(request, {}).status, ReplyStatus::TooShort);
    EXPECT_EQ(decode(request, Bytes(good.begin(), good.begin() + 4)).status, ReplyStatus::TooShort);
    EXPECT_EQ(decode(request, badSum).status, ReplyStatus::ChecksumMismatch);
    // A foreign command wins over a foreign address, which wins over a bad checksum.
    EXPECT_EQ(decode(request, {2, 0x12, 0x00, 0x00, 0x00, 0x00}).status, ReplyStatus::CommandMismatch);
    EXPECT_EQ(decode(request, {2, 0x11, 0x00, 0x00, 0x00, 0x00}).status, ReplyStatus::AddressMismatch);
}

TEST(ReplyChecks, FixedLengthRepliesMustHaveTheirExactLength)
{
    struct Case {
        Frame request;
        std::size_t length;
    };
    const Case cases[] = {
        {deviceIdentificationRequest(4), 9},
        {consoleIdentificationRequest(4), 9},
        {startRequest(4), 6},
        {stopRequest(4), 6},
        {symbolMatrixRequest(4, 0), 13},
    };
    for (const Case& c : cases) {
        for (std::size_t length = 5; length <= 14; ++length) {
            Bytes reply{4, c.request.bytes()[1], c.request.bytes()[2]};
            reply.resize(length - 2, 0);
            const Reply decoded = decode(c.request, sealed(reply));
            SCOPED_TRACE(testing::Message() << "command " << c.request.command() << " length " << length);
            EXPECT_EQ(decoded.status, length == c.length ? ReplyStatus::Ok : ReplyStatus::WrongLength);
        }
    }
    // The search takes any identification reply whose identifier lies before the checksum;
    // at 7 bytes it is 05 00 00 07 00 0C 00.
    for (std::size_t length = 5; length <= 14; ++length) {
        Bytes reply{5, 0x00, 0x00, 0x07, 0x00};
        reply.resize(length - 2, 0);
        const Bytes whole = sealed(reply);
        const Reply decoded = decodeSearchIdentification(deviceIdentificationRequest(5), whole.data(), whole.size());
        ASSERT_EQ(decoded.status, length >= 7 ? ReplyStatus::Ok : ReplyStatus::WrongLength) << length;
        if (decoded.status == ReplyStatus::Ok) {
            EXPECT_EQ(std::get<DeviceIdentity>(decoded.content).identifier, 7) << length;
        }
    }
}

TEST(ReplyDecoding, IdentitiesSwitchesAndGlyphsAreRead)
{
    const Reply device = decode(deviceIdentificationRequest(2), sealed({2, 0x00, 0x00, 0x34, 0x12, 1, 5}));
    const auto& identity = std::get<DeviceIdentity>(device.content);
    EXPECT_EQ(identity.identifier, 0x1234);
    EXPECT_EQ(identity.major, 1);
    EXPECT_EQ(identity.minor, 5);

    const Reply version = decode(consoleIdentificationRequest(2), sealed({2, 0x10, 0x00, 1, 4, 20, 8}));
    EXPECT_EQ(version.status, ReplyStatus::UnsupportedConsoleVersion);
    EXPECT_EQ(std::get<ConsoleIdentity>(version.content).version, 1);

    EXPECT_TRUE(std::get<StartState>(decode(startRequest(2), sealed({2, 0x11, 0x00, 7})).content).panelOff);
    EXPECT_FALSE(std::get<StartState>(decode(startRequest(2), sealed({2, 0x11, 0x00, 0})).content).panelOff);
    EXPECT_TRUE(std::get<StopState>(decode(stopRequest(2), sealed({2, 0x12, 0x00, 1})).content).deviceOff);

    const Reply glyph = decode(symbolMatrixRequest(2, 3), sealed({2, 0x14, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(std::get<Glyph>(glyph.content), (Glyph{1, 2, 3, 4, 5, 6, 7, 8}));

    // The language reply is not examined beyond the common checks, nor is an unknown command.
    const Reply language = decode(languageRequest(2, 0), sealed({2, 0x15, 0x00, 9, 9, 9}));
    EXPECT_EQ(language.status, ReplyStatus::Ok);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(language.content));
    EXPECT_EQ(decode(Frame(2, 0x0042), sealed({2, 0x42, 0x00})).status, ReplyStatus::Ok);
}

TEST(ExchangeReply, RowsThenGlyphsInFlagOrderWithTheStateBits)
{
    const Bytes row1 = row(0x41), row3 = row(0x61);
    const Glyph glyph2{1, 1, 1, 1, 1, 1, 1, 1}, glyph6{2, 2, 2, 2, 2, 2, 2, 2};
    Bytes reply{1, 0x13, 0x00, 0x44, 0x2A};
    reply.insert(reply.end(), row1.begin(), row1.end());
    reply.insert(reply.end(), row3.begin(), row3.end());
    reply.insert(reply.end(), glyph2.begin(), glyph2.end());
    reply.insert(reply.end(), glyph6.begin(), glyph6.end());

    const Reply decoded = decode(exchangeRequest(1, 0), sealed(reply));
    ASSERT_EQ(decoded.status, ReplyStatus::Ok);
    const auto& content = std::get<ExchangeContent>(decoded.content);
    EXPECT_FALSE(content.consoleOn);
    EXPECT_TRUE(content.soundOn);
    ASSERT_EQ(content.rows.size(), 2u);
    EXPECT_EQ(content.rows[0].row, 1);
    EXPECT_EQ(content.rows[0].cells, row1);
    EXPECT_EQ(content.rows[1].row, 3);
    EXPECT_EQ(content.rows[1].cells, row3);
    ASSERT_EQ(content.glyphs.size(), 2u);
    EXPECT_EQ(content.glyphs[0].code, 2);
    EXPECT_EQ(content.glyphs[0].glyph, glyph2);
    EXPECT_EQ(content.glyphs[1].code, 6);
    EXPECT_EQ(content.glyphs[1].glyph, glyph6);
    EXPECT_EQ(content.flags(), 0x2A44);
}

TEST(ExchangeReply, LengthRuleUsesTheReportedRowWidth)
{
    const Frame request = exchangeRequest(1, 0);
    EXPECT_EQ(decode(request, sealed({1, 0x13, 0x00})).status, ReplyStatus::WrongFormat);
    EXPECT_EQ(decode(request, sealed({1, 0x13, 0x00, 0x00, 0x10})).status, ReplyStatus::Ok);

    // Two rows of 12 places and one glyph: 12 × 2 + 8 + 7 = 39 bytes.
    Bytes narrow{1, 0x13, 0x00, 0x01, 0x05};
    narrow.resize(37, 0x33);
    EXPECT_EQ(decode(request, sealed(narrow), 12).status, ReplyStatus::Ok);
    EXPECT_EQ(std::get<ExchangeContent>(decode(request, sealed(narrow), 12).content).rows[1].cells, Bytes(12, 0x33));
    EXPECT_EQ(decode(request, sealed(narrow), 20).status, ReplyStatus::WrongLength);

    // Bits 14 and 15 announce nothing.
    EXPECT_EQ(decode(request, sealed({1, 0x13, 0x00, 0x00, 0xC0})).status, ReplyStatus::Ok);
}

TEST(ExchangeReply, DeviceBuildsWhatTheHostDecodesWhateverTheOrderGiven)
{
    ExchangeContent content;
    content.consoleOn = true;
    content.rows = {{2, row(0x30)}, {0, row(0x50)}};
    content.glyphs = {{7, Glyph{7, 7, 7, 7, 7, 7, 7, 7}}, {0, Glyph{0x1F, 0, 0, 0, 0, 0, 0, 0x1F}}};
    const Frame reply = exchangeReply(1, content);
    ASSERT_EQ(reply.size(), exchangeReplySize(content.flags(), places));

    const Reply decoded = decodeReply(exchangeRequest(1, 0), reply.bytes(), reply.size(), places);
    ASSERT_EQ(decoded.status, ReplyStatus::Ok);
    const auto& back = std::get<ExchangeContent>(decoded.content);
    EXPECT_EQ(back.rows[0].row, 0);
    EXPECT_EQ(back.rows[0].cells, row(0x50));
    EXPECT_EQ(back.rows[1].row, 2);
    EXPECT_EQ(back.glyphs[0].code, 0);
    EXPECT_EQ(back.glyphs[1].glyph, (Glyph{7, 7, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(back.flags(), content.flags());
}

TEST(ExchangeReply, ContentTheFlagsCannotAnnounceIsRefused)
{
    const auto refused = [](ExchangeContent content) {
        EXPECT_THROW(exchangeReply(1, content), LinkException);
    };
    refused({true, false, {{4, row(0)}}, {}});
    refused({true, false, {{1, row(0)}, {1, row(0)}}, {}});
    refused({true, false, {{0, row(0)}, {1, Bytes(19)}}, {}});
    refused({true, false, {}, {{8, Glyph{}}}});
    refused({true, false, {}, {{3, Glyph{}}, {3, Glyph{}}}});
}

} // namespace
