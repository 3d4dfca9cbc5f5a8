#pragma once
#include "tkal/Types.h"

#include <cstdint>

namespace TKAL {

/// A rectangle of a shared surface with a hot spot. The surface belongs to
/// the resource cache; deleting an image never frees it.
class Image {
public:
    virtual ~Image();

    /// The rectangle the image covers when drawn at (x, y).
    virtual void placeRect(int x, int y, Rect& rect) const = 0;
    virtual void getSize(int& w, int& h) const = 0;
    /// Keys the surface by its top-left pixel (on) or removes the key (off).
    virtual void setCornerKey(bool on) = 0;
    virtual void setColorKey(uint8_t r, uint8_t g, uint8_t b) = 0;
    /// Per-surface alpha; below 0 turns it off.
    virtual void setAlpha(int alpha) = 0;
    virtual void setHotSpot(int x, int y) = 0;
};

/// Numbered images; owns them.
class ImageList {
public:
    virtual ~ImageList();
    virtual unsigned count() const = 0;
    /// Null when `index` is out of range.
    virtual Image* get(unsigned index) const = 0;
};

/// A strip of equally sized frames that a canvas can draw.
class ImageBand {
public:
    virtual ~ImageBand();
};

} // namespace TKAL
