// The update engine against servers and installations that misbehave:
// manifests in odd shapes or without end, servers that drip, folders of
// files that never arrived, and files another program holds open.
#include "install/PendingFile.h"
#include "platform/FileSync.h"
#include "tests/update/UpdaterFixture.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace updatetest;

namespace {

// An installed file held open by another program (the game, an antivirus
// scan): Windows refuses to replace a file opened without share-delete, as
// the C library opens it; POSIX replaces open files, so there the platform
// plays the refusal.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) {
#ifdef _WIN32
        held_ = std::make_unique<std::ifstream>(path, std::ios::binary);
        EXPECT_TRUE(held_->is_open());
#else
        heldName() = path;
        platform::setHeldFileHook(
            [](const std::string& to) { return fs::path(to).filename() == heldName(); });
#endif
    }
    ~HeldFile() {
        release();
    }
    void release() {
#ifdef _WIN32
        held_.reset();
#else
        platform::setHeldFileHook(nullptr);
#endif
    }

private:
#ifdef _WIN32
    std::unique_ptr<std::ifstream> held_;
#else
    static std::string& heldName() {
        static std::string name;
        return name;
    }
#endif
};

} // namespace

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

TEST_F(UpdaterTest, ACurrentLineCutShortIsAFailedFetchNeverAMove) {
    publish("a.txt", "alpha");
    server.put("/rel/current.txt", "./versions/12\n");
    server.setFault("/rel/current.txt", FileServer::Fault::cut, 3);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "error " + std::to_string(Updater::connectionError));
    // Nothing asked of the place the cut line names ("./v").
    EXPECT_EQ(server.requested(), std::vector<std::string>{"/rel/current.txt"});
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

TEST_F(UpdaterTest, AHeldDestinationKeepsItsVerifiedFileAndItGoesInLaterWithoutASecondDownload) {
    const Published& data = publish("data.pak", bytesOf(30000, 8));
    publish("z.txt", "after it");
    install.write("data.pak", "the installed version");
    HeldFile held("data.pak");
    Updater first(location());
    run(first);
    // Ten seconds of renames, the pauses doubling, then the run fails with
    // the file kept whole beside the one still in place.
    EXPECT_EQ(pauses, (std::vector<uint32_t>{100, 200, 400, 800, 1600, 3200, 3700}));
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin data.pak 30000", "error 48", "error 48"}));
    EXPECT_EQ(readFile("data.pak"), "the installed version");
    EXPECT_EQ(readFile(std::string("data.pak") + PendingFile::suffix), data.bytes);
    EXPECT_EQ(localManifest()["data.pak"].hash, md5Of("the installed version"));

    // The next run finds it held still, and it is let go during the retries:
    // the kept file goes in, and the server is not asked for it again.
    Recorder second;
    std::vector<uint32_t> secondPauses;
    Updater later(location());
    later.setPause([&](uint32_t ms) {
        secondPauses.push_back(ms);
        if (secondPauses.size() == 2)
            held.release();
    });
    later.prepareUpdate(&second, 0, 0);
    later.run();
    EXPECT_EQ(second.all().back(), "finished 0");
    EXPECT_EQ(secondPauses.size(), 2u);
    EXPECT_EQ(readFile("data.pak"), data.bytes);
    EXPECT_EQ(server.gets("/rel/data.pak.zz"), 1);
    EXPECT_EQ(readFile("z.txt"), "after it");
    EXPECT_TRUE(leftovers().empty());
}
