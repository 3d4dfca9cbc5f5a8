// The launcher object: start-up in order, the end of a run, the shutdown.
//   [init]      the start-up steps, in their order
//   [exit]      after the loop: hand-off, game start, shutdown
#include "app/GLauncher.h"

#include "app/Credentials.h"
#include "app/GameStart.h"
#include "app/HandOff.h"
#include "app/MainScene.h"
#include "app/MainWin.h"
#include "app/ProcessEntry.h"
#include "app/Registry.h"
#include "app/Scenes.h"
#include "app/UserSetWin.h"
#include "app/WindowPlacement.h"
#include "g2/ComboBoxWidget.h"
#include "g2/StyleLoaders.h"
#include "g2/View.h"
#include "install/HandOffRecord.h"
#include "install/SelfUpdateJob.h"
#include "net/ProxyFinder.h"
#include "net/WebPortal.h"
#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/Directory.h"
#include "platform/HardwareSources.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "props/Properties.h"
#include "props/PropertiesParser.h"
#include "props/RCacheS.h"
#include "tkal/Canvas.h"
#include "tkal/Display.h"
#include "tkal/sdl/SDL_Files.h"
#include "tkal/sdl/SDL_Loaders.h"
#include "tkal/sdl/SDL_Modes.h"
#include "update/UpdateTexts.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace app {

namespace {
GLauncher* running = nullptr;
LauncherServices defaultServices;

void showFatal(const char* text) {
    if (GLauncher* launcher = GLauncher::current())
        launcher->services().messageBox("Error", text, platform::kIconError);
    else
        platform::messageBox("Error", text, platform::kIconError);
}
} // namespace

// [init] --------------------------------------------------------------------

GLauncher::GLauncher() : services_(&defaultServices) {
    if (running == nullptr)
        running = this;
    loginScene = std::make_unique<LoginScene>(*this);
    waitScene = std::make_unique<WaitScene>(*this);
    mainScene = std::make_unique<MainScene>(*this);
}

GLauncher::~GLauncher() {
    if (running == this)
        running = nullptr;
}

std::string GLauncher::programDirectory() const {
    return programDir().empty() ? std::string(".") : programDir();
}

GLauncher* GLauncher::current() {
    return running;
}

void GLauncher::setServices(LauncherServices* services) {
    services_ = services != nullptr ? services : &defaultServices;
}

int GLauncher::fail(const char* caption, const char* text) {
    services().messageBox(caption, text, platform::kIconError);
    return 77;
}

bool GLauncher::installationWritable() {
    if (services().installationWritable())
        return true;
    // A standard user may not write under "Program Files": every update
    // would fail half-way, so the player learns it before anything changes.
    std::string folder = platform::currentDirectory();
    std::string text = "No se puede escribir en la carpeta del juego:\n" +
                       platform::pathForMessage(folder.empty() ? std::string(".") : folder) +
                       "\n\nAsí el juego no se puede actualizar. Descomprímalo en una carpeta suya, "
                       "por ejemplo en Documentos, y ábralo desde allí.";
    services().messageBox("Error", text, platform::kIconError);
    return false;
}

bool GLauncher::lockInstallation() {
    platform::FileLock::Status status = platform::FileLock::Status::unavailable;
    installationLock_ = services().lockInstallation(status);
    // A lock file that cannot be made (a link planted at its name) leaves
    // the run as it was before there was a lock.
    if (status != platform::FileLock::Status::busy)
        return true;
    services().messageBox("Aviso", installationInUseText, platform::kIconWarning);
    return false;
}

void GLauncher::readGameSettings() {
    gameFiles = std::make_unique<GameFiles>(config.gameDirectory);
    // The full-screen box starts from the mode the game last started in;
    // "full_screen" of the layout file stands when "Launch.txt" has none.
    gameFullScreen = config.fullScreen != 0;
    std::string id = gameFiles->readLaunchFile(gameWidth, gameHeight, gameFullScreen);
    config.fullScreen = gameFullScreen ? 1 : 0;
    currentPreset = gameFiles->readPresets(id, config.menuList);
    userSettings = gameFiles->readUserSettings();
    if (currentPreset < 0)
        currentPreset = machineClass;
    if (machineClass == 1)
        machineClass = 0;
    config.menuDefault = std::max(machineClass, currentPreset);
}

