#include "props/PropertiesParser.h"
#include "props/Properties.h"
#include "props/RCacheS.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

class PropertiesParserTest : public ::testing::Test {
protected:
    // Parses `text` as main.txt of the scratch directory; includes are found
    // beside it.
    std::unique_ptr<Properties> parse(const std::string& text) {
        dir.write("main.txt", text);
        PropertiesParser parser("main.txt", &finder);
        return parser.parse();
    }

    std::optional<PropertiesParser::Error> errorOf(const std::string& text) {
        try {
            parse(text);
        } catch (const PropertiesParser::Error& e) {
            return e;
        }
        return std::nullopt;
    }

    // Expects `text` to fail with `code` at `line` of `file`.
    void expectError(const std::string& text, int code, int line, const std::string& file = "main.txt") {
        SCOPED_TRACE(text);
        std::optional<PropertiesParser::Error> e = errorOf(text);
        ASSERT_TRUE(e.has_value()) << "no error raised";
        EXPECT_EQ(e->code(), code);
        EXPECT_EQ(e->line(), line);
        EXPECT_EQ(e->fileName(), file);
    }

    testkit::TempDir dir;
    RCacheS finder{dir.path()};
};

std::string value(const Properties& tree, const char* path) {
    const Property* p = tree.find(path);
    return p != nullptr ? p->value() : "<missing>";
}

} // namespace

TEST_F(PropertiesParserTest, WorkedExampleReadsLineByLine) {
    RCacheS cache(MORAVO_TEST_DATA);
    ASSERT_TRUE(cache.readProperties("layout.txt"));
    const Properties& root = *cache.properties();

    ASSERT_EQ(root.count(), 5u);
    const char* order[] = {"title", "font", "box", "copy", "loose", nullptr};
    for (int i = 0; order[i] != nullptr; ++i)
        EXPECT_EQ(root.child(i)->name(), order[i]);

    EXPECT_EQ(value(root, "title"), "Hola mundo");
    EXPECT_EQ(root.find("font")->type(), "TTFont");
    EXPECT_EQ(value(root, "font"), "arial.ttf?12");
    EXPECT_EQ(value(root, "box.pos"), "(10,20)");
    EXPECT_EQ(value(root, "box.size"), "(100, 50)");
    EXPECT_EQ(value(root, "box.more"), "yes"); // the include added to the same box

    // The copy was taken when its line was read, before the include.
    const Property& copy = *root.find("copy");
    ASSERT_EQ(copy.count(), 2u);
    EXPECT_EQ(value(copy, "pos"), "(10,20)");
    EXPECT_EQ(value(copy, "size"), "(100, 50)");

    // Unquoted, the blank splits the value into two texts; the second stays.
    EXPECT_EQ(value(root, "loose"), "20)");
}

TEST_F(PropertiesParserTest, StatementFormsMakeTheNodesTheyName) {
    auto t = parse("k = 'it''s'\n"
                   "a = x;b = z\n"
                   "n = 1\n"
                   "n = 2\n"
                   "T : v\n"
                   "word { inner = 1 }\n"
                   "{ alone = 1 }\n"
                   "twice = { x = 1 }\n"
                   "twice = { y = 2 }\n"
                   "typed = Kind : 'with blanks' {\n"
                   "\tspaced\t=\t\"tab\"\n"
                   "}\n"
                   "empty = ''\n"
                   "marks = x#y<z>\n"
                   "quotes = \"it's\"\n"
                   "lines = 'one\ntwo'\n"
                   "open = 'never closed");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(value(*t, "k"), "s");
    EXPECT_EQ(value(*t, "a"), "x");
    EXPECT_EQ(value(*t, "b"), "z");
    EXPECT_EQ(value(*t, "n"), "2");
    EXPECT_EQ(t->indexOf("b") + 1, t->indexOf("n")); // a = 1 then a = 2 made one node

    const Property& anon = *t->child(4);
    EXPECT_EQ(anon.name(), "");
    EXPECT_EQ(anon.type(), "T");
    EXPECT_EQ(anon.value(), "v");
    EXPECT_EQ(t->child(5)->name(), ""); // a word before a block is a value
    EXPECT_EQ(t->child(5)->value(), "word");
    EXPECT_EQ(value(*t->child(5), "inner"), "1");
    EXPECT_EQ(value(*t->child(6), "alone"), "1");

    const Property& twice = *t->find("twice");
    EXPECT_EQ(twice.count(), 2u);
    EXPECT_EQ(value(twice, "y"), "2");
    EXPECT_EQ(t->find("typed")->type(), "Kind");
    EXPECT_EQ(value(*t, "typed"), "with blanks");
    EXPECT_EQ(value(*t, "typed.spaced"), "tab");
    ASSERT_NE(t->find("empty"), nullptr);
    EXPECT_EQ(value(*t, "empty"), "");
    EXPECT_EQ(value(*t, "marks"), "x#y<z>");
    EXPECT_EQ(value(*t, "quotes"), "it's");
    EXPECT_EQ(value(*t, "lines"), "one\ntwo");
    EXPECT_EQ(value(*t, "open"), "never closed");
}

