// The main scene: the update behind the main window, play, retry, cancel,
// the settings window and the DirectX check.
//   [scene]     enter, leave, update
//   [listener]  the updater's progress, on its thread
//   [directx]   the libraries the game needs
#include "app/MainScene.h"

#include "app/GLauncher.h"
#include "app/HandOff.h"
#include "app/MainWin.h"
#include "app/UpdaterSetup.h"
#include "app/UserSetWin.h"
#include "g2/ButtonWidget.h"
#include "g2/ComboBoxWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/ProgressWidget.h"
#include "g2/View.h"
#include "install/HandOffRecord.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "update/UpdateTexts.h"
#include "update/Updater.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace app {

MainScene::MainScene(GLauncher& launcher) : launcher_(launcher) {}

MainScene::~MainScene() {
    leave();
}

// [scene] -------------------------------------------------------------------

void MainScene::startUpdater(uint32_t delayMs) {
    updater->startUpdate(this, delayMs, launcher_.config.downloadRetry);
}

void MainScene::enter() {
    launcher_.mainWin->showPanel(MainWin::MainPanel);
    MutexLock guard(mutex_);
    if (!loginAndUpdate) {
        dirty = true;
        updateDone = true;
        statusText = updateReverted ? updateRevertedText() : "Actualizaci\xC3\xB3n completa.";
        mainPercent = 100;
        newFile = true;
        fileSize = 100;
        fileBytes = 100;
        return;
    }
    updater = std::make_unique<Updater>(launcher_.connection.updateUrl);
    configureUpdater(*updater, &launcher_.connection);
    if (launcher_.connection.updateKey)
        updater->requireSignature(*launcher_.connection.updateKey);
    startUpdater(0);
}

void MainScene::leave() {
    if (!updater)
        return;
    // The updater's thread uses the object until it ends: it is destroyed
    // only after that, however long the last request takes to give up.
    updater->requestStop();
    while (!updater->stop(3000)) {
    }
    updater.reset();
}

void MainScene::showState() {
    MainWin& win = *launcher_.mainWin;
    if (newFile) {
        win.fileBar->setMaximum(std::max(1, fileSize));
        newFile = false;
    }
    win.mainBar->setValue(std::clamp(mainPercent, 0, win.mainBar->maximum()));
    win.fileBar->setValue(std::clamp(fileBytes, 0, win.fileBar->maximum()));
    win.statusLabel->setText(statusText.c_str());
    win.playButton->setDisabled(!updateDone);
    win.retryButton->setVisible(errorShown);
    win.retryButton->setDisabled(!errorShown);
}

void MainScene::beginExit() {
    MainWin& win = *launcher_.mainWin;
    if (updater)
        updater->requestStop();
    exitPending = true;
    win.closeRequested = win.cancelRequested = false;
    win.statusLabel->setText("Saliendo...");
    win.playButton->setDisabled(true);
}

void MainScene::showSettings() {
    GLauncher& l = launcher_;
    l.secondLayer->setRoot(nullptr);
    l.userSetWin->show(l.userSettings, l.videoModes.customMode);
    l.mainLayer->setRoot(l.userSetWin.get());
    G2::toolkit().setFocus(nullptr);
    settingsShown = true;
}

void MainScene::closeSettings(bool accepted) {
    GLauncher& l = launcher_;
    MainWin& win = *l.mainWin;
    UserSetWin& settings = *l.userSetWin;
    if (accepted) {
        settings.apply(l.userSettings, l.videoModes);
        win.qualityRow = 5 - l.machineClass;
        win.videoRow = l.videoModes.presetModes[5];
        win.qualityBox->list()->refresh();
        win.videoBox->list()->refresh();
        win.qualityBox->choose(win.qualityRow);
        win.videoBox->setVisible(false);
        win.configureButton->setVisible(true);
        l.gameFiles->writeUserSettings(l.userSettings);
    }
    settings.accepted = settings.cancelled = false;
    l.mainLayer->setRoot(&win);
    l.secondLayer->setRoot(win.creditsLayer());
    settingsShown = false;
}

bool MainScene::update() {
    MutexLock guard(mutex_);
    MainWin& win = *launcher_.mainWin;
    // What the updater changed.
    if (dirty) {
        showState();
        dirty = false;
    }
    // The launcher's own files were staged: hoplin takes over, unless it
    // could not start in an earlier run and has not changed since. Then the
    // player plays with this launcher (its files wait in "tmp"), rather
    // than meet the same failure at every start.
    if (handoffPending) {
        if (!handOffHeldBack(".", completerPath())) {
            G2::Game::quit();
            return true;
        }
        handoffPending = false;
    }
    if (win.playRequested) {
        if (directXCheck())
            G2::Game::quit();
        else
            win.playRequested = false;
    }
    if (win.closeRequested || win.cancelRequested)
        beginExit();
    if (win.retryRequested)
        retry();
    autoplay();
    if (exitPending)
        G2::Game::quit();
    if (restartPending)
        restartWhenStopped();
    if (win.configureRequested) {
        win.configureRequested = false;
        if (launcher_.userSetWin)
            showSettings();
    }
    if (settingsShown)
        followSettings();
    return true;
}

