// Delta updates end to end: a release published with its chunk store,
// served on loopback, and an installation holding the previous version of a
// large file brought up to date from its installed copy and the chunks'
// missing pieces.
#include "tests/common/TestProxy.h"
#include "tests/update/GameBytes.h"
#include "tests/update/UpdaterFixture.h"

#include "delta/ChunkFormats.h"
#include "delta/DeltaPlan.h"
#include "net/Ed25519.h"
#include "net/ProxyFinder.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "publish/Publisher.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace updatetest;
namespace fs = std::filesystem;

namespace {

const std::string archive = "data/world.pak";

// Hears when the downloads begin, which is after the plans are made.
class PlanWatcher : public Recorder {
public:
    void onDownloadBegin(int32_t a, int32_t b, int32_t c, int32_t d) override {
        if (atDownloadBegin)
            atDownloadBegin();
        Recorder::onDownloadBegin(a, b, c, d);
    }
    std::function<void()> atDownloadBegin;
};

class DeltaUpdateTest : public UpdaterTest {
protected:
    // Version 1 installed; version 2 (bytes inserted early, an asset
    // rewritten near the end) published with its chunk store.
    void SetUp() override {
        v1 = gameBytes(6 << 20, 1);
        v2 = v1;
        v2.replace(v2.size() - 30000, 8000, gameBytes(8000, 2));
        v2.insert(700000, gameBytes(5000, 3));
        release.write(archive, v2);
        release.write("readme.txt", "version 2\n");
        install.write(archive, v1);
        install.write("readme.txt", "version 1\n");
    }
    void publish(const std::string& keyFile = {}) {
        PublishReport report;
        SignatureReport signature;
        ASSERT_TRUE(keyFile.empty() ? publishRelease(release.path(), published.path(), report)
                                    : publishSignedRelease(release.path(), published.path(), keyFile, 0,
                                                           1700000000, report, signature))
            << report.error;
        ASSERT_EQ(report.chunkedFiles, 1);
        server.putDirectory(livePath(), "/rel");
    }
    // The request paths of the chunks of version 2 that the installed copy
    // lacks, in order; `firstEnd` gets where the first of them ends in the
    // file.
    std::vector<std::string> missingChunks(int64_t* firstEnd = nullptr) {
        ChunkList list;
        readChunkList(livePath(), list);
        ChunkIndex index;
        EXPECT_TRUE(decodeChunkIndex(readFile(livePath() + "/" + chunkIndexPath(list.at(archive))), index));
        LocalChunks local;
        EXPECT_TRUE(local.scan(archive, index, nullptr));
        std::vector<std::string> missing;
        int64_t end = 0;
        for (const ChunkEntry& chunk : index.chunks) {
            end += chunk.size;
            if (local.chunk(chunk.hash) != nullptr)
                continue;
            if (missing.empty() && firstEnd != nullptr)
                *firstEnd = end;
            missing.push_back("/rel/" + chunkPath(chunk.hash));
        }
        return missing;
    }
    void runUpdate(Updater& updater) {
        updater.setPause([](uint32_t) {});
        updater.setWallClock([] { return int64_t(1700000100); });
        updater.prepareUpdate(&watcher, 0, 0);
        updater.run();
    }
    int64_t packedSize() const {
        return static_cast<int64_t>(fs::file_size(livePath() + "/" + archive + ".zz"));
    }

    // The folder of the version published last, served at "/rel".
    std::string livePath() const { return livePublicationFolder(published.path()); }

    TempDir release, published;
    std::string v1, v2;
    PlanWatcher watcher;
};

} // namespace

