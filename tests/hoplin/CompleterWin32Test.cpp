// hoplin.exe as the launcher runs it on Windows: it moves the staged files
// over the installed ones and starts the launcher again with "-n".
#include "hoplin/Completer.h"
#include "platform/Clock.h"
#include "platform/Directory.h"
#include "platform/Process.h"
#include "tests/common/Files.h"
#include "tests/common/Links.h"
#include "tests/common/TempDir.h"
#include "tests/hoplin/Scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

class HoplinRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        before = platform::currentDirectory();
        ASSERT_TRUE(platform::changeDirectory(dir.path()));
        // The new launcher is the word recorder: it leaves "words.txt".
        fs::create_directories("tmp");
        fs::copy_file(RECORD_WORDS_EXE, "tmp/launcher.exe");
        std::ofstream("launcher.exe", std::ios::binary) << "the old launcher";
    }
    void TearDown() override { platform::changeDirectory(before); }

    // hoplin replaces itself with the launcher, so the launcher's marker is
    // what tells that it was started.
    bool waitForWords(uint32_t ms) {
        uint32_t start = platform::milliseconds();
        while (platform::milliseconds() - start < ms) {
            if (fs::exists("words.txt") && !testkit::readFile("words.txt").empty())
                return true;
            platform::sleepMilliseconds(50);
        }
        return false;
    }

    void expectCompleted() {
        ASSERT_TRUE(waitForWords(20000));
        EXPECT_EQ(testkit::readFile("words.txt"), "launcher.exe\n-n\n");
        EXPECT_EQ(testkit::readFile("launcher.exe"), testkit::readFile(RECORD_WORDS_EXE));
        EXPECT_FALSE(fs::exists("tmp/launcher.exe"));
        EXPECT_NE(testkit::readFile("hoplin.log").find("launcher.exe"), std::string::npos);
    }

    testkit::TempDir dir;
    std::string before;
};

} // namespace

TEST_F(HoplinRun, ReplacesTheStagedLauncherAndStartsItWithN) {
    EXPECT_EQ(platform::runAndWait(HOPLIN_EXE, {}), 0);
    expectCompleted();
}

TEST_F(HoplinRun, ADestinationHeldOpenIsRetriedUntilItIsReleased) {
    // Windows refuses to replace a file another process holds open; hoplin
    // tries again a second later.
    auto held = std::make_unique<std::ifstream>("launcher.exe", std::ios::binary);
    ASSERT_TRUE(held->is_open());
    std::thread release([&] {
        platform::sleepMilliseconds(1500);
        held.reset();
    });
    int code = platform::runAndWait(HOPLIN_EXE, {});
    release.join();
    EXPECT_EQ(code, 0);
    expectCompleted();
}

// [mend] The Windows system's C++ library never reports a link, so that
// hoplin once moved files through a junction; the platform's listing takes
// every reparse point (a Unix link under Wine too) for one.
TEST(Hoplin, AFolderThatIsALinkIsNeverMovedThrough) {
    // The scratch folders' own clean-up may follow the links, so each check
    // is made while they stand.
    testkit::TempDir outside;
    const std::string there = "../" + fs::path(outside.path()).filename().string();
    {
        hoplintest::Scratch dir;
        hoplintest::writeFile(outside.path() + "/victim.txt", "precious");
        ASSERT_TRUE(testkit::linkFolder(there, dir.path() + "/res"));
        hoplintest::writeFile("tmp/res/victim.txt", "staged");
        hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
        EXPECT_EQ(testkit::readFile(outside.path() + "/victim.txt"), "precious");
        EXPECT_NE(hoplintest::logText().find("#--Destino rechazado res/victim.txt\n"), std::string::npos);
    }
    // A staging folder that is a link hands nothing over.
    hoplintest::Scratch dir;
    hoplintest::writeFile(outside.path() + "/stolen.txt", "x");
    ASSERT_TRUE(testkit::linkFolder(there, dir.path() + "/tmp"));
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
    EXPECT_FALSE(fs::exists("stolen.txt"));
    EXPECT_NE(hoplintest::logText().find("0 Arcvhivos en tmp\n"), std::string::npos);
}
