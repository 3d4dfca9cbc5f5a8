// The update engine against a loopback server whose files were compressed by
// zlib: what is downloaded, staged, deleted and written, the listener's
// calls, retries and every failure path.
#include "platform/FileSync.h"
#include "tests/update/UpdaterFixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace updatetest;

TEST_F(UpdaterTest, IdenticalManifestsDownloadNothingAndOnlyDeleteObsoleteFiles) {
    publish("a.txt", "alpha");
    publish("res/b.png", bytesOf(5000, 1), /*packed=*/false);
    installCurrent("a.txt");
    installCurrent("res/b.png");
    install.write("obsolete.txt", "old");
    ASSERT_TRUE(writeManifest("checklist.txt", manifest()));
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    const int32_t total = release["a.txt"].entry.packedSize + 5000; // packed size 0 counts the size
    EXPECT_EQ(recorder.all(),
              (std::vector<std::string>{"stage 3", "stage 5", "stage 6",
                                        "downloadBegin " + std::to_string(total) + " 5005 0 0",
                                        "deleting obsolete.txt", "finished 0"}));
    EXPECT_FALSE(fs::exists("obsolete.txt"));
    EXPECT_EQ(server.gets("/rel/a.txt.zz") + server.gets("/rel/res/b.png.zz"), 0);
    EXPECT_EQ(server.gets("/rel/current.txt"), 1);
    // One connection served every request.
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(UpdaterTest, DownloadsWhatDiffersAndChecksWhatIsUnlistedAndWritesThePublishedManifest) {
    publish("same.txt", "unchanged");
    publish("changed.bin", bytesOf(100000, 2));
    publish("unlisted.txt", "present but not in the local manifest");
    publish("new/deep/file.dat", bytesOf(3, 3));
    installCurrent("same.txt");
    installCurrent("unlisted.txt");
    install.write("changed.bin", "old version");
    Manifest local{{"same.txt", {release["same.txt"].entry.hash, 9, 0}},
                   {"changed.bin", {md5Of("old version"), 11, 0}}};
    ASSERT_TRUE(writeManifest("checklist.txt", local));

    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin changed.bin 100000", "fileBegin new/deep/file.dat 3",
                                        "finished 0"}));
    for (const auto& [path, file] : release)
        EXPECT_EQ(readFile(path), file.bytes) << path;
    EXPECT_EQ(localManifest(), manifest()); // packed sizes included
    const int32_t packed = release["changed.bin"].entry.packedSize +
                           release["new/deep/file.dat"].entry.packedSize;
    EXPECT_EQ(recorder.lastDone, packed);
    // A file the record does not list is checked, not fetched: it is whole.
    EXPECT_EQ(recorder.lastDoneSize, 100000 + 3);
    EXPECT_TRUE(leftovers().empty());
    // Each file asked for once; the run's own connection goes on in the
    // first lane, the second lane has one of its own if it claims a file
    // before the first has taken both.
    EXPECT_GE(server.connections(), 1);
    EXPECT_LE(server.connections(), Updater::defaultLanes);
    std::vector<std::string> requested = server.requested();
    std::sort(requested.begin() + 2, requested.end());
    EXPECT_EQ(requested,
              (std::vector<std::string>{"/rel/current.txt", "/rel/checklist.txt", "/rel/changed.bin.zz",
                                        "/rel/new/deep/file.dat.zz"}));
}

TEST_F(UpdaterTest, ANextRequestSentAheadIsDroppedWhenTheCurrentFileFails) {
    publish("a", bytesOf(30000, 10));
    publish("b", bytesOf(30000, 11));
    // The first answer for "a" is a sound zlib stream of other bytes (of the
    // same size, and shorter when packed): it is read to its end, so "b" is
    // already asked for, and only then refused.
    const std::string other = updatetest::deflated(std::string(30000, 'z'));
    ASSERT_LT(other.size(), release["a"].packed.size());
    server.setReplacement("/rel/a.zz", other, 1);
    Updater updater(location());
    updater.setLanes(1);
    run(updater, 2);
    EXPECT_EQ(recorder.from("fileBegin"), (std::vector<std::string>{"fileBegin a 30000", "error 224",
                                                                    "fileBegin b 30000", "finished 0"}));
    EXPECT_EQ(readFile("a"), release["a"].bytes);
    EXPECT_EQ(readFile("b"), release["b"].bytes);
    EXPECT_EQ(server.gets("/rel/a.zz"), 2);
    EXPECT_EQ(server.gets("/rel/b.zz"), 2); // the one sent ahead went unread
}

