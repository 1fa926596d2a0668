#include "PduTestSupport.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "comm/pdu/BlockText.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

using namespace KelComm::PDU;
using namespace PduTest;

std::wstring textOf(const Bytes& bytes, std::ios::fmtflags extraFlags = {})
{
    std::wostringstream out;
    out.setf(extraFlags);
    out << rangeOf(bytes);
    return out.str();
}

TEST(BlockText, WritesTwoHexDigitsPerByte)
{
    EXPECT_EQ(textOf({0x01, 0xAB, 0x00}), L"{01,ab,00}");
    EXPECT_EQ(textOf({0x01, 0xAB, 0x00}, std::ios::uppercase), L"{01,AB,00}");
    EXPECT_EQ(textOf({}), L"{}");
    EXPECT_EQ(textOf({0x7F}, std::ios::showbase | std::ios::left), L"{7f}");

    Bytes mutableBytes{0xFF, 0x10};
    std::wostringstream out;
    out << MutableBytes(mutableBytes.data(), mutableBytes.data() + 2) << L' ' << 255;
    // The stream goes back to its own number base afterwards.
    EXPECT_EQ(out.str(), L"{ff,10} 255");
}

TEST(BlockText, AFailedStreamGetsNothing)
{
    std::wostringstream out;
    out.setstate(std::ios::eofbit);
    out << rangeOf({1});
    EXPECT_TRUE(out.fail());
    EXPECT_EQ(out.str(), L"");
}

TEST(BlockText, ReadsBytesUntilTheClosingBraceOrABadNumber)
{
    struct Case {
        const wchar_t* text;
        Bytes bytes;
        bool good;
    };
    const Case cases[] = {
        {L"{}", {}, true},
        {L"{01,2,ff}", {0x01, 0x02, 0xFF}, true},
        {L"  {0a;0B 7}", {0x0A, 0x0B, 0x07}, true},
        {L"{1,100}", {0x01}, false},
        {L"{100000000ff}", {}, false},
        {L"{1,-ffffff01}", {0x01}, false},
        {L"{+1}", {}, false},
        {L"{1,2", {0x01, 0x02}, false},
        {L"{1,}", {0x01}, false},
        {L"{zz}", {}, false},
        {L"[01]", {}, false},
        {L"", {}, false},
    };
    for (const Case& c : cases) {
        std::wistringstream in(c.text);
        Builder builder(16);
        in >> builder;
        EXPECT_EQ(contentOf(builder), c.bytes) << c.text;
        EXPECT_EQ(!in.fail(), c.good) << c.text;
    }
}

TEST(BlockText, ReadingStopsRightAfterTheBlock)
{
    std::wistringstream in(L"{01}{02,03} 42");
    Builder builder(16);
    in >> builder >> builder;
    int number = 0;
    in >> number;
    EXPECT_EQ(contentOf(builder), (Bytes{1, 2, 3}));
    EXPECT_EQ(number, 42);

    std::wistringstream braceOnly(L"{}x");
    braceOnly >> builder;
    EXPECT_EQ(braceOnly.get(), L'x');
}

TEST(BlockText, AFullBuilderEndsTheReadingWithItsException)
{
    std::wistringstream in(L"{1,2,3,4}");
    Builder builder(3);
    EXPECT_THROW(in >> builder, BuilderException);
    EXPECT_EQ(contentOf(builder), (Bytes{1, 2}));
    EXPECT_FALSE(in.flags() & std::ios::hex);
}

TEST(BlockText, WrittenBlocksReadBack)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        Bytes bytes(random() % 40);
        for (auto& byte : bytes)
            byte = static_cast<unsigned char>(random());
        std::wistringstream in(textOf(bytes, round % 2 ? std::ios::uppercase : std::ios::fmtflags{}));
        Builder builder(64);
        in >> builder;
        EXPECT_TRUE(in.good());
        ASSERT_EQ(contentOf(builder), bytes);
    }
}

TEST(BlockText, ReadingIntoAFixedRangeIsNotImplemented)
{
    std::wistringstream in(L"{01}");
    unsigned char target[1] = {};
    EXPECT_THROW(in >> MutableBytes(target, target + 1), KelBase::UnrealizedException);
}

} // namespace
