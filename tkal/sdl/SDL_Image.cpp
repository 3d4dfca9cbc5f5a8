#include "tkal/sdl/SDL_Image.h"

namespace TKAL {

SDL_Image::SDL_Image(SDL_Surface* surface) : surface_(surface) {
    if (surface_ != nullptr)
        rect_ = Rect{0, 0, static_cast<uint16_t>(surface_->w), static_cast<uint16_t>(surface_->h)};
}

SDL_Image::SDL_Image(SDL_Surface* surface, const Rect& rect, int hotX, int hotY)
    : surface_(surface), rect_(rect), hotX_(static_cast<int16_t>(hotX)), hotY_(static_cast<int16_t>(hotY)) {}

SDL_Image::~SDL_Image() = default;

void SDL_Image::placeRect(int x, int y, Rect& rect) const {
    rect = Rect{static_cast<int16_t>(x - hotX_), static_cast<int16_t>(y - hotY_), rect_.w, rect_.h};
}

void SDL_Image::getSize(int& w, int& h) const {
    w = rect_.w;
    h = rect_.h;
}

void SDL_Image::setCornerKey(SDL_Surface* surface, bool on) {
    if (surface == nullptr)
        return;
    if (!on) {
        SDL_SetColorKey(surface, SDL_RLEACCEL, 0);
        return;
    }
    if (SDL_LockSurface(surface) != 0)
        return;
    const auto* p = static_cast<const Uint8*>(surface->pixels);
    Uint32 key = 0;
    switch (surface->format->BytesPerPixel) {
    case 1:
        key = p[0];
        break;
    case 2:
        key = *reinterpret_cast<const Uint16*>(p);
        break;
    case 3:
        if (SDL_BYTEORDER == SDL_LIL_ENDIAN)
            key = Uint32(p[0]) | Uint32(p[1]) << 8 | Uint32(p[2]) << 16;
        else
            key = Uint32(p[0]) << 16 | Uint32(p[1]) << 8 | Uint32(p[2]);
        break;
    default:
        key = *reinterpret_cast<const Uint32*>(p);
        break;
    }
    SDL_UnlockSurface(surface);
    SDL_SetColorKey(surface, SDL_SRCCOLORKEY | SDL_RLEACCEL, key);
}

void SDL_Image::setCornerKey(bool on) {
    setCornerKey(surface_, on);
}

void SDL_Image::setColorKey(uint8_t r, uint8_t g, uint8_t b) {
    if (surface_ == nullptr)
        return;
    SDL_SetColorKey(surface_, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(surface_->format, r, g, b));
}

void SDL_Image::setAlpha(int alpha) {
    if (surface_ == nullptr)
        return;
    if (alpha < 0)
        SDL_SetAlpha(surface_, 0, 0);
    else
        SDL_SetAlpha(surface_, SDL_SRCALPHA, static_cast<Uint8>(alpha));
}

void SDL_Image::setHotSpot(int x, int y) {
    hotX_ = static_cast<int16_t>(x);
    hotY_ = static_cast<int16_t>(y);
}

SDL_ImageList::SDL_ImageList() = default;
SDL_ImageList::~SDL_ImageList() = default;

unsigned SDL_ImageList::count() const {
    return static_cast<unsigned>(images_.size());
}

Image* SDL_ImageList::get(unsigned index) const {
    return index < images_.size() ? images_[index].get() : nullptr;
}

void SDL_ImageList::add(std::unique_ptr<Image> image) {
    images_.push_back(std::move(image));
}

unsigned SDL_ImageList::addGrid(SDL_Surface* surface, int cw, int ch, int hx, int hy, bool cornerKey) {
    if (surface == nullptr)
        return count();
    if (cw < 1)
        cw = surface->w;
    if (ch < 1)
        ch = surface->h;
    int columns = surface->w / cw;
    int rows = surface->h / ch;
    if (columns * rows < 1)
        return count();
    Rect bounds{0, 0, static_cast<uint16_t>(surface->w), static_cast<uint16_t>(surface->h)};
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            Rect cell{static_cast<int16_t>(column * cw), static_cast<int16_t>(row * ch),
                      static_cast<uint16_t>(cw), static_cast<uint16_t>(ch)};
            add(std::make_unique<SDL_Image>(surface, intersect(cell, bounds), hx, hy));
        }
    }
    if (cornerKey)
        SDL_Image::setCornerKey(surface, true);
    return count();
}

SDL_ImageBand::~SDL_ImageBand() = default;

} // namespace TKAL