TEST_F(UpdaterTest, WithoutALocalManifestTheInstallationIsScannedFirst) {
    publish("a", "1");
    publish("b/c", "2");
    install.write("a", "1");
    install.write("b/c", "old");
    install.write("b/.svn/entries", "excluded");
    install.write("tools.pdb", "excluded");
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all(),
              (std::vector<std::string>{
                  "stage 4", "stage 1", "scanBegin 2", "stage 2", "scanStep ./a", "scanStep ./b/c", "stage 5",
                  "stage 6",
                  "downloadBegin " +
                      std::to_string(release["a"].entry.packedSize + release["b/c"].entry.packedSize) +
                      " 2 " + std::to_string(release["b/c"].entry.packedSize) + " 1",
                  "fileBegin b/c 1", "finished 0"}));
    EXPECT_EQ(readFile("b/c"), "2");

    // A malformed local manifest is no error: stage 3, then the scan.
    install.write("checklist.txt", "not a manifest\n");
    Recorder second;
    Updater again(location());
    again.prepareUpdate(&second, 0, 0);
    again.run();
    const std::vector<std::string> events = second.all();
    std::vector<std::string> head(events.begin(), events.begin() + 3);
    EXPECT_EQ(head, (std::vector<std::string>{"stage 3", "stage 4", "stage 1"}));
    EXPECT_EQ(second.all().back(), "finished 0");
}

TEST_F(UpdaterTest, AFileThatFailsEveryAttemptIsTriedAsOftenAsAllowed) {
    publish("a", "first");
    publish("b", "always fails");
    publish("c", "never reached");
    server.setFault("/rel/b.zz", FileServer::Fault::notFound);
    Updater updater(location());
    run(updater, 3);
    // The other lane may fetch "c" while "b" is tried again, but the
    // listener never hears of a file after the one that failed.
    EXPECT_EQ(
        recorder.from("fileBegin b"),
        (std::vector<std::string>{"fileBegin b 12", "error 224", "error 224", "error 224", "error 224"}));
    EXPECT_EQ(server.gets("/rel/b.zz"), 3);
    EXPECT_LE(server.gets("/rel/c.zz"), 1);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{3000, 3000}));
    EXPECT_EQ(updater.error(), 224);
    // The manifest written lists the files put in place.
    Manifest expected{{"a", release["a"].entry}};
    if (fs::exists("c"))
        expected["c"] = release["c"].entry;
    EXPECT_EQ(localManifest(), expected);

    // 0 and 1 both mean one attempt.
    for (int32_t attempts : {0, 1}) {
        Recorder once;
        Updater single(location());
        single.setPause([](uint32_t) {});
        single.prepareUpdate(&once, 0, attempts);
        single.run();
        EXPECT_EQ(once.count("error 224"), 2u) << attempts;
    }
}

