#include "platform/Window.h"

#include <windows.h>

namespace platform {

namespace {

// A thread's scaling is a DPI awareness context (a handle). The calls that
// set it came with Windows 10 version 1607, so they are looked up at run
// time; the contexts are the predefined handles of winuser.h.
using DpiContext = HANDLE;
using SetThreadDpiContext = DpiContext(WINAPI*)(DpiContext);

const DpiContext unawareContext = reinterpret_cast<DpiContext>(static_cast<intptr_t>(-1));
const DpiContext perMonitorContext = reinterpret_cast<DpiContext>(static_cast<intptr_t>(-3));
const DpiContext perMonitorV2Context = reinterpret_cast<DpiContext>(static_cast<intptr_t>(-4));

SetThreadDpiContext setThreadDpiContext() {
    static const auto set = reinterpret_cast<SetThreadDpiContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
    return set;
}

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

ThreadScreenUnits::ThreadScreenUnits(ScreenUnits units) {
    SetThreadDpiContext set = setThreadDpiContext();
    if (set == nullptr)
        return;
    // The old context comes back, or null when the new one is unknown to
    // this Windows: per-monitor version 2 came with 1703, per-monitor (its
    // screen's pixels too, with cruder handling of a move between screens)
    // with 1607.
    DpiContext previous = nullptr;
    if (units == ScreenUnits::Scaled) {
        previous = set(unawareContext);
    } else {
        previous = set(perMonitorV2Context);
        if (previous == nullptr)
            previous = set(perMonitorContext);
    }
    previous_ = reinterpret_cast<uintptr_t>(previous);
}

ThreadScreenUnits::~ThreadScreenUnits() {
    // A context carries the awareness it inherited besides its own: the old
    // context of a thread that had none of its own is the process's, marked
    // as inherited, and set back it makes the thread follow the process
    // again (a setting the process takes later included).
    if (previous_ != 0)
        setThreadDpiContext()(reinterpret_cast<DpiContext>(previous_));
}

VideoDriverChoice videoDriverChoice() {
    // SDL's Windows drivers all open a real window.
    return {};
}

} // namespace platform
