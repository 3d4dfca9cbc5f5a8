#pragma once
// The launcher run in this process on the dummy video driver, in a test
// installation, with its outside services recorded, driven frame by frame.
#include "app/GLauncher.h"
#include "app/MainWin.h"
#include "tests/app/TestInstall.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace apptest {

/// Records what the launcher asks of the outside world.
class RecordingServices : public app::LauncherServices {
public:
    app::HardwareInfo survey() override { return hardware; }
    int messageBox(const std::string& caption, const std::string& text, unsigned style) override {
        boxes.push_back(caption + "|" + text);
        std::fprintf(stderr, "%s|%s\n", caption.c_str(), text.c_str());
        styles.push_back(style);
        return boxAnswer;
    }
    int openWebPage(const std::string& url) override {
        pages.push_back(url);
        return pageResult;
    }
    /// Stands for a started hoplin, or fails as `handOffFailure` says.
    bool handOff(const std::string& completer, const std::string& launcherPath,
                 platform::StartFailure& failure) override {
        handOffs.push_back(launcherPath);
        completers.push_back(completer);
        failure = handOffFailure;
        return handOffStarts;
    }
    void runGame(const std::string& gameDir) override {
        games.push_back(gameDir);
        order.push_back("game");
    }
    void endWindowScaling() override {
        // The window is gone when its scaling ends: SDL's video is down.
        order.push_back(SDL_WasInit(SDL_INIT_VIDEO) == 0 ? "scaling ended" : "scaling ended with the window");
    }
    uint32_t now() override { return clock; }
    bool libraryLoads(const std::string& name) override {
        libraries.push_back(name);
        return app::LauncherServices::libraryLoads(name); // the real loader
    }
    int runInstaller(const std::string& path) override {
        installers.push_back(path);
        return 0;
    }
    bool installationWritable() override { return writable; }

    app::HardwareInfo hardware;
    std::vector<std::string> boxes;
    std::vector<unsigned> styles;
    int boxAnswer = 1;
    std::vector<std::string> pages;
    int pageResult = 42;
    std::vector<std::string> handOffs;
    std::vector<std::string> completers;
    bool handOffStarts = true;
    platform::StartFailure handOffFailure;
    std::vector<std::string> games;
    /// The window's scaling ending and the game starting, in their order.
    std::vector<std::string> order;
    std::vector<std::string> installers;
    std::vector<std::string> libraries;
    bool writable = true;
    uint32_t clock = 5000;
};

/// A capable machine with a few screen modes.
app::HardwareInfo capableMachine();

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Builds the installation for a service on `port` and starts the
    /// launcher with `words` after the program path; answers init's result.
    int start(int port = 1, std::vector<std::string> words = {});
    /// Starts the launcher in the installation the test made in `install`
    /// as it stands, with the program's name and `words` as its words;
    /// answers init's result.
    int startInstalled(const std::vector<std::string>& words = {});
    /// Starts a new launcher, with `words`, in the installation of the one
    /// that finished; answers init's result.
    int restart(const std::vector<std::string>& words);
    /// Starts the launcher in `install` with `wordZero` and then `words`
    /// as its words; answers init's result.
    int initLauncher(const std::string& wordZero, const std::vector<std::string>& words);
    /// One frame, `step` ms after the previous one.
    bool frame(uint32_t step = 40);
    /// Frames until `done` holds, for at most `limitMs` of real time; the
    /// launcher's clock stands still meanwhile, so that waiting on another
    /// thread (the web service, the updater) never runs into the launcher's
    /// own time-outs however loaded the machine is. Answers whether it held.
    template <typename F> bool frameUntil(F done, int limitMs = 30000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            frame(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    /// Clicks the middle of `widget` (a press and release in one frame, then
    /// the frame that delivers the click).
    void click(G2::Widget* widget);
    void type(const std::string& text);
    /// Fills the login fields and clicks "Login"; the request leaves with
    /// the next frame.
    void logIn(const std::string& userName, const std::string& password);
    void pressKey(int sym, int unicode = 0);
    int finish();

    app::MainWin& win() { return *launcher->mainWin; }

    /// Files `start` writes into the installation (path, text) before init.
    std::vector<std::pair<std::string, std::string>> installFiles;
    std::unique_ptr<TestInstall> install;
    std::unique_ptr<testkit::TempDir> home;
    std::unique_ptr<app::GLauncher> launcher;
    RecordingServices services;
    std::string previousDir;
    bool finished = false;
};

} // namespace apptest