TEST_F(DeltaUpdateTest, OnlyTheMissingPiecesAreFetchedAndTheFileIsVerified) {
    publish();
    Updater updater(location());
    runUpdate(updater);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    EXPECT_EQ(localManifest().at(archive).hash, md5Of(v2));
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 0);
    EXPECT_EQ(server.gets("/rel/readme.txt.zz"), 1); // small files come whole
    const Updater::DeltaReport delta = updater.deltaReport();
    EXPECT_EQ(delta.files, 1);
    EXPECT_LT(delta.fetched, packedSize() / 20) << "about the 13,000 new bytes";
    EXPECT_GT(delta.reused, static_cast<int64_t>(v2.size()) - 100000);
    EXPECT_LT(static_cast<int64_t>(server.bodyBytesSent()), packedSize() / 10);
    EXPECT_FALSE(fs::exists(archive + deltaFileSuffix));

    // A launcher that knows nothing of chunks updates from the same folder.
    install.write(archive, v1);
    fs::remove("checklist.txt");
    Updater whole(location());
    whole.deltaUpdates = false;
    runUpdate(whole);
    EXPECT_TRUE(readFile(archive) == v2);
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 1);
}

TEST_F(DeltaUpdateTest, ThePiecesComeThroughTheUsersProxyInTunnels) {
    testkit::TestProxy proxy(testkit::TestProxy::Kind::Open);
    ASSERT_TRUE(proxy.up());
    publish();
    const std::vector<std::string> missing = missingChunks();
    testkit::ScopedSystemProxy system(proxy.port(), false);
    Updater updater(location());
    updater.setProxies(std::make_shared<ProxyFinder>(platform::systemProxySettings));
    runUpdate(updater);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    // The pieces were asked for by range on kept connections, every one of
    // which went through a tunnel the proxy opened.
    EXPECT_FALSE(server.rangesAsked(missing.front()).empty());
    const std::string log = proxy.log();
    const std::string connect = "CONNECT 127.0.0.1:" + std::to_string(server.port()) + " HTTP/1.1";
    size_t tunnels = 0;
    for (size_t at = log.find(connect); at != std::string::npos; at = log.find(connect, at + 1))
        ++tunnels;
    EXPECT_EQ(tunnels, static_cast<size_t>(server.connections()));
}

TEST_F(DeltaUpdateTest, AFileTheUpdaterPutInPlaceIsKnownToTheNextPatch) {
    // Version 1 comes whole from its own publication (no installed copy).
    TempDir previous, previousOut;
    previous.write(archive, v1);
    previous.write("readme.txt", "version 1\n");
    PublishReport report;
    ASSERT_TRUE(publishRelease(previous.path(), previousOut.path(), report)) << report.error;
    server.putDirectory(livePublicationFolder(previousOut.path()), "/old");
    fs::remove(archive);
    fs::remove("checklist.txt");
    Updater installing("127.0.0.1:" + std::to_string(server.port()) + "/old");
    runUpdate(installing);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    ASSERT_TRUE(fs::exists(knownChunksFileName));

    // The patch to version 2 takes the copy's chunks from the record.
    publish();
    Updater patching(location());
    runUpdate(patching);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    EXPECT_EQ(patching.deltaReport().files, 1);
    EXPECT_EQ(patching.deltaReport().knownCopies, 1);
    EXPECT_LT(patching.deltaReport().fetched, packedSize() / 20);
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 0);
}

TEST_F(DeltaUpdateTest, AStoreChunkThatIsNotItsHashFailsTheFileAndInstallsNothing) {
    publish();
    const std::string chunk = missingChunks().back();
    std::string stored = readFile(livePath() + chunk.substr(4));
    for (size_t i = chunkHeaderLength(stored); i < stored.size(); ++i)
        stored[i] ^= 0x5a; // its pieces, not its header
    server.put(chunk, stored);
    Updater updater(location());
    runUpdate(updater);
    EXPECT_EQ(watcher.all().back(), "error 224");
    EXPECT_TRUE(readFile(archive) == v1);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 0);
}

TEST_F(DeltaUpdateTest, ASignedPublicationsChangedIndexIsNotUsed) {
    testkit::TempDir keys;
    std::string publicKey, error;
    ASSERT_TRUE(createSigningKey(keys / "key.pem", false, publicKey, error)) << error;
    publish(keys / "key.pem");
    ASSERT_TRUE(fs::exists(livePath() + "/" + chunkListName + ".sig"));
    ChunkList list;
    readChunkList(livePath(), list);
    const std::string indexPath = "/rel/" + chunkIndexPath(list.at(archive));
    std::string index = readFile(livePath() + indexPath.substr(4));
    index[index.size() / 2] ^= 1;
    server.put(indexPath, index);

    Updater updater(location());
    updater.requireSignature(publicKey);
    runUpdate(updater);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    EXPECT_EQ(updater.deltaReport().files, 0);
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 1);
}

