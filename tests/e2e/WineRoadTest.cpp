// The player's road on the Windows build under Wine, with real keyboard and
// mouse input on a private X server: the package unpacked as a player has
// it, version 2 published with the package's moravo-tool.exe, the login,
// the update that replaces the running MoravoTown.exe through hoplin.exe,
// the launcher back without a login, the settings, and "Jugar" loading
// Game.dll and its engine modules. Shorter runs end at a wrong password, at
// a server that does not answer and at a DirectX library that is missing;
// one compares the Windows window with the Linux one. Every scene's
// screenshot is kept in <Windows build>/e2e-screenshots.
#include "tests/common/ToolRun.h"
#include "tests/e2e/DevServer.h"
#include "tests/e2e/WineRun.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using e2e::Rect;

const std::string updated = "Actualizaci\xC3\xB3n completa.";

class WineRoad : public e2e::WineRun {
protected:
    // Pixels of the fixed parts of `view` (the inner edges of its fields,
    // buttons, boxes and bars) in the window shown now.
    std::vector<testkit::Capture> fixedParts(const std::string& view) {
        std::vector<testkit::Capture> parts;
        for (const e2e::WidgetLine& w : widgets.lines()) {
            if (w.view != view ||
                (w.kind != "EditWidget" && w.kind != "LabelButtonWidget" && w.kind != "PushButtonWidget" &&
                 w.kind != "ComboBoxWidget" && w.kind != "ProgressFrameWidget"))
                continue;
            for (int x : {w.rect.x + 2, w.rect.x + w.rect.w - 3})
                parts.push_back(grab(Rect{x, w.rect.cy(), 1, 1}));
        }
        return parts;
    }

    // The fixed parts of `view` in the window of the launcher started with
    // `args`: the Windows one under Wine, or the Linux one in a copy of the
    // Linux build's installation. Empty when no window came.
    std::vector<testkit::Capture> partsShown(bool onLinux, const std::string& view,
                                             const std::vector<std::string>& args) {
        testkit::Child child;
        bool started = false;
        if (onLinux) {
            const std::string copy = scratch.path() + "/linux-" + view;
            std::filesystem::copy(MORAVO_BINARY_DIR "/demo/install", copy,
                                  std::filesystem::copy_options::recursive);
            started = launchNative(child, copy, args);
        } else {
            started = launch(child, args);
        }
        unsigned long shown = started ? waitForWindow("Moravo Town", 0, 30000) : 0;
        if (shown == 0)
            return {};
        std::this_thread::sleep_for(std::chrono::seconds(1));
        shot(std::string(onLinux ? "linux-" : "windows-") + view);
        std::vector<testkit::Capture> parts = fixedParts(view);
        x.requestClose(shown);
        EXPECT_EQ(child.wait(20000), 0);
        return parts;
    }
};

bool near(const testkit::Capture& a, const testkit::Capture& b) {
    for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        if (std::abs(int(a.rgb[i]) - int(b.rgb[i])) > 24)
            return false;
    return a.rgb.size() == b.rgb.size() && !a.rgb.empty();
}

} // namespace

