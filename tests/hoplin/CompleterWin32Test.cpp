// hoplin.exe as the launcher runs it on Windows: it moves the staged files
// over the installed ones and starts the launcher again with "-n".
#include "hoplin/Completer.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "platform/Directory.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "tests/common/Files.h"
#include "tests/common/Links.h"
#include "tests/common/TempDir.h"
#include "tests/hoplin/Scratch.h"

#include <windows.h>

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

// [mend] hoplin once took a bare "launcher.exe" from PATH when the
// installation had none: another program of that name could be started.
TEST_F(HoplinRun, ALauncherFoundOnlyAlongPathIsNeverStarted) {
    fs::remove_all("tmp");
    fs::remove("launcher.exe");
    testkit::TempDir bin;
    fs::copy_file(RECORD_WORDS_EXE, bin.path() + "/launcher.exe");
    platform::ChildProcess hoplin;
    platform::ChildProcess::Options options;
    options.directory = dir.path();
    options.environment = {"PATH=" + platform::nativeSeparators(bin.path())};
    ASSERT_TRUE(hoplin.start(HOPLIN_EXE, {}, options));
    EXPECT_EQ(hoplin.wait(20000), 1);
    EXPECT_FALSE(waitForWords(1000));
    EXPECT_NE(testkit::readText("hoplin.log").find("#--Error lanzando \"launcher.exe\""), std::string::npos);
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

namespace {

// Whether two names reach one file: the volume and the file's index, read
// through handles (std::filesystem cannot compare a name past MAX_PATH).
bool sameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE file = CreateFileW(platform::filePath(name).wstring().c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool told = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return told;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identity(a, first) && identity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

} // namespace

// The launcher's update completes and the launcher comes back from an
// installation whose folder the system's 8-bit code page cannot name, and
// from one so deep that the launcher's path passes MAX_PATH.
TEST(HoplinFolders, TheLauncherIsReplacedAndStartedAgainFromAnyFolder) {
    testkit::TempDir scratch;
    const std::string unicode =
        "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1"
        "a"; // Игры ゲーム Peña
    // A folder of about 250 characters: the programs in it pass MAX_PATH.
    std::string deep = scratch.path();
    while (deep.size() < 190)
        deep += "/carpeta-" + std::string(40, 'p');
    deep += "/" + std::string(250 - deep.size(), 'q');
    for (const std::string& folder : {scratch.path() + "/" + unicode, deep}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(fs::create_directories(platform::filePath(folder + "/tmp")));
        fs::copy_file(RECORD_WORDS_EXE, platform::filePath(folder + "/tmp/MoravoTown.exe"));
        std::ofstream(platform::filePath(folder + "/MoravoTown.exe"), std::ios::binary) << "the old launcher";
        const std::string launcher = platform::nativeSeparators(folder + "/MoravoTown.exe");
        platform::ChildProcess hoplin;
        platform::ChildProcess::Options options;
        options.directory = folder;
        ASSERT_TRUE(hoplin.start(HOPLIN_EXE, {launcher, "tmp"}, options));
        EXPECT_EQ(hoplin.wait(20000), 0);
        const uint32_t start = platform::milliseconds();
        while (testkit::readFile(folder + "/words.txt").empty() && platform::milliseconds() - start < 20000)
            platform::sleepMilliseconds(50);
        // Argument zero names the launcher; where the system cannot start a
        // program by a path that long (Wine), by its short form.
        const std::string words = testkit::readFile(folder + "/words.txt");
        const size_t end = words.find('\n');
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(sameFile(words.substr(0, end), launcher)) << words;
        EXPECT_EQ(words.substr(end + 1), "-n\n");
        EXPECT_EQ(testkit::readFile(folder + "/MoravoTown.exe"), testkit::readFile(RECORD_WORDS_EXE));
    }
}
