// Runs "moravo-tool survey" and "login" as support staff would.
#include "tests/app/LoginService.h"
#include "tests/common/LoopbackServer.h"
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <string>

using nettest::LoopbackServer;
using nettest::ServerConnection;

namespace {

std::string connectionFile(int port) {
    return "<ZEP><server address=\"127.0.0.1\" port=\"" + std::to_string(port) + "\" ssl=\"0\"/></ZEP>";
}

} // namespace

TEST(SurveyCommand, PrintsEveryFieldAndTheMachineClass) {
    testkit::TempDir dir;
    testkit::ToolRun run = testkit::runTool(dir, {"survey"});
    ASSERT_EQ(run.code, 0) << run.err;
    for (const char* field :
         {"cores: ", "cpuName: ", "cpuMHz: ", "memoryBytes: ", "adapterName: ", "videoMemoryBytes: ",
          "vsMajor: ", "psMajor: ", "resolutions:", "machineClass: ",
          "N\xC3\xBA"
          "cleos: ",
          "Memor\xC3\xAD"
          "a RAM: ",
          "Versi\xC3\xB3n de Shader: "})
        EXPECT_NE(run.out.find(field), std::string::npos) << field;
}

TEST(LoginCommand, AcceptedRefusedAndUnreadableConfiguration) {
    testkit::TempDir dir;
    LoopbackServer accepting(apptest::loginService("0"));
    dir.write("ZEP_client.xml", connectionFile(accepting.port()));
    testkit::ToolRun ok = testkit::runTool(dir, {"login", "600123456", "clave"}, dir.path());
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "0 Login aceptado.\n");
    ASSERT_EQ(accepting.requests().size(), 1u);
    EXPECT_NE(accepting.requests()[0].second.find("Password=\"clave\""), std::string::npos);

    LoopbackServer refusing(apptest::loginService("1"));
    std::string other = dir.write("other.xml", connectionFile(refusing.port()));
    testkit::ToolRun refused = testkit::runTool(dir, {"login", "--config", other, "600", "mala"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.out, "1 Nombre o password son incorrectos.\n");

    testkit::ToolRun missing =
        testkit::runTool(dir, {"login", "--config", dir.path() + "/none.xml", "600", "x"});
    EXPECT_EQ(missing.code, 2);
    testkit::ToolRun usage = testkit::runTool(dir, {"login", "onlyone"});
    EXPECT_EQ(usage.code, 2);
}

// Every command answers --help and -h with its usage instead of running;
// --version names the build's version.
TEST(ToolHelp, EveryCommandTellsItsUsageAndTheToolItsVersion) {
    testkit::TempDir dir;
    for (const char* command :
         {"props", "survey", "login", "keygen", "publish", "scan", "verify", "update", "widgets"}) {
        for (const char* flag : {"--help", "-h"}) {
            testkit::ToolRun run = testkit::runTool(dir, {command, "x", flag});
            EXPECT_EQ(run.code, 0) << command << " " << flag << ": " << run.err;
            EXPECT_EQ(run.out.rfind(std::string("usage: moravo-tool ") + command + " ", 0), 0u) << run.out;
        }
    }
    EXPECT_NE(testkit::runTool(dir, {"publish", "-h"}).out.find("--allow-removals"), std::string::npos);
    testkit::ToolRun version = testkit::runTool(dir, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("moravo-tool 1.", 0), 0u) << version.out;
}
