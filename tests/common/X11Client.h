#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

/// A rectangle of what the screen shows, three bytes (red, green, blue) a
/// pixel, row after row.
struct Capture {
    int w = 0;
    int h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
};

/// A test's own connection to an X server, to find and drive the windows of
/// the program under test as a user (or window manager) would.
class X11Client {
public:
    X11Client() = default;
    X11Client(const X11Client&) = delete;
    X11Client& operator=(const X11Client&) = delete;
    ~X11Client();

    bool connect(const std::string& display);
    /// Waits at most `timeoutMs` for a top-level window titled `title`;
    /// answers its id or 0.
    unsigned long waitForWindow(const std::string& title, int timeoutMs);
    /// The window titled `title` now, or 0.
    unsigned long findWindow(const std::string& title);
    /// Asks the window to close as a window manager does (WM_DELETE_WINDOW).
    bool requestClose(unsigned long window);
    /// Puts the window above its siblings, as a window manager does for the
    /// window a user clicks.
    void raise(unsigned long window);
    /// Position and size of the window on the screen.
    bool geometry(unsigned long window, int& x, int& y, int& w, int& h);

    // Real input, as a user at the keyboard and mouse makes it (through the
    // server's test extension; coordinates are on the screen).
    void moveTo(int x, int y);
    void click(int x, int y);
    /// Presses and releases the key of an X keysym ("Return", "a", "Tab").
    void key(const std::string& keysym);
    /// Types ASCII text, with Shift where a character needs it.
    void typeText(const std::string& text);
    /// Saves what the screen shows as a PNG file.
    bool screenshot(const std::string& path);
    /// What the screen shows in the rectangle (screen coordinates); false
    /// when it cannot be read.
    bool capture(int x, int y, int w, int h, Capture& out);

private:
    unsigned long find(unsigned long root, const std::string& title);
    void* display_ = nullptr;
};

} // namespace testkit
