// The steps of the player's road that the launcher takes alike on every
// platform: the login, the update with its bars, the settings, and what the
// game is started with.
#include "app/Credentials.h"
#include "app/SettingsNode.h"
#include "tests/common/ToolRun.h"
#include "tests/e2e/DevServer.h"
#include "tests/e2e/PlayerRun.h"

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

const std::string userLabel = "N\xC3\xBA"
                              "mero de Telefono Movil:";

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A level row of the settings window, found by its title: the value label
// and the bar's two arrows.
struct Level {
    Rect lower, raise, value;
};

Level level(const Widgets& widgets, const std::string& title) {
    std::string path = widgets.pathOf("settings", "LabelWidget", title);
    std::string row = path.substr(0, path.rfind('.'));
    return {widgets.byPath("settings", row + ".2.0"), widgets.byPath("settings", row + ".2.2"),
            widgets.byPath("settings", row + ".1")};
}

// The value of a dotted entry of a settings file ("Render.Display" gives
// its values joined by blanks).
std::string setting(const std::string& path, const std::string& entry) {
    app::SettingsNode root;
    app::readSettingsFile(path, root);
    const app::SettingsNode* node = &root;
    std::istringstream keys(entry);
    std::string key;
    while (std::getline(keys, key, '.'))
        node = &node->find(key);
    if (node->count() == 0 || !node->child(0).key.empty())
        return node->value;
    std::string values;
    for (size_t i = 0; i < node->count(); ++i)
        values += (i > 0 ? " " : "") + node->child(i).value;
    return values;
}

} // namespace

void PlayerRun::serveVersion2(DevServer& server) {
    if (prepared())
        return;
    const std::string www = scratch.path() + "/www";
    ASSERT_NO_FATAL_FAILURE(publish(www));
    DevServer::Options options;
    options.publish = www;
    options.rateKiB = 512;    // a few seconds for the data pack: the bars are seen moving
    options.loginDelay = 1.0; // and the wait for the answer is seen
    ASSERT_TRUE(server.start(scratch.path(), options));
    useServer(server.port());
}

void PlayerRun::typeAccount(const std::string& password) {
    ASSERT_TRUE(waitForText(widgets.byText("login", "LabelWidget", userLabel), userLabel));
    shot("login");
    click(widgets.nth("login", "EditWidget", 0));
    x.typeText(demoPhone);
    click(widgets.nth("login", "EditWidget", 1));
    x.typeText(password);
    shot("login-typed");
}

void PlayerRun::logIn() {
    ASSERT_NO_FATAL_FAILURE(typeAccount(demoPassword));
    click(widgets.byId("login", 1010));
    ASSERT_TRUE(waitForText(widgets.byText("wait", "LabelWidget", "..."), "Esperando respuesta"));
    shot("wait");
}

