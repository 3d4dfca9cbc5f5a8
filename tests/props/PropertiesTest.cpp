#include "props/Properties.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

Property& set(Properties& node, const std::string& name, const std::string& value) {
    Property& p = node.obtain(name);
    p.setValue(value);
    return p;
}

// p { q = 1, r = 2 }, z = 9
Properties sample() {
    Properties root;
    Property& p = root.obtain("p");
    set(p, "q", "1");
    set(p, "r", "2");
    set(root, "z", "9");
    return root;
}

const char* const layoutWords[] = {"none", "horizontal", "vertical", "both", nullptr};

} // namespace

TEST(Properties, PathsAreLookedUpNameByNameFromTheFirstMatch) {
    Properties root = sample();
    EXPECT_EQ(root.getString("p.r", "default"), "2");
    EXPECT_EQ(root.getString("p.s", "default"), "default");
    EXPECT_EQ(root.getString("q", "default"), "default"); // not a child of the root
    EXPECT_EQ(root.getString("", "default"), "default");
    EXPECT_EQ(root.getString("p.", "default"), "default");
    EXPECT_EQ(root.getString("P.r", "default"), "default"); // names compare case-sensitively

    EXPECT_EQ(root.indexOf("z"), 1);
    EXPECT_EQ(root.indexOf("p.r"), 1); // position inside p
    EXPECT_EQ(root.indexOf("p.x"), -1);
    EXPECT_EQ(root.indexOf(""), -1);
    ASSERT_NE(root.find("p.q"), nullptr);
    EXPECT_EQ(root.find("p.q")->value(), "1");
}

TEST(Properties, NumbersReadTheWayTheStandardConversionsDo) {
    Properties root;
    set(root, "plain", " 42abc");
    set(root, "negative", "-7");
    set(root, "word", "abc");
    set(root, "huge", "99999999999");
    set(root, "tiny", "-99999999999");
    set(root, "real", "2.5x");
    EXPECT_EQ(root.getInt("plain", -1), 42);
    EXPECT_EQ(root.getInt("negative", -1), -7);
    EXPECT_EQ(root.getInt("word", -1), 0);
    EXPECT_EQ(root.getInt("missing", -1), -1);
    EXPECT_EQ(root.getInt("huge"), INT_MAX);
    EXPECT_EQ(root.getInt("tiny"), INT_MIN);
    EXPECT_DOUBLE_EQ(root.getDouble("real", -1), 2.5);
    EXPECT_DOUBLE_EQ(root.getDouble("word", -1), 0.0);
    EXPECT_DOUBLE_EQ(root.getDouble("missing", -1), -1.0);
}

TEST(Properties, GetIntsReadsNumberListsWithOrWithoutParentheses) {
    Properties root;
    set(root, "triple", "(3,-4,5)");
    set(root, "pair", "(10, 20)");
    set(root, "loose", "-5 7 9");
    set(root, "empty", "");
    set(root, "dash", "a - b");

    int out[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(root.getInts("triple", out, 8), 3);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], -4);
    EXPECT_EQ(out[2], 5);
    EXPECT_EQ(out[3], 0);

    ASSERT_EQ(root.getInts("pair", out, 8), 2);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 20);

    out[2] = 99;
    ASSERT_EQ(root.getInts("loose", out, 2), 2);
    EXPECT_EQ(out[0], -5);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(out[2], 99); // nothing beyond max

    EXPECT_EQ(root.getInts("empty", out, 8), 0);
    EXPECT_EQ(root.getInts("missing", out, 8), 0);
    ASSERT_EQ(root.getInts("dash", out, 8), 1); // a lone "-" reads as 0
    EXPECT_EQ(out[0], 0);
}

TEST(Properties, GetEnumsMatchesWordsAgainstNamePrefixes) {
    Properties root;
    set(root, "both", "horizontal vertical");
    set(root, "odd", "foo both");
    set(root, "long", "(expanded, vertically, none_at_all, 9)");

    int out[4] = {-1, -1, -1, -1};
    ASSERT_EQ(root.getEnums("both", out, 4, layoutWords), 2);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);

    int odd[2] = {-1, -1};
    ASSERT_EQ(root.getEnums("odd", odd, 2, layoutWords), 2);
    EXPECT_EQ(odd[0], -1); // foo matches nothing, but its slot is used
    EXPECT_EQ(odd[1], 3);

    int words[4] = {-1, -1, -1, -1};
    const char* const names[] = {"expand", "vertical", "none", nullptr};
    ASSERT_EQ(root.getEnums("long", words, 4, names), 4);
    EXPECT_EQ(words[0], 0); // "expanded" begins with "expand"
    EXPECT_EQ(words[1], 1);
    EXPECT_EQ(words[2], 2);
    EXPECT_EQ(words[3], -1);
    EXPECT_EQ(root.getEnums("long", words, 1, names), 1);
    EXPECT_EQ(root.getEnums("missing", words, 4, names), 0);

    const char* const longer[] = {"expandedmore", nullptr};
    words[0] = -1;
    EXPECT_EQ(root.getEnums("long", words, 1, longer), 1);
    EXPECT_EQ(words[0], -1); // a name longer than the word does not match
}

