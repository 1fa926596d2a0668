#include "PduTestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace {

using namespace KelComm::PDU;
using namespace PduTest;

TEST(Builder, HoldsAtMostOneByteLessThanItsLimit)
{
    Builder builder(4);
    builder.pushBack(1);
    builder.pushFront(2);
    builder.pushBack(3);
    EXPECT_EQ(messageOf<BuilderException>([&] { builder.pushBack(4); }), tooLongText);
    EXPECT_EQ(messageOf<BuilderException>([&] { builder.pushFront(4); }), tooLongText);
    EXPECT_EQ(contentOf(builder), (Bytes{2, 1, 3}));

    Builder ranged(4);
    ranged.pushBack(rangeOf({1, 2}));
    const Bytes two{7, 8};
    EXPECT_THROW(ranged.pushBack(rangeOf(two)), BuilderException);
    EXPECT_THROW(ranged.pushFront(rangeOf(two)), BuilderException);
    EXPECT_EQ(contentOf(ranged), (Bytes{1, 2}));
    EXPECT_EQ(ranged.maxLength(), 4u);
}

TEST(Builder, WithoutStorageEveryPushThrows)
{
    Builder builder;
    const Bytes none;
    EXPECT_THROW(builder.pushBack(1), BuilderException);
    EXPECT_THROW(builder.pushFront(1), BuilderException);
    EXPECT_THROW(builder.pushBack(rangeOf(none)), BuilderException);
    EXPECT_THROW(builder.pushFront(rangeOf(none)), BuilderException);
    EXPECT_TRUE(contentOf(builder).empty());
}

TEST(Builder, FrontPushesGoBeforeTheContentInTheirOrder)
{
    Builder builder(16);
    builder.pushBack(0x02);
    builder.pushBack(0x03);
    builder.pushFront(0x01);
    EXPECT_EQ(contentOf(builder), (Bytes{1, 2, 3}));

    builder.pushFront(rangeOf({0xA, 0xB}));
    builder.pushBack(rangeOf({0xC, 0xD}));
    EXPECT_EQ(contentOf(builder), (Bytes{0xA, 0xB, 1, 2, 3, 0xC, 0xD}));
}

TEST(Builder, WrappedContentIsStraightenedInItsOwnStorage)
{
    constexpr unsigned int limit = 8;
    Builder builder(limit);
    builder.pushBack(rangeOf({3, 4, 5}));
    const unsigned char* storage = builder.pdu().begin;
    // The front bytes land at the far end of the ring, so the content wraps round.
    builder.pushFront(rangeOf({1, 2}));
    builder.pushBack(6);
    const ConstBytes block = builder.pdu();
    EXPECT_EQ(bytesOf(block), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_GE(block.begin, storage);
    EXPECT_LE(block.end, storage + limit);
}

// Random pushes at both ends against a deque: same content, and a push that does not fit
// throws and changes nothing.
TEST(Builder, MatchesADequeUnderRandomPushes)
{
    std::mt19937 random(20240305);
    for (unsigned int limit : {1u, 2u, 7u, 64u, 300u}) {
        Builder builder(limit);
        std::deque<unsigned char> model;
        for (int step = 0; step < 400; ++step) {
            const bool front = random() % 2 == 0;
            Bytes bytes(random() % 3 == 0 ? 1 + random() % 12 : 1);
            for (auto& byte : bytes)
                byte = static_cast<unsigned char>(random());
            const bool fits = model.size() + bytes.size() < limit;
            try {
                if (bytes.size() == 1 && step % 2 == 0)
                    front ? builder.pushFront(bytes[0]) : builder.pushBack(bytes[0]);
                else
                    front ? builder.pushFront(rangeOf(bytes)) : builder.pushBack(rangeOf(bytes));
                ASSERT_TRUE(fits);
                if (front)
                    model.insert(model.begin(), bytes.begin(), bytes.end());
                else
                    model.insert(model.end(), bytes.begin(), bytes.end());
            } catch (const BuilderException&) {
                ASSERT_FALSE(fits);
            }
            if (step % 5 == 0) {
                ASSERT_EQ(contentOf(builder), Bytes(model.begin(), model.end())) << "limit " << limit;
            }
        }
    }
}

TEST(Builder, CopiesAreDeepAndNotGivenAway)
{
    Builder source(8);
    source.pushBack(rangeOf({1, 2}));
    Builder donor;
    donor.take(source, 8);
    ASSERT_TRUE(source.givenAway());

    Builder copy(source);
    EXPECT_FALSE(copy.givenAway());
    EXPECT_EQ(copy.maxLength(), source.maxLength());

    Builder assigned(3);
    assigned = donor;
    assigned.pushFront(0);
    EXPECT_EQ(contentOf(assigned), (Bytes{0, 1, 2}));
    EXPECT_EQ(contentOf(donor), (Bytes{1, 2}));
    EXPECT_EQ(assigned.maxLength(), 8u);
}

TEST(Builder, TakeExchangesContentAndCutsToTheNewLimit)
{
    Builder source(16);
    source.pushBack(rangeOf({1, 2, 3, 4, 5}));
    Builder target(4);
    target.pushBack(9);

    target.take(source, 10);
    EXPECT_EQ(contentOf(target), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(target.maxLength(), 10u);
    EXPECT_FALSE(target.givenAway());
    EXPECT_TRUE(source.givenAway());
    // The source carries on with the target's former content and limit.
    EXPECT_EQ(contentOf(source), (Bytes{9}));
    EXPECT_EQ(source.maxLength(), 4u);
    source.pushBack(rangeOf({8, 7}));
    EXPECT_THROW(source.pushBack(6), BuilderException);
    EXPECT_EQ(contentOf(source), (Bytes{9, 8, 7}));

    Builder smaller;
    smaller.take(target, 3);
    EXPECT_EQ(contentOf(smaller), (Bytes{1, 2, 3}));
    EXPECT_THROW(smaller.pushFront(0), BuilderException);
    // A builder that gave its ring away to a storage-less one has none left: pushes throw
    // instead of vanishing.
    EXPECT_EQ(target.maxLength(), 0u);
    EXPECT_THROW(target.pushBack(1), BuilderException);
}

} // namespace
