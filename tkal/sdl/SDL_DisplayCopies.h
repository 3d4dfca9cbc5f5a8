#pragma once
#include <SDL.h>

#include <map>
#include <mutex>

namespace TKAL {

/// Copies of loaded image surfaces in the screen's pixel format, made the
/// first time each is drawn on the screen, so that every later frame blits
/// them without converting each pixel (a PNG's byte order is seldom the
/// screen's). Only surfaces adopted here get a copy: the loader adopts the
/// surfaces it loads and forgets them before freeing them, so a copy never
/// outlives its original. A copy is made again when the original's colour
/// key or alpha, or the screen's format, change; a surface that anything
/// draws into is forgotten for good. Screens below 16 bits keep the
/// originals (a palette copy would lose colours).
class SDL_DisplayCopies {
public:
    /// The one the loaders and the screen canvases share.
    static SDL_DisplayCopies& instance();

    SDL_DisplayCopies() = default;
    SDL_DisplayCopies(const SDL_DisplayCopies&) = delete;
    SDL_DisplayCopies& operator=(const SDL_DisplayCopies&) = delete;
    ~SDL_DisplayCopies();

    /// `original` (not owned) may be drawn from a copy until it is forgotten.
    void adopt(SDL_Surface* original);
    /// Frees the copy of `original` and never makes another.
    void forget(SDL_Surface* original);
    /// Frees every copy (the adopted surfaces stay adopted); for a screen
    /// that closes.
    void dropCopies();

    /// What to blit onto `screen` for `original`: its copy, made or remade
    /// as needed, or `original` itself when it has none.
    SDL_Surface* forScreen(SDL_Surface* original, const SDL_Surface* screen);

    /// Number of copies held; for tests.
    size_t copyCount();

private:
    // What a copy was made from: when any of it changes, the copy is stale.
    struct Made {
        Uint32 keyFlags = 0;
        Uint32 colorKey = 0;
        Uint8 alpha = 0;
        Uint8 screenBits = 0;
        Uint32 screenMasks[3] = {0, 0, 0};
    };
    struct Entry {
        SDL_Surface* copy = nullptr; // owned; null when none was made
        Made made;
        bool tried = false;
    };

    static Made stateOf(const SDL_Surface* original, const SDL_Surface* screen);
    static bool same(const Made& a, const Made& b);
    static SDL_Surface* convert(SDL_Surface* original, const SDL_Surface* screen);

    std::mutex mutex_;
    std::map<SDL_Surface*, Entry> entries_;
};

} // namespace TKAL
