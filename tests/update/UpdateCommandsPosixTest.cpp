// moravo-tool on POSIX systems: a file name Windows cannot have, and a
// launcher program without its execute bit.
#include "tests/common/ToolRun.h"
#include "tests/update/FileServer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::md5Of;
using updatetest::TempDir;

TEST(PublishCommand, ANameTheUpdaterWouldRefuseIsNeverPublished) {
    TempDir source, out, logs;
    source.write("good.txt", "x");
    source.write("bad\\name.txt", "x");
    testkit::ToolRun run = testkit::runTool(logs, {"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("bad\\name.txt"), std::string::npos) << run.err;
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
