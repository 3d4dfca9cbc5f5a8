#include "tkal/sdl/SDL_NativeWindow.h"

#include <SDL.h>

namespace TKAL {

// SDL's own window record needs the system's headers on Windows; the window
// is the one SDL made on this thread, which the window system finds.
bool sdlNativeWindow(SDL_NativeWindow& win) {
    SDL_WindowSystem* system = sdlWindowSystem();
    return SDL_GetVideoSurface() != nullptr && system != nullptr && system->threadWindow(win);
}

} // namespace TKAL
