#pragma once
// Small helpers for pixel checks on surfaces the tests create.
#include <SDL.h>

namespace testsurf {

/// A 32-bit 0xRRGGBB surface filled with `rgb`.
inline SDL_Surface* make32(int w, int h, Uint32 rgb = 0) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_FillRect(s, nullptr, rgb);
    return s;
}

inline Uint32 at(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = 0;
    switch (s->format->BytesPerPixel) {
    case 1:
        v = *p;
        break;
    case 2:
        v = *reinterpret_cast<const Uint16*>(p);
        break;
    case 3:
        v = Uint32(p[0]) | Uint32(p[1]) << 8 | Uint32(p[2]) << 16;
        break;
    default:
        v = *reinterpret_cast<const Uint32*>(p);
        break;
    }
    SDL_UnlockSurface(s);
    return v;
}

inline void put(SDL_Surface* s, int x, int y, Uint32 v) {
    SDL_Rect r{static_cast<Sint16>(x), static_cast<Sint16>(y), 1, 1};
    SDL_FillRect(s, &r, v);
}

/// Fills a rectangle of `s` (ignores the clip).
inline void paint(SDL_Surface* s, int x, int y, int w, int h, Uint32 v) {
    SDL_SetClipRect(s, nullptr);
    SDL_Rect r{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
               static_cast<Uint16>(h)};
    SDL_FillRect(s, &r, v);
}

struct Owned {
    explicit Owned(SDL_Surface* surface) : s(surface) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { SDL_FreeSurface(s); }
    operator SDL_Surface*() const { return s; }
    SDL_Surface* operator->() const { return s; }
    SDL_Surface* s;
};

} // namespace testsurf