void MainScene::retry() {
    launcher_.mainWin->retryRequested = false;
    updateDone = false;
    errorShown = false;
    fileText.clear();
    mainPercent = 0;
    launcher_.mainWin->mainBar->setValue(0);
    autoplayed = false;
    statusText = "Reintentando...";
    showState();
    if (updater)
        updater->requestStop();
    restartPending = true;
}

void MainScene::autoplay() {
    // An update finished soon after the login starts the game. It asks once:
    // a play it asked for that the DirectX check refuses is not asked for
    // again in every later frame of the window.
    const uint32_t now = launcher_.services().now();
    if (updateDone && !autoplayed && loginTime != 0 &&
        now - loginTime < static_cast<uint32_t>(launcher_.config.autoplayTime) * 1000u) {
        launcher_.mainWin->playRequested = true;
        autoplayed = true;
    }
}

void MainScene::restartWhenStopped() {
    // A retry starts once the old run's thread has ended.
    if (!updater) {
        restartPending = false;
    } else if (!updater->running()) {
        restartPending = false;
        startUpdater(100);
    }
}

void MainScene::followSettings() {
    UserSetWin& settings = *launcher_.userSetWin;
    if (settings.closed) {
        settings.closed = false;
        beginExit();
    } else if (settings.accepted) {
        closeSettings(true);
    } else if (settings.cancelled) {
        closeSettings(false);
    }
}

// [listener] ----------------------------------------------------------------

void MainScene::onStage(UpdateStage stage) {
    MutexLock guard(mutex_);
    if (const char* text = stageText(stage))
        statusText = text;
    dirty = true;
}

void MainScene::onScanBegin(int32_t fileCount) {
    MutexLock guard(mutex_);
    filesTotal = fileCount;
    filesChecked = 0;
}

void MainScene::onScanStep(const std::string&) {
    MutexLock guard(mutex_);
    ++filesChecked;
    float share = filesTotal > 0 ? 100.0f * float(filesChecked) / float(filesTotal) : 100.0f;
    mainPercent = static_cast<int>(std::lround(share));
    statusText = scanProgressText(mainPercent);
    dirty = true;
}

void MainScene::onDownloadBegin(int32_t total, int32_t, int32_t needed, int32_t) {
    MutexLock guard(mutex_);
    totalDownload = total;
    neededDownload = needed;
}

void MainScene::onFinished(int32_t stagedCount) {
    MutexLock guard(mutex_);
    statusText = finishedText;
    mainPercent = 100;
    newFile = true;
    fileSize = 100;
    fileBytes = 100;
    updateDone = true;
    if (stagedCount != 0) {
        handoffPending = true;
    } else {
        // Files left in "tmp" by an earlier run still need hoplin.
        std::error_code ec;
        for (std::filesystem::recursive_directory_iterator it("tmp", ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->is_regular_file(ec)) {
                handoffPending = true;
                break;
            }
        }
    }
    dirty = true;
}

void MainScene::onFileBegin(const std::string& path, int32_t size) {
    MutexLock guard(mutex_);
    fileText = fileDescription(path);
    fileSize = size;
    fileBytes = 0;
    newFile = true;
    dirty = true;
}

void MainScene::onDeleting(const std::string& path) {
    MutexLock guard(mutex_);
    fileText = "Borrando " + fileDescription(path);
    dirty = true;
}

void MainScene::onProgress(int32_t doneDownload, int32_t) {
    MutexLock guard(mutex_);
    // Nothing to download counts as complete.
    float share = totalDownload > 0 ? 100.0f * float(int64_t(doneDownload) + totalDownload - neededDownload) /
                                          float(totalDownload)
                                    : 100.0f;
    mainPercent = static_cast<int>(std::lround(share));
    statusText = std::to_string(mainPercent) + "% - " + fileText;
    dirty = true;
}

void MainScene::onFileProgress(int32_t bytesWritten) {
    MutexLock guard(mutex_);
    fileBytes = bytesWritten;
    dirty = true;
}

void MainScene::onError(int32_t code) {
    MutexLock guard(mutex_);
    std::optional<std::string> text = errorText(code, fileText);
    if (text)
        statusText = *text;
    if (errorOffersRetry(code))
        errorShown = true;
    dirty = true;
}

// [directx] -----------------------------------------------------------------

bool MainScene::directXCheck() {
    std::ifstream list(platform::filePath("DirectX.txt"));
    if (!list)
        return true;
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 256)
            line.resize(256);
        if (line.empty() || launcher_.services().libraryLoads(line))
            continue;
        int answer = launcher_.services().messageBox("ERROR VERSION DIRECTX",
                                                     "No tiene la version de DirectX necesaria para ejecutar "
                                                     "el juego\nDesea instalar la actualizacion de DirectX",
                                                     platform::kBoxYesNo | platform::kIconWarning);
        if (answer == platform::kAnswerYes)
            launcher_.services().runInstaller(launcher_.programDirectory() + "/DirectX/dxsetup.exe");
        return false;
    }
    return true;
}

} // namespace app
