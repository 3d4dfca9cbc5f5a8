// The main scene: its texts for the updater's progress, the hand-off,
// autoplay, play with the game's files, the settings window and the
// DirectX check.
#include "tests/app/LauncherFixture.h"

#include "app/GameFiles.h"
#include "app/HandOff.h"
#include "app/MainScene.h"
#include "app/Registry.h"
#include "app/UserSetWin.h"
#include "g2/ButtonWidget.h"
#include "g2/ComboBoxWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/Messages.h"
#include "g2/ProgressWidget.h"
#include "g2/ScrollWidget.h"
#include "install/Manifest.h"
#include "platform/Directory.h"
#include "platform/MessageBox.h"
#include "platform/ProgramPath.h"
#include "tests/app/LoginService.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using apptest::LauncherTest;
using apptest::readFile;
using nettest::LoopbackServer;

TEST_F(LauncherTest, DashNShowsTheUpdateCompleteAndNeverAutoplays) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    frame();
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completa.");
    EXPECT_EQ(win().mainBar->value(), 100);
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_FALSE(win().retryButton->isVisible());
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(frame(1000)); // loginTime is 0: no autoplay
    EXPECT_EQ(launcher->mainScene->updater, nullptr);
}

TEST_F(LauncherTest, UpdaterProgressBecomesTheStatusLine) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    app::MainScene& scene = *launcher->mainScene;
    auto status = [&] {
        frame();
        return win().statusLabel->text();
    };
    scene.onStage(UpdateStage::fetchingManifest);
    EXPECT_EQ(status(), "Recogiendo datos de la ultima versi\xC3\xB3n publicada...");
    scene.onStage(static_cast<UpdateStage>(9)); // unknown: the text stays
    EXPECT_EQ(status(), "Recogiendo datos de la ultima versi\xC3\xB3n publicada...");
    scene.onScanBegin(3);
    scene.onScanStep("a");
    EXPECT_EQ(status(), "33% - Comprobando instalaci\xC3\xB3n.");
    scene.onFileBegin("data/maps/town.pak", 2000);
    scene.onDownloadBegin(1000, 4000, 600, 3000);
    scene.onProgress(300, 1500);
    EXPECT_EQ(status(), "70% - .../maps/town.pak");
    scene.onFileProgress(500);
    frame();
    EXPECT_EQ(win().fileBar->maximum(), 2000);
    EXPECT_EQ(win().fileBar->value(), 500);
    scene.onError(0x1400);
    EXPECT_EQ(status(), "Error comprimiendo .../maps/town.pak");
    EXPECT_TRUE(win().retryButton->isVisible());
    scene.onError(0x801);
    EXPECT_EQ(status(), "Error descomprimiendo .../maps/town.pak");
    scene.onError(7);
    EXPECT_EQ(status(), "Error de procedimiento: 7");
    scene.onError(0x50);
    EXPECT_EQ(status(), "Error de procedimiento: 7"); // no change
    scene.onDeleting("old/file.dat");
    scene.onError(0xE0);
    EXPECT_EQ(status(), "Error al descargar archivo Borrando ...old/file.dat");
}

TEST_F(LauncherTest, FinishingWithStagedFilesHandsOverToHoplin) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    std::filesystem::create_directories("tmp/bin");
    std::ofstream("tmp/bin/MoravoTown") << "new";
    launcher->mainScene->onFinished(0); // none staged now, but files wait in tmp
    EXPECT_TRUE(frame());               // the scene sees it and ends the loop
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    ASSERT_EQ(services.handOffs.size(), 1u);
    EXPECT_EQ(services.handOffs[0], install->dir() + "/MoravoTown");
    EXPECT_TRUE(services.games.empty());
}