TEST(Properties, ObtainMakesOneChildNamedByTheWholePath) {
    Properties root = sample();
    Property& existing = root.obtain("p.q");
    EXPECT_EQ(existing.value(), "1");
    EXPECT_EQ(root.count(), 2u);

    Property& made = root.obtain("x.y");
    EXPECT_EQ(made.name(), "x.y");
    EXPECT_EQ(made.owner(), &root);
    EXPECT_EQ(root.count(), 3u);
    EXPECT_EQ(root.find("x.y"), nullptr); // the lookup looks for a child named x
    root.obtain("x.y");
    EXPECT_EQ(root.count(), 4u);

    root.obtain(""); // an empty path never finds, so always appends
    root.obtain("");
    EXPECT_EQ(root.count(), 6u);
    EXPECT_EQ(root.child(5)->name(), "");
}

TEST(Properties, MergeCopiesTypeValueAndChildrenIntoTheNodeGiven) {
    Properties root;
    Property& base = root.obtain("base");
    base.setType("ButtonStyle");
    base.setValue("v");
    set(base, "a", "1");
    set(base.obtain("inner"), "b", "2");

    Property& target = root.obtain("target");
    set(target, "a", "old");
    set(target, "keep", "k");
    target.merge(*root.find("base"));
    EXPECT_EQ(target.type(), "ButtonStyle");
    EXPECT_EQ(target.value(), "v");
    ASSERT_EQ(target.count(), 3u);
    EXPECT_EQ(target.child(0)->name(), "a");
    EXPECT_EQ(target.child(0)->value(), "1");
    EXPECT_EQ(target.child(1)->name(), "keep");
    EXPECT_EQ(target.getString("inner.b"), "2");

    // The merge copied: the source is unchanged and later changes stay apart.
    root.find("base.inner.b")->setValue("changed");
    EXPECT_EQ(root.getString("target.inner.b"), "2");
    EXPECT_EQ(root.find("base")->count(), 2u);
}

TEST(Properties, MergeOfANodeIntoItselfOrItsOwnChildEnds) {
    Properties root;
    Property& a = root.obtain("a");
    a.obtain("").setValue("anonymous");
    a.merge(a); // an anonymous child is appended once, not without end
    ASSERT_EQ(a.count(), 2u);
    EXPECT_EQ(a.child(1)->value(), "anonymous");

    Property& inner = a.obtain("inner");
    inner.merge(*root.find("a")); // inner gets a copy of a as it was, itself included
    EXPECT_EQ(root.find("a.inner")->count(), 3u);
    EXPECT_EQ(root.find("a.inner.inner")->count(), 0u);
}

TEST(Properties, CopiesAreDeep) {
    Properties root = sample();
    root.find("p")->setType("T");
    Properties copy(root);
    copy.find("p.q")->setValue("changed");
    copy.obtain("p").obtain("new");
    EXPECT_EQ(root.getString("p.q"), "1");
    EXPECT_EQ(root.find("p")->count(), 2u);
    EXPECT_EQ(copy.find("p")->type(), "T");
    EXPECT_EQ(copy.find("p.q")->owner(), root.find("p.q")->owner()); // owners are copied as they are

    Properties assigned;
    assigned = copy;
    EXPECT_EQ(assigned.getString("p.q"), "changed");
    copy.find("p.q")->setValue("again");
    EXPECT_EQ(assigned.getString("p.q"), "changed");
}

TEST(Properties, ItemViewAnswersChildrenAndNothingOutOfRange) {
    Properties root = sample();
    const AbstractTree& tree = root;
    EXPECT_EQ(tree.nodeType(), 800);
    EXPECT_EQ(tree.count(), 2u);
    EXPECT_EQ(tree.itemType(0), 800);
    EXPECT_EQ(tree.itemType(7), 800);
    EXPECT_EQ(tree.itemValue(0).property, root.child(0));
    EXPECT_EQ(tree.itemValue(2).property, nullptr); // the index count
    EXPECT_EQ(tree.itemValue(-1).property, nullptr);
    EXPECT_STREQ(tree.itemText(1), "9");
    EXPECT_STREQ(tree.itemText(2), "");
    EXPECT_STREQ(tree.itemText(-1), "");
    EXPECT_EQ(root.child(2), nullptr);
    EXPECT_EQ(root.childValue(1, "d"), "9");
    EXPECT_EQ(root.childValue(2, "d"), "d");
    EXPECT_TRUE(AbstractTree::isKindOf(tree.itemType(0), 800));
    EXPECT_FALSE(AbstractTree::isKindOf(tree.itemType(0), 32));
}

TEST(Properties, ForEachStopsAtTheFirstRefusal) {
    Properties root = sample();
    set(root, "w", "3");
    struct Recorder : AbstractTree::Visitor {
        std::string seen;
        int refuseAt = -1;
        bool visit(int index, int type, ItemValue value) override {
            EXPECT_EQ(type, 800);
            seen += value.property->name();
            return index != refuseAt;
        }
    } all, some;
    EXPECT_EQ(root.forEach(all), 3u);
    EXPECT_EQ(all.seen, "pzw");
    some.refuseAt = 1;
    EXPECT_EQ(root.forEach(some), 1u);
    EXPECT_EQ(some.seen, "pz");
}
