#include "app/SettingsNode.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using app::SettingsNode;

namespace {

SettingsNode parse(const std::string& text) {
    SettingsNode root;
    app::parseSettings(text, root);
    return root;
}

// The children of `node` as "key=value" words, blocks followed by their own
// children in braces: a compact picture of what the reader built.
std::string shape(const SettingsNode& node) {
    std::string out;
    for (size_t i = 0; i < node.count(); ++i) {
        const SettingsNode& child = node.child(i);
        if (!out.empty())
            out += ' ';
        out += child.key + "=" + child.value;
        if (child.count() > 0)
            out += "{" + shape(child) + "}";
    }
    return out;
}

size_t depth(const SettingsNode& node) {
    size_t deepest = 0;
    for (size_t i = 0; i < node.count(); ++i)
        deepest = std::max(deepest, depth(node.child(i)));
    return deepest + 1;
}

} // namespace

TEST(SettingsNode, LookupsIgnoreAsciiCaseAndNeverFail) {
    SettingsNode root = parse(".Render { .Low { .Name { \"1. Bajo\" } } }");
    EXPECT_EQ(&root.find("render"), &root.find("RENDER"));
    EXPECT_EQ(root.find("render").find("low").find("NAME").child(0).value, "1. Bajo");
    EXPECT_EQ(root.findChild("rEnDeR"), root.childAt(0));

    const SettingsNode& missing = root.find("Nothing").find("deeper").child(3);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(missing.count(), 0u);
    EXPECT_EQ(root.findChild("Nothing"), nullptr);
    EXPECT_EQ(root.childAt(1), nullptr);
    EXPECT_TRUE(root.child(1).empty());

    // Only ASCII letters fold: "É" and "é" stay different keys.
    SettingsNode accents = parse(".\xC3\x89T\xC3\x89 1");
    EXPECT_TRUE(accents.find("\xC3\xA9t\xC3\xA9").empty());
    EXPECT_EQ(accents.find("\xC3\x89t\xC3\x89").value, "1");
}

TEST(SettingsNode, LaterChildUnderTheSameKeyWinsAndRenameMovesTheIndex) {
    SettingsNode root;
    root.add("Mode", "first");
    root.add("mode", "second");
    root.add("", "anonymous");
    EXPECT_EQ(root.count(), 3u);
    EXPECT_EQ(root.find("MODE").value, "second");
    EXPECT_TRUE(root.find("").empty());

    root.childAt(1)->rename("Other", &root);
    EXPECT_EQ(root.find("mode").value, "first");
    EXPECT_EQ(root.find("other").value, "second");

    SettingsNode& made = root.obtain("Display", 3);
    EXPECT_EQ(shape(made), "=0 =0 =0");
    EXPECT_EQ(&root.obtain("display", 1), &made);
    made.setValue(4, "x");
    EXPECT_EQ(shape(made), "=0 =0 =0 = =x");
}

TEST(SettingsNode, CopiesAreDeepAndKeepTheirOwnIndex) {
    SettingsNode original = parse(".A { .B 1 }");
    SettingsNode copy(original);
    copy.findChild("a")->findChild("b")->value = "2";
    EXPECT_EQ(original.find("A").find("B").value, "1");
    EXPECT_EQ(copy.find("a").find("b").value, "2");

    SettingsNode assigned;
    assigned = copy;
    assigned = assigned; // self-assignment keeps the tree
    EXPECT_EQ(assigned.find("A").find("B").value, "2");
    copy.findChild("a")->add("C", "3");
    EXPECT_TRUE(assigned.find("A").find("C").empty());
}

TEST(SettingsReader, TokensCommentsBlocksAndCarriageReturns) {
    EXPECT_EQ(shape(parse("// a comment { not a block\r\n.Screen Full\r\n.Track \"Mi casa\"\r\n")),
              "Screen=Full Track=Mi casa");
    EXPECT_EQ(shape(parse(".Display { 1024 768 60 }")), "Display={=1024 =768 =60}");
    EXPECT_EQ(shape(parse(".Display{1024\t768\r60}")), "Display={=1024 =768 =60}");
    // A value ends only at a separator or "{": quotes, dots and braces inside
    // it are kept.
    EXPECT_EQ(shape(parse("a\"b\" c.d e}")), "=a\"b\" =c.d =e}");
    // A dotted key ends at "{" too, and a quoted value holds anything but a
    // quote.
    EXPECT_EQ(shape(parse(".Name{\"a { } // b\"}")), "Name={=a { } // b}");
    EXPECT_EQ(shape(parse(".Key \"x\"y")), "Key=x Key=y");
    // Nested blocks are counted to find the closing brace.
    EXPECT_EQ(shape(parse(".R { .L { .D { 1 } } .M 2 } .T 3")), "R={L={D={=1}} M=2} T=3");
    EXPECT_EQ(shape(parse("   \r\n\t ")), "");
    EXPECT_EQ(shape(parse("")), "");
}