int GLauncher::init(int argc, char** argv) {
    TKAL::installSdlLoaders();
    G2::installStyleLoaders();
    G2::setFatalErrorHandler(showFatal);
    readCommandLine(argc, argv);
    windowWidth = 640;
    windowHeight = 480;
    if (int code = readResourceIndex(); code != 0)
        return code;
    // The configuration and the initial resources (fatal when missing).
    readLauncherConfig(resourceCache(), config, resources);
    if (!connection.read("ZEP_client.xml"))
        return fail("Config Error",
                    "Error iniciando la configuracion de Login\nNo se encuentra el archivo ZEP_client.xml");
    if (!installationWritable())
        return 77;
    // One launcher per installation, refused before anything is written: two
    // would update the same files at once.
    if (!lockInstallation())
        return 77;
    // Handed over to hoplin: nothing more is brought up, and the loop ends
    // at once (the process is replaced unless a test stands for it).
    if (settleSelfUpdate())
        return 0;
    hardware = services().survey();
    if (!startPortal())
        return fail("Login Error", "Error iniciando el sistema de Login");
    readWindowSize();
    if (!openWindow())
        return 77;
    readGameChoices();
    G2::toolkit().caption = config.caption;
    G2::toolkit().display->setCaption(config.caption.c_str());
    makeLayers();
    makeWindows();
    mainLayer->setRoot(mainWin.get());
    secondLayer->setRoot(mainWin->creditsLayer());
    G2::Game::setPendingScene(mainScene->loginAndUpdate ? static_cast<G2::Scene*>(loginScene.get())
                                                        : mainScene.get());
    return 0;
}

void GLauncher::readCommandLine(int argc, char** argv) {
    // The launcher's own path, and "-n" (exactly, as the first word).
    launcherPath = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    if (argc > 1 && std::strcmp(argv[1], "-n") == 0)
        mainScene->loginAndUpdate = false;
    // The token is this start's only: the game and the programs the launcher
    // starts do not inherit it.
    if (const char* token = std::getenv(startTokenVariable)) {
        startToken_ = token;
        platform::setEnvironment(startTokenVariable, nullptr);
    }
}

bool GLauncher::settleSelfUpdate() {
    SelfUpdateJob job;
    if (!readSelfUpdateJob(".", job))
        return false;
    if (job.stage == JobStage::reverted) {
        // The player is told once, by the launcher hoplin started after it
        // put the previous files back.
        mainScene->updateReverted = true;
        dropSelfUpdateJob(".");
        return false;
    }
    if (job.stage == JobStage::starting && startConfirmed(".", job.token)) {
        // The new launcher confirmed after hoplin was gone: the job is over.
        dropSelfUpdateJob(".");
        return false;
    }
    // A launcher that hoplin started ("-n") goes on, watched or not: handing
    // over again from there could go round for ever. The player's start of a
    // job that hoplin did not finish (killed, the machine gone down) hands
    // over, and hoplin finishes or undoes it and watches the start.
    if (!startToken_.empty() || !mainScene->loginAndUpdate)
        return false;
    const std::string completer = completerPath();
    platform::StartFailure failure;
    return !handOffHeldBack(".", completer) && services().handOff(completer, launcherPath, failure);
}

bool GLauncher::frame(uint32_t now, uint32_t gameTime) {
    const bool goOn = G2::Game::frame(now, gameTime);
    if (goOn && !startToken_.empty()) {
        // The first frame is on the screen: hoplin, which watches this
        // start, keeps the new files.
        confirmStart(".", startToken_);
        startToken_.clear();
    }
    return goOn;
}

