#pragma once
#include <cstdint>

namespace TKAL {

/// The application driven by the run loop. The first App constructed is the
/// process-wide application object (`App::instance()`).
class App {
public:
    App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    virtual ~App();

    /// Called once after SDL is initialised; 0 enters the run loop, any other
    /// value is handed to `exit` at once.
    virtual int init(int argc, char** argv) = 0;
    /// Called once at the end; answers the process exit code.
    virtual int exit(int code) = 0;
    /// One frame: `now` is the millisecond clock, `gameTime` the nominal time
    /// of the frame. False ends the run loop.
    virtual bool frame(uint32_t now, uint32_t gameTime) = 0;

    /// The registered application object, or null.
    static App* instance();
};

/// The run loop's frame period in milliseconds (40 until changed).
uint32_t framePeriod();
void setFramePeriod(uint32_t ms);

/// The time source of the run loop; tests inject their own.
class LoopClock {
public:
    virtual ~LoopClock();
    virtual uint32_t now() = 0;
    virtual void sleep(uint32_t ms) = 0;
    /// Called before the first frame and after the last one (before `exit`),
    /// so that a clock can keep the system's timer fine only while frames
    /// are paced.
    virtual void framesBegin() {}
    virtual void framesEnd() {}
};

/// Runs `app` at the fixed frame period until `frame` answers false, then
/// answers `app.exit(0)`. gameTime grows by exactly one period per frame; a
/// slow frame delays the next one and lost time is never caught up.
int runLoop(App& app, LoopClock& clock);

} // namespace TKAL
