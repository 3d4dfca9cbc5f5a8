#include "tkal/App.h"

namespace TKAL {

namespace {
App* registeredApp = nullptr;
uint32_t period = 40;
} // namespace

App::App() {
    if (registeredApp == nullptr)
        registeredApp = this;
}

App::~App() {
    if (registeredApp == this)
        registeredApp = nullptr;
}

App* App::instance() {
    return registeredApp;
}

uint32_t framePeriod() {
    return period;
}

void setFramePeriod(uint32_t ms) {
    period = ms;
}

LoopClock::~LoopClock() = default;

int runLoop(App& app, LoopClock& clock) {
    clock.framesBegin();
    uint32_t t = clock.now();
    if (app.frame(t, 0)) {
        uint32_t gameTime = 0;
        for (;;) {
            uint32_t p = framePeriod();
            gameTime += p;
            uint32_t e = clock.now();
            // The clock wraps at 2^32: the signed difference is the wait.
            auto wait = static_cast<int32_t>(p + t - e);
            if (wait > 0)
                clock.sleep(static_cast<uint32_t>(wait));
            t = clock.now();
            if (!app.frame(t, gameTime))
                break;
        }
    }
    // What follows the loop (the game itself, started from exit) runs at
    // the system's own timer pace.
    clock.framesEnd();
    return app.exit(0);
}

} // namespace TKAL
