#include "tests/app/LauncherFixture.h"

#include "app/Credentials.h"
#include "app/MainScene.h"
#include "app/ProcessEntry.h"
#include "app/Registry.h"
#include "app/Scenes.h"
#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ProgressWidget.h"
#include "install/InstallationLock.h"
#include "platform/Directory.h"
#include "platform/MessageBox.h"
#include "tests/app/LoginService.h"
#include "tests/common/LoopbackServer.h"
#include "update/UpdateTexts.h"

#include <filesystem>
#include <map>

using apptest::LauncherTest;
using nettest::LoopbackServer;
using nettest::ServerConnection;

namespace {} // namespace

TEST_F(LauncherTest, MissingConnectionFileShowsOneBoxAndEndsWith77WithoutAWindow) {
    install = std::make_unique<apptest::TestInstall>();
    std::filesystem::remove(install->dir() + "/ZEP_client.xml");
    // start() writes a fresh installation: remove the file from that one.
    EXPECT_EQ(startInstalled(), 77);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(
        services.boxes[0],
        "Config Error|Error iniciando la configuracion de Login\nNo se encuentra el archivo ZEP_client.xml");
    EXPECT_EQ(services.styles[0], unsigned(platform::kIconError));
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr);
    EXPECT_EQ(launcher->exit(77), 77);
    finished = true;
}

TEST_F(LauncherTest, AnInstallationFolderThatCannotBeWrittenIsToldBeforeAnythingChanges) {
    // The folder's rights are the platform's to tell (tests run as root, whom
    // no mode bit stops): here it answers that files cannot be made.
    install = std::make_unique<apptest::TestInstall>();
    auto snapshot = [&] {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(install->dir()))
            if (entry.is_regular_file())
                files[entry.path().generic_string()] = apptest::readFile(entry.path().string());
        return files;
    };
    const auto before = snapshot();
    services.writable = false;
    EXPECT_EQ(startInstalled(), 77);
    ASSERT_EQ(services.boxes.size(), 1u);
    const std::string folder = platform::pathForMessage(platform::currentDirectory());
    EXPECT_EQ(services.boxes[0], "Error|No se puede escribir en la carpeta del juego:\n" + folder +
                                     "\n\nAsí el juego no se puede actualizar. Descomprímalo en una carpeta "
                                     "suya, por ejemplo en Documentos, y ábralo desde allí.");
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr) << "no window was opened";
    EXPECT_EQ(launcher->exit(77), 77);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(std::filesystem::is_empty(home->path())) << "no stored value was written";
    finished = true;
}

TEST_F(LauncherTest, ALauncherStartedWhileAnotherWorksInTheInstallationIsRefused) {
    install = std::make_unique<apptest::TestInstall>();
    // Another launcher, or an operator's update, holds the installation.
    platform::FileLock::Status status = platform::FileLock::Status::unavailable;
    std::unique_ptr<platform::FileLock> other = lockInstallation(install->dir(), status);
    ASSERT_EQ(status, platform::FileLock::Status::held);
    EXPECT_EQ(startInstalled(), 77);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], "Aviso|" + std::string(installationInUseText));
    EXPECT_EQ(services.styles[0], unsigned(platform::kIconWarning));
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr) << "no window was opened";
    EXPECT_EQ(launcher->exit(77), 77);
    finished = true;
}

TEST_F(LauncherTest, BrokenLayoutFileIsReportedNotThrown) {
    install = std::make_unique<apptest::TestInstall>();
    install->write("res/res.txt", "font1 = TTFont : { file = x\n");
    EXPECT_EQ(startInstalled(), 77);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].substr(0, 13), "Config Error|");
    EXPECT_NE(services.boxes[0].find("res.txt"), std::string::npos);
    EXPECT_NE(services.boxes[0].find("Se esperaba }"), std::string::npos);
    finished = true;
}

namespace {

// Starts a launcher whose layout lacks the logo (in a death-test child).
void startWithoutLogo(apptest::RecordingServices& services) {
    apptest::TestInstall install;
    std::string text = apptest::TestInstall::layout();
    text.replace(text.find("logo = Image"), 5, "nologo");
    install.write("res/res.txt", text);
    if (!platform::changeDirectory(install.dir()))
        std::abort();
    app::setProgramPath(install.dir() + "/MoravoTown");
    app::GLauncher launcher;
    launcher.setServices(&services);
    char path[] = "MoravoTown";
    char* argv[] = {path, nullptr};
    launcher.init(1, argv);
}

} // namespace

TEST_F(LauncherTest, MissingInitialResourceTakesTheFatalPath) {
    // Exit code -1: 255 as POSIX keeps it, -1 as Windows does.
    EXPECT_EXIT(
        startWithoutLogo(services),
        [](int status) {
            return ::testing::ExitedWithCode(255)(status) || ::testing::ExitedWithCode(-1)(status);
        },
        "Error al cargar los recursos iniciales");
}

