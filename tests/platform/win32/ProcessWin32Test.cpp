#include "platform/ChildProcess.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSync.h"
#include "platform/PrivateFile.h"
#include "platform/Process.h"
#include "platform/ProgramPath.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

TEST(WindowsProcess, ProgramsAreFoundWithTheirSuffixStartedAndWaitedFor) {
    EXPECT_EQ(std::string(platform::executableSuffix()), ".exe");
    EXPECT_NE(platform::programPath().find(".exe"), std::string::npos);
    EXPECT_FALSE(platform::findOnPath("cmd").empty());
    EXPECT_TRUE(platform::findProgram("no-such-program").empty());

    int pumped = 0;
    EXPECT_EQ(platform::runAndWait(
                  "cmd", {"/c", "exit", "7"}, [&] { ++pumped; }, 1),
              7);
    EXPECT_EQ(platform::runAndWait("no-such-program", {}), platform::kRunNotStarted);
    // A variable set here reaches the programs started later.
    ASSERT_TRUE(platform::setEnvironment("MORAVO_EXIT", "5"));
    EXPECT_EQ(platform::runAndWait("cmd", {"/c", "exit", "%MORAVO_EXIT%"}), 5);
    platform::setEnvironment("MORAVO_EXIT", nullptr);
}

TEST(WindowsProcess, ABareLibraryNameIsFoundInTheSystemFolder) {
    platform::DynamicLibrary kernel("kernel32.dll");
    ASSERT_TRUE(kernel.loaded()) << kernel.error();
    EXPECT_NE(kernel.symbol("GetTickCount"), nullptr);
    EXPECT_EQ(kernel.symbol("NoSuchExport"), nullptr);
    EXPECT_FALSE(kernel.error().empty());
    EXPECT_FALSE(platform::DynamicLibrary("no-such-library.dll").loaded());
}

TEST(WindowsFiles, PrivateFilesAreMadeOnceOrReplacedWhole) {
    testkit::TempDir dir;
    std::string path = dir.path() + "/secret";
    std::string error;
    ASSERT_TRUE(platform::writePrivateFile(path, "one", false, error)) << error;
    EXPECT_FALSE(platform::writePrivateFile(path, "two", false, error));
    EXPECT_EQ(error, "the file exists");
    ASSERT_TRUE(platform::writePrivateFile(path, "three", true, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "three");

    std::FILE* file = std::fopen((dir.path() + "/synced").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("bytes", file);
    EXPECT_TRUE(platform::syncFile(file));
    std::fclose(file);
    EXPECT_TRUE(platform::syncFileSystemOf(dir.path()));
}

TEST(WindowsProcess, AnInstallerForAdministratorsIsStartedAndWaitedFor) {
    // Windows refuses to start such a program plainly for a standard user
    // and the shell's elevation prompt starts it instead; Wine, whose user
    // is an administrator, starts it at once. Either way it is waited for.
    int pumped = 0;
    EXPECT_EQ(platform::runAndWait(ADMIN_CHILD, {"7"}, [&] { ++pumped; }, 1), 7);

    // Through the prompt itself, the words arrive whole.
    platform::ChildProcess child;
    platform::ChildProcess::Options options;
    options.elevation = platform::ChildProcess::Options::Elevation::always;
    ASSERT_TRUE(child.start(ADMIN_CHILD, {"count", "two words", "\"quoted\" and \\"}, options));
    EXPECT_EQ(child.wait(platform::ChildProcess::kForever), 4);
}
