#include "tkal/sdl/SDL_PFrame.h"

#include "tkal/sdl/SDL_Canvas.h"

#include <algorithm>

namespace TKAL {

SDL_PFrame::~SDL_PFrame() = default;

namespace {

SDL_Rect piece(int x, int y, int w, int h) {
    return SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
                    static_cast<Uint16>(h)};
}

} // namespace

void SDL_PFrame::drawRow(SDL_Canvas* canvas, int sourceY, int height, int x0, int right, int y) {
    int x = x0;
    if (p_.left > 0) {
        canvas->blit(surface_, piece(p_.originX, sourceY, p_.left, height), x, y);
        x += p_.left;
    }
    if (p_.middleWidth > 0) {
        int remaining = right - p_.right - x;
        while (remaining > 0) {
            int w = std::min(p_.middleWidth, remaining);
            canvas->blit(surface_, piece(p_.originX + p_.left, sourceY, w, height), x, y);
            remaining -= w;
            x += w;
        }
    }
    if (p_.right >= 1)
        canvas->blit(surface_, piece(p_.originX + p_.left + p_.middleWidth, sourceY, p_.right, height), x, y);
}

void SDL_PFrame::draw(Canvas* canvas, const Rect& rect) {
    auto* target = dynamic_cast<SDL_Canvas*>(canvas);
    if (target == nullptr || surface_ == nullptr)
        return;
    if (p_.top <= 0 && p_.middleHeight <= 0 && p_.bottom <= 0)
        return;
    int x0 = rect.x;
    int right = rect.x + rect.w;
    int y = rect.y;
    int bottom = rect.y + rect.h;
    if (p_.top > 0) {
        drawRow(target, p_.originY, p_.top, x0, right, y);
        y += p_.top;
    }
    if (p_.middleHeight > 0) {
        int remaining = bottom - p_.bottom - y;
        while (remaining > 0) {
            int h = std::min(p_.middleHeight, remaining);
            drawRow(target, p_.originY + p_.top, h, x0, right, y);
            y += h;
            remaining -= h;
        }
    }
    if (p_.bottom >= 1)
        drawRow(target, p_.originY + p_.top + p_.middleHeight, p_.bottom, x0, right, y);
}

} // namespace TKAL