TEST_F(PropertiesParserTest, ReferencesCopyFromTheRootAtTheirLine) {
    auto t = parse("x = 1\n"
                   "base = Style : v { c = 1 }\n"
                   "blk = {\n"
                   "  x = 2\n"
                   "  fromRoot = $x\n"
                   "  deep = $blk.x\n"
                   "}\n"
                   "copy = $base\n"
                   "over = $base w\n"
                   "$x\n"
                   "base = { later = 1 }\n"
                   "grown = $base { more = 1 }\n");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(value(*t, "blk.fromRoot"), "1"); // not the x of the block
    EXPECT_EQ(value(*t, "blk.deep"), "2");
    const Property& copy = *t->find("copy");
    EXPECT_EQ(copy.type(), "Style");
    EXPECT_EQ(copy.value(), "v");
    EXPECT_EQ(copy.count(), 1u); // later was added to base afterwards
    EXPECT_EQ(value(*t, "over"), "w");
    EXPECT_EQ(t->find("over")->type(), "Style");
    EXPECT_EQ(t->child(5)->name(), "");
    EXPECT_EQ(t->child(5)->value(), "1");
    EXPECT_EQ(t->find("grown")->count(), 3u);
}

TEST_F(PropertiesParserTest, SelfReferencesEndAndCopyTheNodeAsItWas) {
    auto t = parse("a = { n = 1 }\n"
                   "a = { self = $a }\n"
                   "b = { 1 }\n"
                   "b = $b\n");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(value(*t, "a.self.n"), "1");
    ASSERT_NE(t->find("a.self.self"), nullptr);
    EXPECT_EQ(t->find("a.self.self")->count(), 0u);
    EXPECT_EQ(t->find("b")->count(), 2u); // its anonymous child, once more
}

