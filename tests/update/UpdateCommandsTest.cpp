// The operator's commands, run as the built moravo-tool in child processes:
// publish, scan, verify and update, and a killed update.
#include "install/Manifest.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "publish/PublicationLock.h"
#include "publish/PublicationVersions.h"
#include "tests/common/FileServer.h"
#include "tests/common/ToolRun.h"
#include "update/UpdateTexts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using testkit::ToolRun;
using updatetest::FileServer;
using updatetest::md5Of;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

// The built moravo-tool with `words`, its output caught in files.
ToolRun runTool(const std::vector<std::string>& words) {
    TempDir logs;
    return testkit::runTool(logs, words);
}

Manifest manifestAt(const std::string& path) {
    std::istringstream in(readFile(path));
    Manifest m;
    EXPECT_TRUE(readManifest(in, m)) << path;
    return m;
}

std::string inflatedFile(const std::string& zz) {
    return updatetest::inflated(readFile(zz));
}

std::string sample(size_t size, char seed) {
    std::string bytes(size, seed);
    for (size_t i = 0; i < size; i += 7)
        bytes[i] = static_cast<char>(seed + i % 13);
    return bytes;
}

} // namespace

TEST(PublishCommand, WritesTheManifestTheStreamsAndOnlyWhatChangedOnTheNextRun) {
    TempDir source, out;
    source.write("launcher.exe", sample(30000, 'a'));
    source.write("res/skin/panel.png", sample(5000, 'b'));
    source.write("res/old.txt", "going away");
    source.write("game.pdb", "debug symbols are never published");
    source.write("checklist.txt", "nor is a manifest");
    ToolRun run = runTool({"publish", source.path(), out.path()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("3 files"), std::string::npos) << run.out;
    // What is left out is said, with why.
    EXPECT_NE(run.out.find("left out checklist.txt: the publication's manifest is written by publish\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("left out game.pdb: debugging, version-control and development files (*.pdb)"),
              std::string::npos)
        << run.out;

    // Each version in a folder of its own; current.txt names the live one.
    EXPECT_EQ(readFile(out.path() + "/current.txt"), "./versions/1\n");
    const std::string first = out.path() + "/versions/1";
    Manifest m = manifestAt(first + "/checklist.txt");
    ASSERT_EQ(m.size(), 3u);
    for (const auto& [path, entry] : m) {
        const std::string bytes = readFile(source.path() + "/" + path);
        EXPECT_EQ(entry.hash, md5Of(bytes)) << path;
        EXPECT_EQ(entry.size, static_cast<int32_t>(bytes.size())) << path;
        EXPECT_EQ(entry.packedSize, static_cast<int32_t>(fs::file_size(first + "/" + path + ".zz")));
        EXPECT_EQ(inflatedFile(first + "/" + path + ".zz"), bytes) << path; // an independent inflater agrees
        const std::string head = readFile(first + "/" + path + ".zz").substr(0, 2);
        EXPECT_EQ(head[0], '\x78'); // a zlib header: deflate, 32 KiB window, a sound check
        EXPECT_EQ((static_cast<unsigned char>(head[0]) * 256 + static_cast<unsigned char>(head[1])) % 31, 0);
    }

    // Second run: one file changed, one removed, one untouched (shared with
    // the first version, not written again). The first version stays served
    // for players who started on it.
    const auto untouched = fs::last_write_time(first + "/launcher.exe.zz");
    source.write("res/skin/panel.png", sample(6000, 'c'));
    fs::remove(source.path() + "/res/old.txt");
    run = runTool({"publish", source.path(), out.path()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("compressed res/skin/panel.png\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("removed res/old.txt.zz\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("live: versions/2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 compressed, 1 unchanged, 1 removed"), std::string::npos) << run.out;
    const std::string second = out.path() + "/versions/2";
    EXPECT_EQ(readFile(out.path() + "/current.txt"), "./versions/2\n");
    EXPECT_EQ(fs::last_write_time(second + "/launcher.exe.zz"), untouched);
    EXPECT_FALSE(fs::exists(second + "/res/old.txt.zz"));
    EXPECT_EQ(manifestAt(second + "/checklist.txt").size(), 2u);
    EXPECT_EQ(inflatedFile(second + "/res/skin/panel.png.zz"), sample(6000, 'c'));
    EXPECT_EQ(manifestAt(first + "/checklist.txt"), m);
    EXPECT_EQ(inflatedFile(first + "/res/skin/panel.png.zz"), sample(5000, 'b'));

    // Past the grace period (--keep, two by default) a version goes.
    run = runTool({"publish", source.path(), out.path(), "--keep", "1"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("live: versions/3 (2 older versions removed)\n"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_EQ(runTool({"publish", source.path(), out.path(), "--keep", "0"}).code, 2);
    EXPECT_EQ(runTool({"publish", source.path()}).code, 2);
}

// A mistyped or empty release folder, or one that lost most of its files,
// would empty the publication players read: refused, the publication
// untouched, unless the operator says so.
TEST(PublishCommand, AReleaseThatRemovesMostOfThePublicationIsRefusedUnlessAllowed) {
    TempDir source, empty, out;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        source.write(name, name);
    ASSERT_EQ(runTool({"publish", source.path(), out.path()}).code, 0);
    const std::string live = livePublicationFolder(out.path());
    const std::string published = readFile(live + "/checklist.txt");

    ToolRun run = runTool({"publish", empty.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("holds no file to publish"), std::string::npos) << run.err;
    fs::remove(source.path() + "/a.txt");
    fs::remove(source.path() + "/b.txt");
    run = runTool({"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("would remove 2 of the 3 published files"), std::string::npos) << run.err;
    EXPECT_EQ(livePublicationFolder(out.path()), live);
    EXPECT_EQ(readFile(live + "/checklist.txt"), published);

    EXPECT_EQ(runTool({"publish", source.path(), out.path(), "--allow-removals"}).code, 0);
    EXPECT_EQ(manifestAt(livePublicationFolder(out.path()) + "/checklist.txt").size(), 1u);
}

// One publisher at a time: the second is refused at once, naming the first.
TEST(PublishCommand, ASecondPublishIntoTheSameFolderIsRefusedWhileTheFirstRuns) {
    TempDir source, out;
    source.write("a.txt", "alpha");
    std::string error;
    auto first = lockPublication(out.path(), 0, error);
    ASSERT_NE(first, nullptr) << error;
    ToolRun run = runTool({"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("another publish is writing into " + out.path() + " (process " +
                           std::to_string(platform::processId()) + ", started 1970-01-01 00:00:00 UTC)"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(out.path() + "/current.txt"));
    first.reset();
    EXPECT_EQ(runTool({"publish", source.path(), out.path()}).code, 0);
}

// [mend] On a volume that keeps short names, a file published as
// "DATAFI~1.PAK" may be installed over the file whose short name that is.
TEST(PublishCommand, ANameInTheFormOfAWindowsShortNameIsRefused) {
    TempDir source, out;
    source.write("data/DATAFI~1.PAK", "x");
    source.write("data/datafile-long-name.pak", "y");
    ToolRun run = runTool({"publish", source.path(), out.path()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("cannot publish a file named 'data/DATAFI~1.PAK': a name in the form of Windows' "
                           "short names"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(out.path() + "/current.txt"));
}

TEST(ScanAndVerifyCommands, PrintTheScannersManifestAndListWhatDiffers) {
    TempDir install;
    install.write("a.txt", "alpha");
    install.write("sub/b.bin", sample(1000, 'x'));
    install.write("sub/skip.me", "excluded by excludes.txt");
    install.write("excludes.txt", "sub/skip.me\n");
    install.write("x.pdb", "built-in exclude");
    ToolRun scan = runTool({"scan", install.path()});
    ASSERT_EQ(scan.code, 0) << scan.err;
    EXPECT_EQ(scan.out, md5Of("alpha") + " 5 0 a.txt\n" + md5Of(readFile(install.path() + "/excludes.txt")) +
                            " 12 0 excludes.txt\n" + md5Of(sample(1000, 'x')) + " 1000 0 sub/b.bin\n");

    install.write("checklist.txt", scan.out);
    ToolRun verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_NE(verify.out.find("3 files listed: 0 missing, 0 differ"), std::string::npos) << verify.out;

    install.write("a.txt", "ALPHA");
    fs::remove(install.path() + "/sub/b.bin");
    verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, 1);
    EXPECT_NE(verify.out.find("differs a.txt\n"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("missing sub/b.bin\n"), std::string::npos) << verify.out;

    // Where letter case does not tell files apart, a file listed in another
    // case is the one found.
    install.write("checklist.txt", md5Of("ALPHA") + " 5 0 A.TXT\n");
    verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, platform::namesIgnoreCase() ? 0 : 1) << verify.out;

    EXPECT_EQ(runTool({"verify", install.path() + "/nothing-here"}).code, 2);
}

class UpdateCommandTest : public ::testing::Test {
protected:
    void publishRelease() {
        ToolRun run = runTool({"publish", source.path(), out.path()});
        ASSERT_EQ(run.code, 0) << run.err;
        // The live version itself (how launchers reach it through
        // current.txt is tested with signing).
        server.putDirectory(livePublicationFolder(out.path()), "/rel");
    }
    std::string location() const { return "127.0.0.1:" + std::to_string(server.port()) + "/rel"; }
    ToolRun update(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> words{"update", install.path(), location()};
        words.insert(words.end(), extra.begin(), extra.end());
        return runTool(words);
    }

    TempDir source, out, install;
    FileServer server;
};

// The connection file is each installation's own unless the operator
// publishes it on purpose; then installed launchers take the new one.
TEST_F(UpdateCommandTest, TheConnectionFileIsPublishedOnlyOnPurposeAndThenInstalled) {
    source.write("a.txt", "alpha");
    source.write("ZEP_client.xml", "<ZEP><update url=\"new.example:80/u\"/></ZEP>\n");
    ToolRun run = runTool({"publish", source.path(), out.path()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(
        run.out.find("left out ZEP_client.xml: each installation keeps its own; give --with-client-config"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(manifestAt(livePublicationFolder(out.path()) + "/checklist.txt").count("ZEP_client.xml"), 0u);

    run = runTool({"publish", source.path(), out.path(), "--with-client-config"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.find("left out"), std::string::npos) << run.out;
    EXPECT_EQ(manifestAt(livePublicationFolder(out.path()) + "/checklist.txt").count("ZEP_client.xml"), 1u);
    server.putDirectory(livePublicationFolder(out.path()), "/rel");
    install.write("ZEP_client.xml", "<ZEP/>\n");
    ASSERT_EQ(update().code, 0);
    EXPECT_EQ(readFile(install.path() + "/ZEP_client.xml"), readFile(source.path() + "/ZEP_client.xml"));
}

TEST_F(UpdateCommandTest, UpdatesAnInstallationAndTellsWhatHappened) {
    source.write("data/one.bin", sample(20000, 'a'));
    source.write("two.txt", "two");
    publishRelease();
    install.write("two.txt", "old two");
    install.write("obsolete.txt", "x");
    install.write("keep.cfg", "kept by excludes.txt");
    install.write("excludes.txt", "keep.cfg\n");
    install.write("tmp/earlier", "staged before");
    // The certificates its connection file names belong to the installation.
    install.write("ZEP_client.xml", "<ZEP><server address=\"127.0.0.1\" port=\"1\" ssl=\"1\" "
                                    "ca=\"certs/ca.pem\"/><update url=\"x\"/></ZEP>");
    install.write("certs/ca.pem", "-----BEGIN CERTIFICATE-----\n");
    // excludes.txt is not published: it goes too, as in the launcher.
    ToolRun run = update();
    EXPECT_EQ(run.code, 3) << run.out << run.err; // files wait in tmp
    EXPECT_NE(run.out.find("Comprobando la version de la instalación...\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Iniciando el proceso de actualización...\n"), std::string::npos);
    EXPECT_NE(run.out.find("download data/one.bin (20000 bytes)\n"), std::string::npos);
    EXPECT_NE(run.out.find("delete obsolete.txt\n"), std::string::npos);
    EXPECT_NE(run.out.find("Actualización completada.\n"), std::string::npos);
    EXPECT_EQ(run.out.find("\r"), std::string::npos); // plain lines off a terminal
    EXPECT_EQ(readFile(install.path() + "/data/one.bin"), sample(20000, 'a'));
    EXPECT_EQ(readFile(install.path() + "/two.txt"), "two");
    EXPECT_TRUE(fs::exists(install.path() + "/keep.cfg"));
    EXPECT_TRUE(fs::exists(install.path() + "/certs/ca.pem"));
    EXPECT_FALSE(fs::exists(install.path() + "/obsolete.txt"));
    EXPECT_EQ(manifestAt(install.path() + "/checklist.txt"),
              manifestAt(livePublicationFolder(out.path()) + "/checklist.txt"));

    fs::remove_all(install.path() + "/tmp");
    run = update();
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_NE(run.out.find("Recogiendo datos de la instalación...\n"), std::string::npos); // stage 3
    EXPECT_EQ(run.out.find("download "), std::string::npos);

    // --repair scans instead of trusting the local manifest.
    install.write("two.txt", "damaged");
    run = update({"--repair"});
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_NE(run.out.find("Escaneando los archivos...\n"), std::string::npos);
    EXPECT_NE(run.out.find("download two.txt (3 bytes)\n"), std::string::npos);
    EXPECT_EQ(readFile(install.path() + "/two.txt"), "two");
}

TEST_F(UpdateCommandTest, StagedLauncherFilesAndFailuresGiveTheirExitCodes) {
    source.write(updatetest::launcherProgram(), "new program");
    source.write("a.txt", "a");
    publishRelease();
    ToolRun run = update();
    EXPECT_EQ(run.code, 3) << run.out;
    EXPECT_EQ(readFile(install.path() + "/tmp/" + updatetest::launcherProgram()), "new program");
    // What waits for hoplin is named so, not as a file that differs.
    ToolRun verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, 3) << verify.out;
    EXPECT_NE(verify.out.find("staged " + updatetest::launcherProgram() + "\n"), std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("0 missing, 0 differ, 1 staged for hoplin\n"), std::string::npos) << verify.out;

    server.setFault("/rel/a.txt.zz", FileServer::Fault::notFound);
    fs::remove(install.path() + "/checklist.txt");
    fs::remove(install.path() + "/a.txt");
    run = update({"--retries", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("error 224: Error al descargar archivo ...a.txt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("error 224: Error al descargar archivo ...a.txt\n"), std::string::npos) << run.err;

    server.remove("/rel/checklist.txt");
    run = update();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("error 4096: Error de conexión. Inténtelo más tarde.\n"), std::string::npos)
        << run.err;

    EXPECT_EQ(update({"--retries", "many"}).code, 2);
    EXPECT_EQ(runTool({"update", install.path()}).code, 2);
}

// [mend] A launcher killed at any moment leaves each file old or new.
TEST_F(UpdateCommandTest, AnUpdateKilledMidDownloadLeavesEveryFileOldOrNew) {
    std::map<std::string, std::string> fresh, old;
    for (int i = 0; i < 24; ++i) {
        const std::string path = "f" + std::to_string(10 + i) + ".bin";
        fresh[path] = sample(40000 + static_cast<size_t>(i) * 100, static_cast<char>('A' + i));
        old[path] = sample(1000, static_cast<char>('a' + i));
        source.write(path, fresh[path]);
        install.write(path, old[path]);
    }
    publishRelease();
    const std::string stalled = "/rel/f22.bin.zz";
    server.setFault(stalled, FileServer::Fault::silent,
                    fs::file_size(livePublicationFolder(out.path()) + "/f22.bin.zz") / 2, 1);

    TempDir logs;
    platform::ChildOptions quiet;
    quiet.output = logs.path() + "/out";
    quiet.error = logs.path() + "/err";
    testkit::Child child;
    ASSERT_TRUE(child.start(testkit::kMoravoTool, {"update", install.path(), location()}, {}, "", quiet));
    server.waitForSilence();
    child.kill();
    EXPECT_EQ(child.wait(10000), -2000);

    // f22 was cut; the other lane may have been in the middle of any file
    // before or after it.
    int updated = 0;
    for (const auto& [path, bytes] : fresh) {
        const std::string now = readFile(install.path() + "/" + path);
        EXPECT_TRUE(now == bytes || now == old[path]) << path;
        updated += now == bytes;
    }
    EXPECT_EQ(readFile(install.path() + "/f22.bin"), old["f22.bin"]);
    EXPECT_GT(updated, 0);
    // The record the killed run left vouches only for true bytes.
    Manifest record;
    std::istringstream recorded(readFile(install.path() + "/checklist.txt"));
    ASSERT_TRUE(readManifest(recorded, record));
    for (const auto& [path, entry] : record)
        EXPECT_TRUE(isFolderRecord(path) || md5Of(readFile(install.path() + "/" + path)) == entry.hash) << path;
    EXPECT_EQ(testkit::runTool(logs, {"verify", install.path()}).code, 0) << "verify agrees";

    // The next run finishes the update and clears what the killed one left.
    ToolRun run = update();
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    for (const auto& [path, bytes] : fresh)
        EXPECT_EQ(readFile(install.path() + "/" + path), bytes) << path;
    for (const auto& entry : fs::recursive_directory_iterator(install.path()))
        EXPECT_EQ(entry.path().string().find(".moravo-part"), std::string::npos) << entry.path();
    server.release();
}

TEST_F(UpdateCommandTest, ASecondUpdateOfTheSameInstallationIsRefusedWhileTheFirstRuns) {
    source.write("a.bin", sample(20000, 'a'));
    source.write("b.txt", "b");
    publishRelease();
    server.setFault("/rel/a.bin.zz", FileServer::Fault::silent, 100, 1);
    TempDir logs;
    platform::ChildOptions quiet;
    quiet.output = logs.path() + "/out";
    quiet.error = logs.path() + "/err";
    testkit::Child first;
    ASSERT_TRUE(first.start(testkit::kMoravoTool, {"update", install.path(), location()}, {}, "", quiet));
    server.waitForSilence();

    // The second is refused before it asks the server for anything.
    ToolRun second = update();
    EXPECT_EQ(second.code, 1);
    EXPECT_EQ(second.err, std::string("moravo-tool update: ") + installationInUseText + "\n");
    EXPECT_EQ(server.gets("/rel/checklist.txt"), 1);

    server.release();
    ASSERT_EQ(first.wait(60000), 0) << testkit::readText(quiet.error);
    ToolRun verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, 0) << verify.out;
    EXPECT_EQ(update().code, 0) << "the lock went with the first run";
}

// [mend] On Windows too, a name beyond ASCII keeps one spelling (UTF-8, as
// the manifests have it) from the release to the installation, its scan and
// its check; it used to be written under a garbled name and fetched again by
// every update.
TEST_F(UpdateCommandTest, ANonAsciiNameIsInstalledScannedAndVerifiedUnderOneSpelling) {
    const std::string name = "m\xC3\xBAsica/canci\xC3\xB3n \xE2\x82\xAC.ogg";
    fs::create_directories(fs::u8path(source.path() + "/m\xC3\xBAsica"));
    std::ofstream(fs::u8path(source.path() + "/" + name), std::ios::binary) << sample(3000, 'm');
    publishRelease();
    EXPECT_EQ(manifestAt(livePublicationFolder(out.path()) + "/checklist.txt").count(name), 1u);
    ToolRun run = update();
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(readFile(install.path() + "/" + name), sample(3000, 'm'));

    ToolRun scan = runTool({"scan", install.path()});
    EXPECT_NE(scan.out.find(" 3000 0 " + name + "\n"), std::string::npos) << scan.out;
    ToolRun verify = runTool({"verify", install.path()});
    EXPECT_EQ(verify.code, 0) << verify.out;
    run = update({"--repair"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("download "), std::string::npos) << run.out;
}

// The operator's tool updates and checks an installation whose folder no
// 8-bit code page but UTF-8 can name (on Windows its words are read from the
// wide command line, and every file is opened through the wide calls).
TEST_F(UpdateCommandTest, AnInstallationInAFolderOfAnyNameIsUpdatedAndVerified) {
    source.write("data/one.bin", sample(2000, 'a'));
    publishRelease();
    const std::string folder =
        install.path() + "/\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1"
                         "a"; // Игры ゲーム Peña
    ASSERT_TRUE(fs::create_directories(fs::u8path(folder)));
    ToolRun run = runTool({"update", folder, location()});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(testkit::readFile(folder + "/data/one.bin"), sample(2000, 'a'));
    ToolRun verify = runTool({"verify", folder});
    EXPECT_EQ(verify.code, 0) << verify.out << verify.err;
}