TEST_F(DeltaUpdateTest, AnInterruptedDeltaGoesOnWithoutFetchingItsChunksAgain) {
    publish();
    int64_t firstEnd = 0;
    const std::vector<std::string> missing = missingChunks(&firstEnd);
    ASSERT_GE(missing.size(), 2u);
    const std::string& last = missing.back();
    // Once the plans are made, the last chunk's pieces never come; the run
    // is stopped once the first missing chunk is written.
    watcher.atDownloadBegin = [&] { server.setFault(last, FileServer::Fault::silent); };
    std::atomic<bool> firstWritten{false};
    watcher.atFileProgress = [&](int32_t bytes) { firstWritten = firstWritten || bytes >= firstEnd; };
    Updater first(location());
    std::thread stopper([&] {
        server.waitForSilence();
        while (!firstWritten)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        first.requestStop();
        server.release();
    });
    runUpdate(first);
    stopper.join();
    ASSERT_TRUE(fs::exists(archive + deltaFileSuffix));
    EXPECT_TRUE(readFile(archive) == v1);

    watcher.atDownloadBegin = nullptr;
    watcher.atFileProgress = nullptr;
    server.setFault(last, FileServer::Fault::none);
    const size_t earlyAsked = server.rangesAsked(missing.front()).size();
    Updater second(location());
    runUpdate(second);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    // The early change is in the delta file already: its chunk is neither
    // planned nor fetched again; the last one is.
    EXPECT_EQ(server.rangesAsked(missing.front()).size(), earlyAsked);
    EXPECT_GT(server.rangesAsked(last).size(), 1u);
    EXPECT_FALSE(fs::exists(archive + deltaFileSuffix));
}

// A link planted at the delta file, even one holding the very chunks the
// run would go on from, is replaced and never written through; the file put
// together keeps the installed file's access (read-only, and executable on
// POSIX).
TEST_F(DeltaUpdateTest, ALinkAtTheDeltaFileIsNeverWrittenThroughAndTheFileKeepsItsAccess) {
    publish();
    int64_t firstEnd = 0;
    missingChunks(&firstEnd);
    const std::string verified = v2.substr(0, static_cast<size_t>(firstEnd));
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                               fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    for (testkit::PlantedLink kind : testkit::plantableLinks()) {
        platform::removeFile(archive);
        platform::removeFile("checklist.txt");
        install.write(archive, v1);
        fs::permissions(archive, readOnly);
        TempDir outside;
        const std::string victim = outside.write("victim", verified);
        testkit::plantLink(kind, victim, archive + deltaFileSuffix);
        Updater updater(location());
        runUpdate(updater);
        ASSERT_EQ(watcher.all().back(), "finished 0");
        EXPECT_TRUE(readFile(archive) == v2);
        EXPECT_TRUE(readFile(victim) == verified);
        const fs::perms access = fs::status(archive).permissions();
        EXPECT_EQ(access & fs::perms::owner_write, fs::perms::none);
#ifndef _WIN32
        EXPECT_EQ(access & fs::perms::all, readOnly);
#endif
    }
    platform::removeFile(archive);
}

TEST_F(DeltaUpdateTest, AServerThatIgnoresRangesStillServesTheChunks) {
    publish();
    server.ignoreRanges(true);
    Updater updater(location());
    runUpdate(updater);
    ASSERT_EQ(watcher.all().back(), "finished 0");
    EXPECT_TRUE(readFile(archive) == v2);
    EXPECT_EQ(updater.deltaReport().files, 1);
    EXPECT_EQ(server.gets("/rel/" + archive + ".zz"), 0);
}
