#include "comm/serial/ComPortCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace KelComm::Serial;
using namespace KelComm::Serial::Internal;

struct CollectingSink : ComPortCodec::Sink {
    void lineData(const char* bytes, std::size_t size) override { data.append(bytes, size); }
    void toServer(const char* bytes, std::size_t size) override { sent.append(bytes, size); }
    std::string data;
    std::string sent;
};

// The server's answer to a COM port command: IAC SB 44 <command + 100> value IAC SE.
std::string answer(std::uint8_t command, const std::string& value)
{
    return std::string("\xFF\xFA\x2C", 3) + char(command + 100) + value + "\xFF\xF0";
}

TEST(ComPortCodec, AnEscapedWriteCountsOnlyTheBytesThatWentOutWhole)
{
    const std::uint8_t bytes[] = {'a', 0xFF, 'b', 0xFF};
    ASSERT_EQ(ComPortCodec::escaped(bytes, 4), std::string("a\xFF\xFF" "b\xFF\xFF", 6));
    const struct {
        std::size_t sent;
        std::size_t counted;
        bool halfOwed;
    } cases[] = {{0, 0, false}, {1, 1, false}, {2, 1, true}, {3, 2, false},
                 {4, 3, false}, {5, 3, true},  {6, 4, false}};
    for (const auto& c : cases) {
        bool halfOwed = !c.halfOwed;
        EXPECT_EQ(ComPortCodec::bytesSent(bytes, 4, c.sent, halfOwed), c.counted) << c.sent;
        EXPECT_EQ(halfOwed, c.halfOwed) << c.sent;
    }
}

TEST(ComPortCodec, SettingsAreConfirmedOnlyByAnswersOfTheRightLengthAndValue)
{
    const ComPortCodec::WireSettings wanted{9600, 8, 1, 1};
    const struct {
        std::string answers;
        std::size_t refusals;
        bool reported; // the answers describe settings
    } cases[] = {
        {answer(1, std::string("\0\0\x25\x80", 4)) + answer(2, "\x08") + answer(3, "\x01") + answer(4, "\x01"), 0,
         true},
        // A rate rounded within tolerance is taken; a value of another length is not an answer.
        {answer(1, std::string("\0\0\x25\xA0", 4)) + answer(2, "\x08") + answer(3, "\x01") + answer(4, "\x01"), 0,
         true},
        {answer(1, std::string("\x25\x80", 2)) + answer(2, "\x08") + answer(3, std::string("\x01\x01", 2)) +
             answer(4, "\x01"),
         2, false},
        // Parity and stop size beyond the option's values describe no line.
        {answer(1, std::string("\0\0\x25\x80", 4)) + answer(2, "\x07") + answer(3, "\x06") + answer(4, "\x04"), 3,
         false},
    };
    for (const auto& c : cases) {
        CollectingSink sink;
        ComPortCodec codec(sink);
        codec.requestSettings(wanted);
        EXPECT_FALSE(codec.settingsAnswered());
        codec.receive(c.answers.data(), c.answers.size());
        EXPECT_TRUE(codec.settingsAnswered());
        EXPECT_EQ(codec.refusals(wanted).size(), c.refusals);
        EXPECT_EQ(codec.reportedSettings().has_value(), c.reported);
        EXPECT_TRUE(sink.data.empty());
    }
}

TEST(ComPortCodec, DataComesOutWholeBetweenCommandsAndLineStates)
{
    CollectingSink sink;
    ComPortCodec codec(sink);
    const std::string stream = "ab\xFF\xFF" + answer(6, "\x12") + "c\xFF\xFD\x2C" + "d";
    // Byte by byte: a command split anywhere still leaves the data alone.
    for (const char byte : stream)
        codec.receive(&byte, 1);
    EXPECT_EQ(sink.data, "ab\xFF" "cd");
    EXPECT_EQ(codec.portControl(), ComPortCodec::PortControl::Agreed);
    EXPECT_EQ(codec.takeLineErrors(), IO_Result::Overrun | IO_Result::BreakDetected);
    EXPECT_EQ(codec.takeLineErrors(), 0);
}

} // namespace
