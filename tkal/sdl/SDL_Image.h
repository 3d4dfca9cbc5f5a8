#pragma once
#include "tkal/Image.h"

#include <SDL.h>

#include <memory>
#include <vector>

namespace TKAL {

/// A rectangle of an SDL surface with a hot spot. The surface is not owned
/// (the resource cache owns it); the colour key and alpha operations change
/// the shared surface, and so every image cut from it.
class SDL_Image : public Image {
public:
    /// The whole of `surface`, hot spot (0, 0).
    explicit SDL_Image(SDL_Surface* surface);
    /// `rect` of `surface` (in surface coordinates) with the given hot spot.
    SDL_Image(SDL_Surface* surface, const Rect& rect, int hotX = 0, int hotY = 0);
    ~SDL_Image() override;

    void placeRect(int x, int y, Rect& rect) const override;
    void getSize(int& w, int& h) const override;
    void setCornerKey(bool on) override;
    void setColorKey(uint8_t r, uint8_t g, uint8_t b) override;
    void setAlpha(int alpha) override;
    void setHotSpot(int x, int y) override;

    SDL_Surface* surface() const { return surface_; }
    const Rect& rect() const { return rect_; }
    int hotX() const { return hotX_; }
    int hotY() const { return hotY_; }

    /// Keys `surface` by the value of its top-left pixel (read with the
    /// surface locked, in its own format) or removes the key.
    static void setCornerKey(SDL_Surface* surface, bool on);

private:
    SDL_Surface* surface_;
    Rect rect_;
    int16_t hotX_ = 0;
    int16_t hotY_ = 0;
};

/// Numbered images; owns the images, not their surfaces.
class SDL_ImageList : public ImageList {
public:
    SDL_ImageList();
    ~SDL_ImageList() override;

    unsigned count() const override;
    Image* get(unsigned index) const override;
    void add(std::unique_ptr<Image> image);

    /// Cuts `surface` into cells of cw x ch (the surface's width or height
    /// when below 1), row by row, each with hot spot (hx, hy), and appends
    /// them; keys the surface by its corner pixel when `cornerKey` is set.
    /// Answers the new count.
    unsigned addGrid(SDL_Surface* surface, int cw, int ch, int hx, int hy, bool cornerKey);

private:
    std::vector<std::unique_ptr<Image>> images_;
};

/// A strip of equally sized frames, each at a place of some surface.
class SDL_ImageBand : public ImageBand {
public:
    struct Entry {
        SDL_Surface* surface;
        Sint16 x;
        Sint16 y;
    };

    SDL_ImageBand(int frameWidth, int frameHeight) : frameWidth_(frameWidth), frameHeight_(frameHeight) {}
    ~SDL_ImageBand() override;

    void add(const Entry& entry) { entries_.push_back(entry); }
    int count() const { return static_cast<int>(entries_.size()); }
    const Entry& entry(int index) const { return entries_[static_cast<size_t>(index)]; }
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }

private:
    std::vector<Entry> entries_;
    int frameWidth_;
    int frameHeight_;
};

} // namespace TKAL
