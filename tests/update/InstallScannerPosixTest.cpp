// The installation scanner on POSIX file systems: links, and a file that
// turns into a folder, which opens there and fails only when read.
#include "install/InstallScanner.h"
#include "tests/common/FileServer.h"
#include "tests/update/ScanRecorder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

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