TEST_F(WineRoad, LogsInUpdatesThroughHoplinChoosesTheSettingsAndPlays) {
    namespace fs = std::filesystem;
    const std::string release = windowsBuild() + "/demo/release-2";
    e2e::DevServer server;
    ASSERT_NO_FATAL_FAILURE(serveVersion2(server));
    ASSERT_TRUE(startLauncher()) << "no launcher window; it answered " << launcher.wait(100);
    ASSERT_NO_FATAL_FAILURE(logIn());
    watchUpdate();

    // The launcher ends so that hoplin can replace MoravoTown.exe, which
    // Windows keeps locked while it runs; hoplin starts it again.
    EXPECT_EQ(launcher.wait(30000), 0);
    window = waitForWindow("Moravo Town", 0, 60000);
    const std::string moves = testkit::readFile(file("hoplin.log"));
    ASSERT_NE(window, 0u) << "the launcher did not come back; hoplin.log:\n" << moves;
    EXPECT_NE(moves.find("Moviendo tmp/MoravoTown.exe a MoravoTown.exe"), std::string::npos) << moves;
    EXPECT_NE(moves.find("Finalizado HOPLINDATE"), std::string::npos) << moves;
    for (const std::string self : {"MoravoTown.exe", "launcher_v.txt"}) {
        EXPECT_EQ(testkit::readFile(file(self)), testkit::readFile(release + "/" + self)) << self;
        EXPECT_FALSE(fs::exists(file("tmp/" + self))) << self;
    }
    ASSERT_TRUE(waitForText(widgets.byText("main", "LabelWidget", "Iniciando..."), updated));
    shot("back-without-login");

    ASSERT_NO_FATAL_FAILURE(chooseSettings());
    play();
    EXPECT_EQ(waitForRelaunched(30000), 0);

    checkGameStart();
    EXPECT_NE(testkit::readFile(file("Game.moravo/game.log")).find(" com=ready"), std::string::npos)
        << "the game ran without COM";
    checkCredentialsHandedOver(); // through Wine's registry
    checkVersion2(release);
    checkServed(server, "/updates/versions/1/MoravoTown.exe.zz");
}

TEST_F(WineRoad, AHoplinThatCannotStartIsToldAndTheNextStartPlays) {
    completerThatCannotStart();
}

TEST_F(WineRoad, AWrongPasswordIsRefusedAndNothingIsUpdated) {
    refusedLogin();
}

TEST_F(WineRoad, AStoppedServerDoesNotAnswer) {
    unansweredLogin();
}

TEST_F(WineRoad, AMissingDirectXLibraryOffersTheInstallerAndNoGameStarts) {
    std::ofstream(file("DirectX.txt"), std::ios::app) << "d3dx9_99.dll\r\n";
    const std::string launch = testkit::readFile(file("Game.moravo/Launch.txt"));
    ASSERT_TRUE(startLauncher({"-n"}));
    ASSERT_TRUE(waitForText(widgets.byText("main", "LabelWidget", "Iniciando..."), updated));
    click(widgets.byId("main", 1002));
    unsigned long box = x.waitForWindow("ERROR VERSION DIRECTX", 20000);
    ASSERT_NE(box, 0u) << "no DirectX box";
    shot("directx-box");
    // "No", by its key, with the pointer over the box as the keyboard
    // follows it on this X server.
    int bx = 0, by = 0, bw = 0, bh = 0;
    ASSERT_TRUE(x.geometry(box, bx, by, bw, bh));
    x.moveTo(bx + bw / 2, by + bh / 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    x.key("n");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (x.findWindow("ERROR VERSION DIRECTX") != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(x.findWindow("ERROR VERSION DIRECTX"), 0u) << "the box did not take No";

    // The launcher stays, and no game was started.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(launcher.alive());
    EXPECT_EQ(x.findWindow("Moravo Town: el juego"), 0u);
    shot("after-no");
    ASSERT_TRUE(x.requestClose(window));
    EXPECT_EQ(launcher.wait(20000), 0);
    EXPECT_FALSE(std::filesystem::exists(file("Game.moravo/game.log")));
    EXPECT_EQ(testkit::readFile(file("Game.moravo/Launch.txt")), launch);
    EXPECT_EQ(storedValue("stack", "none"), "none");
}

TEST_F(WineRoad, TheWindowShowsTheLinuxLayout) {
    // The login panel, and the main panel of a start with "-n": the fixed
    // parts lie where the Linux launcher draws them, in the same colours.
    for (const auto& [view, args] :
         {std::pair<std::string, std::vector<std::string>>{"login", {}}, {"main", {"-n"}}}) {
        std::vector<testkit::Capture> expected = partsShown(true, view, args);
        ASSERT_FALSE(expected.empty()) << "the Linux launcher showed no " << view << " panel";
        std::vector<testkit::Capture> shown = partsShown(false, view, args);
        ASSERT_EQ(shown.size(), expected.size()) << "the Windows launcher showed no " << view << " panel";
        size_t differing = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            differing += near(shown[i], expected[i]) ? 0 : 1;
        EXPECT_EQ(differing, 0u) << "of " << shown.size() << " pixels of the " << view << " panel";
    }
}
