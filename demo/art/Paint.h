#pragma once
// A small RGBA painter for the demo's artwork: shapes with smooth edges,
// gradients, text through SDL_ttf, and PNG output.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef struct _TTF_Font TTF_Font;

namespace art {

/// A colour with straight (not premultiplied) alpha, each part 0..1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
    /// From 0xRRGGBB and an alpha of 0..1.
    static Colour rgb(uint32_t hex, float alpha = 1.0f);
    Colour withAlpha(float alpha) const { return {r, g, b, alpha}; }
    /// The colour `t` of the way from this one to `other`.
    Colour mix(const Colour& other, float t) const;
};

/// A seeded number source, the same on every platform.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed != 0 ? seed : 1u) {}
    uint32_t next();
    /// A whole number in [low, high].
    int range(int low, int high);
    /// A real number in [0, 1).
    float unit();

private:
    uint32_t state_;
};

/// A picture of `w` x `h` pixels, transparent at first. Drawing composes
/// over what is there (source over destination).
class Picture {
public:
    Picture(int w, int h);

    int width() const { return w_; }
    int height() const { return h_; }

    /// Composes `c` over the pixel, scaled by `coverage` (0..1).
    void blend(int x, int y, const Colour& c, float coverage = 1.0f);
    /// Replaces the pixel.
    void set(int x, int y, const Colour& c);
    Colour get(int x, int y) const;

    void fill(const Colour& c) { fillRect(0, 0, w_, h_, c); }
    void fillRect(int x, int y, int w, int h, const Colour& c);
    /// A vertical gradient over the rectangle, `top` to `bottom`.
    void gradient(int x, int y, int w, int h, const Colour& top, const Colour& bottom);
    /// A rounded rectangle filled with a vertical gradient and an inside
    /// border `line` pixels wide (0: none), with smooth edges.
    void roundRect(float x, float y, float w, float h, float radius, const Colour& top, const Colour& bottom,
                   const Colour& border = Colour{0, 0, 0, 0}, float line = 0);
    void disc(float cx, float cy, float radius, const Colour& c);
    /// A soft glow: `c` fading out to nothing at `radius`.
    void glow(float cx, float cy, float radius, const Colour& c);
    /// A filled polygon (points in pixel coordinates), smooth-edged.
    void polygon(const std::vector<std::pair<float, float>>& points, const Colour& c);
    /// A line `width` pixels thick with round ends.
    void line(float x0, float y0, float x1, float y1, float width, const Colour& c);
    /// Composes another picture over this one at (x, y).
    void draw(const Picture& other, int x, int y, float opacity = 1.0f);
    /// Multiplies every pixel's alpha by `factor`.
    void fade(float factor);

    /// Draws UTF-8 text with its top-left corner at (x, y).
    void text(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& c);
    /// Text centred on the column `cx`.
    void textCentred(TTF_Font* font, const std::string& utf8, int cx, int y, const Colour& c);
    /// Text with a soft dark shadow one pixel down and right.
    void textShadowed(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& c);
    /// Text filled with a vertical gradient from `top` to `bottom`.
    void textGradient(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& top,
                      const Colour& bottom);

    /// Writes the picture as an 8-bit PNG, RGB when it is opaque throughout
    /// and RGBA otherwise; false when it cannot.
    bool savePng(const std::string& path) const;

private:
    int w_, h_;
    std::vector<float> px_; // premultiplied RGBA
};

/// Width of a text in a font (0 when it cannot be measured).
int textWidth(TTF_Font* font, const std::string& utf8);

} // namespace art
