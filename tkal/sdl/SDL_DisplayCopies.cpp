#include "tkal/sdl/SDL_DisplayCopies.h"

#include <utility>

namespace TKAL {

namespace {

constexpr Uint32 kKeyAndAlpha = SDL_SRCCOLORKEY | SDL_SRCALPHA;

// A 1 x 1 surface in the 32-bit format with an alpha channel that blits
// fastest onto a screen of `screen`'s format: the screen's colour order
// where it is one of the two common ones, ARGB otherwise.
SDL_Surface* alphaShapeFor(const SDL_PixelFormat* screen) {
    Uint32 red = 0x00FF0000;
    Uint32 blue = 0x000000FF;
    bool swapped = false;
    if (screen->BytesPerPixel == 2)
        swapped = screen->Rmask == 0x1F && (screen->Bmask == 0xF800 || screen->Bmask == 0x7C00);
    else if (screen->BytesPerPixel >= 3)
        swapped = screen->Rmask == 0xFF && screen->Bmask == 0xFF0000;
    if (swapped)
        std::swap(red, blue);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, red, 0x0000FF00, blue, 0xFF000000);
}

} // namespace

SDL_DisplayCopies& SDL_DisplayCopies::instance() {
    // Never destroyed: resource caches that are themselves static forget
    // their surfaces here while the program ends.
    static SDL_DisplayCopies* copies = new SDL_DisplayCopies;
    return *copies;
}

SDL_DisplayCopies::~SDL_DisplayCopies() {
    dropCopies();
}

void SDL_DisplayCopies::adopt(SDL_Surface* original) {
    if (original == nullptr)
        return;
    std::lock_guard<std::mutex> hold(mutex_);
    entries_.emplace(original, Entry());
}

void SDL_DisplayCopies::forget(SDL_Surface* original) {
    std::lock_guard<std::mutex> hold(mutex_);
    auto found = entries_.find(original);
    if (found == entries_.end())
        return;
    SDL_FreeSurface(found->second.copy);
    entries_.erase(found);
}

void SDL_DisplayCopies::dropCopies() {
    std::lock_guard<std::mutex> hold(mutex_);
    for (auto& entry : entries_) {
        SDL_FreeSurface(entry.second.copy);
        entry.second = Entry();
    }
}

size_t SDL_DisplayCopies::copyCount() {
    std::lock_guard<std::mutex> hold(mutex_);
    size_t count = 0;
    for (const auto& entry : entries_)
        count += entry.second.copy != nullptr ? 1 : 0;
    return count;
}

SDL_DisplayCopies::Made SDL_DisplayCopies::stateOf(const SDL_Surface* original, const SDL_Surface* screen) {
    Made made;
    made.keyFlags = original->flags & kKeyAndAlpha;
    made.colorKey = original->format->colorkey;
    made.alpha = original->format->alpha;
    made.screenBits = screen->format->BitsPerPixel;
    made.screenMasks[0] = screen->format->Rmask;
    made.screenMasks[1] = screen->format->Gmask;
    made.screenMasks[2] = screen->format->Bmask;
    return made;
}

bool SDL_DisplayCopies::same(const Made& a, const Made& b) {
    return a.keyFlags == b.keyFlags && a.colorKey == b.colorKey && a.alpha == b.alpha &&
           a.screenBits == b.screenBits && a.screenMasks[0] == b.screenMasks[0] &&
           a.screenMasks[1] == b.screenMasks[1] && a.screenMasks[2] == b.screenMasks[2];
}

SDL_Surface* SDL_DisplayCopies::convert(SDL_Surface* original, const SDL_Surface* screen) {
    const SDL_PixelFormat* from = original->format;
    if (screen->format->BitsPerPixel < 16)
        return nullptr;
    // A keyed palette image keys one index; its copy would key every entry
    // of the same colour.
    if (from->palette != nullptr && (original->flags & SDL_SRCCOLORKEY) != 0)
        return nullptr;
    SDL_Surface* copy = nullptr;
    if (from->Amask != 0) {
        SDL_Surface* shape = alphaShapeFor(screen->format);
        if (shape == nullptr)
            return nullptr;
        copy = SDL_ConvertSurface(original, shape->format, SDL_SWSURFACE | (original->flags & SDL_SRCALPHA));
        SDL_FreeSurface(shape);
    } else {
        copy = SDL_ConvertSurface(original, screen->format, SDL_SWSURFACE | (original->flags & kKeyAndAlpha));
        // Run-length encoding skips the keyed pixels without testing each.
        if (copy != nullptr && (copy->flags & SDL_SRCCOLORKEY) != 0)
            SDL_SetColorKey(copy, SDL_SRCCOLORKEY | SDL_RLEACCEL, copy->format->colorkey);
    }
    return copy;
}

SDL_Surface* SDL_DisplayCopies::forScreen(SDL_Surface* original, const SDL_Surface* screen) {
    if (original == nullptr || screen == nullptr || screen->format == nullptr)
        return original;
    std::lock_guard<std::mutex> hold(mutex_);
    auto found = entries_.find(original);
    if (found == entries_.end())
        return original;
    Entry& entry = found->second;
    Made now = stateOf(original, screen);
    // A conversion that failed or was refused is remembered as well, so it
    // is not tried again every frame.
    if (!entry.tried || !same(entry.made, now)) {
        SDL_FreeSurface(entry.copy);
        entry.copy = convert(original, screen);
        entry.made = now;
        entry.tried = true;
    }
    return entry.copy != nullptr ? entry.copy : original;
}

} // namespace TKAL
