// The whole road of a player, with real keyboard and mouse input on a
// private X server, against the reference web service and update server:
// login, the update to version 2 with its bars moving, the hand-off to
// hoplin and the launcher back without a login, a quality preset chosen and
// the custom one edited, then play. Two shorter runs end at a wrong
// password and at a server that does not answer. Every scene's screenshot is
// kept in <build>/e2e-screenshots.
#include "app/Credentials.h"
#include "platform/UserStore.h"
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
    if (!prepared()) {
        std::string www = scratch.path() + "/www";
        testkit::ToolRun publish = testkit::runTool(scratch, "publish " + release + " " + www);
        ASSERT_EQ(publish.code, 0) << publish.err;
        e2e::DevServer::Options options;
        options.publish = www;
        options.rateKiB = 512;    // a few seconds for the data pack: the bars are seen moving
        options.loginDelay = 1.0; // and the wait for the answer is seen
        ASSERT_TRUE(server.start(scratch.path(), options));
        useServer(server.port());
    }
    ASSERT_TRUE(startLauncher()) << "no launcher window; it answered " << launcher.wait(100);
    ASSERT_NO_FATAL_FAILURE(logIn());
    watchUpdate();

    // hoplin moves the staged launcher file into place and starts the
    // launcher again, straight into the main scene.
    window = waitForWindow("Moravo Town", 0, 30000);
    ASSERT_NE(window, 0u) << "the launcher did not come back; hoplin.log:\n"
                          << testkit::slurp(file("hoplin.log"));
    EXPECT_NE(testkit::slurp(file("hoplin.log")).find("Finalizado"), std::string::npos);
    EXPECT_EQ(testkit::slurp(file("launcher_v.txt")), testkit::slurp(release + "/launcher_v.txt"));
    EXPECT_FALSE(fs::exists(file("tmp/launcher_v.txt")));
    ASSERT_TRUE(waitForText(widgets.byText("main", "LabelWidget", "Iniciando..."), updated));
    shot("back-without-login");

    ASSERT_NO_FATAL_FAILURE(chooseSettings());
    click(widgets.byId("main", 1002));
    unsigned long game = waitForWindow("Moravo Town: el juego", 0, 30000);
    EXPECT_NE(game, 0u) << "the game's window did not appear";
    if (game != 0)
        shot("game");
    EXPECT_EQ(launcher.wait(30000), 0);

    checkGameStart();
    // The credentials handed to the game: those typed at the login, carried
    // over the hand-off.
    platform::UserStore store("SoftWare\\Moravo", home + "/moravo");
    EXPECT_EQ(store.readString("stack", ""), app::encodeCredentials(e2e::demoPhone, e2e::demoPassword));
    EXPECT_EQ(store.readString("tempstr", "none"), "none");

    checkVersion2(release);
    const char* served = std::getenv("MORAVO_E2E_SERVER_LOG");
    const std::string log = prepared() && served != nullptr ? testkit::slurp(served) : server.log();
    EXPECT_NE(log.find("loginlauncher Res=0 600123456"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /updates/Game.moravo/data/textures.pak.zz 200"), std::string::npos) << log;
}

TEST_F(PlayerRoad, AWrongPasswordIsRefusedAndNothingIsUpdated) {
    refusedLogin();
}

TEST_F(PlayerRoad, AStoppedServerDoesNotAnswer) {
    unansweredLogin();
}
