// Runs "moravo-tool props FILE" as a layout author would.
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

testkit::ToolRun runProps(const testkit::TempDir& dir, const std::string& file) {
    std::vector<std::string> words{"props"};
    if (!file.empty())
        words.push_back(file);
    return testkit::runTool(dir, words);
}

} // namespace

TEST(PropsCommand, PrintsTheTreeIndentedByDepth) {
    testkit::TempDir dir;
    dir.write("inc.txt", "extra = 'two words'\n");
    dir.write("res.txt", "# login window\n"
                         "title = Hola\n"
                         "font = TTFont : 'arial.ttf?12'\n"
                         "box = {\n"
                         "  pos = (10,20)\n"
                         "  inner = { deep = '' }\n"
                         "}\n"
                         "Image : { pic.png }\n"
                         "note = 'line\none'\n"
                         "<inc.txt>\n");
    testkit::ToolRun run = runProps(dir, dir.path() + "/res.txt");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "title=Hola\n"
                       "font:TTFont=arial.ttf?12\n"
                       "box=\"\"\n"
                       "  pos=(10,20)\n"
                       "  inner=\"\"\n"
                       "    deep=\"\"\n"
                       ":Image=\"\"\n"
                       "  =pic.png\n"
                       "note=\"line\\none\"\n"
                       "extra=\"two words\"\n");
    EXPECT_EQ(run.err, "");
}

TEST(PropsCommand, SyntaxErrorsNameTheFileTheyAreInAndExitTwo) {
    testkit::TempDir dir;
    dir.write("inc.txt", "ok = 1\nbad = = 1\n");
    dir.write("res.txt", "a = 1\n<inc.txt>\n");
    testkit::ToolRun run = runProps(dir, dir.path() + "/res.txt");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "inc.txt: Error 1 en l\xC3\xADnea 2: No se esperaba =\n");
    EXPECT_EQ(run.out, "");

    dir.write("open.txt", "a = {\n\nb = 1\n");
    run = runProps(dir, dir.path() + "/open.txt");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "open.txt: Error 6 en l\xC3\xADnea 3: Se esperaba }\n");
}

TEST(PropsCommand, AFileThatCannotBeOpenedExitsOne) {
    testkit::TempDir dir;
    testkit::ToolRun run = runProps(dir, dir.path() + "/missing.txt");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("missing.txt"), std::string::npos) << run.err;

    run = runProps(dir, "");
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("usage: moravo-tool props FILE"), std::string::npos) << run.err;
}

TEST(PropsCommand, AFileNameWithoutDirectoryIsReadFromTheCurrentOne) {
    testkit::TempDir dir;
    dir.write("inc.txt", "b = 2\n");
    dir.write("res.txt", "a = 1\n<inc.txt>\n");
    testkit::ToolRun run = testkit::runTool(dir, {"props", "res.txt"}, dir.path());
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "a=1\nb=2\n");
}