TEST_F(UpdaterTest, ABodyCutShortFailsWith2245AndLeavesTheInstalledFile) {
    const Published& file = publish("big.bin", bytesOf(200000, 4));
    install.write("big.bin", "installed");
    server.setFault("/rel/big.bin.zz", FileServer::Fault::cut, file.packed.size() / 2);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin big.bin 200000", "error 2245", "error 2245"}));
    EXPECT_EQ(readFile("big.bin"), "installed");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(UpdaterTest, LauncherFilesAreStagedAndNothingUnderTmpIsDeleted) {
    publish("launcher.exe", "new launcher");
    publish(launcherProgram(), "new program");
    publish("res/arialbd.ttf", "new font");
    publish("game.dat", "data");
    install.write("launcher.exe", "running launcher");
    install.write("tmp/left-from-before", "x");
    install.write("tmpfile.txt", "x");
    install.write("tmpdir/y", "x");
    install.write("gone.txt", "x");
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 3");
    EXPECT_EQ(updater.stagedCount(), 3);
    EXPECT_EQ(readFile("launcher.exe"), "running launcher");
    EXPECT_EQ(readFile("tmp/launcher.exe"), "new launcher");
    EXPECT_EQ(readFile("tmp/" + launcherProgram()), "new program");
    EXPECT_EQ(readFile("tmp/res/arialbd.ttf"), "new font");
    EXPECT_FALSE(fs::exists(launcherProgram()));
    EXPECT_EQ(readFile("game.dat"), "data");
    EXPECT_EQ(recorder.count("deleting gone.txt"), 1u);
    EXPECT_FALSE(fs::exists("gone.txt"));
    for (const char* kept : {"tmp/left-from-before", "tmpfile.txt", "tmpdir/y"})
        EXPECT_TRUE(fs::exists(kept)) << kept;

    // Without a staging directory nothing is deleted at all.
    install.write("gone.txt", "x");
    Updater plain(location());
    plain.removeObsolete = true;
    Recorder quiet;
    plain.prepareUpdate(&quiet, 0, 0);
    plain.run();
    EXPECT_EQ(quiet.all().back(), "finished 0");
    EXPECT_EQ(quiet.count("deleting gone.txt"), 0u);
    EXPECT_TRUE(fs::exists("gone.txt"));
}

TEST_F(UpdaterTest, EveryFilePutInPlaceIsFlushedBeforeTheManifestVouchesForIt) {
    publish("a", "one");
    publish("sub/new/b", "two");
    publish(launcherProgram(), "new program");
    publish("same", "kept");
    publish("old/c", "kept too");
    installCurrent("same");
    installCurrent("old/c");
    install.write("old/gone", "obsolete");
    ASSERT_TRUE(writeManifest("checklist.txt", {{"same", release.at("same").entry},
                                                {"old/c", release.at("old/c").entry},
                                                {"old/gone", ManifestEntry{md5Of("obsolete"), 8, 0}}}));
    std::vector<std::string> flushed, folders;
    bool manifestAtFlush = true;
    platform::fileSyncObserver() = [&](const std::string&, const std::vector<std::string>& files,
                                       const std::vector<std::string>& changed) {
        for (const std::string& path : files)
            flushed.push_back(fs::path(path).lexically_normal().generic_string());
        for (const std::string& path : changed)
            folders.push_back(fs::path(path).lexically_normal().generic_string());
        manifestAtFlush = localManifest().count("a") != 0;
    };
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    platform::fileSyncObserver() = nullptr;
    EXPECT_EQ(recorder.all().back(), "finished 1");
    EXPECT_FALSE(fs::exists("old/gone"));
    std::sort(flushed.begin(), flushed.end());
    EXPECT_EQ(flushed, (std::vector<std::string>{"a", "sub/new/b", "tmp/" + launcherProgram()}));
    // Each folder whose entries changed, once: those of the files put in
    // place, of the removed file and of the folders made (sub/new's in sub).
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{".", "old", "sub", "sub/new", "tmp"}));
    EXPECT_FALSE(manifestAtFlush) << "the files were flushed before the manifest named them";
    EXPECT_TRUE(fs::exists("checklist.txt"));
}

