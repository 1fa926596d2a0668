#include "PduTestSupport.h"

#include "comm/pdu/Date.h"
#include "comm/pdu/Parser.h"
#include "comm/pdu/SzStr.h"
#include "comm/pdu/Time.h"

#include <gtest/gtest.h>

namespace {

using namespace KelComm::PDU;
using namespace PduTest;

TEST(Parser, ReadsAndSkipsOnlyWhatIsThere)
{
    const Bytes block{1, 2, 3, 4, 5};
    Parser parser(rangeOf(block));
    Bytes two(2);
    parser.read(MutableBytes(two.data(), two.data() + two.size()));
    EXPECT_EQ(two, (Bytes{1, 2}));
    parser.skip(1);
    EXPECT_EQ(parser.position(), 3u);

    Bytes three(3);
    EXPECT_EQ(messageOf<ParserException>([&] { parser.read(MutableBytes(three.data(), three.data() + 3)); }),
              notEnoughDataText);
    EXPECT_THROW(parser.skip(3), ParserException);
    EXPECT_EQ(parser.remaining(), 2u);
    EXPECT_EQ(parser.readByte(), 4);
    parser.skip(1);
    EXPECT_TRUE(parser.atEnd());
    EXPECT_THROW(parser.readByte(), ParserException);
    parser.skip(0);

    const Parser reversed(block.data() + 3, block.data());
    EXPECT_TRUE(reversed.atEnd());
}

TEST(Parser, TextRunsToItsTerminatorOrTheEnd)
{
    struct Case {
        Bytes block;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {{0x41, 0x42}, {"AB"}},
        {{0x41, 0x00, 0x42, 0x00}, {"A", "B"}},
        {{0x00}, {""}},
        {{0x00, 0x00, 0x43}, {"", "", "C"}},
        {{0xD0, 0x96, 0x00}, {"\xD0\x96"}},
    };
    for (const Case& c : cases) {
        Parser parser(rangeOf(c.block));
        for (const std::string& expected : c.texts) {
            SzStr text;
            parser >> text;
            EXPECT_EQ(text.utf8(), expected);
        }
        EXPECT_TRUE(parser.atEnd());
    }
}

TEST(Parser, FieldsAtTheEndAreLeftAlone)
{
    Parser parser(nullptr, nullptr);
    SzStr text(L"kept");
    Date date(KelTime::Date(2024, 3, 5));
    Time time(KelTime::Time(1, 2, 3));
    const Time timeBefore = time;
    parser >> text >> date >> time;
    EXPECT_EQ(text.str(), L"kept");
    EXPECT_EQ(date.date(), KelTime::Date(2024, 3, 5));
    EXPECT_EQ(time, timeBefore);
}

TEST(Parser, ShortFieldsThrowWithoutMoving)
{
    const Bytes block{1, 2, 3};
    Parser parser(rangeOf(block));
    Date date;
    Time time;
    EXPECT_EQ(messageOf<ParserException>([&] { parser >> date; }), notEnoughDataText);
    EXPECT_THROW(parser >> time, ParserException);
    EXPECT_EQ(parser.position(), 0u);
    EXPECT_TRUE(date.isUnknown());
    EXPECT_TRUE(time.isUnknown());
}

TEST(Parser, ReadsBackWhatTheBuilderWrote)
{
    Builder builder(64);
    const SzStr inner(L"Привет");
    const Date date(KelTime::Date(1999, 12, 31));
    const Time time(KelTime::Time(23, 59, 58, KelTime::Milliseconds(999)));
    builder << inner << date;
    time >> builder;
    SzStr(L"hdr") >> builder;

    Parser parser(builder.pdu());
    SzStr header;
    SzStr text;
    Date readDate;
    Time readTime;
    parser >> header >> readTime >> text >> readDate;
    EXPECT_EQ(header.str(), L"hdr");
    EXPECT_EQ(readTime, time);
    EXPECT_EQ(text.str(), L"Привет");
    EXPECT_EQ(readDate, date);
    EXPECT_TRUE(parser.atEnd());
}

} // namespace
