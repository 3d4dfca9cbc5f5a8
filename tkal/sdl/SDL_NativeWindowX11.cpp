#include "tkal/sdl/SDL_NativeWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace TKAL {

bool sdlNativeWindow(SDL_NativeWindow& win) {
    SDL_SysWMinfo info;
    info.version.major = 1;
    info.version.minor = 2;
    info.version.patch = 11;
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11)
        return false;
    win.display = info.info.x11.display;
    win.window = info.info.x11.wmwindow;
    win.lock = info.info.x11.lock_func;
    win.unlock = info.info.x11.unlock_func;
    return true;
}

} // namespace TKAL
