// moravo-tool on POSIX systems: file names Windows cannot have, links, and
// a launcher program without its execute bit.
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::md5Of;
using updatetest::readFile;
using updatetest::TempDir;

// [mend] What is published here is installed on Windows: a name that is
// another file, a device or a stream there is refused with its name.
TEST(PublishCommand, ANameTheUpdaterWouldRefuseIsNeverPublished) {
    for (const char* bad : {"bad\\name.txt", "sub/CON.txt", "nul", "lpt1.log", "a:b", "MoravoTown.exe.",
                            "dir/x.", "blank ", "tmp/x.dll", "TMP/x.dll"}) {
        TempDir source, out, logs;
        source.write("good.txt", "x");
        source.write(bad, "x");
        testkit::ToolRun run = testkit::runTool(logs, {"publish", source.path(), out.path()});
        EXPECT_EQ(run.code, 1) << bad;
        EXPECT_NE(run.err.find(std::string("'") + bad), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out.path() + "/current.txt")) << bad;
    }
    // Windows would take the two for one file.
    TempDir source, out, logs;
    source.write("Data/x.pak", "one");
    source.write("data/X.pak", "two");
    testkit::ToolRun run = testkit::runTool(logs, {"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("'Data/x.pak' and 'data/X.pak'"), std::string::npos) << run.err;
}

// A web root served through a link is common; a link inside the release
// would be left out, and players would then delete what it once published.
TEST(PublishCommand, FoldersGivenThroughLinksWorkAndEveryLinkInTheReleaseIsNamed) {
    TempDir source, out, links, logs;
    source.write("a.txt", "alpha");
    fs::create_directory_symlink(source.path(), links.path() + "/release");
    fs::create_directory_symlink(out.path(), links.path() + "/www");
    testkit::ToolRun run =
        testkit::runTool(logs, {"publish", links.path() + "/release", links.path() + "/www"});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string published = readFile(out.path() + "/versions/1/checklist.txt");
    EXPECT_NE(published.find(" a.txt\n"), std::string::npos) << published;

    fs::create_symlink(source.path() + "/a.txt", source.path() + "/b.txt");
    fs::create_directory_symlink(links.path(), source.path() + "/more");
    run = testkit::runTool(logs, {"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("cannot publish the links 'b.txt', 'more'"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(out.path() + "/current.txt"), "./versions/1\n");
}

TEST(ScanAndVerifyCommands, ALauncherProgramThatCannotBeStartedIsReported) {
    TempDir install, logs;
    install.write("MoravoTown", "program");
    install.write("checklist.txt", md5Of("program") + " 7 0 MoravoTown\n");
    testkit::ToolRun verify = testkit::runTool(logs, {"verify", install.path()});
    EXPECT_EQ(verify.code, 1);
    EXPECT_NE(verify.out.find("not executable MoravoTown\n"), std::string::npos) << verify.out;
    fs::permissions(install.path() + "/MoravoTown", fs::perms(0755));
    EXPECT_EQ(testkit::runTool(logs, {"verify", install.path()}).code, 0);
}
