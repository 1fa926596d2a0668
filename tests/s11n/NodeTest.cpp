#include "s11n/Node.h"
#include "s11n/S11nException.h"

#include <gtest/gtest.h>

namespace {

using s11n::s11n_node;

TEST(Node, PropertiesByKey)
{
    s11n_node node("settings", "Some::Class");
    EXPECT_EQ(node.name(), "settings");
    EXPECT_EQ(node.class_name(), "Some::Class");
    EXPECT_FALSE(node.is_set("v"));
    EXPECT_EQ(node.get("v", "none"), "none");

    node.set("v", "1");
    node.set("v", "2");
    node.set("", "");
    EXPECT_TRUE(node.is_set("v"));
    EXPECT_TRUE(node.is_set(""));
    EXPECT_EQ(node.get("v"), "2");
    EXPECT_EQ(node.properties().size(), 2u);
    node.unset("v");
    EXPECT_FALSE(node.is_set("v"));

    node.class_name("Other");
    node.name("renamed");
    node.clear();
    EXPECT_EQ(node.name(), "renamed");
    EXPECT_EQ(node.class_name(), "");
    EXPECT_TRUE(node.properties().empty());
}

TEST(Node, ChildrenKeepTheirOrderAndTheirAddresses)
{
    s11n_node parent;
    s11n_node& first = parent.add_child("a");
    first.set("k", "first");
    for (int index = 0; index < 1000; ++index)
        parent.add_child("filler");
    parent.add_child(s11n_node("a", "second"));
    EXPECT_EQ(first.get("k"), "first");
    EXPECT_EQ(parent.child_count(), 1002u);
    EXPECT_EQ(parent.find_child("a"), &parent.child(0));
    EXPECT_EQ(parent.child(1001).class_name(), "second");
    EXPECT_EQ(parent.find_child("missing"), nullptr);

    parent.remove_last_child();
    EXPECT_EQ(parent.child_count(), 1001u);
    EXPECT_THROW(parent.child(1001), s11n::s11n_exception);
    parent.clear();
    EXPECT_EQ(parent.child_count(), 0u);
    parent.remove_last_child();
}

TEST(Node, CopiesAreDeepAndMovedFromNodesAreEmpty)
{
    s11n_node original("root", "C");
    original.add_child("child").set("k", "v");
    s11n_node copy(original);
    EXPECT_EQ(copy, original);
    copy.child(0).set("k", "changed");
    EXPECT_NE(copy, original);
    EXPECT_EQ(original.child(0).get("k"), "v");

    s11n_node assigned;
    assigned = original;
    EXPECT_EQ(assigned, original);

    s11n_node moved(std::move(copy));
    EXPECT_EQ(moved.child(0).get("k"), "changed");
    EXPECT_EQ(copy, s11n_node());
    copy.set("usable", "yes");
    assigned = std::move(moved);
    EXPECT_EQ(assigned.child(0).get("k"), "changed");
}

} // namespace
