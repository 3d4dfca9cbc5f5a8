#pragma once
#include <cstdint>

namespace TKAL {

/// The native window behind SDL's video surface, as the windowing system
/// knows it. On X11 `display` is the connection (a `Display*`) and `window`
/// the managed window's id; `lock`/`unlock`, when set, are SDL's guards of
/// the connection against its own event thread. On Windows `window` is the
/// window's handle and the rest stays empty.
struct SDL_NativeWindow {
    void* display = nullptr;
    uintptr_t window = 0;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
};

/// What the SDL display needs of the windowing system beyond SDL 1.2's own
/// calls. The program that owns the window hands one in (the launcher, its
/// platform's window services); without one the display knows no native
/// window on Windows and leaves its window where SDL put it.
class SDL_WindowSystem {
public:
    virtual ~SDL_WindowSystem();
    /// The visible top-level window the calling thread made, where SDL
    /// cannot tell it without the system's own headers (Windows); false when
    /// there is none or the system keeps no such record (X11).
    virtual bool threadWindow(SDL_NativeWindow& win) = 0;
    /// Right and bottom edges of the desktop that holds `win`; false when
    /// the windowing system cannot tell.
    virtual bool desktopRect(const SDL_NativeWindow& win, int& right, int& bottom) = 0;
    /// Moves `win` and sizes its drawing area; false when that cannot be done.
    virtual bool moveWindow(const SDL_NativeWindow& win, int x, int y, int width, int height) = 0;
};

/// Hands in the window system, which stays the caller's; null takes it away.
void setSdlWindowSystem(SDL_WindowSystem* system);
/// The window system handed in, or null.
SDL_WindowSystem* sdlWindowSystem();

/// The native window behind SDL's video surface; false when there is none
/// (no window yet, or a driver without one, such as "dummy").
bool sdlNativeWindow(SDL_NativeWindow& win);

} // namespace TKAL