TEST_F(UpdaterTest, CancellingDuringADownloadWritesThePartialManifest) {
    publish("a", "done before");
    const Published& b = publish("b", bytesOf(300000, 5));
    publish("c", "after");
    install.write("b", "old b");
    server.setFault("/rel/b.zz", FileServer::Fault::silent, b.packed.size() / 2);
    Updater updater(location());
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 0));
    server.waitForSilence();
    recorder.waitFor("fileBegin b 300000");
    EXPECT_TRUE(updater.stop(3000));
    EXPECT_EQ(recorder.from("fileBegin b"), (std::vector<std::string>{"fileBegin b 300000", "error 3840"}));
    EXPECT_EQ(recorder.count("finished 0"), 0u);
    // The files put in place, and the installed "b" as the scan found it;
    // "c" only when the other lane put it in place before the stop.
    Manifest expected{{"a", release["a"].entry}, {"b", {md5Of("old b"), 5, 0}}};
    if (fs::exists("c"))
        expected["c"] = release["c"].entry;
    EXPECT_EQ(localManifest(), expected);
    EXPECT_EQ(readFile("b"), "old b");
    EXPECT_TRUE(leftovers().empty());
    server.release();

    // A stop before the published manifest is fetched ends without writing.
    fs::remove("checklist.txt");
    Recorder early;
    Updater stopped(location());
    stopped.prepareUpdate(&early, 0, 0);
    stopped.requestStop();
    stopped.run();
    EXPECT_EQ(early.all().back(), "error 3840");
    EXPECT_FALSE(fs::exists("checklist.txt"));
}

TEST_F(UpdaterTest, CurrentTxtMovesTheRestOfTheRun) {
    FileServer elsewhere;
    server.put("/rel/current.txt",
               "  127.0.0.1:" + std::to_string(elsewhere.port()) + "/moved \r\nignored\n");
    const Published& file = publish("x", "moved file");
    elsewhere.put("/moved/checklist.txt",
                  file.entry.hash + " 10 " + std::to_string(file.entry.packedSize) + " x\n");
    elsewhere.put("/moved/x.zz", file.packed);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(readFile("x"), "moved file");
    EXPECT_EQ(server.gets("/rel/checklist.txt"), 0);
    EXPECT_EQ(elsewhere.gets("/moved/x.zz"), 1);
    EXPECT_EQ(updater.location().basePath, "/moved");
}

TEST_F(UpdaterTest, AnUnreachableServerOrAMalformedManifestEndsBeforeAnythingChanges) {
    install.write("checklist.txt", "0123456789abcdef0123456789abcdef 1 0 kept\n");
    {
        Recorder r;
        Updater updater("127.0.0.1:1/rel");
        updater.prepareUpdate(&r, 0, 0);
        updater.run();
        EXPECT_EQ(r.all().back(), "error 4096");
    }
    // A missing field; a size no sum of sizes could hold.
    for (const char* text : {"0123456789abcdef0123456789abcdef 10\n",
                             "0123456789abcdef0123456789abcdef 99999999999999999999 0 huge\n"}) {
        server.put("/rel/checklist.txt", text);
        Recorder r;
        Updater updater(location());
        updater.prepareUpdate(&r, 0, 0);
        updater.run();
        EXPECT_EQ(r.all().back(), "error 240") << text;
    }
    EXPECT_EQ(readFile("checklist.txt"), "0123456789abcdef0123456789abcdef 1 0 kept\n");
}

// [mend] Paths from the network are untrusted, and must name on Windows the
// file they name elsewhere.
TEST_F(UpdaterTest, HostileManifestPathsRefuseTheWholeManifest) {
    TempDir outside;
    const std::string victim = outside.write("victim.txt", "precious");
    const Published& good = publish("good.txt", "fine");
    install.write("obsolete.txt", "would be deleted by a real run");
    install.write("checklist.txt", "old manifest\n");
    const std::string absolute = victim;
    const std::string relativeOut = "../" + fs::path(outside.path()).filename().string() + "/victim.txt";
    for (const std::string& bad :
         {relativeOut, absolute, std::string("C:/victim.txt"), std::string("a/../../x"),
          std::string("./good.txt"), std::string("a//b"), std::string("a\\..\\b"),
          std::string("a\x01"
                      "b"),
          std::string("sub/"),
          // A device, a name Windows takes for another file, one of the
          // updater's working files, and the good file in another case.
          std::string("sub/nul.txt"), std::string("MoravoTown.exe."), std::string("good.txt.moravo-resume"),
          std::string("GOOD.txt")}) {
        std::string text = good.entry.hash + " 4 " + std::to_string(good.entry.packedSize) + " good.txt\n" +
                           good.entry.hash + " 4 " + std::to_string(good.entry.packedSize) + " " + bad + "\n";
        server.put("/rel/checklist.txt", text);
        Recorder r;
        Updater updater(location());
        updater.enableSelfFiles();
        updater.removeObsolete = true;
        updater.prepareUpdate(&r, 0, 0);
        updater.run();
        EXPECT_EQ(r.all().back(), "error 240") << bad;
        EXPECT_EQ(r.count("stage 6"), 0u) << bad;
    }
    EXPECT_EQ(server.gets("/rel/good.txt.zz"), 0);
    EXPECT_FALSE(fs::exists("good.txt"));
    EXPECT_TRUE(fs::exists("obsolete.txt"));
    EXPECT_EQ(readFile("checklist.txt"), "old manifest\n");
    EXPECT_EQ(readFile(victim), "precious");

    // An empty manifest would make every installed file obsolete.
    server.put("/rel/checklist.txt", "");
    Recorder r;
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    updater.prepareUpdate(&r, 0, 0);
    updater.run();
    EXPECT_EQ(r.all().back(), "error 240");
    EXPECT_TRUE(fs::exists("obsolete.txt"));
}

