#pragma once
#include "tkal/Types.h"

#include <cstdint>
#include <memory>

namespace TKAL {

class Canvas;
class Image;

/// The window (or full screen) the launcher draws on. One process-wide
/// instance, made on first request by `instance()` and never destroyed.
class Display {
public:
    /// Bits of the `open` options word.
    enum Option : uint32_t { Borderless = 1, Centred = 2, Resizable = 4 };

    virtual ~Display();

    /// Window title and icon title.
    virtual void setCaption(const char* text) = 0;
    /// The native window id (0 when there is none).
    virtual uintptr_t windowHandle() = 0;
    /// Sets the video mode. bpp 0 asks for a window at the desktop depth;
    /// any other depth asks for a full-screen mode.
    virtual bool open(int width, int height, int bpp, uint32_t options) = 0;
    /// Adopts the video surface that already exists; false when none.
    virtual bool attach(int& width, int& height, int& bpp) = 0;
    /// Shuts the video subsystem down (the game takes the screen).
    virtual void close() = 0;
    /// Restarts the video subsystem with the last mode.
    virtual bool reopen() = 0;
    /// New size with the same depth and flags; false changes nothing.
    virtual bool resize(int width, int height) = 0;
    virtual void showCursor(bool show) = 0;
    /// Clip rectangle of the screen surface (null: the whole screen).
    virtual void setClip(const Rect* rect) = 0;
    /// Refreshes a rectangle of the window, or all of it for null.
    virtual void update(const Rect* rect) = 0;
    virtual void flip() = 0;
    /// Paints the whole screen, whatever clip was set.
    virtual void clear(uint32_t pixel) = 0;

    /// A canvas drawing into the surface of `image`, clipped to `rect`; null
    /// when `image` is not an image of this display's kind.
    virtual std::unique_ptr<Canvas> createImageCanvas(Image* image, const Rect& rect) = 0;
    /// A canvas drawing on the screen, clipped to `rect`; null without a screen.
    virtual std::unique_ptr<Canvas> createScreenCanvas(const Rect& rect) = 0;
    /// An image sharing the surface of `image`: its rectangle intersected
    /// with `rect` (or all of it for null), hot spot (0, 0). The surface stays
    /// owned by whoever owns the source image.
    virtual std::unique_ptr<Image> createSubImage(Image* image, const Rect* rect) = 0;

    static Display* instance();
};

} // namespace TKAL