TEST(SettingsReader, KeyAndValueBuffersCarryOverWithinABlockOnly) {
    // A value with no dotted key of its own takes the last key; a block's
    // node takes the last value read at its level.
    EXPECT_EQ(shape(parse(".A 1 2 .B { x } 3")), "A=1 A=2 B=2{=x} B=3");
    // Each block starts with empty buffers, and the outer ones survive it.
    EXPECT_EQ(shape(parse(".A 1 .B { 2 .C } 3")), "A=1 B=1{=2} B=3");
    // A dotted key alone adds nothing; a new block under it still does.
    EXPECT_EQ(shape(parse(".Lonely")), "");
    EXPECT_EQ(shape(parse(".K { } { }")), "K= K=");
    EXPECT_EQ(shape(parse("\"\"")), "=");
}

TEST(SettingsReader, UnfinishedAndOddTextEndsQuietly) {
    EXPECT_EQ(shape(parse(".A \"open quote")), "A=open quote");
    EXPECT_EQ(shape(parse(".A { 1 .B { 2")), "A={=1 B=1{=2}}");
    EXPECT_EQ(shape(parse("}")), "=}");
    EXPECT_EQ(shape(parse(".")), "");
    EXPECT_EQ(shape(parse("// only a comment")), "");
    // A single "/" starts a bare value rather than a comment.
    EXPECT_EQ(shape(parse(".PathEngine /opt/plugins/ / x")),
              "PathEngine=/opt/plugins/ PathEngine=/ PathEngine=x");
    EXPECT_EQ(shape(parse("/")), "=/");
    // The text ends at a NUL byte.
    EXPECT_EQ(shape(parse(std::string(".A 1\0.B 2", 9))), "A=1");
}

TEST(SettingsReader, LongKeysAndValuesAreCutTo511Characters) {
    std::string longKey(600, 'k');
    std::string longValue(700, 'v');
    SettingsNode root = parse("." + longKey + " " + longValue + " \"" + longValue + "\" next");
    ASSERT_EQ(root.count(), 3u);
    EXPECT_EQ(root.child(0).key, std::string(511, 'k'));
    EXPECT_EQ(root.child(0).value, std::string(511, 'v'));
    EXPECT_EQ(root.child(1).value, std::string(511, 'v'));
    EXPECT_EQ(root.child(2).value, "next");
    EXPECT_EQ(root.child(2).key, std::string(511, 'k'));
}

TEST(SettingsReader, DeepNestingIsBounded) {
    std::string open(100000, '{');
    SettingsNode unclosed = parse(open);
    EXPECT_EQ(depth(unclosed), 66u); // the root, 64 parsed levels and one kept empty
    SettingsNode closed = parse(std::string(200, '{') + "1" + std::string(200, '}') + " after");
    EXPECT_EQ(depth(closed), 66u);
    EXPECT_EQ(closed.count(), 2u);
    EXPECT_EQ(closed.child(1).value, "after");
    EXPECT_FALSE(app::formatSettings(closed).empty());
}

TEST(SettingsWriter, ListsAndSectionsByteForByte) {
    SettingsNode root;
    SettingsNode& user = root.add("Render", "").add("User", "");
    user.add("Name", "").add("", "6. Personal");
    SettingsNode& display = user.add("Display", "");
    display.add("", "1024");
    display.add("", "768");
    display.add("", "60");
    user.add("LODDis", "").add("", "10.000000");
    EXPECT_EQ(app::formatSettings(root), " \n"
                                         "\t.Render \n"
                                         "\t{\n"
                                         "\t \n"
                                         "\t\t.User \n"
                                         "\t\t{\n"
                                         "\t\t \n"
                                         "\t\t\t.Name {  \"6. Personal\"  }\n"
                                         "\t\t\t.Display {  1024 768 60  }\n"
                                         "\t\t\t.LODDis {  10.000000  }\n"
                                         "\t\t}\n"
                                         "\t}");

    SettingsNode plain;
    plain.add("ID", "Medium");
    plain.add("Aspect", "1.33333");
    plain.add("", "loose");
    EXPECT_EQ(app::formatSettings(plain), " \n\t.ID Medium \n\t.Aspect 1.33333 loose ");
}

