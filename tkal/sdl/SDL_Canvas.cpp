#include "tkal/sdl/SDL_Canvas.h"

#include "tkal/sdl/SDL_DisplayCopies.h"
#include "tkal/sdl/SDL_Image.h"

#include <algorithm>

namespace TKAL {

SDL_Canvas::SDL_Canvas(SDL_Surface* surface, const Rect& rect) : SDL_Canvas(false, surface, rect) {
    // What is drawn here would not reach a copy made for the screen.
    SDL_DisplayCopies::instance().forget(surface);
}

SDL_Canvas* SDL_Canvas::forScreen(const Rect& rect) {
    return new SDL_Canvas(true, SDL_GetVideoSurface(), rect);
}

SDL_Canvas::SDL_Canvas(bool screen, SDL_Surface* surface, const Rect& rect)
    : screen_(screen), surface_(surface) {
    if (surface_ != nullptr)
        surfaceRect_ = Rect{0, 0, static_cast<uint16_t>(surface_->w), static_cast<uint16_t>(surface_->h)};
    setClip(rect);
    originX_ = rect.x;
    originY_ = rect.y;
    pushClip();
    pushOrigin();
}

SDL_Canvas::~SDL_Canvas() = default;

SDL_Surface* SDL_Canvas::surface() {
    if (screen_) {
        // A new video mode may reuse the surface object with another size.
        surface_ = SDL_GetVideoSurface();
        if (surface_ != nullptr)
            surfaceRect_ = Rect{0, 0, static_cast<uint16_t>(surface_->w), static_cast<uint16_t>(surface_->h)};
    }
    return surface_;
}

bool SDL_Canvas::applyClip() {
    SDL_Surface* target = surface();
    if (target == nullptr)
        return false;
    SDL_Rect r{clip_.x, clip_.y, clip_.w, clip_.h};
    SDL_SetClipRect(target, &r);
    return true;
}

void SDL_Canvas::begin(const Rect& rect) {
    surface();
    clip_ = intersect(rect, surfaceRect_);
    applyClip();
    originX_ = rect.x;
    originY_ = rect.y;
}

void SDL_Canvas::translate(int dx, int dy) {
    originX_ = static_cast<int16_t>(originX_ + dx);
    originY_ = static_cast<int16_t>(originY_ + dy);
}

void SDL_Canvas::getOrigin(int& x, int& y) const {
    x = originX_;
    y = originY_;
}

bool SDL_Canvas::pushOrigin() {
    if (originDepth_ >= 32)
        return false;
    originStack_[originDepth_].x = originX_;
    originStack_[originDepth_].y = originY_;
    ++originDepth_;
    return true;
}

bool SDL_Canvas::popOrigin() {
    if (originDepth_ == 0)
        return false;
    --originDepth_;
    originX_ = originStack_[originDepth_].x;
    originY_ = originStack_[originDepth_].y;
    return true;
}

void SDL_Canvas::setClip(const Rect& rect) {
    surface();
    Rect moved = rect;
    moved.x = static_cast<int16_t>(rect.x + originX_);
    moved.y = static_cast<int16_t>(rect.y + originY_);
    clip_ = intersect(moved, surfaceRect_);
    applyClip();
}

void SDL_Canvas::getClip(Rect& rect) const {
    rect = clip_;
    rect.x = static_cast<int16_t>(clip_.x - originX_);
    rect.y = static_cast<int16_t>(clip_.y - originY_);
}

bool SDL_Canvas::pushClip() {
    if (clipDepth_ >= 16)
        return false;
    clipStack_[clipDepth_++] = clip_;
    return true;
}

bool SDL_Canvas::popClip() {
    if (clipDepth_ == 0)
        return false;
    clip_ = clipStack_[--clipDepth_];
    applyClip();
    return true;
}

uint32_t SDL_Canvas::mapRGBA(uint32_t rgb, uint8_t alpha) {
    SDL_Surface* target = surface();
    if (target == nullptr)
        return 0;
    return SDL_MapRGBA(target->format, static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8),
                       static_cast<Uint8>(rgb), alpha);
}

uint32_t SDL_Canvas::mapRGB(uint32_t rgb) {
    SDL_Surface* target = surface();
    if (target == nullptr)
        return 0;
    return SDL_MapRGB(target->format, static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8),
                      static_cast<Uint8>(rgb));
}

