// A new version goes live in one step: a publish that fails at any point
// leaves what players get as it was, and a player in the middle of an
// update finishes the version they started.
#include "publish/PublicationVersions.h"
#include "platform/FileSync.h"
#include "platform/Process.h"
#include "publish/PublicationSigning.h"
#include "publish/Publisher.h"
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"
#include "tests/update/GameBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using testkit::ToolRun;
using updatetest::FileServer;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

// Every file below `dir` (the publisher's lock files aside), with its bytes.
std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.compare(0, 15, ".moravo-publish") != 0)
            files[fs::relative(entry.path(), dir).generic_string()] = readFile(entry.path().string());
    }
    return files;
}

// Copies the folder `from` into the new folder `to`, file by file (the
// standard library's recursive copy into a folder refuses on Windows).
void copyTree(const std::string& from, const std::string& to) {
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = fs::path(to) / fs::relative(entry.path(), from);
        if (entry.is_directory())
            fs::create_directories(target);
        else
            fs::copy_file(entry.path(), target);
    }
}

// The files the publisher makes, counted; the one numbered `failing` is
// refused as a full disk refuses it.
std::atomic<int> made{0};
std::atomic<int> failing{0};
int fullDiskAt(const std::string&) {
    return ++made == failing ? ENOSPC : 0;
}

struct NewFileHook {
    explicit NewFileHook(int failAt) {
        made = 0;
        failing = failAt;
        platform::setNewFileHook(fullDiskAt);
    }
    ~NewFileHook() { platform::setNewFileHook(nullptr); }
};

} // namespace

class PublicationVersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string publicKey, error;
        ASSERT_TRUE(createSigningKey(keys.path() + "/key.pem", false, publicKey, error)) << error;
        large = updatetest::gameBytes(static_cast<size_t>(chunkedFileThreshold) + 200000, 1);
        source.write("data/world.pak", large);
        source.write("readme.txt", "version 1\n");
        source.write("sub/notes.txt", "notes");
    }
    bool publish(PublishReport& report) { return publishInto(out.path(), report); }
    bool publishInto(const std::string& folder, PublishReport& report) {
        SignatureReport signature;
        return publishSignedRelease(source.path(), folder, keys.path() + "/key.pem", 0, 1700000000 + ++runs,
                                    report, signature);
    }
    // The next version: one small file changed, one added, the large one
    // changed in its middle.
    void nextRelease() {
        large.replace(large.size() / 2, 30000, updatetest::gameBytes(30000, 7));
        source.write("data/world.pak", large);
        source.write("readme.txt", "version 2\n");
        source.write("new.txt", "new");
    }

    TempDir source, out, keys;
    std::string large;
    int runs = 0;
};

TEST_F(PublicationVersionsTest, AFailureAtAnyStepLeavesWhatPlayersGetAsItWas) {
    PublishReport report;
    ASSERT_TRUE(publish(report)) << report.error;
    const std::map<std::string, std::string> before = snapshot(out.path());
    nextRelease();

    // How many files the next publish makes (in a copy of the folder).
    TempDir copy;
    copyTree(out.path(), copy.path());
    int total = 0;
    {
        NewFileHook counting(0);
        ASSERT_TRUE(publishInto(copy.path(), report)) << report.error;
        total = made;
    }
    ASSERT_GT(total, 8);
    // The first files (.zz files, chunks), one in the middle, and the last
    // ones (the chunk list, the manifest, the signatures, current.txt).
    bool reasonTold = false;
    for (int at : {1, 2, 3, total / 2, total - 4, total - 3, total - 2, total - 1, total}) {
        SCOPED_TRACE("the disk is full at new file " + std::to_string(at) + " of " + std::to_string(total));
        NewFileHook full(at);
        EXPECT_FALSE(publish(report));
        EXPECT_NE(report.error.find("unchanged"), std::string::npos) << report.error;
        reasonTold = reasonTold || report.error.find("No space left on device") != std::string::npos;
        EXPECT_TRUE(snapshot(out.path()) == before);
    }
    EXPECT_TRUE(reasonTold);
    // What players get still installs and verifies exactly.
    FileServer server;
    server.putDirectory(out.path(), "/rel");
    TempDir install, logs;
    const std::string location = "127.0.0.1:" + std::to_string(server.port()) + "/rel";
    ToolRun run = testkit::runTool(logs, {"update", install.path(), location});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(readFile(install.path() + "/readme.txt"), "version 1\n");
    EXPECT_EQ(testkit::runTool(logs, {"verify", install.path()}).code, 0);

    // A killed publish leaves a version folder that never went live: the
    // next publish removes it, and goes live.
    fs::create_directories(out.path() + "/versions/2/data");
    testkit::writeFile(out.path() + "/versions/2/data/world.pak.zz", "half");
    ASSERT_TRUE(publish(report)) << report.error;
    EXPECT_EQ(report.unfinished, 1);
    EXPECT_EQ(report.version, "versions/2");
    EXPECT_EQ(readFile(out.path() + "/current.txt"), "./versions/2\n");
    EXPECT_NE(readFile(out.path() + "/versions/2/data/world.pak.zz"), "half");
    EXPECT_EQ(listVersions(out.path()), (std::vector<int64_t>{1, 2}));
}

