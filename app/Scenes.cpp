#include "app/Scenes.h"

#include "app/Credentials.h"
#include "app/GLauncher.h"
#include "app/MainScene.h"
#include "app/MainWin.h"
#include "app/Registry.h"
#include "g2/ButtonWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ProgressWidget.h"
#include "platform/MessageBox.h"

#include <algorithm>

namespace app {

// Login ------------------------------------------------------------------

void LoginScene::enter() {
    MainWin& win = *launcher_.mainWin;
    std::string user, pass;
    decodeCredentials(Registry::readString("version"), user, pass);
    if (!user.empty() && !pass.empty())
        win.setCredentials(user, pass, true);
    else
        win.setCredentials(std::string(), std::string(), false);
    // The player can type at once: into the first field still to fill.
    G2::toolkit().setFocus(user.empty() || pass.empty() ? win.userField : win.passwordField);
}

bool LoginScene::update() {
    MutexLock guard(mutex_);
    MainWin& win = *launcher_.mainWin;
    userName = win.userField->text();
    password = win.passwordField->text();
    win.setLoginEnabled(!userName.empty() && !password.empty());
    if (win.closeRequested || win.cancelRequested)
        G2::Game::quit();
    if (win.loginRequested)
        G2::Game::setPendingScene(launcher_.waitScene.get());
    if (win.registerRequested) {
        int result = launcher_.services().openWebPage(launcher_.config.moravotownUrl);
        G2::Game::quit();
        if (result <= 32)
            launcher_.services().messageBox("Error", "No se ha podido abrir la pagina web de Moravo",
                                            platform::kIconError);
    }
    return true;
}

void LoginScene::leave() {
    MainWin& win = *launcher_.mainWin;
    if (!win.loginRequested)
        return; // the loop ended without a login
    launcher_.pendingLogin =
        queueLogin(*launcher_.portal, userName, password, launcher_.hardware, launcher_.services().now());
    launcher_.credentials = encodeCredentials(userName, password);
    Registry::writeString("tempstr", launcher_.credentials);
    if (win.rememberPassword)
        Registry::writeString("version", launcher_.credentials);
    else
        Registry::deleteValue("version");
}

// Wait -------------------------------------------------------------------

void WaitScene::enter() {
    launcher_.mainWin->showPanel(MainWin::WaitPanel);
    launcher_.mainWin->waitBar->setMaximum(100);
}

bool WaitScene::update() {
    MutexLock guard(mutex_);
    MainWin& win = *launcher_.mainWin;
    if (!handled) {
        const uint32_t timeout = launcher_.config.catalogTimeoutMs();
        const uint32_t now = launcher_.services().now();
        int s = loginStatus(*launcher_.portal, launcher_.pendingLogin, timeout, now);
        int p = loginRemaining(launcher_.pendingLogin, timeout, now);
        if (p == 0)
            s = LoginTimedOut;
        if (s == LoginWaiting) {
            win.waitLabel->setText(launcher_.config.loginProcessing.c_str());
            int shown = std::clamp(p, 0, win.waitBar->maximum());
            if (shown != shownPercent_) {
                shownPercent_ = shown;
                win.waitBar->setValue(shown);
            }
        } else {
            std::string message = loginMessage(launcher_.config, s);
            if (s == 0) {
                if (launcher_.machineClass == 4 && launcher_.hardware.psMajor < 2)
                    win.showPanel(MainWin::RequirementsPanel);
                else
                    G2::Game::setPendingScene(launcher_.mainScene.get());
            } else {
                win.waitLabel->setText(message.c_str());
                win.waitBar->setVisible(false);
            }
            handled = true;
        }
    }
    if (win.continueRequested) {
        win.continueRequested = false;
        G2::Game::setPendingScene(launcher_.mainScene.get());
    }
    if (win.closeRequested || win.cancelRequested)
        G2::Game::quit();
    return true;
}

void WaitScene::leave() {
    launcher_.mainScene->loginTime = launcher_.services().now();
}

} // namespace app