TEST_F(PropertiesParserTest, EmptyInputsAndAStrayCloseGiveNoError) {
    auto empty = parse("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count(), 0u);
    auto comments = parse("# only\n\n   \t\n;;\r\n# comments\n");
    ASSERT_NE(comments, nullptr);
    EXPECT_EQ(comments->count(), 0u);

    auto stray = parse("a = 1\n}\nb = 2\nc = = =\n");
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(stray->count(), 1u);
    auto closing = parse("a = 1 }");
    ASSERT_NE(closing, nullptr);
    EXPECT_EQ(value(*closing, "a"), "1");
}

TEST_F(PropertiesParserTest, EachErrorIsReportedAtItsLine) {
    expectError("a = b = d\n", 1, 1);
    expectError("# comment\n\na = T : v : w\n", 2, 3);
    expectError("x = 1\na = x $y\n", 3, 2);
    expectError("a = T : $y\n", 3, 1);
    expectError("a = $\nb = 1\n", 4, 1);
    expectError("a = $}\n", 4, 1);
    expectError("# one\n# two\na = $nothing\n", 5, 3);
    expectError("a = {\nb = 1\n", 6, 2);
    expectError("a = {\nb = 1", 6, 2);
    expectError("a = { b = { }\n\n", 6, 2);
    expectError("ok = 1\n<missing.txt>\n", 8, 2);
    expectError("ok = 1\n<missing.txt\nnext = 1\n", 8, 2);
    expectError("<>\n", 8, 1);
    std::filesystem::create_directory(dir.path() + "/folder.txt");
    expectError("<folder.txt>\n", 8, 1); // a directory is not a file

    std::optional<PropertiesParser::Error> e = errorOf("a = {\nb = 1\n");
    ASSERT_TRUE(e.has_value());
    EXPECT_STREQ(e->what(), "Error 6 en l\xC3\xADnea 2: Se esperaba }");
    EXPECT_STREQ(PropertiesParser::Error::text(8), "No se pudo abrir include");
    EXPECT_STREQ(PropertiesParser::Error(9, 1, "f").what(), "Error 9 en l\xC3\xADnea 1: ?");
}

TEST_F(PropertiesParserTest, LineCountsFollowLineFeedsOnly) {
    expectError("# c\r\n\r\na = b = c\r\n", 1, 3);         // CR LF is one line end
    expectError("x = 1\ry = 2\na = = b\n", 1, 2);          // a lone CR ends a statement, not a line
    expectError("t = 'one\ntwo\nthree'\na = = b\n", 1, 2); // line feeds in quotes are text
    expectError("w = word\n# note\n<missing.txt>", 8, 3);
}

TEST_F(PropertiesParserTest, CrLfFilesReadLikeLfFiles) {
    auto t = parse("a = 1\r\nb = 'x\r\ny'\r\nc = {\r\n  d = 2\r\n}\r\nlone = 1\re = 3\r");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(value(*t, "a"), "1");
    EXPECT_EQ(value(*t, "b"), "x\ny");
    EXPECT_EQ(value(*t, "c.d"), "2");
    EXPECT_EQ(value(*t, "lone"), "1");
    EXPECT_EQ(value(*t, "e"), "3");
}

TEST_F(PropertiesParserTest, IncludesStandInPlaceOfTheirLine) {
    dir.write("inner.txt", "x = 1\n}\n");
    dir.write("word.txt", "v = tail");
    dir.write("half.txt", "q = 'open");
    auto t = parse("box = {\n"
                   "<inner.txt>\n"
                   "after = 1\n"
                   "<word.txt>\n"
                   "<half.txt?ignored>\n"
                   "<word.txt\n"
                   "last = 2\n");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(value(*t, "box.x"), "1"); // opened in one file, closed in another
    EXPECT_EQ(value(*t, "after"), "1");
    EXPECT_EQ(value(*t, "v"), "tail");
    EXPECT_EQ(value(*t, "q"), "open"); // quoted text ends with its file
    EXPECT_EQ(value(*t, "last"), "2");
    EXPECT_EQ(t->count(), 5u);
}

TEST_F(PropertiesParserTest, ErrorsInsideAnIncludeNameItsFileAndLine) {
    dir.write("inc.txt", "# first\n\nb = = c\n");
    expectError("a = 1\n<inc.txt>\n", 1, 3, "inc.txt");
    dir.write("fine.txt", "a = 1\nb = 2\n");
    expectError("<fine.txt>\nx = = y\n", 1, 2); // the count resumes after the include

    dir.write("partial.txt", "made = 1\nbad = = 1\n");
    dir.write("main.txt", "first = 1\n<partial.txt>\n");
    Properties root;
    PropertiesParser parser("main.txt", &finder);
    EXPECT_THROW(parser.parse(root), PropertiesParser::Error);
    EXPECT_EQ(parser.lastError(), 1);
    EXPECT_EQ(parser.fileName(), "partial.txt");
    EXPECT_EQ(parser.line(), 2);
    EXPECT_EQ(root.count(), 2u); // what was made before the error stays
}

TEST_F(PropertiesParserTest, AtMostSixteenFilesAreOpenAtOnce) {
    // c0 includes c1 ... c14 includes c15: sixteen open files.
    for (int i = 0; i < 15; ++i)
        dir.write("c" + std::to_string(i) + ".txt",
                  "l" + std::to_string(i) + " = 1\n<c" + std::to_string(i + 1) + ".txt>\n");
    dir.write("c15.txt", "deep = 1\n");
    // Read from main.txt, c14's include of c15 opens a seventeenth file.
    expectError("<c0.txt>\n", 8, 2, "c14.txt");
    PropertiesParser chain("c0.txt", &finder);
    auto direct = chain.parse();
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(value(*direct, "deep"), "1");

    expectError("a = 1\n<main.txt>\n", 8, 2); // a file that includes itself
    dir.write("ping.txt", "\n<pong.txt>\n");
    dir.write("pong.txt", "<ping.txt>\n");
    std::optional<PropertiesParser::Error> loop = errorOf("<ping.txt>\n");
    ASSERT_TRUE(loop.has_value());
    EXPECT_EQ(loop->code(), 8);
}

TEST_F(PropertiesParserTest, IncludeOpeningsAreBoundedInNumber) {
    // d0 includes d1 six times, d1 includes d2 six times, and so on.
    for (int i = 0; i < 4; ++i) {
        std::string includes;
        for (int k = 0; k < 6; ++k)
            includes += "<d" + std::to_string(i + 1) + ".txt>\n";
        dir.write("d" + std::to_string(i) + ".txt", includes);
    }
    dir.write("d4.txt", "x = 1\n");
    auto fine = parse("<d1.txt>\n"); // 1 + 6 + 36 + 216 openings
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(value(*fine, "x"), "1");
    std::optional<PropertiesParser::Error> e = errorOf("<d0.txt>\n"); // 1555 openings
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->code(), 8);
}

