#include "tkal/sdl/SDL_Modes.h"

#include <SDL.h>

#include <cstdlib>

namespace TKAL {

std::vector<std::pair<uint32_t, uint32_t>> fullscreenModes() {
    std::vector<std::pair<uint32_t, uint32_t>> modes;
    // Without video the modes are asked for with video started just for
    // that, but only where there is a display (or a driver was chosen): on
    // a bare terminal SDL would take it over with a text-mode driver.
    bool started = false;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("SDL_VIDEODRIVER") == nullptr)
            return modes;
        // A display server may refuse a connection for a moment (under
        // load Xlib's connection fails with EAGAIN, "Couldn't open X11
        // display"): without video the list would be empty, so a few more
        // attempts are made before giving up.
        for (int attempt = 0; attempt < 5 && !started; ++attempt) {
            if (attempt > 0)
                SDL_Delay(20 * attempt);
            started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        }
        if (!started)
            return modes;
    }
    SDL_PixelFormat format{};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rmask = 0x00FF0000;
    format.Gmask = 0x0000FF00;
    format.Bmask = 0x000000FF;
    SDL_Rect** list = SDL_ListModes(&format, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (list != nullptr && list != reinterpret_cast<SDL_Rect**>(-1)) {
        for (SDL_Rect** r = list; *r != nullptr; ++r)
            modes.emplace_back((*r)->w, (*r)->h);
    }
    if (modes.empty()) {
        const SDL_VideoInfo* info = SDL_GetVideoInfo();
        if (info != nullptr && info->current_w > 0 && info->current_h > 0)
            modes.emplace_back(static_cast<uint32_t>(info->current_w),
                               static_cast<uint32_t>(info->current_h));
    }
    if (started)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return modes;
}

} // namespace TKAL