int GLauncher::readResourceIndex() {
    RCacheS& cache = resourceCache();
    const std::string& dir = programDir();
    cache.setBase(dir.empty() ? std::string(".") : dir, "res");
    try {
        if (!cache.readProperties("res.txt"))
            return 77;
    } catch (const PropertiesParser::Error& e) {
        // A broken layout file is the operator's mistake to see, not a crash.
        std::string text = e.fileName() + ": " + e.what();
        return fail("Config Error", text.c_str());
    }
    return 0;
}

bool GLauncher::startPortal() {
    portal = std::make_unique<WebPortal>();
    const std::string caPath = connection.caPathIn(programDir());
    portal->setTimeout(config.catalogTimeoutMs());
    portal->setProxies(ProxyFinder::system());
    bool serverOk =
        portal->setServer(connection.address, static_cast<uint16_t>(connection.port), connection.tls, caPath);
    if (!serverOk || !portal->start()) {
        portal.reset();
        return false;
    }
    return true;
}

void GLauncher::readWindowSize() {
    const Properties* tree = resourceCache().properties();
    if (tree == nullptr || tree->find("winsize") == nullptr)
        return;
    int size[2] = {windowWidth, windowHeight};
    tree->getInts("winsize", size, 2);
    windowWidth = size[0];
    windowHeight = size[1];
}

bool GLauncher::openWindow() {
    // Centred, with the application's icon.
    G2::toolkit().windowFlags |= G2::WindowCentred;
    placeWindowsThroughThePlatform();
    if (SDL_Surface* icon = TKAL::loadImageFile(resourceCache().base() + "/AppIcon.png")) {
        SDL_WM_SetIcon(icon, nullptr);
        SDL_FreeSurface(icon);
    }
    return setVideoMode(windowWidth, windowHeight);
}

void GLauncher::readGameChoices() {
    // The quality presets come from the game's own files.
    config.menuList.clear();
    machineClass = app::machineClass(hardware);
    readGameSettings();
    uint32_t customW = static_cast<uint32_t>(userSettings.width);
    uint32_t customH = static_cast<uint32_t>(userSettings.height);
    videoModes.build(hardware.resolutions, customW, customH);
}

void GLauncher::makeLayers() {
    // The window, the credits above it, the popups on top.
    G2::Toolkit& tk = G2::toolkit();
    TKAL::Rect screen{0, 0, static_cast<uint16_t>(windowWidth), static_cast<uint16_t>(windowHeight)};
    mainLayer = std::make_unique<G2::View>(tk.display, screen);
    secondLayer = std::make_unique<G2::View>(tk.display, screen);
    topLayer = std::make_unique<G2::View>(tk.display, screen);
    G2::Game::addView(mainLayer.get());
    G2::Game::addView(secondLayer.get());
    G2::Game::addView(topLayer.get());
    topLayer->setRoot(G2::Game::popupRoot(windowWidth, windowHeight));
    // Clear every frame; the close button becomes G2::Msg::QuitRequested.
    tk.windowFlags |= G2::RepaintAlways | G2::QuitAsMessage;
    tk.clearPixel = tk.screenCanvas ? tk.screenCanvas->mapRGB(0x80FF50) : 0x80FF50;
    TKAL::setFramePeriod(static_cast<uint32_t>(std::max(1, config.tick)));
}

void GLauncher::makeWindows() {
    mainWin =
        std::make_unique<MainWin>(config, resources, &qualityList, &videoList, windowWidth, windowHeight);
    mainWin->setModes(&videoModes, &machineClass);
    userSetWin = std::make_unique<UserSetWin>(config, resources, &allModes, windowWidth, windowHeight);
    mainWin->showCores(hardware.cores);
    mainWin->showMemory(memoryMegabytes(hardware.memoryBytes));
    mainWin->showShader(hardware.psMajor);
    int row = config.menuDefault - machineClass;
    if (row >= 0 && row < static_cast<int>(qualityList.count())) {
        mainWin->qualityBox->choose(row);
        mainWin->chooseQuality(row);
    }
    // The player's last screen size stays chosen, rather than the preset's
    // default, until the player chooses another quality.
    if (gameWidth > 0 && gameHeight > 0) {
        int nearest = videoModes.nearestEntry(uint32_t(gameWidth), uint32_t(gameHeight));
        if (nearest >= 0)
            mainWin->chooseVideo(nearest);
    }
}

