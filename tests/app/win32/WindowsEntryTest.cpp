#include "app/LauncherServices.h"
#include "app/Registry.h"
#include "platform/Process.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

TEST(WindowsEntry, TheSplitterReadsTheProcessCommandLineWithItsQuotes) {
    testkit::TempDir dir;
    std::string out = dir.path() + "/words.txt";
    // The words reach the child as one command line, as Windows passes it.
    int code = platform::runAndWait(COMMAND_LINE_CHILD, {out, "\"-n\"", "\"a b\"", "\"\"", "\"a\\\"b\"",
                                                         "plain", "x", "y", "z", "rest of", "it"});
    ASSERT_EQ(code, 0);
    EXPECT_EQ(testkit::readFile(out), "-n\na b\n\na\\\"b\nplain\nx\ny\nz rest of it\n");
}

TEST(WindowsEntry, TheLaunchersValuesLiveUnderTheUsersSoftWareMoravoKey) {
    app::Registry::deleteValue("wine-test");
    EXPECT_EQ(app::Registry::readString("wine-test", "default"), "default");
    app::Registry::writeString("wine-test", "\x01\xE9 value");
    EXPECT_EQ(app::Registry::readString("wine-test", "default"), "\x01\xE9 value");
    // The system's own tool finds it at the key the game reads.
    EXPECT_EQ(platform::runAndWait("reg", {"query", "HKCU\\SoftWare\\Moravo", "/v", "wine-test"}), 0);
    app::Registry::deleteValue("wine-test");
    EXPECT_NE(platform::runAndWait("reg", {"query", "HKCU\\SoftWare\\Moravo", "/v", "wine-test"}), 0);
}

// The survey as the launcher makes it: SDL's window system started first,
// then Wine's registry, memory status, WMI and Direct3D 9 (over the X
// server's OpenGL). What Wine tells is printed for the record.
TEST(WindowsEntry, TheSurveyTellsMemoryAdapterShadersAndResolutions) {
    // The driver SDL picks for a real run, not the suites' "dummy".
    ASSERT_TRUE(platform::setEnvironment("SDL_VIDEODRIVER", nullptr));
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    app::HardwareInfo info = app::LauncherServices().survey();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::printf(
        "cpu \"%s\" %u MHz x%u, %llu bytes, adapter \"%s\", vs %d ps %d, video memory %llu, %zu sizes\n",
        info.cpuName.c_str(), info.cpuMHz, info.cores, static_cast<unsigned long long>(info.memoryBytes),
        app::toUtf8(info.adapterName).c_str(), info.vsMajor, info.psMajor,
        static_cast<unsigned long long>(info.videoMemoryBytes), info.resolutions.size());
    EXPECT_GT(info.memoryBytes, 0u);
    EXPECT_FALSE(info.cpuName.empty());
    EXPECT_FALSE(info.adapterName.empty());
    EXPECT_GT(info.vsMajor, 0);
    EXPECT_GT(info.psMajor, 0);
    ASSERT_FALSE(info.resolutions.empty());
    EXPECT_TRUE(std::all_of(info.resolutions.begin(), info.resolutions.end(),
                            [](const app::Resolution& r) { return r.first >= 800 && r.second >= 600; }));
}