TEST_F(PropertiesParserTest, HostileNestingAndCopyingAreBounded) {
    std::string nested;
    for (int i = 0; i < PropertiesParser::maxDepth; ++i)
        nested += "{";
    nested += "leaf = 1";
    for (int i = 0; i < PropertiesParser::maxDepth; ++i)
        nested += "}";
    auto t = parse(nested + "\n");
    ASSERT_NE(t, nullptr) << "256 nested blocks are allowed";
    expectError("\n" + nested + "\n{" + nested + "}\n", 7, 3);
    expectError("\n" + std::string(100000, '{'), 7, 2);

    // Each line doubles the tree before it: the copies stop at the limit.
    std::string doubling = "a0 = { x = 1 }\n";
    for (int i = 1; i < 40; ++i) {
        std::string prev = "a" + std::to_string(i - 1);
        doubling += "a" + std::to_string(i) + " = { p = $" + prev + "\n q = $" + prev + " }\n";
    }
    std::optional<PropertiesParser::Error> e = errorOf(doubling);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->code(), 7);
    EXPECT_LT(e->line(), 40);

    // Long texts count by their size: the fourth copy of a 300 kB value is
    // one too many.
    std::string big = "v = '" + std::string(300000, 'x') + "'\n";
    expectError(big + "a = $v\nb = $v\nc = $v\nd = $v\n", 7, 5);

    // A reference must not carry the tree deeper than blocks may go.
    std::string chain = "c = " + std::string(200, '{') + "leaf = 1" + std::string(200, '}') + "\n";
    expectError(chain + "d = " + std::string(60, '{') + "f = $c" + std::string(60, '}') + "\n", 7, 2);
    auto shallow = parse(chain + "d = $c\n");
    ASSERT_NE(shallow, nullptr);
}

TEST_F(PropertiesParserTest, MissingMainFileAnswersNull) {
    PropertiesParser missing("nothing.txt", &finder);
    EXPECT_EQ(missing.parse(), nullptr);
    Properties root;
    EXPECT_EQ(missing.parse(root), nullptr);
    PropertiesParser folder(dir.path());
    EXPECT_EQ(folder.parse(), nullptr);
    EXPECT_EQ(Properties::load(dir.path() + "/none.txt"), nullptr);

    std::string path = dir.write("plain.txt", "a = 1\n");
    Properties direct(path); // the identity resolver takes the name as the path
    EXPECT_EQ(value(direct, "a"), "1");
    Properties none(dir.path() + "/none.txt");
    EXPECT_EQ(none.count(), 0u);
}
