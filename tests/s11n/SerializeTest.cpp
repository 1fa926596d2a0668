#include "s11n/Serialize.h"

#include <gtest/gtest.h>

#include <stdexcept>

S11N_STREAMABLE_TYPE(double, "double");

namespace {

using s11n::s11n_node;

const std::wstring valueMissingText = L"streamable_serializable_proxy: deser failed: property 'v' missing!";

// A class that stores itself through its function-call operators.
struct Pair {
    long first = 0;
    int second = 0;
    bool failSave = false;
    bool throwSave = false;

    bool operator()(s11n_node& node) const
    {
        if (throwSave)
            throw std::runtime_error("save failed");
        node.class_name("Pair");
        return !failSave && s11n::serialize_subnode(node, "first", first) &&
               s11n::serialize_subnode(node, "second", second);
    }

    bool operator()(const s11n_node& node)
    {
        return s11n::deserialize_subnode(node, "first", first) && s11n::deserialize_subnode(node, "second", second);
    }
};

TEST(Serialize, NumbersAreStreamedIntoPropertyV)
{
    s11n_node node;
    ASSERT_TRUE(s11n::serialize(node, 9600L));
    EXPECT_EQ(node.class_name(), "long");
    EXPECT_EQ(node.get("v"), "9600");
    ASSERT_TRUE(s11n::serialize(node, -8));
    EXPECT_EQ(node.class_name(), "int");
    EXPECT_EQ(node.get("v"), "-8");
    ASSERT_TRUE(s11n::serialize(node, 0.5));
    EXPECT_EQ(node.class_name(), "double");

    int value = 0;
    EXPECT_FALSE(s11n::deserialize(node, value));
    node.set("v", "42");
    ASSERT_TRUE(s11n::deserialize(node, value));
    EXPECT_EQ(value, 42);
}

TEST(Serialize, TextsThatAreNotTheTypeFailAndLeaveTheValue)
{
    for (const char* text : {"", "abc", " 5", "5 ", "99999999999", "1.5", "0x10"}) {
        s11n_node node;
        node.set("v", text);
        int value = 7;
        EXPECT_FALSE(s11n::deserialize(node, value)) << text;
        EXPECT_EQ(value, 7);
    }
}

TEST(Serialize, AMissingValueThrows)
{
    const s11n_node node("x", "long");
    long value = 3;
    try {
        s11n::deserialize(node, value);
        FAIL() << "nothing thrown";
    } catch (const s11n::s11n_exception& error) {
        EXPECT_EQ(error.message(), valueMissingText);
    }
    EXPECT_EQ(value, 3);
}

TEST(Serialize, SubnodesAreNamedChildrenInOrder)
{
    Pair pair;
    pair.first = 115200;
    pair.second = 7;
    s11n_node node("root");
    ASSERT_TRUE(s11n::serialize(node, pair));
    ASSERT_EQ(node.child_count(), 2u);
    EXPECT_EQ(node.child(0).name(), "first");
    EXPECT_EQ(node.child(0).class_name(), "long");
    EXPECT_EQ(node.child(1).name(), "second");
    EXPECT_EQ(node.child(1).get("v"), "7");

    Pair loaded;
    ASSERT_TRUE(s11n::deserialize(node, loaded));
    EXPECT_EQ(loaded.first, 115200);
    EXPECT_EQ(loaded.second, 7);

    s11n_node partial("root");
    partial.add_child(node.child(0));
    EXPECT_FALSE(s11n::deserialize_subnode(partial, "absent", loaded.first));
    EXPECT_FALSE(s11n::deserialize(partial, loaded));
}

TEST(Serialize, AFailedSubnodeLeavesTheParentAsItWas)
{
    s11n_node parent("parent");
    parent.set("kept", "1");
    const s11n_node before = parent;

    Pair failing;
    failing.failSave = true;
    EXPECT_FALSE(s11n::serialize_subnode(parent, "pair", failing));
    EXPECT_EQ(parent, before);

    Pair throwing;
    throwing.throwSave = true;
    EXPECT_THROW(s11n::serialize_subnode(parent, "pair", throwing), std::runtime_error);
    EXPECT_EQ(parent, before);
}

} // namespace
