// The update engine and what POSIX file systems have: mode bits kept and
// given, links that must never be followed, and paths longer than Windows'
// 260 characters.
#include "tests/update/UpdaterFixture.h"

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

TEST_F(UpdaterTest, LinksPlantedInTheInstallationNeverReachOutside) {
    TempDir outside;
    outside.write("dir/inside-outside.txt", "outside file");
    const std::string target = outside.write("target.txt", "outside target");
    fs::create_directory_symlink(outside.path() + "/dir", install.path() + "/data");
    fs::create_symlink(target, install.path() + "/link.txt");
    fs::create_symlink(target, install.path() + "/stale-link");
    fs::create_directory_symlink(outside.path() + "/dir", install.path() + "/linked-obsolete");
    publish("link.txt", "replaces the link");
    publish("zz/data-after", "x");
    Updater updater(location());
    updater.removeObsolete = true;
    updater.enableSelfFiles();
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_FALSE(fs::is_symlink("link.txt"));
    EXPECT_EQ(readFile("link.txt"), "replaces the link");
    EXPECT_EQ(readFile(target), "outside target");
    EXPECT_TRUE(fs::is_symlink("stale-link")); // not listed, so neither followed nor deleted
    EXPECT_EQ(readFile(outside.path() + "/dir/inside-outside.txt"), "outside file");
    EXPECT_EQ(recorder.count("deleting linked-obsolete/inside-outside.txt"), 0u);

    // A published file below the linked folder: refused with 64.
    publish("data/inside-outside.txt", "overwrite?");
    Recorder r;
    Updater second(location());
    second.prepareUpdate(&r, 0, 0);
    second.setPause([](uint32_t) {});
    second.run();
    EXPECT_EQ(r.all().back(), "error 64");
    EXPECT_EQ(readFile(outside.path() + "/dir/inside-outside.txt"), "outside file");

    // A staging folder that is a link: the staged file is never written there.
    release.erase("data/inside-outside.txt");
    publish("launcher.exe", "new launcher");
    fs::create_directory_symlink(outside.path() + "/dir", install.path() + "/tmp");
    Recorder s;
    Updater third(location());
    third.enableSelfFiles();
    third.setPause([](uint32_t) {});
    third.prepareUpdate(&s, 0, 0);
    third.run();
    EXPECT_EQ(s.all().back(), "error 48");
    EXPECT_FALSE(fs::exists(outside.path() + "/dir/launcher.exe"));
}

// [mend] Every download is verified before it replaces the installed file.

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
