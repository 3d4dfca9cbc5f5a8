// Large files that resume: a connection that breaks mid-file is continued
// with a Range request from the compressed bytes kept beside the file, in
// the next attempt or the next run, and never from bytes of another
// publication; the other leftovers of earlier runs go.
#include "install/PendingFile.h"
#include "install/ResumeFile.h"
#include "tests/update/UpdaterFixture.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

namespace {

constexpr int64_t threshold = 100000;
const std::string keptName = std::string("big.bin") + ResumeFile::suffix;

} // namespace

TEST_F(UpdaterTest, AFileCutEveryFewKilobytesArrivesWholeAskingOnlyForTheRest) {
    const Published& big = publish("big.bin", bytesOf(600000, 3));
    server.cutEveryConnectionAfter(48 * 1024);
    Updater updater(location());
    updater.setResumeThreshold(threshold);
    run(updater, 50);
    ASSERT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(readFile("big.bin"), big.bytes);
    EXPECT_FALSE(fs::exists(keptName));
    // Each new connection continued where the last one broke.
    const std::vector<int64_t> ranges = server.rangesAsked("/rel/big.bin.zz");
    ASSERT_GE(ranges.size(), 4u);
    for (size_t i = 1; i < ranges.size(); ++i)
        EXPECT_GT(ranges[i], ranges[i - 1]);
    EXPECT_EQ(recorder.count("error 2245"), ranges.size());
    // Nothing was sent twice but what the manifest took.
    EXPECT_LE(server.bodyBytesSent(), big.packed.size() + 200);
}

TEST_F(UpdaterTest, AServerThatIgnoresRangesSendsTheWholeFileAgainAndItStillArrives) {
    const Published& big = publish("big.bin", bytesOf(300000, 4));
    server.setFault("/rel/big.bin.zz", FileServer::Fault::cut, big.packed.size() / 2, 1);
    server.ignoreRanges(true);
    Updater updater(location());
    updater.setResumeThreshold(threshold);
    run(updater, 2);
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin big.bin 300000", "error 2245", "finished 0"}));
    EXPECT_EQ(readFile("big.bin"), big.bytes);
    EXPECT_EQ(server.rangesAsked("/rel/big.bin.zz"), std::vector<int64_t>{int64_t(big.packed.size() / 2)});
}

TEST_F(UpdaterTest, AnInterruptedRunResumesInTheNextOneUnlessThePublicationChanged) {
    const Published& big = publish("big.bin", bytesOf(400000, 5));
    const size_t half = big.packed.size() / 2;
    server.setFault("/rel/big.bin.zz", FileServer::Fault::silent, half, 1);
    {
        // Stopped (as by a closed window) once part of the file is written.
        Updater updater(location());
        updater.setResumeThreshold(threshold);
        recorder.atFileProgress = [&](int32_t bytes) {
            if (bytes >= 100000)
                updater.requestStop();
        };
        run(updater);
        recorder.atFileProgress = nullptr;
        server.release();
    }
    EXPECT_EQ(recorder.all().back(), "error 3840");
    EXPECT_FALSE(fs::exists("big.bin"));
    ASSERT_TRUE(fs::exists(keptName));

    // The next run asks only for what was not kept.
    const uint64_t sentBefore = server.bodyBytesSent();
    Recorder second;
    Updater resumed(location());
    resumed.setResumeThreshold(threshold);
    resumed.prepareUpdate(&second, 0, 0);
    resumed.run();
    EXPECT_EQ(second.all().back(), "finished 0");
    EXPECT_EQ(readFile("big.bin"), big.bytes);
    EXPECT_FALSE(fs::exists(keptName));
    const std::vector<int64_t> ranges = server.rangesAsked("/rel/big.bin.zz");
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_GT(ranges[0], 40000);
    EXPECT_LE(ranges[0], int64_t(half));
    EXPECT_LE(server.bodyBytesSent() - sentBefore, big.packed.size() - ranges[0] + 1000);

    // Bytes kept for another publication of the file are never used.
    const Published& changed = publish("big.bin", bytesOf(400000, 6));
    server.setFault("/rel/big.bin.zz", FileServer::Fault::silent, changed.packed.size() / 2, 1);
    {
        Recorder r;
        Updater updater(location());
        updater.setResumeThreshold(threshold);
        ASSERT_TRUE(updater.startUpdate(&r, 0, 0));
        server.waitForSilence(2);
        EXPECT_TRUE(updater.stop(3000));
        server.release();
    }
    publish("big.bin", bytesOf(400000, 7));
    Recorder third;
    Updater fresh(location());
    fresh.setResumeThreshold(threshold);
    fresh.prepareUpdate(&third, 0, 0);
    fresh.run();
    EXPECT_EQ(third.all().back(), "finished 0");
    EXPECT_EQ(readFile("big.bin"), release["big.bin"].bytes);
    EXPECT_EQ(server.rangesAsked("/rel/big.bin.zz").size(), 1u); // still only the first run's
}

