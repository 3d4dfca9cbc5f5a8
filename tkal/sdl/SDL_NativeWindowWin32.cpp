#include "tkal/sdl/SDL_NativeWindow.h"

#include <SDL.h>

namespace TKAL {

// SDL's own window record needs the system's headers on Windows; the window
// is the one SDL made on this thread, which the platform layer finds.
bool sdlNativeWindow(platform::NativeWindow& win) {
    return SDL_GetVideoSurface() != nullptr && platform::threadWindow(win);
}

} // namespace TKAL
