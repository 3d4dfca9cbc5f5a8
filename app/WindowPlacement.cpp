#include "app/WindowPlacement.h"

#include "platform/Window.h"
#include "tkal/sdl/SDL_NativeWindow.h"

#include <memory>

namespace app {

namespace {

// The two records name the same window in the same words: the display's
// and the platform's layers know nothing of each other.
template <typename To, typename From> To sameWindow(const From& win) {
    To same;
    same.display = win.display;
    same.window = win.window;
    same.lock = win.lock;
    same.unlock = win.unlock;
    return same;
}

class PlatformWindows : public TKAL::SDL_WindowSystem {
public:
    bool threadWindow(TKAL::SDL_NativeWindow& win) override {
        platform::NativeWindow found;
        if (!platform::threadWindow(found))
            return false;
        win = sameWindow<TKAL::SDL_NativeWindow>(found);
        return true;
    }
    bool desktopRect(const TKAL::SDL_NativeWindow& win, int& right, int& bottom) override {
        return platform::desktopRect(sameWindow<platform::NativeWindow>(win), right, bottom);
    }
    bool moveWindow(const TKAL::SDL_NativeWindow& win, int x, int y, int width, int height) override {
        return platform::moveWindow(sameWindow<platform::NativeWindow>(win), x, y, width, height);
    }
};

// The main thread's scaling from the launcher's start to the game's.
std::unique_ptr<platform::ThreadScreenUnits> launcherUnits;

} // namespace

void scaleWindowsBySystem() {
    if (!launcherUnits)
        launcherUnits = std::make_unique<platform::ThreadScreenUnits>(platform::ScreenUnits::Scaled);
}

void endWindowScaling() {
    launcherUnits.reset();
}

void placeWindowsThroughThePlatform() {
    static PlatformWindows windows;
    TKAL::setSdlWindowSystem(&windows);
}

} // namespace app