TEST_F(UpdaterTest, LeftoversOfEarlierRunsGoEverywhereButTheBytesAWantedFileResumesFrom) {
    const Published& big = publish("big.bin", bytesOf(400000, 9));
    publish("small.txt", "small");
    // Bytes an earlier run kept for this very publication of big.bin.
    const ManifestEntry& entry = big.entry;
    install.write(keptName, "moravo-resume 1 " + entry.hash + " " + std::to_string(entry.size) + " " +
                                std::to_string(entry.packedSize) + "\n" + big.packed.substr(0, 60000));
    // What killed and failed runs left, in an excluded folder too.
    const std::vector<std::string> stale = {
        std::string("saves/slot1.dat") + PendingFile::suffix,
        std::string("saves/x.bin") + ResumeFile::suffix,
        std::string("tmp/MoravoTown") + PendingFile::suffix,
        std::string("gone.bin") + ResumeFile::suffix,
    };
    for (const std::string& path : stale)
        install.write(path, "left behind");
    install.write("saves/slot1.dat", "the player's own");
    Updater updater(location());
    updater.addExclude("saves");
    updater.setResumeThreshold(threshold);
    run(updater);
    ASSERT_EQ(recorder.all().back(), "finished 0");
    for (const std::string& path : stale)
        EXPECT_FALSE(fs::exists(path)) << path;
    EXPECT_EQ(readFile("saves/slot1.dat"), "the player's own");
    EXPECT_EQ(readFile("big.bin"), big.bytes);
    EXPECT_EQ(server.rangesAsked("/rel/big.bin.zz"), std::vector<int64_t>{60000});
}

// A link planted at any name the updater writes (the resume file, a
// download's temporary file, the manifest's, a staged file's) is replaced,
// never written through, also where it holds bytes the run would go on with.
TEST_F(UpdaterTest, LinksPlantedAtTheWorkingNamesAreNeverWrittenThrough) {
    const Published& big = publish("big.bin", bytesOf(300000, 6));
    publish("a.txt", "alpha");
    publish(launcherProgram(), "new launcher");
    const ManifestEntry& entry = big.entry;
    const std::string resumable = "moravo-resume 1 " + entry.hash + " " + std::to_string(entry.size) + " " +
                                  std::to_string(entry.packedSize) + "\n" + big.packed.substr(0, 50000);
    const std::vector<std::string> names{keptName, std::string("a.txt") + PendingFile::suffix,
                                         std::string("checklist.txt") + PendingFile::suffix,
                                         "tmp/" + launcherProgram() + PendingFile::suffix};
    for (testkit::PlantedLink kind : testkit::plantableLinks()) {
        TempDir outside;
        std::vector<std::string> victims;
        for (size_t i = 0; i < names.size(); ++i) {
            victims.push_back(outside.write("victim" + std::to_string(i), i == 0 ? resumable : "not yours"));
            testkit::plantLink(kind, victims.back(), names[i]);
        }
        for (const char* installed : {"checklist.txt", "big.bin", "a.txt"})
            fs::remove(installed);
        Recorder heard;
        Updater updater(location());
        updater.enableSelfFiles();
        updater.setResumeThreshold(threshold);
        updater.setPause([](uint32_t) {});
        updater.prepareUpdate(&heard, 0, 0);
        updater.run();
        EXPECT_EQ(heard.all().back(), "finished 1");
        EXPECT_EQ(readFile("big.bin"), big.bytes);
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(readFile(victims[i]), i == 0 ? resumable : "not yours") << names[i];
    }
}
