#pragma once
#include "app/ConnectionFile.h"
#include "app/GameFiles.h"
#include "app/HardwareInfo.h"
#include "app/LauncherConfig.h"
#include "app/LauncherServices.h"
#include "app/ListData.h"
#include "app/LoginRequests.h"
#include "app/VideoModes.h"
#include "g2/Game.h"

#include <memory>
#include <string>

class WebPortal;

namespace G2 {
class View;
}

namespace app {

class LoginScene;
class MainScene;
class MainWin;
class UserSetWin;
class WaitScene;

/// The launcher: brings everything up in order, runs the three scenes and
/// shuts down, then starts the game or hands over to hoplin.
class GLauncher : public G2::Game {
public:
    GLauncher();
    ~GLauncher() override;

    int init(int argc, char** argv) override;
    int exit(int code) override;
    /// One frame; after the first one drawn, a launcher that hoplin watches
    /// (it was given a token in `startTokenVariable`) confirms its start.
    bool frame(uint32_t now, uint32_t gameTime) override;

    /// Replaces the outside services (borrowed; null restores the real ones).
    void setServices(LauncherServices* services);
    LauncherServices& services() { return *services_; }

    /// The shutdown sequence: the web-service worker, the resources, the
    /// main window, the display, SDL.
    void shutdown();

    /// The launcher's own directory.
    std::string programDirectory() const;

    /// The launcher that is running.
    static GLauncher* current();

    /// The exit code of a run whose hand-off to hoplin could not start (the
    /// player was told why in a message box, as with a failed start-up).
    static constexpr int kHandOffFailed = 77;

    // State of the run, set up by `init`.
    std::string launcherPath;
    LauncherConfig config;
    InitialResources resources;
    ConnectionConfig connection;
    HardwareInfo hardware;
    int machineClass = 1;
    int windowWidth = 640;
    int windowHeight = 480;
    std::unique_ptr<WebPortal> portal;
    std::unique_ptr<GameFiles> gameFiles;
    UserSettings userSettings;
    int gameWidth = 0;
    int gameHeight = 0;
    bool gameFullScreen = false;
    int currentPreset = -1;
    VideoModes videoModes;
    MenuList qualityList{&config.menuList, &machineClass};
    MenuVideoList videoList{&videoModes};
    ListaVideoMode allModes{&videoModes};
    std::unique_ptr<MainWin> mainWin;
    std::unique_ptr<UserSetWin> userSetWin;
    std::unique_ptr<G2::View> mainLayer;
    std::unique_ptr<G2::View> secondLayer;
    std::unique_ptr<G2::View> topLayer;
    /// This run's encoded credentials (empty with "-n").
    std::string credentials;
    PendingLogin pendingLogin;

    std::unique_ptr<LoginScene> loginScene;
    std::unique_ptr<WaitScene> waitScene;
    std::unique_ptr<MainScene> mainScene;

private:
    int fail(const char* caption, const char* text);
    // The start-up steps of `init`, in their order.
    void readCommandLine(int argc, char** argv);
    // Reads "res.txt"; answers the exit code of a failure, 0 on success.
    int readResourceIndex();
    // The web-service client and its worker; false when it cannot start.
    bool startPortal();
    // "winsize", when the resource index has it.
    void readWindowSize();
    bool openWindow();
    // The quality presets, the user settings and the video modes.
    void readGameChoices();
    void makeLayers();
    void makeWindows();
    // Tells the player, and answers false, when the installation folder
    // cannot be written.
    bool installationWritable();
    // Takes the installation's lock; tells the player, and answers false,
    // when another launcher or update holds it.
    bool lockInstallation();
    void readGameSettings();
    void playGame();
    // Replaces the process by hoplin; when it cannot start, tells the
    // player, remembers the failure and answers the exit code.
    int handOff();
    // What a self-update of the launcher's own files left: the news of one
    // undone, a confirmed one to forget, or one that hoplin did not finish,
    // which it takes over again (true: handed over, the run ends).
    bool settleSelfUpdate();

    LauncherServices* services_;
    // Held from `init` to the end of the process (or the hand-off's exec).
    std::unique_ptr<platform::FileLock> installationLock_;
    bool shutDown_ = false;
    // The token hoplin gave this start, until the start is confirmed.
    std::string startToken_;
};

} // namespace app
