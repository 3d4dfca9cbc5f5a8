#pragma once
#include "tkal/Frame.h"

#include <SDL.h>

namespace TKAL {

class SDL_Canvas;

/// A border drawn from nine pieces of one surface (not owned): three
/// columns (left, middle, right) by three rows (top, middle, bottom),
/// starting at a source origin. The middle pieces are tiled, never
/// stretched; the last tile is cut.
class SDL_PFrame : public Frame {
public:
    struct Pieces {
        int originX = 0, originY = 0;
        int left = 0, middleWidth = 0, right = 0;
        int top = 0, middleHeight = 0, bottom = 0;
    };

    SDL_PFrame(SDL_Surface* surface, const Pieces& pieces) : surface_(surface), p_(pieces) {}
    ~SDL_PFrame() override;

    void draw(Canvas* canvas, const Rect& rect) override;

    SDL_Surface* surface() const { return surface_; }
    const Pieces& pieces() const { return p_; }

private:
    void drawRow(SDL_Canvas* canvas, int sourceY, int height, int x0, int right, int y);

    SDL_Surface* surface_;
    Pieces p_;
};

} // namespace TKAL
