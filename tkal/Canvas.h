#pragma once
#include "tkal/Types.h"

#include <cstdint>

namespace TKAL {

class Image;
class ImageBand;

/// A clipped, translatable view of a drawing surface, with an optional
/// deferred mode in which images are queued by depth and drawn by `flush`.
/// Coordinates are local: the origin is added to every position.
class Canvas {
public:
    virtual ~Canvas();

    /// Clip := `rect` (absolute) within the surface; origin := its corner.
    virtual void begin(const Rect& rect) = 0;
    virtual void translate(int dx, int dy) = 0;
    virtual void getOrigin(int& x, int& y) const = 0;
    /// Saves the origin; false (nothing saved) when 32 are saved.
    virtual bool pushOrigin() = 0;
    virtual bool popOrigin() = 0;
    /// Replaces the clip by `rect` (local) within the surface.
    virtual void setClip(const Rect& rect) = 0;
    /// The clip in local coordinates.
    virtual void getClip(Rect& rect) const = 0;
    /// Saves the clip; false (nothing saved) when 16 are saved.
    virtual bool pushClip() = 0;
    virtual bool popClip() = 0;
    /// Pixel values of 0xRRGGBB colours in the surface's format.
    virtual uint32_t mapRGBA(uint32_t rgb, uint8_t alpha) = 0;
    virtual uint32_t mapRGB(uint32_t rgb) = 0;
    /// Answers the previous setting; turning deferred mode off flushes.
    virtual bool setDeferred(bool on) = 0;
    /// Draws the queued images, the largest depth first, and empties the queue.
    virtual void flush() = 0;
    /// Fills the clip rectangle.
    virtual void fill(uint32_t pixel) = 0;
    virtual void drawBandFrame(int x, int y, const ImageBand* band, int index) = 0;
    virtual void drawImage(int x, int y, int depth, const Image* image) = 0;
    virtual void drawOutline(int x, int y, int w, int h, int thickness, uint32_t pixel) = 0;
    virtual void fillRect(int x, int y, int w, int h, uint32_t pixel) = 0;
};

} // namespace TKAL
