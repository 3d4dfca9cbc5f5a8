// The launcher's side of a self-update of its own files: the confirmation
// of a start hoplin watches, the news of an update hoplin undid, and a job
// hoplin did not finish.
#include "tests/app/LauncherFixture.h"

#include "app/HandOff.h"
#include "app/MainScene.h"
#include "g2/ButtonWidget.h"
#include "g2/LabelWidget.h"
#include "install/Manifest.h"
#include "install/SelfUpdateJob.h"
#include "platform/Process.h"

#include <cstdlib>
#include <filesystem>

using apptest::LauncherTest;

namespace fs = std::filesystem;

TEST_F(LauncherTest, AStartHoplinWatchesIsConfirmedAfterItsFirstFrame) {
    ASSERT_TRUE(platform::setEnvironment(startTokenVariable, "token-1"));
    ASSERT_EQ(start(1, {"-n"}), 0);
    EXPECT_EQ(std::getenv(startTokenVariable), nullptr) << "the game does not inherit it";
    EXPECT_FALSE(startConfirmed(".", "token-1"));
    EXPECT_TRUE(frame());
    EXPECT_TRUE(startConfirmed(".", "token-1"));
    fs::remove(startedFileName);
    EXPECT_TRUE(frame());
    EXPECT_FALSE(fs::exists(startedFileName)) << "once";
    EXPECT_TRUE(services.handOffs.empty());
}

TEST_F(LauncherTest, AnUpdateHoplinUndidIsToldOnTheStatusLineOnce) {
    installFiles = {{selfUpdateJobFileName, "stage reverted\nstarts 2\n"}};
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    frame();
    EXPECT_EQ(win().statusLabel->text(), app::updateRevertedText());
    EXPECT_EQ(app::updateRevertedText(),
              "La actualizaci\xC3\xB3n del lanzador no pudo iniciarse y se deshizo.");
    EXPECT_FALSE(win().playButton->isInert()) << "the previous launcher plays";
    EXPECT_FALSE(fs::exists(selfUpdateJobFileName));
    EXPECT_EQ(finish(), 0);
    ASSERT_EQ(restart({"-n"}), 0);
    frame();
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completa.");
}

TEST_F(LauncherTest, AJobHoplinDidNotFinishIsHandedBackToItOrForgottenOnceConfirmed) {
    // Killed while it moved the files: the player's start hands over at
    // once, before the window.
    installFiles = {{selfUpdateJobFileName, "stage moving\nstarts 0\nold MoravoTown\n"}};
    ASSERT_EQ(start(1, {}), 0);
    ASSERT_EQ(services.handOffs.size(), 1u);
    EXPECT_EQ(services.handOffs[0], install->dir() + "/MoravoTown");
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    // A launcher hoplin started never hands over again.
    ASSERT_EQ(restart({"-n"}), 0);
    EXPECT_TRUE(frame());
    EXPECT_EQ(services.handOffs.size(), 1u);
    EXPECT_EQ(finish(), 0);

    // Killed after the new launcher confirmed: the job is over.
    SelfUpdateJob job;
    job.stage = JobStage::starting;
    job.starts = 1;
    job.token = "token-2";
    job.files = {JobFile{"MoravoTown", true}};
    ASSERT_TRUE(writeSelfUpdateJob(".", job));
    ASSERT_TRUE(keepPreviousCopy(".", "res/res.txt"));
    ASSERT_TRUE(confirmStart(".", "token-2"));
    ASSERT_EQ(restart({}), 0);
    EXPECT_EQ(services.handOffs.size(), 1u);
    EXPECT_FALSE(fs::exists(selfUpdateJobFileName));
    EXPECT_FALSE(fs::exists(previousFilesFolderName));
    EXPECT_FALSE(fs::exists(startedFileName));
}
