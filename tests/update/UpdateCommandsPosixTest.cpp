// moravo-tool on POSIX systems: file names Windows cannot have, and a
// launcher program without its execute bit.
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::md5Of;
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
        EXPECT_FALSE(fs::exists(out.path() + "/checklist.txt")) << bad;
    }
    // Windows would take the two for one file.
    TempDir source, out, logs;
    source.write("Data/x.pak", "one");
    source.write("data/X.pak", "two");
    testkit::ToolRun run = testkit::runTool(logs, {"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("'Data/x.pak' and 'data/X.pak'"), std::string::npos) << run.err;
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