// [mend] Links planted in the installation are never followed.
TEST_F(UpdaterTest, ADownloadThatDoesNotMatchItsDigestNeverReplacesTheFile) {
    publish("a.txt", "the real bytes");
    release["a.txt"].entry.hash = md5Of("other bytes");
    serveManifest();
    install.write("a.txt", "old");
    Updater updater(location());
    run(updater, 2);
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin a.txt 14", "error 224", "error 224", "error 224"}));
    EXPECT_EQ(readFile("a.txt"), "old");
    EXPECT_TRUE(leftovers().empty());

    // The right digest but the wrong size fails the same way.
    publish("a.txt", "the real bytes");
    release["a.txt"].entry.size = 13;
    serveManifest();
    Recorder r;
    Updater sized(location());
    sized.prepareUpdate(&r, 0, 0);
    sized.run();
    EXPECT_EQ(r.all().back(), "error 224");
    EXPECT_EQ(readFile("a.txt"), "old");
}

// [mend] A small body cannot inflate into a huge file.
TEST_F(UpdaterTest, InflatingBeyondThePublishedSizeStopsAtOnce) {
    const std::string zeros(64 << 20, '\0');
    publish("bomb.bin", "x");
    release["bomb.bin"].packed = updatetest::deflated(zeros);
    release["bomb.bin"].entry.packedSize = static_cast<int32_t>(release["bomb.bin"].packed.size());
    server.put("/rel/bomb.bin.zz", release["bomb.bin"].packed);
    serveManifest();
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "error 224");
    EXPECT_LE(recorder.maxFileBytes, 1);
    EXPECT_FALSE(fs::exists("bomb.bin"));
    EXPECT_TRUE(leftovers().empty());

    // More compressed bytes offered than any zlib stream of the file's size
    // can take: refused before inflating.
    release.erase("bomb.bin");
    publish("packed.bin", bytesOf(50000, 6));
    server.put("/rel/packed.bin.zz", release["packed.bin"].packed + std::string(60000, 'j'));
    Recorder r;
    Updater second(location());
    second.prepareUpdate(&r, 0, 0);
    second.run();
    EXPECT_EQ(r.all().back(), "error 224");
    EXPECT_EQ(r.fileProgressCalls, 0);
    EXPECT_FALSE(fs::exists("packed.bin"));
}

// [mend] The packed size is a progress figure: a manifest that understates
// it still installs the file.
TEST_F(UpdaterTest, ABodyLongerThanThePublishedPackedSizeIsStillInstalled) {
    publish("a.bin", bytesOf(80000, 8));
    release["a.bin"].entry.packedSize /= 2;
    serveManifest();
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(readFile("a.bin"), release["a.bin"].bytes);
}

