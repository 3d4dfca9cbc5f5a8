// The hand-off between the launcher and hoplin on Windows: each word must
// reach the new program whole, from any installation folder (one that the
// system's 8-bit code page cannot name, one so deep that the program's path
// passes MAX_PATH), and nothing the handing process holds open crosses over
// but its standard handles.
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "platform/Directory.h"
#include "platform/FileSystem.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string lowerNative(std::string path) {
    path = platform::nativeSeparators(path);
    std::transform(path.begin(), path.end(), path.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return path;
}

} // namespace

TEST(HandOff, TheWordsAndTheProgramsPathArriveWholeAndNoOtherHandleCrosses) {
    testkit::TempDir scratch;
    const std::string unicode =
        "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1"
        "a"; // Игры ゲーム Peña
    std::string deep = scratch.path();
    while (deep.size() < 280)
        deep += "/carpeta-" + std::string(40, 'p');
    const std::vector<std::string> words = {
        "C:\\Program Files (x86)\\Moravo\\", // a trailing backslash before the closing quote
        "say \"hola\"",                      // quotes inside a word
        "a\\\\\"b",                          // backslashes before a quote
        "",                                  // an empty word
        unicode,                             // letters of no one 8-bit code page
        "-n",
    };
    for (const std::string& folder : {scratch.path() + "/" + unicode, deep}) {
        SCOPED_TRACE(folder);
        const std::string program = folder + "/Moravo Town.exe";
        ASSERT_TRUE(fs::create_directories(platform::filePath(folder)));
        fs::copy_file(CHILD_PROGRAM, platform::filePath(program));
        std::string list = program + "\nreport";
        for (const std::string& word : words)
            list += "\n" + word;
        scratch.write("relay.txt", list);

        // The relay holds "relay.txt" open through a handle any started
        // program could inherit, and hands off to the program.
        platform::ChildProcess relay;
        platform::ChildProcess::Options options;
        options.directory = scratch.path();
        options.output = scratch.path() + "/report.txt";
        ASSERT_TRUE(relay.start(EXEC_RELAY, {}, options));
        EXPECT_EQ(relay.wait(platform::ChildProcess::kForever), 0) << "the relay ends as it hands off";

        // The program writes on into the same output, its last line once
        // it is done.
        std::vector<std::string> lines;
        const uint32_t start = platform::milliseconds();
        while ((lines = testkit::linesOf(options.output)).empty() || lines.back() != "done") {
            ASSERT_LT(platform::milliseconds() - start, 30000u) << "the handed-to program never finished";
            platform::sleepMilliseconds(50);
        }
        ASSERT_GT(lines.size(), words.size() + 2);
        EXPECT_EQ(lowerNative(lines[0]), "program " + lowerNative(program));
        EXPECT_EQ(lowerNative(lines[1]), lowerNative(scratch.path()));
        std::vector<std::string> expected;
        for (const std::string& word : words)
            expected.push_back("[" + word + "]");
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 2 + words.size()), expected);
        EXPECT_EQ(lines[2 + words.size()], "handle closed");
    }
}
