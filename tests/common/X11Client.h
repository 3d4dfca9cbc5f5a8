#pragma once
#include <string>

namespace testkit {

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
    /// Asks the window to close as a window manager does (WM_DELETE_WINDOW).
    bool requestClose(unsigned long window);
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

private:
    unsigned long find(unsigned long root, const std::string& title);
    void* display_ = nullptr;
};

} // namespace testkit
