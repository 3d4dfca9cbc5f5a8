#include "platform/ChildProcess.h"
#include "platform/Directory.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "platform/PrivateFile.h"
#include "platform/Process.h"
#include "platform/ProgramPath.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// A program installed in a folder that the 8-bit code page cannot name finds
// its own path, its words and its files, with the system's usual code page
// and with UTF-8 as the code page (the system setting "Use Unicode UTF-8 for
// worldwide language support", given here to the one program by its
// manifest, since Wine does not take it from the registry).
TEST(WindowsProcess, AProgramInAnyFolderFindsItselfUnderEitherCodePage) {
    testkit::TempDir scratch;
    const std::string unicode =
        "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1"
        "a"; // Игры ゲーム Peña
    const std::string folder = scratch.path() + "/" + unicode;
    ASSERT_TRUE(std::filesystem::create_directories(platform::filePath(folder)));
    for (const std::string& child : {std::string(CHILD_PROGRAM), std::string(UTF8_CHILD)}) {
        SCOPED_TRACE(child);
        const std::string program = platform::nativeSeparators(folder + "/Moravo " + unicode + ".exe");
        std::filesystem::copy_file(child, platform::filePath(program),
                                   std::filesystem::copy_options::overwrite_existing);
        platform::ChildProcess run;
        platform::ChildProcess::Options options;
        options.directory = folder;
        options.output = scratch.path() + "/report.txt";
        ASSERT_TRUE(run.start(program, {"report", unicode}, options));
        ASSERT_EQ(run.wait(platform::ChildProcess::kForever), 0);
        const std::vector<std::string> lines = testkit::linesOf(options.output);
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_EQ(lines[0], "program " + program);
        EXPECT_EQ(lines[2], "[" + unicode + "]");
        EXPECT_EQ(lines[4], "narrow opens");
        if (child == UTF8_CHILD) {
            EXPECT_EQ(lines[5], "code page 65001");
        }
    }
}

TEST(WindowsProcess, AnInstallerForAdministratorsIsStartedAndWaitedFor) {
    // Windows refuses to start such a program plainly for a standard user
    // and the shell's elevation prompt starts it instead; Wine, whose user
    // is an administrator, starts it at once. Either way it is waited for.
    int pumped = 0;
    EXPECT_EQ(platform::runAndWait(
                  ADMIN_CHILD, {"7"}, [&] { ++pumped; }, 1),
              7);

    // Through the prompt itself, the words arrive whole.
    platform::ChildProcess child;
    platform::ChildProcess::Options options;
    options.elevation = platform::ChildProcess::Options::Elevation::always;
    ASSERT_TRUE(child.start(ADMIN_CHILD, {"count", "two words", "\"quoted\" and \\"}, options));
    EXPECT_EQ(child.wait(platform::ChildProcess::kForever), 4);
}
