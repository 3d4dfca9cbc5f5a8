#include "app/MainScene.h"

#include "app/GLauncher.h"
#include "app/MainWin.h"
#include "g2/ButtonWidget.h"
#include "g2/LabelWidget.h"
#include "g2/ProgressWidget.h"

#include <algorithm>

namespace app {

void MainScene::enter() {
    MutexLock guard(mutex_);
    launcher_.mainWin->showPanel(MainWin::MainPanel);
    dirty_ = true;
    updateDone = true;
    statusText_ = "Actualizaci\xC3\xB3n completa.";
    mainPercent_ = 100;
}

void MainScene::leave() {}

void MainScene::showState() {
    MainWin& win = *launcher_.mainWin;
    win.mainBar->setValue(std::clamp(mainPercent_, 0, win.mainBar->maximum()));
    win.statusLabel->setText(statusText_.c_str());
    win.playButton->setDisabled(!updateDone);
}

bool MainScene::update() {
    MutexLock guard(mutex_);
    MainWin& win = *launcher_.mainWin;
    if (dirty_) {
        showState();
        dirty_ = false;
    }
    if (handoffPending) {
        G2::Game::quit();
        return true;
    }
    if (win.playRequested)
        G2::Game::quit();
    if (win.closeRequested || win.cancelRequested) {
        win.closeRequested = win.cancelRequested = false;
        win.statusLabel->setText("Saliendo...");
        win.playButton->setDisabled(true);
        G2::Game::quit();
    }
    return true;
}

} // namespace app