// [mend] A hoplin that could not start (missing, refused by an antivirus or
// a policy) once ended the launcher with 0 and no word, and every later
// start staged the update and handed over to it again.
TEST_F(LauncherTest, AHoplinThatCannotStartIsToldAndHeldBackUntilItChanges) {
    services.handOffStarts = false;
    services.handOffFailure = {platform::StartProblem::blockedByAntivirus, 225, "virus"};
    auto finishWithStagedFiles = [&] {
        frame();
        std::filesystem::create_directories("tmp");
        std::ofstream("tmp/launcher_v.txt") << "2";
        launcher->mainScene->onFinished(1);
        return frame();
    };
    ASSERT_EQ(start(1, {"-n"}), 0);
    EXPECT_TRUE(finishWithStagedFiles());
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), app::GLauncher::kHandOffFailed);
    ASSERT_EQ(services.completers.size(), 1u);
    EXPECT_EQ(services.completers[0],
              platform::currentDirectory() + platform::kPathSeparator + app::completerName())
        << "from the installation, never from PATH";
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].rfind("Error|No se pudo iniciar " + app::completerName(), 0), 0u)
        << services.boxes[0];
    EXPECT_NE(services.boxes[0].find("el antivirus lo ha bloqueado"), std::string::npos);
    EXPECT_EQ(readFile("tmp/launcher_v.txt"), "2") << "the staged files stay";

    // The next start does not hand over to the same hoplin: the update is
    // complete and Jugar waits, with nothing more said.
    ASSERT_EQ(restart({"-n"}), 0);
    EXPECT_TRUE(finishWithStagedFiles());
    EXPECT_TRUE(frame()) << "the loop goes on";
    EXPECT_FALSE(win().playButton->isInert());
    EXPECT_EQ(win().statusLabel->text(), "Actualizaci\xC3\xB3n completada.");
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(services.completers.size(), 1u);
    EXPECT_EQ(services.boxes.size(), 1u);

    // A hoplin that changed since (restored, or brought by an update) is
    // tried again; once it starts, the failure is forgotten.
    std::ofstream(app::completerName()) << "a hoplin put back";
    services.handOffStarts = true;
    ASSERT_EQ(restart({"-n"}), 0);
    EXPECT_TRUE(finishWithStagedFiles());
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(services.completers.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(handOffFileName));
}

TEST_F(LauncherTest, AnUpdateFinishedSoonAfterTheLoginStartsTheGame) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    app::MainScene& scene = *launcher->mainScene;
    scene.loginTime = services.clock;
    frame(3000); // finished 3 s after the login
    EXPECT_TRUE(win().playRequested);
    EXPECT_TRUE(frame()); // acted on in the next frame
    EXPECT_FALSE(frame());
    finish();
    EXPECT_EQ(services.games.size(), 1u);
}

TEST_F(LauncherTest, AnAutoplayTheDirectXCheckRefusesAsksOnlyOnce) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    install->write("DirectX.txt", "missing_d3dx9.dll\n");
    services.boxAnswer = platform::kAnswerNo;
    frame();
    launcher->mainScene->loginTime = services.clock;
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(frame(200)); // 4 s, all within the 10 s of autoplay
    EXPECT_EQ(services.boxes.size(), 1u);
    click(win().playButton); // a press asks again
    EXPECT_EQ(services.boxes.size(), 2u);
}

TEST_F(LauncherTest, AnUpdateFinishedLateWaitsForJugar) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    launcher->mainScene->loginTime = services.clock;
    EXPECT_TRUE(frame(12000));
    EXPECT_FALSE(win().playRequested);
    EXPECT_TRUE(frame());
}

TEST_F(LauncherTest, PlayWritesTheLaunchFileAndTheCredentialsForTheGame) {
    app::Registry::writeString("tempstr", "encoded");
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    click(win().playButton);
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    ASSERT_EQ(services.games.size(), 1u);
    EXPECT_EQ(services.games[0], "Game.moravo");
    // The game is loaded on a thread that follows the process's scaling again.
    EXPECT_EQ(services.order, (std::vector<std::string>{"scaling ended", "game"}));
    EXPECT_EQ(app::Registry::readString("stack"), "encoded"); // taken from "tempstr" with "-n"
    EXPECT_EQ(app::Registry::readString("tempstr", "gone"), "gone");
    std::string launch = readFile(install->dir() + "/Game.moravo/Launch.txt");
    EXPECT_NE(launch.find(".ID Preset"), std::string::npos) << launch;
    EXPECT_NE(launch.find(".Screen Window"), std::string::npos) << launch;
    EXPECT_NE(launch.find(".Aspect 1.77778"), std::string::npos) << launch; // 1920 x 1080 is the largest
    EXPECT_NE(launch.find(".Track Habitacion"), std::string::npos) << launch;
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr); // the window is gone before the game starts
}

TEST_F(LauncherTest, TheGamesLastScreenModeIsChosenAtStartAndKeptByJugar) {
    // Preset 0 defaults to 1280 x 720; the game last ran at 1024 x 768, full screen.
    installFiles.emplace_back("Game.moravo/Launch.txt",
                              ".Render\n{\n\t.ID Preset0\n\t.Screen Full\n\t.Display { 1024 768 60 }\n}\n");
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    EXPECT_EQ(win().videoBox->label()->text(), "1024x768");
    EXPECT_TRUE(win().fullScreenBox->toggled());
    // The custom mode (1024 x 768, from the third preset) and the 1024 x 768
    // target give one entry.
    EXPECT_EQ(launcher->videoList.count(), 4u);
    click(win().playButton);
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    std::string launch = readFile(install->dir() + "/Game.moravo/Launch.txt");
    EXPECT_NE(launch.find(".Display {  1024 768 60  }"), std::string::npos) << launch;
    EXPECT_NE(launch.find(".Screen Full"), std::string::npos) << launch;
}

