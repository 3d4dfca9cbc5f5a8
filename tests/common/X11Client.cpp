#include "tests/common/X11Client.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace testkit {

X11Client::~X11Client() {
    if (display_ != nullptr)
        XCloseDisplay(static_cast<Display*>(display_));
}

bool X11Client::connect(const std::string& display) {
    display_ = XOpenDisplay(display.c_str());
    return display_ != nullptr;
}

unsigned long X11Client::find(unsigned long window, const std::string& title) {
    auto* dpy = static_cast<Display*>(display_);
    char* name = nullptr;
    if (XFetchName(dpy, window, &name) && name != nullptr) {
        bool match = title == name;
        XFree(name);
        if (match)
            return window;
    }
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, window, &root, &parent, &children, &count))
        return 0;
    unsigned long found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i)
        found = find(children[i], title);
    if (children != nullptr)
        XFree(children);
    return found;
}

unsigned long X11Client::waitForWindow(const std::string& title, int timeoutMs) {
    auto* dpy = static_cast<Display*>(display_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        unsigned long w = find(DefaultRootWindow(dpy), title);
        if (w != 0)
            return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

bool X11Client::requestClose(unsigned long window) {
    auto* dpy = static_cast<Display*>(display_);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    Status ok = XSendEvent(dpy, window, False, NoEventMask, &ev);
    XFlush(dpy);
    return ok != 0;
}

bool X11Client::geometry(unsigned long window, int& x, int& y, int& w, int& h) {
    auto* dpy = static_cast<Display*>(display_);
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, window, &attrs))
        return false;
    Window child;
    XTranslateCoordinates(dpy, window, attrs.root, 0, 0, &x, &y, &child);
    w = attrs.width;
    h = attrs.height;
    return true;
}

} // namespace testkit
