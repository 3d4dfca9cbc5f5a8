// The update engine against servers and installations that misbehave:
// manifests in odd shapes or without end, servers that drip, and folders of
// files that never arrived.
#include "tests/update/UpdaterFixture.h"

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

TEST_F(UpdaterTest, AManifestWithoutEndIsRefusedWith240BeforeAnythingChanges) {
    publish("a.txt", "alpha");
    install.write("kept.txt", "not published, but nothing may be deleted");
    server.setFault("/rel/checklist.txt", FileServer::Fault::endless);
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    EXPECT_EQ(recorder.all().back(), "error 240");
    EXPECT_TRUE(fs::exists("kept.txt"));
    EXPECT_FALSE(fs::exists("a.txt"));
}

TEST_F(UpdaterTest, AServerThatDripsFailsEachAttemptWithinTheReceiveTimeout) {
    publish("a.bin", bytesOf(20000, 2));
    Updater updater(location());
    updater.setReceiveTimeout(300);
    // The body: 10 bytes every 20 ms is less than 1 KiB in any 300 ms.
    server.setFault("/rel/a.bin.zz", FileServer::Fault::dripBody, 10);
    const auto start = std::chrono::steady_clock::now();
    run(updater, 2);
    EXPECT_EQ(recorder.count("error 2245"), 3u); // two attempts and the run's end
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists("a.bin"));

    // The response head, a byte every 20 ms, never arrives whole in time.
    server.setFault("/rel/a.bin.zz", FileServer::Fault::dripHead);
    Recorder head;
    Updater second(location());
    second.setReceiveTimeout(300);
    second.setPause([](uint32_t) {});
    second.prepareUpdate(&head, 0, 0);
    second.run();
    EXPECT_EQ(head.all().back(), "error 224");
    server.setFault("/rel/checklist.txt", FileServer::Fault::dripHead);
    Recorder manifestHead;
    Updater third(location());
    third.setReceiveTimeout(300);
    third.prepareUpdate(&manifestHead, 0, 0);
    third.run();
    EXPECT_EQ(manifestHead.all().back(), "error 4096");
}

TEST_F(UpdaterTest, AFileThatNeverArrivesLeavesNoFolderMadeForIt) {
    publish("new/deeper/a.bin", "alpha");
    server.setFault("/rel/new/deeper/a.bin.zz", FileServer::Fault::notFound);
    install.write("new/kept.txt", "a folder that was there stays");
    publish("other/a.bin", "bravo");
    server.setFault("/rel/other/a.bin.zz", FileServer::Fault::notFound);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "error 224");
    EXPECT_FALSE(fs::exists("new/deeper"));
    EXPECT_TRUE(fs::exists("new/kept.txt"));
    install.write("new/kept.txt", "");
    fs::remove_all("new");
    Recorder again;
    Updater second(location());
    second.prepareUpdate(&again, 0, 0);
    second.run();
    EXPECT_EQ(again.all().back(), "error 224");
    EXPECT_FALSE(fs::exists("new"));
}