TEST_F(LauncherTest, UnderXvfbTheGamesScreenSizeStaysChosenFromInitToTheMainScene) {
    // What the launcher's survey finds on Xvfb -screen 0 1280x1024x24: SDL
    // lists that one size. The game last ran at it.
    services.hardware.resolutions = {{1280, 1024}};
    installFiles.emplace_back(
        "Game.moravo/Launch.txt",
        ".Render\n{\n\t.ID Preset2\n\t.Screen Window\n\t.Display { 1280 1024 60 }\n}\n");
    LoopbackServer server(apptest::loginService("0"));
    ASSERT_EQ(start(server.port()), 0);
    auto shown = [&] {
        const int row = launcher->videoModes.rowOfEntry(win().videoRow);
        EXPECT_GE(row, 0);
        const app::Resolution mode =
            row >= 0 ? launcher->videoModes.resolutions[size_t(launcher->videoModes.modeRows[size_t(row)])]
                     : app::Resolution{0, 0};
        EXPECT_EQ(std::to_string(mode.first) + "x" + std::to_string(mode.second),
                  win().videoBox->label()->text());
        return win().videoBox->label()->text();
    };
    EXPECT_EQ(launcher->videoList.count(), 1u);
    EXPECT_EQ(shown(), "1280x1024"); // after init
    frame();
    EXPECT_EQ(shown(), "1280x1024"); // the first frame: the login panel
    logIn("600123456", "moravo");
    ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
    frame();
    frame();
    EXPECT_EQ(win().panel(), app::MainWin::MainPanel);
    EXPECT_TRUE(win().videoBox->isVisible());
    EXPECT_EQ(shown(), "1280x1024"); // the main panel the player sees
}

TEST_F(LauncherTest, AClassThreeMachineSeesThreeQualityRowsAndTheLastConfigures) {
    services.hardware.memoryBytes = 512ull << 20;
    ASSERT_EQ(start(1, {"-n"}), 0);
    EXPECT_EQ(launcher->machineClass, 3);
    frame();
    EXPECT_EQ(launcher->qualityList.count(), 3u); // presets 3, 4 and the custom one
    win().chooseQuality(1);
    frame();
    EXPECT_FALSE(win().configureButton->isVisible());
    EXPECT_TRUE(win().videoBox->isVisible());
    win().chooseQuality(2);
    frame();
    EXPECT_TRUE(win().configureButton->isVisible());
    EXPECT_FALSE(win().videoBox->isVisible());
}

TEST_F(LauncherTest, TheSettingsWindowStoresTheCustomPreset) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    win().configureRequested = true;
    frame();
    ASSERT_TRUE(launcher->mainScene->settingsShown);
    app::UserSetWin& settings = *launcher->userSetWin;
    settings.onEvent(G2::Msg::DragHorizontal, settings.shadowBar, 3);
    settings.onEvent(G2::Msg::DragHorizontal, settings.detailBar, 0);
    settings.onEvent(G2::Msg::ScrollLeft, settings.detailBar, 0); // not below 0
    settings.onEvent(G2::Msg::ScrollRight, settings.detailBar, 0);
    settings.onEvent(G2::Msg::ScrollRight, settings.detailBar, 0);
    settings.onEvent(G2::Msg::ScrollRight, settings.aaBar, 0);
    settings.onEvent(G2::Msg::ScrollRight, settings.aaBar, 0);
    settings.onEvent(G2::Msg::ScrollRight, settings.aaBar, 0); // not above 2
    EXPECT_EQ(settings.aaLevel, 2);
    EXPECT_EQ(settings.shadowValue->text(), "3");
    settings.videoList->select(1);
    settings.accepted = true;
    frame();
    EXPECT_FALSE(launcher->mainScene->settingsShown);
    EXPECT_EQ(launcher->userSettings.shadowSize, 2048);
    EXPECT_FLOAT_EQ(launcher->userSettings.lodDistance, 10.0f);
    EXPECT_TRUE(launcher->userSettings.lodCity);
    EXPECT_EQ(launcher->userSettings.width, 1024);
    std::string user = readFile(install->dir() + "/Game.moravo/UserSet.txt");
    EXPECT_NE(user.find(".ShadowSize {  2048  }"), std::string::npos) << user;
    EXPECT_NE(user.find(".Display {  1024 768 60  }"), std::string::npos) << user;
    EXPECT_TRUE(win().configureButton->isVisible());

    win().configureRequested = true;
    frame();
    EXPECT_EQ(settings.shadowLevel, 3); // reopened with the stored levels
    EXPECT_EQ(settings.detailLevel, 2);
    settings.cancelled = true;
    frame();
    EXPECT_FALSE(launcher->mainScene->settingsShown);
}

