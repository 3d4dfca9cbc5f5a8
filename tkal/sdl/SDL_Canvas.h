#pragma once
#include "tkal/Canvas.h"

#include <SDL.h>

#include <vector>

namespace TKAL {

class SDL_Image;

/// A canvas over an SDL surface: the screen, or the surface of an image. A
/// screen canvas follows the current video surface, so it stays valid when
/// the video mode is set again and draws loaded images from their copies in
/// the screen's format (`SDL_DisplayCopies`); a canvas over an image's
/// surface does not own that surface.
class SDL_Canvas : public Canvas {
public:
    /// A canvas over `surface` (not owned), clipped to `rect`.
    SDL_Canvas(SDL_Surface* surface, const Rect& rect);
    /// A canvas over the current video surface, clipped to `rect`.
    static SDL_Canvas* forScreen(const Rect& rect);
    ~SDL_Canvas() override;

    void begin(const Rect& rect) override;
    void translate(int dx, int dy) override;
    void getOrigin(int& x, int& y) const override;
    bool pushOrigin() override;
    bool popOrigin() override;
    void setClip(const Rect& rect) override;
    void getClip(Rect& rect) const override;
    bool pushClip() override;
    bool popClip() override;
    uint32_t mapRGBA(uint32_t rgb, uint8_t alpha) override;
    uint32_t mapRGB(uint32_t rgb) override;
    bool setDeferred(bool on) override;
    void flush() override;
    void fill(uint32_t pixel) override;
    void drawBandFrame(int x, int y, const ImageBand* band, int index) override;
    void drawImage(int x, int y, int depth, const Image* image) override;
    void drawOutline(int x, int y, int w, int h, int thickness, uint32_t pixel) override;
    void fillRect(int x, int y, int w, int h, uint32_t pixel) override;

    /// Blits `source` (a rectangle of `from`) with its top-left corner at
    /// (x, y) in local coordinates, under the clip.
    void blit(SDL_Surface* from, const SDL_Rect& source, int x, int y);

    /// The surface drawn on (null when the screen is closed).
    SDL_Surface* surface();
    /// The clip in absolute surface coordinates.
    const Rect& absoluteClip() const { return clip_; }

private:
    struct Deferred {
        int32_t x;
        int32_t y;
        int32_t depth;
        const SDL_Image* image;
    };

    SDL_Canvas(bool screen, SDL_Surface* surface, const Rect& rect);
    /// Sets the clip on the surface; false when there is no surface.
    bool applyClip();
    void fillAbsolute(int x, int y, int w, int h, uint32_t pixel);

    bool screen_;
    SDL_Surface* surface_;
    int16_t originX_ = 0;
    int16_t originY_ = 0;
    Rect clip_;
    Rect surfaceRect_;
    uint16_t clipDepth_ = 0;
    uint16_t originDepth_ = 0;
    Rect clipStack_[16];
    struct {
        int16_t x, y;
    } originStack_[32] = {};
    std::vector<Deferred> queue_; // a max-heap on depth
    bool deferred_ = false;
};

} // namespace TKAL
