#include "link/Device.h"
#include "link/ReplyLength.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace VPanel::Link;
using LinkTest::Bytes;
using State = ReplyLength::State;

constexpr ConsoleShape standardConsole{4, 20};

ReplyLength lengthOf(const Frame& request, const Bytes& received, ConsoleShape console = standardConsole)
{
    return expectedReplyLength(request, received.data(), received.size(), console);
}

Bytes prefix(const Bytes& bytes, std::size_t size) { return {bytes.begin(), bytes.begin() + size}; }

// Wherever the rule names a length, the decoder takes a reply of just that length, so a
// reader that stops there loses nothing the interval would have given it.
void expectDecoderAgrees(const Frame& request, const Bytes& reply, ReplyLength length, ConsoleShape console)
{
    if (length.state != State::Known)
        return;
    ASSERT_EQ(length.bytes, reply.size());
    EXPECT_EQ(decodeReply(request, reply.data(), reply.size(), console.placesPerRow).status, ReplyStatus::Ok);
    const Bytes shorter = prefix(reply, reply.size() - 1);
    EXPECT_NE(decodeReply(request, shorter.data(), shorter.size(), console.placesPerRow).status, ReplyStatus::Ok);
}

TEST(ReplyLengthRule, EachCommandsReplyIsKnownFromItsHeader)
{
    struct Case {
        const char* name;
        Frame request;
        Frame reply;
        ReplyLength whole; // from the third byte on
    };
    const Case cases[] = {
        {"device identification", deviceIdentificationRequest(3), deviceIdentificationReply(3, {7, 1, 2}),
         {State::Known, 9}},
        {"console identification", consoleIdentificationRequest(3), consoleIdentificationReply(3, {0, 4, 20, 8}),
         {State::Known, 9}},
        {"start", startRequest(3), startReply(3, {true}), {State::Known, 6}},
        {"stop", stopRequest(3), stopReply(3, {false}), {State::Known, 6}},
        {"glyph", symbolMatrixRequest(3, 5), symbolMatrixReply(3, Glyph{1, 2, 3, 4, 5, 6, 7, 8}), {State::Known, 13}},
        // Its reply is not examined, so nothing says where it ends.
        {"language", languageRequest(3, Language::English), languageReply(3), {State::Undetermined, 0}},
        {"another command's reply", startRequest(3), stopReply(3, {false}), {State::Undetermined, 0}},
        {"unknown command", Frame(3, 0x0042), Frame(3, 0x0042), {State::Undetermined, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes reply = c.reply.toVector();
        for (std::size_t received = 0; received <= reply.size(); ++received) {
            const ReplyLength length = lengthOf(c.request, prefix(reply, received));
            EXPECT_EQ(length, received < headerSize ? ReplyLength{} : c.whole) << received << " bytes";
        }
        // A byte too many is the reader's to notice; the rule still names the length.
        Bytes longer = reply;
        longer.push_back(0);
        EXPECT_EQ(lengthOf(c.request, longer), c.whole);
        expectDecoderAgrees(c.request, reply, c.whole, standardConsole);
    }
}

TEST(ReplyLengthRule, ExchangeReplyLengthFollowsItsFlagsAndTheConsole)
{
    struct Case {
        const char* name;
        ConsoleShape console;
        std::uint16_t flags;
        ReplyLength whole; // from the flags on
    };
    const Case cases[] = {
        {"still screen", standardConsole, 0x1000, {State::Known, 7}},
        {"every row and glyph", standardConsole, 0x3FFF, {State::Known, 151}},
        {"narrow console, two rows and a glyph", {2, 12}, 0x2340, {State::Known, 39}},
        {"widest frame", {4, 62}, 0x0F00, {State::Known, 255}},
        {"bits 14 and 15 announce nothing", standardConsole, 0xC000, {State::Known, 7}},
        {"row beyond the console", {2, 20}, 0x1400, {State::Undetermined, 0}},
        {"longer than any frame", {4, 62}, 0x0F01, {State::Undetermined, 0}},
    };
    const Frame request = exchangeRequest(1, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes reply{1, 0x13, 0x00, static_cast<std::uint8_t>(c.flags), static_cast<std::uint8_t>(c.flags >> 8)};
        if (c.whole.state == State::Known) {
            reply.resize(c.whole.bytes - checksumSize, 0x55);
            reply = LinkTest::sealed(reply);
        }
        for (std::size_t received = 0; received <= reply.size(); ++received) {
            const ReplyLength length = lengthOf(request, prefix(reply, received), c.console);
            EXPECT_EQ(length, received < headerSize + 2 ? ReplyLength{} : c.whole) << received << " bytes";
        }
        expectDecoderAgrees(request, reply, c.whole, c.console);
    }
}

} // namespace