TEST_F(LauncherTest, EscapeCancelsTheSettingsWindowAndOnlyThenClosesTheLauncher) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    win().configureRequested = true;
    frame();
    ASSERT_TRUE(launcher->mainScene->settingsShown);
    const int antialiasing = launcher->userSettings.antialiasing;
    launcher->userSetWin->onEvent(G2::Msg::ScrollRight, launcher->userSetWin->aaBar, 0);
    pressKey(27);
    EXPECT_FALSE(launcher->mainScene->settingsShown); // as its "Cancelar"
    EXPECT_EQ(launcher->userSettings.antialiasing, antialiasing);
    EXPECT_FALSE(launcher->mainScene->exitPending);
    EXPECT_TRUE(frame());
    pressKey(27); // on the main window itself: the close request
    EXPECT_TRUE(launcher->mainScene->exitPending);
    EXPECT_FALSE(frame());
}

TEST_F(LauncherTest, DetailAndShadowLevelsMapToTheStoredValues) {
    EXPECT_EQ(app::UserSetWin::shadowSizeFor(2), 1024);
    EXPECT_EQ(app::UserSetWin::shadowSizeFor(3), 2048);
    EXPECT_EQ(app::UserSetWin::shadowLevelFor(2048), 3);
    EXPECT_EQ(app::UserSetWin::shadowLevelFor(700), 1); // the nearest level below
    app::UserSettings s;
    app::VideoModes modes;
    ASSERT_EQ(start(1, {"-n"}), 0);
    app::UserSetWin& w = *launcher->userSetWin;
    w.detailLevel = 3;
    w.apply(s, modes); // no resolutions: the size stays
    EXPECT_FLOAT_EQ(s.lodDistance, 12.0f);
    EXPECT_FALSE(s.lodCity);
    EXPECT_EQ(s.width, 0);
}

TEST_F(LauncherTest, AMissingDirectXLibraryAsksAndDropsThePlay) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    // A system library named bare is found on the system's search path: the
    // C library's mathematics, or the Windows kernel.
    const std::string systemLibrary = *platform::executableSuffix() == '\0' ? "libm.so.6" : "kernel32.dll";
    install->write("DirectX.txt", systemLibrary + "\n\nmissing_d3dx9.dll\n");
    frame();
    services.boxAnswer = platform::kAnswerNo;
    click(win().playButton);
    EXPECT_TRUE(frame()); // the loop goes on: the game is not started on this press
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].substr(0, 22), "ERROR VERSION DIRECTX|");
    EXPECT_EQ(services.libraries, (std::vector<std::string>{systemLibrary, "missing_d3dx9.dll"}));
    EXPECT_EQ(services.styles[0], unsigned(platform::kBoxYesNo | platform::kIconWarning));
    EXPECT_TRUE(services.installers.empty());

    services.boxAnswer = platform::kAnswerYes;
    click(win().playButton);
    ASSERT_EQ(services.installers.size(), 1u);
    EXPECT_EQ(services.installers[0], install->dir() + "/DirectX/dxsetup.exe");
    EXPECT_TRUE(frame());
}

TEST_F(LauncherTest, CreditsRiseAfterTheirButtonAndComeBackAfterTheDelay) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    G2::AnimWidget& credits = *win().credits;
    EXPECT_TRUE(credits.isVisible());
    click(win().creditsButton);
    EXPECT_TRUE(win().creditsButton->isInert());
    frame(); // timer 1: the motion starts
    EXPECT_TRUE(credits.motion & G2::AnimWidget::MoveVertical);
    double start = credits.imageY;
    frame();
    EXPECT_LT(credits.imageY, start); // rising
    // The test credits picture is 400 high in a 150 - 2 x 8 high panel: it
    // rises until its bottom meets the panel's.
    ASSERT_TRUE(frameUntil([&] {
        frame();
        return !win().creditsButton->isInert();
    }));
    EXPECT_EQ(credits.motion & G2::AnimWidget::MoveVertical, 0u);
    EXPECT_EQ(credits.imageY, 150 - 2 * 8 - 400);
    frame(launcher->config.creditsDelay + 1); // timer 2: back at the start
    EXPECT_EQ(credits.imageY, 0);
}

TEST_F(LauncherTest, AMachineWithoutResolutionsPlaysAtTheGamesOwnSize) {
    services.hardware.resolutions.clear();
    ASSERT_EQ(start(1, {"-n"}), 0);
    EXPECT_EQ(launcher->videoList.count(), 0u);
    frame();
    click(win().playButton);
    frame();
    EXPECT_EQ(finish(), 0);
    std::string launch = readFile(install->dir() + "/Game.moravo/Launch.txt");
    EXPECT_NE(launch.find(".Display {  800 600 60  }"), std::string::npos) << launch; // from Launch.txt
    EXPECT_NE(launch.find(".Aspect 1.33333"), std::string::npos) << launch;
}
