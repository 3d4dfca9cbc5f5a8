// The installation scanner: exclude rules, hashing and the listener's order.
#include "install/InstallScanner.h"
#include "tests/common/FileServer.h"
#include "tests/update/ScanRecorder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

TEST(InstallScanner, ExcludeRules) {
    TempDir dir;
    for (const char* file : {"keep.txt", ".svn/entries", "deep/er/.svn/x/y", "ZAzizozaz.exe",
                             "sub/ZAzizozaz.exe", "game.pdb", "sub/game.pdb", "checklist.txt",
                             "sub/checklist.txt", "saves/slot.dat", "a/Launch.txt", "myLaunch.txt"})
        dir.write(file, "x");
    // Names that end in a dot, where the file system keeps the dot (Windows
    // drops it).
    dir.write("probe.", "x");
    const bool dotsKept = !fs::exists(dir.path() + "/probe");
    fs::remove(dir.path() + (dotsKept ? "/probe." : "/probe"));
    if (dotsKept) {
        dir.write("name.", "x");
        dir.write("sub/also.", "x");
    }
    InstallScanner scanner(dir.path(), "checklist.txt");
    for (const char* pattern : {"ZAzizozaz.exe", "*.svn", "*.pdb", "saves", "*Launch.txt"})
        scanner.addExclude(pattern);
    EXPECT_EQ(listed(scanner),
              (std::vector<std::string>{"keep.txt", "sub/ZAzizozaz.exe", "sub/checklist.txt"}));
    EXPECT_TRUE(scanner.isExcluded(scanner.base() + "deep/.svn"));
    EXPECT_FALSE(scanner.isExcluded(scanner.base() + "deep/svn"));

    // The base gains one separator, never two.
    EXPECT_EQ(InstallScanner("x/").base(), "x/");
    EXPECT_EQ(InstallScanner("x\\").base(), "x\\");
    EXPECT_EQ(InstallScanner("x").prefixLength(), 2);
}

TEST(InstallScanner, ScanHashesEveryFileAndReportsInListingOrder) {
    TempDir dir;
    std::vector<std::string> expectedSteps;
    Manifest expected;
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "d%d/f%02d.bin", i % 3, i);
        const std::string bytes(static_cast<size_t>(i * 997), static_cast<char>('a' + i % 26));
        dir.write(name, bytes);
        expected[name] = ManifestEntry{md5Of(bytes), static_cast<int32_t>(bytes.size()), 0};
    }
    for (const auto& [path, entry] : expected)
        expectedSteps.push_back(dir.path() + "/" + path);
    for (int helpers : {0, 1, 3}) {
        InstallScanner scanner(dir.path());
        scanner.setHelperThreads(helpers);
        ScanRecorder recorder;
        Manifest manifest{{"stale", {}}};
        ASSERT_TRUE(scanner.scan(manifest, &recorder)) << helpers;
        EXPECT_EQ(manifest, expected) << helpers;
        std::vector<std::string> head(recorder.events.begin(), recorder.events.begin() + 3);
        EXPECT_EQ(head, (std::vector<std::string>{"stage 1", "begin 60", "stage 2"}));
        std::vector<std::string> steps(recorder.events.begin() + 3, recorder.events.end());
        EXPECT_EQ(steps, expectedSteps) << helpers;
    }
}
