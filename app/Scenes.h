#pragma once
#include "g2/Scene.h"
#include "support/Mutex.h"

#include <cstdint>
#include <string>

namespace app {

class GLauncher;

/// The first scene: the player types the telephone number and password.
class LoginScene : public G2::Scene {
public:
    explicit LoginScene(GLauncher& launcher) : launcher_(launcher) {}
    /// Fills the fields from the remembered credentials.
    void enter() override;
    bool update() override;
    /// Sends the login (when it was asked for) and stores the credentials.
    void leave() override;

    std::string userName;
    std::string password;

private:
    GLauncher& launcher_;
    Mutex mutex_;
};

/// Waits for the login's answer, counting the time-out down on a bar.
class WaitScene : public G2::Scene {
public:
    explicit WaitScene(GLauncher& launcher) : launcher_(launcher) {}
    void enter() override;
    bool update() override;
    void leave() override;

    bool handled = false;

private:
    GLauncher& launcher_;
    Mutex mutex_;
    int shownPercent_ = -1;
};

} // namespace app