bool SDL_Canvas::setDeferred(bool on) {
    bool previous = deferred_;
    if (previous && !on)
        flush();
    deferred_ = on;
    return previous;
}

namespace {

struct ByDepth {
    template <typename T> bool operator()(const T& a, const T& b) const { return a.depth < b.depth; }
};

} // namespace

void SDL_Canvas::flush() {
    if (!deferred_)
        return;
    if (!applyClip()) {
        queue_.clear();
        return;
    }
    while (!queue_.empty()) {
        const Deferred& top = queue_.front();
        const SDL_Image* image = top.image;
        SDL_Rect source{image->rect().x, image->rect().y, image->rect().w, image->rect().h};
        blit(image->surface(), source, top.x, top.y);
        std::pop_heap(queue_.begin(), queue_.end(), ByDepth());
        queue_.pop_back();
    }
}

void SDL_Canvas::blit(SDL_Surface* from, const SDL_Rect& source, int x, int y) {
    SDL_Surface* target = surface();
    if (from == nullptr || target == nullptr)
        return;
    applyClip();
    if (screen_)
        from = SDL_DisplayCopies::instance().forScreen(from, target);
    SDL_Rect src = source;
    SDL_Rect dst{static_cast<Sint16>(originX_ + x), static_cast<Sint16>(originY_ + y), 0, 0};
    SDL_UpperBlit(from, &src, target, &dst);
}

void SDL_Canvas::fillAbsolute(int x, int y, int w, int h, uint32_t pixel) {
    if (w <= 0 || h <= 0)
        return;
    SDL_Rect r{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
               static_cast<Uint16>(h)};
    SDL_FillRect(surface_, &r, pixel);
}

void SDL_Canvas::fill(uint32_t pixel) {
    if (!applyClip())
        return;
    fillAbsolute(clip_.x, clip_.y, clip_.w, clip_.h, pixel);
}

void SDL_Canvas::drawBandFrame(int x, int y, const ImageBand* band, int index) {
    const auto* strip = dynamic_cast<const SDL_ImageBand*>(band);
    if (strip == nullptr || index < 0 || index >= strip->count())
        return;
    const SDL_ImageBand::Entry& entry = strip->entry(index);
    if (entry.surface == nullptr)
        return;
    SDL_Rect source{entry.x, entry.y, static_cast<Uint16>(strip->frameWidth()),
                    static_cast<Uint16>(strip->frameHeight())};
    blit(entry.surface, source, x, y);
}

void SDL_Canvas::drawImage(int x, int y, int depth, const Image* image) {
    const auto* picture = dynamic_cast<const SDL_Image*>(image);
    if (picture == nullptr)
        return;
    int px = x - picture->hotX();
    int py = y - picture->hotY();
    const Rect& r = picture->rect();
    if (px >= clip_.w || px + r.w <= 0 || py >= clip_.h || py + r.h <= 0)
        return;
    if (deferred_) {
        queue_.push_back(Deferred{px, py, depth, picture});
        std::push_heap(queue_.begin(), queue_.end(), ByDepth());
        return;
    }
    SDL_Rect source{r.x, r.y, r.w, r.h};
    blit(picture->surface(), source, px, py);
}

void SDL_Canvas::drawOutline(int x, int y, int w, int h, int t, uint32_t pixel) {
    if (!applyClip() || t < 1)
        return;
    int ax = originX_ + x;
    int ay = originY_ + y;
    if (2 * t >= w || 2 * t >= h) {
        fillAbsolute(ax, ay, w, h, pixel);
        return;
    }
    if (pixel == 0)
        return;
    fillAbsolute(ax, ay, w, t, pixel);
    fillAbsolute(ax, ay + h - t, w, t, pixel);
    fillAbsolute(ax, ay, t, h, pixel);
    fillAbsolute(ax + w - t, ay, t, h, pixel);
}

void SDL_Canvas::fillRect(int x, int y, int w, int h, uint32_t pixel) {
    if (w <= 0 || h <= 0 || !applyClip())
        return;
    fillAbsolute(originX_ + x, originY_ + y, w, h, pixel);
}

} // namespace TKAL
