#include "app/LauncherServices.h"

#include "app/GameStart.h"
#include "app/WindowPlacement.h"
#include "install/InstallationLock.h"
#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/Directory.h"
#include "platform/DynamicLibrary.h"
#include "platform/HardwareSources.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "tkal/Input.h"
#include "tkal/sdl/SDL_Modes.h"

namespace app {

LauncherServices::~LauncherServices() = default;

HardwareInfo LauncherServices::survey() {
    // The game's full-screen modes and the settings' list are the screen's
    // real pixels, not the units of the launcher's scaled window.
    platform::ThreadScreenUnits pixels(platform::ScreenUnits::Pixels);
    std::vector<Resolution> modes;
    for (const auto& m : TKAL::fullscreenModes())
        modes.push_back(m);
    return surveyHardware(*platform::systemHardwareSources(), modes);
}

int LauncherServices::messageBox(const std::string& caption, const std::string& text, unsigned style) {
    return platform::messageBox(caption, text, style);
}

int LauncherServices::openWebPage(const std::string& url) {
    return platform::openWebPage(url);
}

bool LauncherServices::handOff(const std::string& completer, const std::string& launcherPath,
                               platform::StartFailure& failure) {
    return platform::replaceProcess(completer, {launcherPath, "tmp"}, &failure);
}

void LauncherServices::runGame(const std::string& gameDir) {
    startGame(gameDir);
}

void LauncherServices::endWindowScaling() {
    app::endWindowScaling();
}

uint32_t LauncherServices::now() {
    return platform::milliseconds();
}

bool LauncherServices::libraryLoads(const std::string& name) {
    platform::DynamicLibrary library(name);
    return library.loaded();
}

bool LauncherServices::installationWritable() {
    return platform::canCreateFilesIn(".");
}

std::unique_ptr<platform::FileLock> LauncherServices::lockInstallation(platform::FileLock::Status& status) {
    return ::lockInstallation(".", status);
}

int LauncherServices::runInstaller(const std::string& path) {
    return platform::runAndWait(path, {}, [] {
        // The window stays answerable: its pending events are taken and dropped.
        TKAL::Event event;
        if (TKAL::Input* input = TKAL::Input::instance())
            while (input->poll(event)) {
            }
    });
}

} // namespace app
