#include "platform/Window.h"

#include <windows.h>

namespace platform {

namespace {

BOOL CALLBACK takeFirstVisible(HWND window, LPARAM found) {
    if (!IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

bool threadWindow(NativeWindow& win) {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), takeFirstVisible, reinterpret_cast<LPARAM>(&found));
    if (found == nullptr)
        return false;
    win = NativeWindow();
    win.window = reinterpret_cast<uintptr_t>(found);
    return true;
}

bool desktopRect(const NativeWindow&, int& right, int& bottom) {
    RECT desktop;
    if (!GetWindowRect(GetDesktopWindow(), &desktop))
        return false;
    right = desktop.right;
    bottom = desktop.bottom;
    return true;
}

bool moveWindow(const NativeWindow& win, int x, int y, int width, int height) {
    auto window = reinterpret_cast<HWND>(win.window);
    if (window == nullptr || width <= 0 || height <= 0)
        return false;
    // The size asked for is the drawing area's; the frame comes on top, as
    // the window keeps the style it was made with.
    RECT outer;
    RECT inner;
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &inner))
        return false;
    int frameWidth = (outer.right - outer.left) - (inner.right - inner.left);
    int frameHeight = (outer.bottom - outer.top) - (inner.bottom - inner.top);
    return MoveWindow(window, x, y, width + frameWidth, height + frameHeight, TRUE) != 0;
}

VideoDriverChoice videoDriverChoice() {
    // SDL's Windows drivers all open a real window.
    return {};
}

} // namespace platform