TEST_F(LauncherTest, StartsWithTheLoginPanelAndRemembersNothingByDefault) {
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(G2::toolkit().windowFlags & G2::QuitAsMessage, uint32_t(G2::QuitAsMessage));
    EXPECT_EQ(TKAL::framePeriod(), 40u);
    frame();
    EXPECT_EQ(G2::toolkit().current, launcher->loginScene.get());
    EXPECT_EQ(win().panel(), app::MainWin::LoginPanel);
    EXPECT_EQ(win().userField->text(), "");
    EXPECT_FALSE(win().rememberBox->toggled());
    EXPECT_TRUE(win().loginButton->isInert());       // empty fields
    EXPECT_EQ(launcher->config.menuList.size(), 6u); // five presets and the custom one
    EXPECT_EQ(launcher->config.menuList.back(), "6. Personal");
}

TEST_F(LauncherTest, RememberedCredentialsFillTheFieldsOnlyWhenComplete) {
    app::Registry::writeString("version", app::shiftText("no colon here", +1));
    ASSERT_EQ(start(), 0);
    frame();
    EXPECT_EQ(win().userField->text(), "");
    EXPECT_FALSE(win().rememberBox->toggled());
    finish();

    G2::toolkit().reset();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    app::Registry::writeString("version", app::encodeCredentials("600111222", "clave"));
    ASSERT_EQ(start(), 0);
    finished = false;
    frame();
    EXPECT_EQ(win().userField->text(), "600111222");
    EXPECT_EQ(win().passwordField->text(), "clave");
    EXPECT_TRUE(win().rememberBox->toggled());
    EXPECT_TRUE(win().rememberPassword);
}

TEST_F(LauncherTest, LoginAcceptedLeadsToTheMainSceneAndStoresTheCredentials) {
    LoopbackServer server(apptest::loginService("0"));
    ASSERT_EQ(start(server.port()), 0);
    frame();
    G2::toolkit().setFocus(win().userField);
    type("600123456");
    pressKey(SDLK_RETURN, 13); // Enter moves on to the password field
    EXPECT_EQ(G2::toolkit().focus, win().passwordField);
    type("s3creta");
    frame();
    EXPECT_FALSE(win().loginButton->isInert());
    click(win().loginButton);
    ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
    EXPECT_EQ(win().panel(), app::MainWin::MainPanel);
    EXPECT_NE(launcher->mainScene->loginTime, 0u);

    std::string stored = app::encodeCredentials("600123456", "s3creta");
    EXPECT_EQ(launcher->credentials, stored);
    EXPECT_EQ(app::Registry::readString("tempstr"), stored);
    EXPECT_EQ(app::Registry::readString("version", "none"), "none"); // the box was not checked
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].second.find("UserName=\"600123456\""), std::string::npos);
}

TEST_F(LauncherTest, CheckedBoxRemembersAndEnterInThePasswordFieldLogsIn) {
    LoopbackServer server(apptest::loginService("0"));
    ASSERT_EQ(start(server.port()), 0);
    frame();
    G2::toolkit().setFocus(win().userField);
    type("600");
    G2::toolkit().setFocus(win().passwordField);
    type("pw");
    click(win().rememberBox);
    EXPECT_TRUE(win().rememberPassword);
    G2::toolkit().setFocus(win().passwordField); // the click took the focus
    pressKey(SDLK_RETURN, 13);
    ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
    EXPECT_EQ(app::Registry::readString("version"), app::encodeCredentials("600", "pw"));
}

TEST_F(LauncherTest, WrongPasswordShowsItsMessageAndStays) {
    LoopbackServer server(apptest::loginService("1"));
    ASSERT_EQ(start(server.port()), 0);
    logIn("600", "mala");
    ASSERT_TRUE(frameUntil([&] { return launcher->waitScene->handled; }));
    frame();
    EXPECT_EQ(win().waitLabel->text(), "Nombre o password son incorrectos.");
    EXPECT_FALSE(win().waitBar->isVisible());
    EXPECT_EQ(G2::toolkit().current, launcher->waitScene.get());
    EXPECT_TRUE(frame());
}

TEST_F(LauncherTest, StoppedServerShowsThatTheServerDoesNotAnswer) {
    nettest::ClosedPort closed;
    ASSERT_EQ(start(closed.port()), 0);
    logIn("600", "pw");
    ASSERT_TRUE(frameUntil([&] { return launcher->waitScene->handled; }));
    EXPECT_EQ(win().waitLabel->text(), "El Servidor no responde.");
}

TEST_F(LauncherTest, NoAnswerWithinTheTimeOutIsReported) {
    // A service that takes the request and never answers.
    LoopbackServer server([](ServerConnection& c) { c.waitForClose(); });
    ASSERT_EQ(start(server.port()), 0);
    logIn("600", "pw");
    frame();
    EXPECT_EQ(win().waitLabel->text(), "Esperando respuesta");
    EXPECT_GT(win().waitBar->value(), 90);
    frame(4900);
    EXPECT_FALSE(launcher->waitScene->handled); // 60 ms left: 1 %
    frame(80);                                  // 5 s time-out: under 25 ms left, the share rounds to 0
    EXPECT_TRUE(launcher->waitScene->handled);
    EXPECT_EQ(win().waitLabel->text(), "Se ha superado el tiempo de espera.");
}