TEST(SettingsWriter, ValuesCarriedIntoBlocksAreNotSaved) {
    // The reader gives "Render" the path and "Own" the identifier; saving
    // them inside the braces would make them children.
    SettingsNode first = parse(".PathEngine \"..\\plugins\\\" .Render { .ID Low .Own { kept } }");
    EXPECT_EQ(first.find("Render").value, "..\\plugins\\");
    EXPECT_EQ(first.find("Render").find("Own").value, "Low");
    std::string once = app::formatSettings(first);
    EXPECT_EQ(
        once,
        " \n\t.PathEngine \"..\\plugins\\\" \n\t.Render \n\t{\n\t \n\t\t.ID Low \n\t\t.Own {  kept  }\n\t}");
    SettingsNode second = parse(once);
    EXPECT_EQ(shape(second), shape(first));
    EXPECT_EQ(app::formatSettings(second), once);
}

TEST(SettingsWriter, QuotesValuesThatWouldNotReadBack) {
    SettingsNode root;
    root.add("A", "two words");
    root.add("B", ".dotted");
    root.add("C", "tab\there");
    root.add("D", "//slashes");
    root.add("E", "brace{");
    root.add("F", "plain/path.txt");
    std::string text = app::formatSettings(root);
    EXPECT_EQ(text, " \n\t.A \"two words\" \n\t.B \".dotted\" \n\t.C \"tab\there\" \n\t.D \"//slashes\" "
                    "\n\t.E \"brace{\" \n\t.F plain/path.txt ");
    SettingsNode back = parse(text);
    EXPECT_EQ(shape(back), shape(root));

    // A double quote inside a value cannot be written back.
    SettingsNode quote;
    quote.add("Q", "say \"hi\"");
    EXPECT_NE(shape(parse(app::formatSettings(quote))), shape(quote));
}

TEST(SettingsWriter, FilesStoreCarriageReturnsAndReadBack) {
    testkit::TempDir dir;
    SettingsNode root;
    root.add("Track", "Habitacion");
    root.add("Name", "").add("", "1. Bajo");
    std::string path = dir.path() + "/Launch.txt";
    ASSERT_TRUE(app::writeSettingsFile(path, root));
    EXPECT_EQ(testkit::readFile(path), " \r\n\t.Track Habitacion \r\n\t.Name {  \"1. Bajo\"  }");

    SettingsNode back;
    app::readSettingsFile(path, back);
    EXPECT_EQ(shape(back), "Track=Habitacion Name=Habitacion{=1. Bajo}");

    SettingsNode missing;
    app::readSettingsFile(dir.path() + "/none.txt", missing);
    EXPECT_EQ(missing.count(), 0u);
    EXPECT_FALSE(app::writeSettingsFile(dir.path() + "/no/such/folder.txt", root));
}

TEST(SettingsMerge, AnonymousValuesByPositionKeyedNodesByKey) {
    SettingsNode target = parse(".Render { .Display { 1 2 } .Keep { x } }");
    SettingsNode source = parse(".render { .Display { 7 8 9 } .New { y } }");
    source.findChild("render")->value = "v";
    target.merge(source.child(0), 0);
    EXPECT_EQ(shape(target), "Render=v{Display={=7 =8 =9} Keep={=x} New={=y}}");

    // An anonymous source replaces the value at its position, or is
    // appended (once) when the position is past the end.
    SettingsNode list;
    list.add("", "a");
    list.merge(SettingsNode("", "b"), 0);
    list.merge(SettingsNode("", "c"), 5);
    EXPECT_EQ(shape(list), "=b =c");

    // Merging a node into its own tree does not run away.
    SettingsNode self = parse(".A { .B { 1 } }");
    self.merge(self.child(0), 0);
    EXPECT_EQ(shape(self), "A={B={=1}}");
    self.findChild("a")->merge(self.child(0), 0);
    EXPECT_EQ(shape(self), "A={B={=1} A={B={=1}}}");
}
