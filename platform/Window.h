#pragma once
#include <cstdint>
#include <string>

namespace platform {

/// A native top-level window as the windowing system knows it. On X11
/// `display` is the connection (a `Display*`) and `window` the managed
/// window's id; `lock`/`unlock`, when set, guard the connection against a
/// second thread of the window's owner. On Windows `window` is the window's
/// handle and the rest stays empty.
struct NativeWindow {
    void* display = nullptr;
    uintptr_t window = 0;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
};

/// The visible top-level window made by the calling thread, where the
/// windowing system keeps such a record (Windows); false when there is none
/// or the system has no such record (X11, where the window's owner tells
/// it).
bool threadWindow(NativeWindow& win);

/// Right and bottom edges of the desktop that holds `win` (its size, since
/// the desktop starts at 0, 0). False when the windowing system cannot tell.
bool desktopRect(const NativeWindow& win, int& right, int& bottom);

/// Moves `win` and sizes its drawing area; false when that cannot be done.
bool moveWindow(const NativeWindow& win, int x, int y, int width, int height);

/// How the windows a thread makes, and the sizes of the screen it is told,
/// relate to the screen's own pixels on a screen scaled above 100 %.
enum class ScreenUnits {
    /// Pixels of a 100 % screen: the system enlarges the thread's new
    /// windows by the screen's scale (blurred a little), and tells the
    /// screen's sizes in the same units.
    Scaled,
    /// The screen's own pixels: no window is enlarged, and the screen's
    /// sizes and modes are told as they are.
    Pixels,
};

/// While a holder lives, the calling thread works in its units; the holder's
/// end puts back what the thread had before, and a thread that had nothing
/// of its own follows the process's setting again (so a setting the process
/// takes later reaches it). A window keeps the units it was made in for its
/// whole life. Where the system sets units only per process (Windows before
/// 10 version 1607) or not at all (X11), nothing changes.
class ThreadScreenUnits {
public:
    explicit ThreadScreenUnits(ScreenUnits units);
    ~ThreadScreenUnits();
    ThreadScreenUnits(const ThreadScreenUnits&) = delete;
    ThreadScreenUnits& operator=(const ThreadScreenUnits&) = delete;

    /// Whether the thread's units were changed (and will be put back).
    bool changed() const { return previous_ != 0; }

private:
    uintptr_t previous_ = 0;
};

/// The SDL video driver to ask for when the environment names none, with a
/// few words on what it was chosen by (for the message when it does not
/// start). An empty `driver` leaves the choice to SDL.
struct VideoDriverChoice {
    std::string driver;
    std::string why;
};

/// On X11 systems "x11" where DISPLAY is set and the framebuffer console
/// ("fbcon") otherwise, never a text-mode driver that would draw the window
/// into the terminal; on Windows SDL's own choice.
VideoDriverChoice videoDriverChoice();

} // namespace platform
