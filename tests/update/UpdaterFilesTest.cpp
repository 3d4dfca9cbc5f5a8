// The update engine on files as players have them: files made read-only,
// and an installation deep enough that its paths pass the 260 characters of
// Windows' plain paths.
#include "install/PendingFile.h"
#include "install/ResumeFile.h"
#include "platform/FileSystem.h"
#include "tests/common/Files.h"
#include "tests/update/UpdaterFixture.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

namespace {

bool writable(const std::string& path) {
    return (fs::status(platform::filePath(path)).permissions() & fs::perms::owner_write) != fs::perms::none;
}

void makeWritable(const std::string& path) {
    std::error_code ec;
    fs::permissions(platform::filePath(path), fs::perms::owner_write, fs::perm_options::add, ec);
}

} // namespace

// [mend] Windows refuses to replace or delete a read-only file, and the
// temporary file took the attribute too: such a file failed with 48 on
// every run, and neither it nor its leftovers ever went.
TEST_F(UpdaterTest, ReadOnlyFilesAreUpdatedAndStayReadOnlyAndReadOnlyLeftoversAndObsoleteFilesGo) {
    publish("data/changed.pak", "new contents");
    publish("data/kept.pak", "kept");
    installCurrent("data/kept.pak");
    testkit::writeFile("data/changed.pak", "old", 0444);
    testkit::writeFile("data/gone.pak", "obsolete", 0444);
    const std::string part = std::string("data/stale.pak") + PendingFile::suffix;
    const std::string resume = std::string("data/other.pak") + ResumeFile::suffix;
    testkit::writeFile(part, "left behind", 0444);
    testkit::writeFile(resume, "left behind", 0444);
    ASSERT_TRUE(writeManifest("checklist.txt", {{"data/kept.pak", release.at("data/kept.pak").entry},
                                                {"data/gone.pak", ManifestEntry{md5Of("obsolete"), 8, 0}}}));
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(readFile("data/changed.pak"), "new contents");
    EXPECT_FALSE(writable("data/changed.pak")) << "the installed file's attributes are kept";
    for (const std::string& path :
         {std::string("data/gone.pak"), part, resume, std::string("data/changed.pak") + PendingFile::suffix})
        EXPECT_EQ(platform::fileKind(path), platform::FileKind::missing) << path;
    EXPECT_EQ(localManifest(), manifest());
    makeWritable("data/changed.pak");
}

// The installation's folder near the limit, the paths inside it beyond:
// scanned, downloaded into folders made for them, and found again by the
// next run.
TEST_F(UpdaterTest, AnInstallationWhosePathsPass260CharactersIsScannedAndUpdated) {
    std::string deep = install.path();
    while (deep.size() < 230) {
        deep += "/Mis juegos " + std::to_string(deep.size() % 10);
        ASSERT_TRUE(platform::makeDirectory(deep));
    }
    CurrentDir inside(deep);
    const std::string folder = "res/" + std::string(50, 'p') + "/" + std::string(50, 'q');
    ASSERT_GT(deep.size() + folder.size(), 260u);
    publish(folder + "/new.dat", bytesOf(70000, 3));
    publish(folder + "/installed.dat", "current");
    publish("top.txt", "top");
    testkit::writeFile(folder + "/installed.dat", "current");
    testkit::writeFile(folder + "/changed.dat", "obsolete");
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    // No manifest: the installation was scanned (its two files hashed).
    EXPECT_EQ(recorder.count("scanBegin 2"), 1u);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(platform::fileKind(folder + "/changed.dat"), platform::FileKind::missing);
    EXPECT_EQ(readFile(folder + "/new.dat"), release.at(folder + "/new.dat").bytes);
    EXPECT_EQ(readFile("top.txt"), "top");
    EXPECT_EQ(server.gets("/rel/" + folder + "/installed.dat.zz"), 0);
    EXPECT_EQ(localManifest(), manifest());

    recorder.events.clear(); // no thread is at work
    Updater again(location());
    again.enableSelfFiles();
    run(again);
    EXPECT_EQ(recorder.all().front(), "stage 3") << "the manifest written there is read back";
    EXPECT_EQ(recorder.all().back(), "finished 0");
    EXPECT_EQ(server.gets("/rel/" + folder + "/new.dat.zz"), 1);
}