// [exit] --------------------------------------------------------------------

void GLauncher::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    if (portal) {
        portal->stop(1000);
        portal.reset();
    }
    resourceCache().clear();
    G2::toolkit().focus = nullptr;
    mainLayer.reset();
    secondLayer.reset();
    topLayer.reset();
    std::fill(std::begin(G2::toolkit().views), std::end(G2::toolkit().views), nullptr);
    userSetWin.reset();
    mainWin.reset();
    G2::toolkit().screenCanvas.reset();
    if (G2::toolkit().display != nullptr)
        G2::toolkit().display->close();
    SDL_Quit();
    // The window is gone: the game, loaded on this thread, is to make its own
    // windows as it declares, not as the launcher's was made.
    services().endWindowScaling();
}

int GLauncher::handOff() {
    // A failure of an earlier run is forgotten for this attempt: it is
    // remembered again, with the completer as it is now, if this one fails.
    const std::string completer = completerPath();
    forgetFailedHandOff(".");
    platform::StartFailure failure;
    if (services().handOff(completer, launcherPath, failure))
        return 0;
    // The player learns why, and the next runs do not hand over to a
    // completer that fails the same way (each would end the launcher
    // again): the staged files wait in "tmp" until the completer changes.
    rememberFailedHandOff(".", completer, std::to_string(failure.code) + " " + failure.text);
    services().messageBox("Error", handOffFailureText(failure), platform::kIconError);
    return kHandOffFailed;
}

void GLauncher::playGame() {
    // The mode the player chose: the custom preset's own, or the row of the
    // video-mode list.
    MainWin& win = *mainWin;
    int preset = win.qualityRow + machineClass;
    int width = gameWidth > 0 ? gameWidth : windowWidth;
    int height = gameHeight > 0 ? gameHeight : windowHeight;
    if (!videoModes.empty()) {
        int row = preset == 5 ? 0 : videoModes.rowOfEntry(win.videoRow);
        if (row >= 0 && row < static_cast<int>(videoModes.modeRows.size())) {
            const Resolution& mode = videoModes.resolutions[size_t(videoModes.modeRows[size_t(row)])];
            width = static_cast<int>(mode.first);
            height = static_cast<int>(mode.second);
        }
    }
    bool fullScreen = win.fullScreen;
    float aspect = height > 0 ? float(width) / float(height) : 0.0f;
    if (!videoModes.empty()) {
        const Resolution& largest = videoModes.resolutions.back();
        aspect = float(largest.first) / float(largest.second);
    }
    queueComputerFlag(*portal);
    shutdown();
    gameFiles->writeLaunchFile(preset, width, height, fullScreen, aspect);
    std::string stack = credentials;
    if (stack.empty()) {
        stack = Registry::readString("tempstr");
        Registry::deleteValue("tempstr");
    }
    Registry::writeString("stack", stack);
    services().runGame(config.gameDirectory);
}

int GLauncher::exit(int code) {
    if (code != 0)
        return code;
    MainWin* win = mainWin.get();
    if (mainScene->handoffPending) {
        shutdown();
        return handOff();
    }
    if (win != nullptr && win->playRequested) {
        if (machineClass == 4) {
            services().messageBox("Maquina Insuficiente",
                                  "No tienes los requisitos m\xC3\xADnimos para poder jugar.\n"
                                  "Permanece atento a las futuras actualizaciones.\n"
                                  "Estamos trabajando para que todas las maquinas puedan jugar.",
                                  platform::kIconWarning);
            shutdown();
            return 0;
        }
        playGame();
        return 0;
    }
    // Quitting: the same orderly shutdown, so that no worker outlives the run.
    shutdown();
    return 0;
}

} // namespace app
