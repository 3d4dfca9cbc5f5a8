#pragma once
#include "g2/Scene.h"
#include "support/Mutex.h"
#include "update/UpdaterListener.h"

#include <cstdint>
#include <memory>
#include <string>

class Updater;

namespace app {

class GLauncher;

/// The scene in which the installation is brought up to date and the game
/// is started. It is the updater's listener: the listener operations run
/// on the updater's thread and only write the scene's fields (under its
/// mutex); `update` turns them into widget changes on the main thread.
class MainScene : public G2::Scene, public UpdaterListener {
public:
    explicit MainScene(GLauncher& launcher);
    ~MainScene() override;

    /// Shows the main panel and starts the update (or, with "-n", shows it
    /// as complete).
    void enter() override;
    /// Stops the update's thread and only then destroys the updater.
    void leave() override;
    bool update() override;

    // The updater's progress.
    void onStage(UpdateStage stage) override;
    void onScanBegin(int32_t fileCount) override;
    void onScanStep(const std::string& path) override;
    void onDownloadBegin(int32_t totalDownload, int32_t totalSize, int32_t neededDownload,
                         int32_t neededSize) override;
    void onFinished(int32_t stagedCount) override;
    void onFileBegin(const std::string& path, int32_t size) override;
    void onDeleting(const std::string& path) override;
    void onProgress(int32_t doneDownload, int32_t doneSize) override;
    void onFileProgress(int32_t bytesWritten) override;
    void onError(int32_t code) override;

    /// Whether the libraries "DirectX.txt" names all load; when one does not,
    /// offers to run the installer and answers false.
    bool directXCheck();

    bool loginAndUpdate = true;
    uint32_t loginTime = 0;
    std::unique_ptr<Updater> updater;
    bool handoffPending = false;
    /// hoplin put the launcher's previous files back, the new ones having
    /// failed to start: the status line says so instead of the update
    /// being complete.
    bool updateReverted = false;
    bool dirty = false;
    bool updateDone = false;
    bool errorShown = false;
    bool exitPending = false;
    bool restartPending = false;
    /// Autoplay has asked to play for the update that finished last.
    bool autoplayed = false;
    std::string statusText;
    int mainPercent = 0;
    std::string fileText;
    int32_t totalDownload = 0;
    int32_t neededDownload = 0;
    int32_t filesTotal = 0;
    int32_t filesChecked = 0;
    bool newFile = false;
    int32_t fileSize = 0;
    int32_t fileBytes = 0;
    /// The settings window is shown instead of the main window.
    bool settingsShown = false;

private:
    void showState();
    void beginExit();
    void startUpdater(uint32_t delayMs);
    void showSettings();
    void closeSettings(bool accepted);
    // The steps of `update`.
    void retry();
    void autoplay();
    void restartWhenStopped();
    /// Acts on how the settings window was closed, if it was.
    void followSettings();

    GLauncher& launcher_;
    Mutex mutex_;
};

} // namespace app
