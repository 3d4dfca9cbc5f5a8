// The update engine against servers and installations that misbehave:
// permissions of replaced files, manifests in odd shapes or without end,
// servers that drip, and folders of files that never arrived.
#include "tests/update/UpdaterFixture.h"

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

namespace {

fs::perms permissionsOf(const std::string& path) {
    return fs::symlink_status(path).permissions() & fs::perms::all;
}

// The execute bits that match a file's read bits (r-- to --x, in each class).
fs::perms executableFor(fs::perms permissions) {
    return fs::perms((static_cast<unsigned>(permissions) & 0444u) >> 2);
}

} // namespace

TEST_F(UpdaterTest, ReplacedFilesKeepTheirPermissionsAndNewProgramsBecomeExecutable) {
    publish("MoravoTown", "a new launcher");
    publish("bin/run.sh", "#!/bin/sh\necho hi\n");
    publish("lib/engine.so", std::string("\x7f"
                                         "ELF",
                                         4) +
                                 bytesOf(3000, 1));
    publish("data.txt", "plain data");
    publish("secret.bin", "new secret");
    install.write("MoravoTown", "the old launcher");
    fs::permissions("MoravoTown", fs::perms(0755));
    install.write("secret.bin", "old secret");
    fs::permissions("secret.bin", fs::perms(0600));
    Updater updater(location());
    updater.enableSelfFiles();
    run(updater);
    ASSERT_EQ(recorder.all().back(), "finished 1");
    // The staged launcher takes the installed one's bits; so does a file
    // replaced in place.
    EXPECT_EQ(permissionsOf("tmp/MoravoTown"), fs::perms(0755));
    EXPECT_EQ(permissionsOf("secret.bin"), fs::perms(0600));
    // New files: executable where their bytes are a program, as far as
    // their read bits go.
    const fs::perms plain = permissionsOf("data.txt");
    EXPECT_EQ(plain & executableFor(fs::perms::all), fs::perms::none);
    EXPECT_EQ(permissionsOf("bin/run.sh"), plain | executableFor(plain));
    EXPECT_EQ(permissionsOf("lib/engine.so"), plain | executableFor(plain));
}

TEST_F(UpdaterTest, AManifestWithAByteOrderMarkUpperCaseDigestsAndTheLongestLinesIsRead) {
    // Hash, size 23, packed size 0 and blanks take 38 characters; folder
    // names stay within the file system's limit.
    std::string longPath;
    while (longPath.size() + 38 < manifestLineLimit)
        longPath += longPath.size() % 101 == 100 ? '/' : 'p';
    publish(longPath, "a file with a long name", /*packed=*/false);
    publish("b.txt", "bravo");
    std::string text = "\xEF\xBB\xBF";
    for (const auto& [path, entry] : manifest()) {
        std::string hash = entry.hash;
        for (char& c : hash)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        text += hash + " " + std::to_string(entry.size) + " " + std::to_string(entry.packedSize) + " " +
                path + "\r\n";
    }
    server.put("/rel/checklist.txt", text);
    Updater updater(location());
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(readFile(longPath), "a file with a long name");
    EXPECT_EQ(localManifest(), manifest()); // digests kept in lower case
}

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