// A publication from before versions (its manifest at the top of the folder)
// is version 0: the first publish builds version 1 beside it, and it goes
// once past the grace period.
TEST_F(PublicationVersionsTest, AFolderPublishedTheOldWayMovesToVersionsByItself) {
    PublishReport report;
    ASSERT_TRUE(publish(report)) << report.error;
    TempDir old;
    copyTree(out.path() + "/versions/1", old.path());
    testkit::writeFile(old.path() + "/current.txt", "");
    testkit::writeFile(old.path() + "/index.html", "the operator's own");

    nextRelease();
    ASSERT_TRUE(publishInto(old.path(), report)) << report.error;
    EXPECT_EQ(report.version, "versions/1");
    EXPECT_EQ(report.kept, 1); // shared from the old files
    EXPECT_TRUE(fs::exists(old.path() + "/checklist.txt"));
    source.write("readme.txt", "version 3\n");
    ASSERT_TRUE(publishInto(old.path(), report)) << report.error;
    EXPECT_EQ(report.retired, 1);
    EXPECT_FALSE(fs::exists(old.path() + "/checklist.txt"));
    EXPECT_FALSE(fs::exists(old.path() + "/readme.txt.zz"));
    EXPECT_FALSE(fs::exists(old.path() + "/" + chunkStoreName));
    EXPECT_EQ(readFile(old.path() + "/index.html"), "the operator's own");
    // A current.txt that sends launchers elsewhere is the operator's: kept.
    testkit::writeFile(old.path() + "/current.txt", "mirror.invalid/updates\n");
    EXPECT_FALSE(publishInto(old.path(), report));
    EXPECT_NE(report.error.find("sends launchers to 'mirror.invalid/updates'"), std::string::npos)
        << report.error;
}

// A player part way through an update when the next version goes live ends
// with the version they started; their next update brings the new one,
// with deltas.
TEST_F(PublicationVersionsTest, APlayerMidUpdateFinishesTheVersionTheyStarted) {
    PublishReport report;
    ASSERT_TRUE(publish(report)) << report.error;
    FileServer server;
    server.putDirectory(out.path(), "/rel");
    const std::string stalled = "/rel/versions/1/data/world.pak.zz";
    server.setFault(stalled, FileServer::Fault::silent, 100000, 1);
    TempDir install, logs;
    const std::string location = "127.0.0.1:" + std::to_string(server.port()) + "/rel";
    platform::ChildOptions quiet;
    quiet.output = logs.path() + "/out";
    quiet.error = logs.path() + "/err";
    testkit::Child child;
    ASSERT_TRUE(child.start(testkit::kMoravoTool, {"update", install.path(), location}, {}, "", quiet));
    server.waitForSilence();

    nextRelease();
    ASSERT_TRUE(publish(report)) << report.error;
    server.putDirectory(out.path(), "/rel");
    server.release();
    EXPECT_EQ(child.wait(30000), 0) << readFile(logs.path() + "/err");
    EXPECT_EQ(readFile(install.path() + "/readme.txt"), "version 1\n");
    EXPECT_FALSE(fs::exists(install.path() + "/new.txt"));

    ToolRun run = testkit::runTool(logs, {"update", install.path(), location});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(readFile(install.path() + "/readme.txt"), "version 2\n");
    EXPECT_TRUE(readFile(install.path() + "/data/world.pak") == large);
    EXPECT_EQ(server.gets("/rel/versions/2/data/world.pak.zz"), 0); // its changed chunks only
    EXPECT_EQ(testkit::runTool(logs, {"verify", install.path()}).code, 0);
}
