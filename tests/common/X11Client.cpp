#include "tests/common/X11Client.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdint>
#include <fstream>
#include <vector>
#include <zlib.h>

#include <chrono>
#include <thread>

namespace testkit {

X11Client::~X11Client() {
    if (display_ != nullptr)
        XCloseDisplay(static_cast<Display*>(display_));
}

namespace {

// A window may go between finding it and asking about it (a program's
// windows come and go while the test looks): the request then fails, and
// Xlib's default handler would end the test's process for it.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

bool X11Client::connect(const std::string& display) {
    XSetErrorHandler(ignoreError);
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

unsigned long X11Client::findWindow(const std::string& title) {
    return find(DefaultRootWindow(static_cast<Display*>(display_)), title);
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

void X11Client::raise(unsigned long window) {
    auto* dpy = static_cast<Display*>(display_);
    XRaiseWindow(dpy, window);
    XSync(dpy, False);
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

void X11Client::moveTo(int x, int y) {
    auto* dpy = static_cast<Display*>(display_);
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XSync(dpy, False);
}

void X11Client::click(int x, int y) {
    auto* dpy = static_cast<Display*>(display_);
    moveTo(x, y);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
}

void X11Client::key(const std::string& keysym) {
    auto* dpy = static_cast<Display*>(display_);
    KeySym sym = XStringToKeysym(keysym.c_str());
    KeyCode code = XKeysymToKeycode(dpy, sym);
    if (code == 0)
        return;
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    XSync(dpy, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void X11Client::typeText(const std::string& text) {
    auto* dpy = static_cast<Display*>(display_);
    KeyCode shift = XKeysymToKeycode(dpy, XK_Shift_L);
    for (char c : text) {
        char name[2] = {c, 0};
        KeySym sym = XStringToKeysym(name);
        if (sym == NoSymbol)
            continue;
        KeyCode code = XKeysymToKeycode(dpy, sym);
        bool shifted = code != 0 && XkbKeycodeToKeysym(dpy, code, 0, 0) != sym;
        if (shifted)
            XTestFakeKeyEvent(dpy, shift, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy, code, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(dpy, shift, False, CurrentTime);
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool X11Client::capture(int x, int y, int w, int h, Capture& out) {
    auto* dpy = static_cast<Display*>(display_);
    Window root = DefaultRootWindow(dpy);
    XWindowAttributes attrs;
    if (w <= 0 || h <= 0 || !XGetWindowAttributes(dpy, root, &attrs))
        return false;
    // Only what lies on the screen can be read.
    if (x < 0 || y < 0 || x + w > attrs.width || y + h > attrs.height)
        return false;
    XImage* image = XGetImage(dpy, root, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    out.w = w;
    out.h = h;
    out.rgb.clear();
    out.rgb.reserve(size_t(w) * size_t(h) * 3);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            unsigned long p = XGetPixel(image, i, j);
            out.rgb.push_back(uint8_t((p >> 16) & 0xFF));
            out.rgb.push_back(uint8_t((p >> 8) & 0xFF));
            out.rgb.push_back(uint8_t(p & 0xFF));
        }
    }
    XDestroyImage(image);
    return true;
}

bool X11Client::screenshot(const std::string& path) {
    auto* dpy = static_cast<Display*>(display_);
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &attrs))
        return false;
    Capture screen;
    if (!capture(0, 0, attrs.width, attrs.height, screen))
        return false;
    const int w = screen.w, h = screen.h;
    // Rows of RGB, each after a filter byte of 0, as PNG wants them.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(h) * (size_t(w) * 3 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), screen.at(0, y), screen.at(0, y) + size_t(w) * 3);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::ofstream out(path, std::ios::binary);
    auto be32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 3; i >= 0; --i)
            v.push_back(uint8_t(x >> (8 * i)));
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> bytes;
        be32(bytes, uint32_t(data.size()));
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        uLong crc = crc32(0, bytes.data() + 4, uInt(bytes.size() - 4));
        be32(bytes, uint32_t(crc));
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    out.write("\x89PNG\r\n\x1a\n", 8);
    std::vector<uint8_t> header;
    be32(header, uint32_t(w));
    be32(header, uint32_t(h));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return bool(out);
}

} // namespace testkit
