#include "platform/Window.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace platform {

namespace {

struct ConnectionLock {
    explicit ConnectionLock(const NativeWindow& w) : win(w) {
        if (win.lock)
            win.lock();
    }
    ~ConnectionLock() {
        if (win.unlock)
            win.unlock();
    }
    const NativeWindow& win;
};

} // namespace

bool threadWindow(NativeWindow&) {
    return false;
}

bool desktopRect(const NativeWindow& win, int& right, int& bottom) {
    auto* display = static_cast<Display*>(win.display);
    if (display == nullptr)
        return false;
    ConnectionLock guard(win);
    int screen = DefaultScreen(display);
    right = DisplayWidth(display, screen);
    bottom = DisplayHeight(display, screen);
    return true;
}

bool moveWindow(const NativeWindow& win, int x, int y, int width, int height) {
    auto* display = static_cast<Display*>(win.display);
    if (display == nullptr || win.window == 0 || width <= 0 || height <= 0)
        return false;
    ConnectionLock guard(win);
    XMoveResizeWindow(display, static_cast<Window>(win.window), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    XFlush(display);
    return true;
}

// X11 has no scaling per window: a window is drawn in the screen's pixels.
ThreadScreenUnits::ThreadScreenUnits(ScreenUnits) {}

ThreadScreenUnits::~ThreadScreenUnits() = default;

VideoDriverChoice videoDriverChoice() {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0')
        return {"x11", std::string("DISPLAY ") + display};
    return {"fbcon", "DISPLAY not set"};
}

} // namespace platform