void PlayerRun::watchUpdate() {
    // (The launcher's next window may well get the id of this one: the X
    // server reuses the ids of a closed client.)
    const Rect overall = widgets.nth("main", "ProgressFrameWidget", 0);
    const Rect current = widgets.nth("main", "ProgressFrameWidget", 1);
    std::set<int> fileSteps;
    double overallLow = 1, overallHigh = 0;
    bool shotTaken = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (!std::filesystem::exists(file("hoplin.log")) && std::chrono::steady_clock::now() < deadline) {
        double file = filled(current), all = filled(overall);
        if (file > 0.05 && file < 0.95)
            fileSteps.insert(int(file * 100));
        if (all > 0.02) {
            overallLow = std::min(overallLow, all);
            overallHigh = std::max(overallHigh, all);
        }
        if (!shotTaken && file > 0.3 && file < 0.7) {
            shot("update");
            shotTaken = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_GE(fileSteps.size(), 3u) << "the current file's bar did not move";
    EXPECT_GT(overallHigh, overallLow + 0.05) << "the overall bar did not move";
    EXPECT_GT(overallHigh, 0.8);
}

Rect PlayerRun::menuRow(int menuId, int row) {
    for (const WidgetLine& line : widgets.lines())
        if (line.view == "popup" && line.id == std::to_string(menuId)) {
            int rows = 0, itemHeight = 0, border = 0;
            std::sscanf(line.text.c_str(), "rows=%d item_height=%d border=%d", &rows, &itemHeight, &border);
            return Rect{line.rect.x + border, line.rect.y + border + row * itemHeight,
                        line.rect.w - 2 * border, itemHeight};
        }
    return {};
}

void PlayerRun::choose(int menuId, int row) {
    click(widgets.byId("main", menuId));
    click(menuRow(menuId, row));
}

void PlayerRun::chooseSettings() {
    // The credits roll up when asked for.
    const Rect credits = widgets.nth("credits", "AnimWidget", 0);
    testkit::Capture before = grab(credits);
    click(widgets.byId("main", 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_NE(grab(credits).rgb, before.rgb) << "the credits did not move";
    shot("credits-rolling");

    // A standard preset, then the custom one, edited in the settings window.
    choose(1008, 1);
    EXPECT_TRUE(waitForText(widgets.byId("main", 1008), "2. Baja", 5000, true));
    shot("preset-chosen");
    choose(1008, 5);
    ASSERT_TRUE(waitForText(widgets.byId("main-custom", 1003), "Configurar"));
    click(widgets.byId("main-custom", 1003));
    ASSERT_TRUE(waitForText(widgets.byText("settings", "LabelWidget", "Configuracion Personalizada"),
                            "Configuracion Personalizada", 10000, false, true));
    // The custom preset starts as a copy of the third ("3. Media").
    Level antialiasing = level(widgets, "Antialiasing:"), shadows = level(widgets, "Sombras:"),
          detail = level(widgets, "Niveles de detalle:");
    EXPECT_TRUE(waitForText(antialiasing.value, "1"));
    EXPECT_TRUE(waitForText(shadows.value, "2"));
    EXPECT_TRUE(waitForText(detail.value, "2"));
    shot("settings");
    click(antialiasing.raise);
    click(shadows.raise);
    click(detail.lower);
    click(widgets.byId("settings", 1016)); // HDR
    EXPECT_TRUE(waitForText(antialiasing.value, "2"));
    EXPECT_TRUE(waitForText(shadows.value, "3"));
    EXPECT_TRUE(waitForText(detail.value, "1"));
    shot("settings-edited");
    click(widgets.byId("settings", 1019));
    ASSERT_TRUE(waitForText(widgets.byId("main-custom", 1008), "6. Personal", 5000, true));
    click(widgets.byId("main", 1005)); // full screen
    shot("ready-to-play");
}

void PlayerRun::play() {
    click(widgets.byId("main", 1002));
    unsigned long game = waitForWindow("Moravo Town: el juego", 0, 30000);
    EXPECT_NE(game, 0u) << "the game's window did not appear";
    if (game != 0)
        shot("game");
}

void PlayerRun::checkGameStart() {
    // What the game was started with: the custom preset as edited.
    const std::string launch = file("Game.moravo/Launch.txt"), custom = file("Game.moravo/UserSet.txt");
    EXPECT_EQ(setting(launch, "Render.ID"), "User");
    EXPECT_EQ(setting(launch, "Render.Screen"), "Full");
    EXPECT_EQ(setting(launch, "Render.Display"), setting(custom, "Render.User.Display"));
    EXPECT_EQ(setting(launch, "Render.Name"), "6. Personal");
    for (auto [entry, value] : {std::pair<const char*, const char*>{"Antialiasing", "4"},
                                {"ShadowSize", "2048"},
                                {"PostProcess", "1"},
                                {"LODCity", "1"}}) {
        EXPECT_EQ(setting(launch, std::string("Render.") + entry), value) << entry;
        EXPECT_EQ(setting(custom, std::string("Render.User.") + entry), value) << entry;
    }
    EXPECT_EQ(std::atof(setting(launch, "Render.LODDis").c_str()), 8.0);
    EXPECT_NE(testkit::readFile(file("Game.moravo/game.log")).find("Launch ID=User Screen=Full"),
              std::string::npos);
    // Every engine module learnt the plug-in directory (in the system's own
    // separators) and all seven modules.
    const std::string calls = testkit::readFile(file("Game.moravo/plugins/calls.log"));
    const std::string plugins = std::string("plugins") + separator();
    for (const char* module : {"VScene", "VRender", "VPhysics", "VGPU", "VImage", "VSystem"}) {
        std::string m(module);
        EXPECT_EQ(occurrences(calls, m + " setOption 9cbeb859 " + plugins + "\n"), 1u) << calls;
        EXPECT_EQ(occurrences(calls, m + " attach "), 7u) << m;
        EXPECT_EQ(occurrences(calls, m + " release\n"), 1u) << m;
    }
}

void PlayerRun::checkVersion2(const std::string& release) {
    // Changed, new and dropped files.
    EXPECT_EQ(testkit::readFile(file("Game.moravo/data/news.txt")),
              testkit::readFile(release + "/Game.moravo/data/news.txt"));
    EXPECT_TRUE(std::filesystem::exists(file("Game.moravo/data/harbour.txt")));
    EXPECT_FALSE(std::filesystem::exists(file("Game.moravo/data/event-carnaval.txt")));
}

void PlayerRun::checkCredentialsHandedOver() {
    EXPECT_EQ(storedValue("stack", ""), app::encodeCredentials(demoPhone, demoPassword));
    EXPECT_EQ(storedValue("tempstr", "none"), "none");
    EXPECT_EQ(storedValue("version", "none"), "none"); // "Recordar Contraseña" was left unchecked
}

void PlayerRun::checkServed(const DevServer& server, const std::string& fetched) {
    const char* served = std::getenv("MORAVO_E2E_SERVER_LOG");
    const std::string log = prepared() && served != nullptr ? testkit::readFile(served) : server.log();
    EXPECT_NE(log.find("loginlauncher Res=0 600123456"), std::string::npos) << log;
    EXPECT_NE(log.find("GET " + fetched + " 200"), std::string::npos) << log;
}

void PlayerRun::refusedLogin() {
    DevServer server;
    ASSERT_TRUE(server.start(scratch.path(), {}));
    useServer(server.port());
    ASSERT_TRUE(startLauncher());
    ASSERT_NO_FATAL_FAILURE(typeAccount("equivocada"));
    x.key("Return"); // Enter in the password field logs in
    const Rect message = widgets.byText("wait-message", "LabelWidget", "...");
    EXPECT_TRUE(waitForText(message, "Nombre o password son incorrectos."));
    EXPECT_FALSE(showsNow(message, "El Servidor no responde."));
    shot("refused");
    click(widgets.byId("wait-message", 1001));
    EXPECT_EQ(launcher.wait(20000), 0);
    EXPECT_NE(server.log().find("Res=1 600123456: wrong name or password"), std::string::npos)
        << server.log();
    EXPECT_EQ(server.log().find("GET "), std::string::npos) << server.log();
}

void PlayerRun::unansweredLogin() {
    DevServer server;
    ASSERT_TRUE(server.start(scratch.path(), {}));
    int port = server.port();
    server.stop();
    useServer(port);
    ASSERT_TRUE(startLauncher());
    ASSERT_NO_FATAL_FAILURE(typeAccount(demoPassword));
    click(widgets.byId("login", 1010));
    const Rect message = widgets.byText("wait-message", "LabelWidget", "...");
    EXPECT_TRUE(waitForText(message, "El Servidor no responde."));
    EXPECT_FALSE(showsNow(message, "Nombre o password son incorrectos."));
    shot("no-answer");
    ASSERT_TRUE(x.requestClose(window));
    EXPECT_EQ(launcher.wait(20000), 0);
}

void PlayerRun::completerThatCannotStart() {
    namespace fs = std::filesystem;
    if (prepared())
        GTEST_SKIP() << "the installation and its server were made by tools/demo";
    const std::string completer = "hoplin" + programSuffix();
    // Version 2 published without hoplin, which is gone from the
    // installation too.
    const std::string withoutCompleter = scratch.path() + "/release-without-hoplin";
    fs::copy(releaseFolder(), withoutCompleter, fs::copy_options::recursive);
    fs::remove(withoutCompleter + "/" + completer);
    releaseOverride = withoutCompleter;
    DevServer server;
    ASSERT_NO_FATAL_FAILURE(serveVersion2(server));
    ASSERT_TRUE(fs::remove(file(completer)));

    // The update replaces the launcher: the player is told that hoplin
    // cannot start, and the launcher ends with its new files staged.
    ASSERT_TRUE(startLauncher());
    ASSERT_NO_FATAL_FAILURE(logIn());
    const unsigned long box = x.waitForWindow("Error", 90000);
    ASSERT_NE(box, 0u) << "no message";
    shot("hoplin-missing");
    int bx = 0, by = 0, bw = 0, bh = 0;
    ASSERT_TRUE(x.geometry(box, bx, by, bw, bh));
    x.moveTo(bx + bw / 2, by + bh / 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    x.key("Return");
    EXPECT_EQ(launcher.wait(20000), 77);
    EXPECT_EQ(testkit::readFile(file("tmp/launcher_v.txt")),
              testkit::readFile(withoutCompleter + "/launcher_v.txt"));
    EXPECT_FALSE(fs::exists(file("hoplin.log")));

    // The next start hands over no more: the update is complete and the
    // game starts (by itself, so soon after the login, or by "Jugar").
    testkit::Child next;
    ASSERT_TRUE(launch(next, {}));
    window = waitForWindow("Moravo Town", 0, 30000);
    ASSERT_NE(window, 0u) << "no launcher window; it answered " << next.wait(100);
    ASSERT_NO_FATAL_FAILURE(logIn());
    unsigned long game = waitForWindow("Moravo Town: el juego", 0, 60000);
    if (game == 0 && next.alive()) {
        click(widgets.byId("main", 1002));
        game = waitForWindow("Moravo Town: el juego", 0, 30000);
    }
    EXPECT_NE(game, 0u) << "no game";
    EXPECT_EQ(next.wait(30000), 0);
    EXPECT_EQ(x.findWindow("Error"), 0u);
    EXPECT_FALSE(fs::exists(file("hoplin.log")));
    EXPECT_TRUE(fs::exists(file("tmp/launcher_v.txt")));
}

} // namespace e2e
