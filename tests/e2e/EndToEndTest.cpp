// The whole road of a player, with real keyboard and mouse input on a
// private X server, against the reference web service and update server:
// login, the update to version 2 with its bars moving, the hand-off to
// hoplin and the launcher back without a login, a quality preset chosen and
// the custom one edited, then play. Two shorter runs end at a wrong
// password and at a server that does not answer. Every scene's screenshot is
// kept in <build>/e2e-screenshots.
#include "tests/common/ToolRun.h"
#include "tests/e2e/DevServer.h"
#include "tests/e2e/PlayerRun.h"

#include <filesystem>

namespace {

const std::string updated = "Actualizaci\xC3\xB3n completa.";
const std::string release = MORAVO_BINARY_DIR "/demo/release-2";

using PlayerRoad = e2e::PlayerRun;

} // namespace

TEST_F(PlayerRoad, LogsInUpdatesThroughHoplinChoosesTheSettingsAndPlays) {
    namespace fs = std::filesystem;
    e2e::DevServer server;
    ASSERT_NO_FATAL_FAILURE(serveVersion2(server));
    ASSERT_TRUE(startLauncher()) << "no launcher window; it answered " << launcher.wait(100);
    ASSERT_NO_FATAL_FAILURE(logIn());
    watchUpdate();

    // hoplin moves the staged launcher file into place and starts the
    // launcher again, straight into the main scene.
    window = waitForWindow("Moravo Town", 0, 30000);
    ASSERT_NE(window, 0u) << "the launcher did not come back; hoplin.log:\n"
                          << testkit::readFile(file("hoplin.log"));
    EXPECT_NE(testkit::readFile(file("hoplin.log")).find("Finalizado"), std::string::npos);
    EXPECT_EQ(testkit::readFile(file("launcher_v.txt")), testkit::readFile(release + "/launcher_v.txt"));
    EXPECT_FALSE(fs::exists(file("tmp/launcher_v.txt")));
    ASSERT_TRUE(waitForText(widgets.byText("main", "LabelWidget", "Iniciando..."), updated));
    shot("back-without-login");

    ASSERT_NO_FATAL_FAILURE(chooseSettings());
    play();
    EXPECT_EQ(launcher.wait(30000), 0);

    checkGameStart();
    checkCredentialsHandedOver();
    checkVersion2(release);
    checkServed(server, "/updates/versions/1/Game.moravo/data/textures.pak.zz");
}

TEST_F(PlayerRoad, AHoplinThatCannotStartIsToldAndTheNextStartPlays) {
    completerThatCannotStart();
}

TEST_F(PlayerRoad, AWrongPasswordIsRefusedAndNothingIsUpdated) {
    refusedLogin();
}

TEST_F(PlayerRoad, AStoppedServerDoesNotAnswer) {
    unansweredLogin();
}
