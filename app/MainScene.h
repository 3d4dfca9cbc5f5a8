#pragma once
#include "g2/Scene.h"
#include "support/Mutex.h"

#include <cstdint>
#include <string>

namespace app {

class GLauncher;

/// The scene in which the installation is brought up to date and the game
/// is started.
class MainScene : public G2::Scene {
public:
    explicit MainScene(GLauncher& launcher) : launcher_(launcher) {}
    void enter() override;
    void leave() override;
    bool update() override;

    bool loginAndUpdate = true;
    bool handoffPending = false;
    bool updateDone = false;
    uint32_t loginTime = 0;

private:
    void showState();

    GLauncher& launcher_;
    Mutex mutex_;
    bool dirty_ = false;
    std::string statusText_;
    int mainPercent_ = 0;
};

} // namespace app