TEST_F(LauncherTest, ATimeOutOfZeroWaitsTheSecondTheClientWaits) {
    LoopbackServer server([](ServerConnection& c) { c.waitForClose(); });
    std::string layout = apptest::TestInstall::layout();
    layout.replace(layout.find("catalog_timeout = 5"), 19, "catalog_timeout = 0");
    installFiles.emplace_back("res/res.txt", layout);
    ASSERT_EQ(start(server.port()), 0);
    logIn("600", "pw");
    frame(); // the request leaves
    frame(500);
    EXPECT_FALSE(launcher->waitScene->handled);
    EXPECT_EQ(win().waitBar->value(), 50);
    frame(500);
    EXPECT_TRUE(launcher->waitScene->handled);
    EXPECT_EQ(win().waitLabel->text(), "Se ha superado el tiempo de espera.");
}

TEST_F(LauncherTest, OldShadersShowTheRequirementsPanelAndContinueLeadsOn) {
    services.hardware.psMajor = services.hardware.vsMajor = 1;
    LoopbackServer server(apptest::loginService("0"));
    ASSERT_EQ(start(server.port()), 0);
    EXPECT_EQ(launcher->machineClass, 4);
    logIn("600", "pw");
    ASSERT_TRUE(frameUntil([&] { return launcher->waitScene->handled; }));
    frame();
    EXPECT_EQ(win().panel(), app::MainWin::RequirementsPanel);
    EXPECT_EQ(win().shaderLabel->text(), "Versi\xC3\xB3n de Shader: 1");
    EXPECT_EQ(win().shaderLabel->colour, 0xFF0000u);
    EXPECT_EQ(G2::toolkit().current, launcher->waitScene.get());
    win().continueRequested = true;
    frame();
    frame();
    EXPECT_EQ(G2::toolkit().current, launcher->mainScene.get());
}

TEST_F(LauncherTest, ClassFourWithShaderTwoGoesStraightOnAndCannotPlay) {
    services.hardware.psMajor = services.hardware.vsMajor = 2;
    LoopbackServer server(apptest::loginService("0"));
    ASSERT_EQ(start(server.port()), 0);
    logIn("600", "pw");
    ASSERT_TRUE(frameUntil([&] { return G2::toolkit().current == launcher->mainScene.get(); }));
    frame();
    win().playRequested = true; // as "Jugar" does once the update is done
    EXPECT_TRUE(frame());
    EXPECT_FALSE(frame()); // the loop ends
    EXPECT_EQ(finish(), 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].substr(0, 21), "Maquina Insuficiente|");
    EXPECT_TRUE(services.games.empty());
}

TEST_F(LauncherTest, DashNSkipsLoginOnlyAsTheExactFirstWord) {
    ASSERT_EQ(start(1, {"-n"}), 0);
    frame();
    EXPECT_EQ(G2::toolkit().current, launcher->mainScene.get());
    frame();
    EXPECT_FALSE(win().playButton->isInert()); // Play at once
    finish();

    for (std::vector<std::string> words : {std::vector<std::string>{"-nx"}, {"x", "-n"}}) {
        G2::toolkit().reset();
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        finished = false;
        ASSERT_EQ(start(1, words), 0);
        frame();
        EXPECT_EQ(G2::toolkit().current, launcher->loginScene.get()) << words[0];
        finish();
    }
}

TEST_F(LauncherTest, RegisteringOpensTheHomePageAndEnds) {
    ASSERT_EQ(start(), 0);
    frame();
    services.pageResult = 2; // the browser cannot be started
    win().registerRequested = true;
    frame();
    EXPECT_FALSE(frame());
    ASSERT_EQ(services.pages.size(), 1u);
    EXPECT_EQ(services.pages[0], launcher->config.moravotownUrl);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], "Error|No se ha podido abrir la pagina web de Moravo");
}

TEST_F(LauncherTest, ClosingTheWindowEndsTheLoginWithoutSending) {
    ASSERT_EQ(start(), 0);
    frame();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_TRUE(frame()); // the close arrives as a message
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), 0);
    EXPECT_TRUE(launcher->credentials.empty());
    EXPECT_EQ(app::Registry::readString("tempstr", "none"), "none");
}

TEST_F(LauncherTest, AWebServiceClientThatCannotBeMadeIsALoginError) {
    install = std::make_unique<apptest::TestInstall>();
    install->write("ZEP_client.xml",
                   "<ZEP><server address=\"127.0.0.1\" port=\"1\" ssl=\"1\" ca=\"nowhere.pem\"/></ZEP>");
    EXPECT_EQ(startInstalled(), 77);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], "Login Error|Error iniciando el sistema de Login");
    finished = true;
}
