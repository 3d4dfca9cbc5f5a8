// The update engine with files in flight at once: what the listener hears
// and in which order, and what a failed run leaves for the next one.
#include "tests/update/UpdaterFixture.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

TEST_F(UpdaterTest, TheListenerHearsOfEachFileInManifestOrderWhileTwoAreInFlight) {
    const Published& a = publish("a.bin", bytesOf(400000, 1));
    publish("b.bin", "fails while a.bin still arrives");
    publish("c.bin", "after the failed file");
    server.setFault("/rel/a.bin.zz", FileServer::Fault::silent, a.packed.size() / 2);
    server.setFault("/rel/b.bin.zz", FileServer::Fault::notFound);
    // Where in the story a.bin was heard of as whole.
    size_t aWhole = 0;
    recorder.atFileProgress = [&](int32_t bytes) {
        if (bytes == 400000 && aWhole == 0)
            aWhole = recorder.events.size(); // the recorder's lock is held here
    };
    Updater updater(location());
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 0));
    server.waitForSilence();
    server.waitForGets("/rel/b.bin.zz");
    server.release();
    recorder.waitFor("error 224");
    EXPECT_TRUE(updater.stop(3000));

    const std::vector<std::string> story = recorder.from("fileBegin");
    EXPECT_EQ(story, (std::vector<std::string>{"fileBegin a.bin 400000", "fileBegin b.bin 31", "error 224",
                                               "error 224"}));
    const std::vector<std::string> all = recorder.all();
    const size_t bBegins =
        static_cast<size_t>(std::find(all.begin(), all.end(), "fileBegin b.bin 31") - all.begin());
    EXPECT_GT(aWhole, 0u);
    EXPECT_LE(aWhole, bBegins);
    EXPECT_EQ(readFile("a.bin"), a.bytes);
    Manifest expected{{"a.bin", release["a.bin"].entry}};
    if (fs::exists("c.bin"))
        expected["c.bin"] = release["c.bin"].entry;
    EXPECT_EQ(localManifest(), expected);
}

// [mend] A failed run used to keep only the files before the failed one, so
// that the next run fetched again every unchanged file it never reached.
TEST_F(UpdaterTest, AFailedRunKeepsWhatItKnowsAndTheNextFetchesOnlyWhatStillDiffers) {
    Manifest old;
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        const std::string path = "f" + std::to_string(10 + i); // sorts in number order
        paths.push_back(path);
        const std::string first = bytesOf(3000, i);
        install.write(path, first);
        old[path] = ManifestEntry{md5Of(first), 3000, 0};
        // Every other file changes in the new version.
        publish(path, i % 2 == 0 ? bytesOf(3000, 100 + i) : first);
    }
    ASSERT_TRUE(writeManifest("checklist.txt", old));
    server.setFault("/rel/f20.zz", FileServer::Fault::notFound);
    Updater failing(location());
    run(failing);
    EXPECT_EQ(failing.error(), 224);
    // Every entry describes the bytes on disk, and every file is listed.
    const Manifest written = localManifest();
    EXPECT_EQ(written.size(), paths.size());
    for (const auto& [path, entry] : written)
        EXPECT_EQ(entry.hash, md5Of(readFile(path))) << path;

    std::set<std::string> differing;
    for (const std::string& path : paths) {
        if (readFile(path) != release[path].bytes)
            differing.insert(path);
    }
    EXPECT_TRUE(differing.count("f20"));
    std::map<std::string, int> before;
    for (const std::string& path : paths)
        before[path] = server.gets("/rel/" + path + ".zz");
    server.setFault("/rel/f20.zz", FileServer::Fault::none);
    Recorder next;
    Updater again(location());
    again.prepareUpdate(&next, 0, 0);
    again.run();
    EXPECT_EQ(next.all().back(), "finished 0");
    std::set<std::string> fetched;
    for (const std::string& path : paths) {
        if (server.gets("/rel/" + path + ".zz") > before[path])
            fetched.insert(path);
        EXPECT_EQ(readFile(path), release[path].bytes) << path;
    }
    EXPECT_EQ(fetched, differing);
}
