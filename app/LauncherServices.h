#pragma once
#include "app/HardwareInfo.h"
#include "platform/FileLock.h"
#include "platform/Process.h"

#include <cstdint>
#include <memory>
#include <string>

namespace app {

/// What the launcher needs from outside for a run: the hardware survey, the
/// message boxes and the clock. Tests give their own.
class LauncherServices {
public:
    virtual ~LauncherServices();
    /// The machine; the screen's modes in its own pixels, however the
    /// launcher's window is scaled.
    virtual HardwareInfo survey();
    /// Shows a message box (texts in UTF-8); answers
    /// as the platform's message box does.
    virtual int messageBox(const std::string& caption, const std::string& text, unsigned style);
    /// Opens the registration page; a result of 32 or below is a failure.
    virtual int openWebPage(const std::string& url);
    /// Replaces the process by the self-update completer `completer` (a
    /// path), handing it the launcher's path and the staging directory
    /// "tmp". The real one answers only when that failed: false, with the
    /// reason in `failure`. (A test's may answer true, standing for a start.)
    virtual bool handOff(const std::string& completer, const std::string& launcherPath,
                         platform::StartFailure& failure);
    /// Starts the game and waits for it.
    virtual void runGame(const std::string& gameDir);
    /// Puts the main thread's window scaling back as the process has it,
    /// once the launcher's window is gone and before the game is loaded.
    virtual void endWindowScaling();
    virtual uint32_t now();
    /// Whether the library `name` can be loaded (it is unloaded at once).
    virtual bool libraryLoads(const std::string& name);
    /// Runs an installer and waits for it, keeping the window's events
    /// drained meanwhile; answers its exit status or a negative failure.
    virtual int runInstaller(const std::string& path);
    /// Whether files can be created in the installation folder (the
    /// current directory), which the updater and the game's settings need.
    virtual bool installationWritable();
    /// Takes the lock that keeps a second launcher or update off the
    /// installation (the current directory) for the rest of the run;
    /// `status` tells how it went.
    virtual std::unique_ptr<platform::FileLock> lockInstallation(platform::FileLock::Status& status);
};

} // namespace app
