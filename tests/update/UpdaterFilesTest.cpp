// The update engine on files as players have them: an installation deep
// enough that its paths pass the 260 characters of Windows' plain paths.
#include "platform/FileSystem.h"
#include "tests/common/Files.h"
#include "tests/update/UpdaterFixture.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

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