// [mend] A silent server never holds up Cancel.
TEST_F(UpdaterTest, CancelReturnsAtOnceWhileTheServerIsSilentMidFile) {
    const Published& file = publish("slow.bin", bytesOf(400000, 7));
    server.setFault("/rel/slow.bin.zz", FileServer::Fault::silent, file.packed.size() / 3);
    Updater updater(location());
    ASSERT_TRUE(updater.startUpdate(&recorder, 0, 3));
    server.waitForSilence();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(updater.stop(3000));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    EXPECT_EQ(recorder.all().back(), "error 3840");
    EXPECT_EQ(recorder.count("error 224"), 0u);
    EXPECT_FALSE(fs::exists("slow.bin"));
    server.release();
}

// [mend] A server that stops sending fails the attempt after the time-out.
TEST_F(UpdaterTest, ASilentConnectionTimesOutAndTheNextAttemptSucceeds) {
    const Published& file = publish("slow.bin", bytesOf(100000, 8));
    server.setFault("/rel/slow.bin.zz", FileServer::Fault::silent, file.packed.size() / 2, 1);
    Updater updater(location());
    updater.setReceiveTimeout(150);
    run(updater, 2);
    EXPECT_EQ(recorder.from("fileBegin"),
              (std::vector<std::string>{"fileBegin slow.bin 100000", "error 2245", "finished 0"}));
    EXPECT_EQ(readFile("slow.bin"), file.bytes);
    EXPECT_EQ(pauses, std::vector<uint32_t>{3000});
    server.release();
}

TEST_F(UpdaterTest, AServerThatClosesEachConnectionSilentlyStillServesEveryFile) {
    for (int i = 0; i < 5; ++i)
        publish("f" + std::to_string(i), bytesOf(2000, i));
    server.closeEveryConnection(true);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(recorder.count("error 224"), 0u);
    for (const auto& [path, file] : release)
        EXPECT_EQ(readFile(path), file.bytes);
    EXPECT_TRUE(pauses.empty());
}

TEST_F(UpdaterTest, TheDelayIsWaitedBeforeEachAttemptAndTheDefaultPauseEndsOnStop) {
    publish("a", "1");
    publish("b", "2");
    Updater updater(location());
    updater.setPause([this](uint32_t ms) { recordPause(ms); });
    updater.prepareUpdate(&recorder, 100, 0);
    updater.run();
    EXPECT_EQ(pauses, (std::vector<uint32_t>{100, 100}));

    // The real pause: a failing file would wait 3 s before its retry; a
    // stop request ends that wait at once.
    server.setFault("/rel/b.zz", FileServer::Fault::notFound);
    fs::remove("checklist.txt");
    fs::remove("b");
    Recorder r;
    Updater waiting(location());
    ASSERT_TRUE(waiting.startUpdate(&r, 0, 5));
    r.waitFor("error 224");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(waiting.stop(3000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(r.all().back(), "error 3840");
}

TEST_F(UpdaterTest, ACorruptStreamGivesTheInflateCodeAndARetryOnTheSameObjectFinishes) {
    const Published& file = publish("a.bin", bytesOf(20000, 9));
    std::string corrupt = file.packed;
    for (size_t i = 10; i < 60; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    server.put("/rel/a.bin.zz", corrupt);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "error " + std::to_string(0x8B0 + 3)); // Z_DATA_ERROR with input left
    // The same code from zlib's inflate, whatever engine the build prefers.
    Recorder zlib;
    Updater withZlib(location());
    withZlib.setInflateEngine(Inflater::Engine::zlib);
    withZlib.prepareUpdate(&zlib, 0, 0);
    withZlib.run();
    EXPECT_EQ(zlib.all().back(), "error " + std::to_string(0x8B0 + 3));

    // The launcher's "Reintentar": the same object runs again once its
    // thread has ended.
    server.put("/rel/a.bin.zz", file.packed);
    ASSERT_TRUE(updater.startUpdate(&recorder, 100, 0));
    recorder.waitFor("finished 0");
    EXPECT_TRUE(updater.stop(3000));
    EXPECT_EQ(readFile("a.bin"), file.bytes);
    EXPECT_EQ(pauses, std::vector<uint32_t>{100});
}
