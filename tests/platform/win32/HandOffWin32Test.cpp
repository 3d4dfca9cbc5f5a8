// The hand-off between the launcher and hoplin on Windows: the run-time
// library's exec joins the words into one command line, and each must reach
// the new program whole, from any installation folder.
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "tests/common/TempDir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

TEST(HandOff, EveryWordArrivesWholeThroughTheRunTimeExec) {
    testkit::TempDir scratch;
    // The program handed to lives where players install: a folder with a
    // blank and a letter outside ASCII ("Juegos de Peña", in the system's
    // 8-bit code page, as the ANSI calls see it).
    const std::string folder = scratch.path() + "\\Juegos de Pe\xF1" "a";
    const std::string program = folder + "\\Moravo Town.exe";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(CHILD_PROGRAM, program.c_str(), TRUE));

    const std::vector<std::string> words = {
        "0", // the child's exit code
        folder + "\\MoravoTown.exe",
        "tmp",
        "C:\\Program Files (x86)\\Moravo\\", // a trailing backslash before the closing quote
        "say \"hola\"",                      // quotes inside a word
        "a\\\\\"b",                          // backslashes before a quote
        "",                                  // an empty word
        "-n",
    };
    std::string list = program + "\n";
    for (size_t i = 0; i < words.size(); ++i)
        list += words[i] + (i + 1 < words.size() ? "\n" : "");
    scratch.write("relay.txt", list);

    platform::ChildProcess relay;
    platform::ChildProcess::Options options;
    options.directory = scratch.path();
    options.environment = {"MORAVO_CHILD=done"};
    options.output = scratch.path() + "\\words.txt";
    options.input = scratch.write("empty.txt", "");
    ASSERT_TRUE(relay.start(EXEC_RELAY, {}, options));
    relay.wait(platform::ChildProcess::kForever);

    // The relay ends as it hands off; the program it started writes on into
    // the same output, its last line once it is done.
    std::vector<std::string> lines;
    const uint32_t start = platform::milliseconds();
    while ((lines = testkit::linesOf(options.output)).empty() || lines.back() != "done") {
        ASSERT_LT(platform::milliseconds() - start, 30000u) << "the handed-to program never finished";
        platform::sleepMilliseconds(50);
    }
    std::vector<std::string> expected;
    for (size_t i = 1; i < words.size(); ++i)
        expected.push_back("[" + words[i] + "]");
    const std::vector<std::string> received(lines.begin() + 1, lines.end() - 1);
    EXPECT_EQ(received, expected);
}
