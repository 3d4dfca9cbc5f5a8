#pragma once

namespace platform {

/// A native top-level window as the windowing system knows it. On X11
/// `display` is the connection (a `Display*`) and `window` the managed
/// window's id; `lock`/`unlock`, when set, guard the connection against a
/// second thread of the window's owner.
struct NativeWindow {
    void* display = nullptr;
    unsigned long window = 0;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
};

/// Right and bottom edges of the desktop that holds `win` (its size, since
/// the desktop starts at 0, 0). False when the windowing system cannot tell.
bool desktopRect(const NativeWindow& win, int& right, int& bottom);

/// Moves and sizes `win`; false when that cannot be done.
bool moveWindow(const NativeWindow& win, int x, int y, int width, int height);

} // namespace platform
