// The updater and the names of the installation: the player's own folders
// and links, and letter case where the file system ignores it.
#include "platform/FileSystem.h"
#include "tests/common/Links.h"
#include "tests/update/UpdaterFixture.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

// [mend] Only the game's folders are cleaned: a folder in which neither the
// publication nor the previous manifest lists a file is the player's.
TEST_F(UpdaterTest, TheDeletionPassNeverTouchesThePlayersFoldersOrLinks) {
    publish("a.txt", "alpha");
    publish("maps/m1.dat", "map one");
    installCurrent("a.txt");
    installCurrent("maps/m1.dat");
    Manifest previous = manifest();
    previous["old/gone.dat"] = ManifestEntry{md5Of("gone"), 4, 0};
    ASSERT_TRUE(writeManifest("checklist.txt", previous));
    for (const char* file : {"obsolete.txt", "maps/old.dat", "old/gone.dat", "old/stray.txt",
                             "maps/custom/mine.dat", "Screenshots/2024/shot.png"})
        install.write(file, "x");
    // A folder of the player's linked into the installation (Windows shows
    // such a link to some programs as a plain folder).
    TempDir pictures;
    pictures.write("holiday.png", "the player's picture");
    ASSERT_TRUE(testkit::linkFolder("../" + fs::path(pictures.path()).filename().string(),
                                    install.path() + "/Pictures"));

    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    EXPECT_EQ(recorder.from("deleting"),
              (std::vector<std::string>{"deleting maps/old.dat", "deleting obsolete.txt",
                                        "deleting old/gone.dat", "deleting old/stray.txt", "finished 0"}));
    for (const char* kept : {"maps/custom/mine.dat", "Screenshots/2024/shot.png"})
        EXPECT_EQ(readFile(kept), "x") << kept;
    EXPECT_EQ(readFile(pictures.path() + "/holiday.png"), "the player's picture");
    EXPECT_EQ(localManifest(), manifest());
}

// [mend] Where letter case does not tell files apart, a published path in
// another case is the installed file itself: it is never downloaded beside
// itself and then deleted as unpublished.
TEST_F(UpdaterTest, APathPublishedInAnotherLetterCaseIsTheInstalledFile) {
    publish("Data/same.pak", "unchanged");
    publish("Data/x.pak", "new bytes");
    install.write("data/same.pak", "unchanged");
    install.write("data/x.pak", "old bytes");
    ASSERT_TRUE(writeManifest("checklist.txt", Manifest{{"data/same.pak", {md5Of("unchanged"), 9, 0}},
                                                        {"data/x.pak", {md5Of("old bytes"), 9, 0}}}));
    Updater updater(location());
    updater.enableSelfFiles();
    updater.removeObsolete = true;
    run(updater);
    EXPECT_EQ(recorder.all().back(), "finished 0");
    if (platform::namesIgnoreCase()) {
        EXPECT_EQ(recorder.from("fileBegin"),
                  (std::vector<std::string>{"fileBegin Data/x.pak 9", "finished 0"}));
    } else {
        // Two folders here: the published files are new, the old ones go.
        EXPECT_EQ(recorder.from("fileBegin"),
                  (std::vector<std::string>{"fileBegin Data/same.pak 9", "fileBegin Data/x.pak 9",
                                            "deleting data/same.pak", "deleting data/x.pak", "finished 0"}));
    }
    EXPECT_EQ(readFile("Data/same.pak"), "unchanged");
    EXPECT_EQ(readFile("Data/x.pak"), "new bytes");
    EXPECT_EQ(localManifest(), manifest()); // in the published spelling

    // The next run finds everything in place.
    Recorder again;
    Updater second(location());
    second.enableSelfFiles();
    second.removeObsolete = true;
    second.prepareUpdate(&again, 0, 0);
    second.run();
    EXPECT_EQ(again.from("downloadBegin").size(), 2u); // no file, no deletion
    EXPECT_EQ(again.all().back(), "finished 0");
}
