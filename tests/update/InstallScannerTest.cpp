// The installation scanner: exclude rules, links, hashing, the listener's
// order and the first failure in listing order.
#include "update/InstallScanner.h"
#include "tests/update/FileServer.h"
#include "update/UpdaterListener.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::md5sumOf;
using updatetest::TempDir;

namespace {

class ScanRecorder : public UScannerListener {
public:
    void onStage(int32_t stage) override { events.push_back("stage " + std::to_string(stage)); }
    void onScanBegin(int32_t count) override {
        events.push_back("begin " + std::to_string(count));
        if (atBegin)
            atBegin();
    }
    void onScanStep(const std::string& path) override { events.push_back(path); }

    std::vector<std::string> events;
    std::function<void()> atBegin;
};

std::vector<std::string> listed(const InstallScanner& scanner) {
    std::vector<std::string> files;
    EXPECT_GE(scanner.list(files), 0);
    return files;
}

} // namespace

TEST(InstallScanner, ExcludeRules) {
    TempDir dir;
    for (const char* file :
         {"keep.txt", ".svn/entries", "deep/er/.svn/x/y", "ZAzizozaz.exe", "sub/ZAzizozaz.exe", "name.",
          "sub/also.", "game.pdb", "sub/game.pdb", "checklist.txt", "sub/checklist.txt", "saves/slot.dat",
          "a/Launch.txt", "myLaunch.txt"})
        dir.write(file, "x");
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

TEST(InstallScanner, LinksAreNeitherFollowedNorListed) {
    TempDir outside, dir;
    outside.write("secret/passwords.txt", "keep out");
    dir.write("real/file.txt", "in");
    fs::create_directory_symlink(outside.path() + "/secret", dir.path() + "/linked-dir");
    fs::create_symlink(outside.path() + "/secret/passwords.txt", dir.path() + "/linked-file");
    fs::create_symlink(dir.path() + "/nowhere", dir.path() + "/dangling");
    InstallScanner scanner(dir.path());
    EXPECT_EQ(listed(scanner), std::vector<std::string>{"real/file.txt"});
    Manifest manifest;
    EXPECT_TRUE(scanner.scan(manifest, nullptr));
    EXPECT_EQ(manifest.size(), 1u);

    // A missing base lists nothing and is no failure.
    std::vector<std::string> none;
    EXPECT_EQ(InstallScanner(dir.path() + "/absent").list(none), 0);
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
        expected[name] = ManifestEntry{md5sumOf(bytes), static_cast<int32_t>(bytes.size()), 0};
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

TEST(InstallScanner, TheFirstFailureInListingOrderDecidesTheError) {
    // Files vanish (open fails) or turn into folders (read fails) after the
    // listing; whichever comes first in listing order is reported, however
    // the hashing is shared between threads.
    for (bool openFirst : {true, false}) {
        for (int helpers : {0, 1, 3}) {
            TempDir dir;
            for (int i = 0; i < 40; ++i)
                dir.write("f" + std::to_string(100 + i), std::string(5000, 'x'));
            const std::string early = dir.path() + "/f105", late = dir.path() + "/f130";
            InstallScanner scanner(dir.path());
            scanner.setHelperThreads(helpers);
            ScanRecorder recorder;
            recorder.atBegin = [&] {
                const std::string& vanish = openFirst ? early : late;
                const std::string& folder = openFirst ? late : early;
                fs::remove(vanish);
                fs::remove(folder);
                fs::create_directory(folder);
            };
            Manifest manifest;
            EXPECT_FALSE(scanner.scan(manifest, &recorder));
            EXPECT_EQ(scanner.error(), openFirst ? InstallScanner::openFailed : InstallScanner::readFailed)
                << helpers;
            EXPECT_EQ(recorder.events.back(), early) << helpers;
            EXPECT_EQ(recorder.events.size(), 3u + 6u) << helpers;
        }
    }
}
