#pragma once
#include "tkal/Types.h"

namespace TKAL {

class Canvas;

/// A border drawn around (and inside) a rectangle.
class Frame {
public:
    virtual ~Frame();
    /// `rect` is in the canvas's local coordinates.
    virtual void draw(Canvas* canvas, const Rect& rect) = 0;
};

} // namespace TKAL
