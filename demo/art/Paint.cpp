#include "demo/art/Paint.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace art {

namespace {

float clamp01(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}

// Signed distance from a point to a rounded rectangle (negative inside).
float roundRectDistance(float px, float py, float x, float y, float w, float h, float r) {
    float cx = x + w / 2, cy = y + h / 2;
    float qx = std::fabs(px - cx) - (w / 2 - r);
    float qy = std::fabs(py - cy) - (h / 2 - r);
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

struct SurfaceHolder {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceHolder>;

// The coverage mask of a text rendered white, one byte a pixel.
std::vector<float> textMask(TTF_Font* font, const std::string& utf8, int& w, int& h) {
    w = h = 0;
    if (font == nullptr || utf8.empty())
        return {};
    SDL_Color white{255, 255, 255, 0};
    Surface s(TTF_RenderUTF8_Blended(font, utf8.c_str(), white));
    if (!s)
        return {};
    w = s->w;
    h = s->h;
    std::vector<float> mask(size_t(w) * size_t(h));
    SDL_LockSurface(s.get());
    for (int y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < w; ++x) {
            Uint8 r, g, b, a;
            SDL_GetRGBA(row[x], s->format, &r, &g, &b, &a);
            mask[size_t(y) * size_t(w) + size_t(x)] = a / 255.0f;
        }
    }
    SDL_UnlockSurface(s.get());
    return mask;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

Colour Colour::rgb(uint32_t hex, float alpha) {
    return {((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f, alpha};
}

Colour Colour::mix(const Colour& o, float t) const {
    return {r + (o.r - r) * t, g + (o.g - g) * t, b + (o.b - b) * t, a + (o.a - a) * t};
}

uint32_t Random::next() {
    // xorshift32: small, fast and the same everywhere.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

int Random::range(int low, int high) {
    if (high <= low)
        return low;
    return low + int(next() % uint32_t(high - low + 1));
}

float Random::unit() {
    return float(next() >> 8) / float(1u << 24);
}

Picture::Picture(int w, int h)
    : w_(std::max(1, w)), h_(std::max(1, h)), px_(size_t(w_) * size_t(h_) * 4, 0.0f) {}

void Picture::blend(int x, int y, const Colour& c, float coverage) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return;
    float a = clamp01(c.a * coverage);
    if (a <= 0)
        return;
    float* p = &px_[(size_t(y) * size_t(w_) + size_t(x)) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Picture::set(int x, int y, const Colour& c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return;
    float* p = &px_[(size_t(y) * size_t(w_) + size_t(x)) * 4];
    p[0] = c.r * c.a;
    p[1] = c.g * c.a;
    p[2] = c.b * c.a;
    p[3] = c.a;
}

Colour Picture::get(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return {0, 0, 0, 0};
    const float* p = &px_[(size_t(y) * size_t(w_) + size_t(x)) * 4];
    if (p[3] <= 0)
        return {0, 0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Picture::fillRect(int x, int y, int w, int h, const Colour& c) {
    for (int j = std::max(0, y); j < std::min(h_, y + h); ++j)
        for (int i = std::max(0, x); i < std::min(w_, x + w); ++i)
            blend(i, j, c);
}

void Picture::gradient(int x, int y, int w, int h, const Colour& top, const Colour& bottom) {
    for (int j = 0; j < h; ++j) {
        Colour c = top.mix(bottom, h > 1 ? float(j) / float(h - 1) : 0.0f);
        fillRect(x, y + j, w, 1, c);
    }
}

void Picture::roundRect(float x, float y, float w, float h, float radius, const Colour& top,
                        const Colour& bottom, const Colour& border, float line) {
    radius = std::min(radius, std::min(w, h) / 2);
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    int x1 = int(std::ceil(x + w)), y1 = int(std::ceil(y + h));
    for (int j = y0; j < y1; ++j) {
        float t = h > 1 ? clamp01((float(j) + 0.5f - y) / h) : 0.0f;
        Colour fillColour = top.mix(bottom, t);
        for (int i = x0; i < x1; ++i) {
            float d = roundRectDistance(float(i) + 0.5f, float(j) + 0.5f, x, y, w, h, radius);
            float outer = clamp01(0.5f - d);
            if (outer <= 0)
                continue;
            if (line > 0) {
                float inner = clamp01(0.5f - (d + line));
                blend(i, j, fillColour, inner);
                blend(i, j, border, outer - inner);
            } else {
                blend(i, j, fillColour, outer);
            }
        }
    }
}

void Picture::disc(float cx, float cy, float radius, const Colour& c) {
    for (int j = int(cy - radius - 1); j <= int(cy + radius + 1); ++j)
        for (int i = int(cx - radius - 1); i <= int(cx + radius + 1); ++i) {
            float d = std::hypot(float(i) + 0.5f - cx, float(j) + 0.5f - cy) - radius;
            blend(i, j, c, clamp01(0.5f - d));
        }
}

void Picture::glow(float cx, float cy, float radius, const Colour& c) {
    for (int j = int(cy - radius); j <= int(cy + radius); ++j)
        for (int i = int(cx - radius); i <= int(cx + radius); ++i) {
            float d = std::hypot(float(i) + 0.5f - cx, float(j) + 0.5f - cy) / radius;
            if (d < 1)
                blend(i, j, c, (1 - d) * (1 - d));
        }
}

void Picture::polygon(const std::vector<std::pair<float, float>>& points, const Colour& c) {
    if (points.size() < 3)
        return;
    float minX = points[0].first, maxX = minX, minY = points[0].second, maxY = minY;
    for (const auto& p : points) {
        minX = std::min(minX, p.first);
        maxX = std::max(maxX, p.first);
        minY = std::min(minY, p.second);
        maxY = std::max(maxY, p.second);
    }
    // Four by four samples a pixel, each tested with the even-odd rule.
    const int n = 4;
    for (int j = int(std::floor(minY)); j <= int(std::ceil(maxY)); ++j)
        for (int i = int(std::floor(minX)); i <= int(std::ceil(maxX)); ++i) {
            int inside = 0;
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) {
                    float px = float(i) + (float(sx) + 0.5f) / n, py = float(j) + (float(sy) + 0.5f) / n;
                    bool in = false;
                    for (size_t a = 0, b = points.size() - 1; a < points.size(); b = a++) {
                        const auto& pa = points[a];
                        const auto& pb = points[b];
                        if ((pa.second > py) != (pb.second > py) &&
                            px <
                                (pb.first - pa.first) * (py - pa.second) / (pb.second - pa.second) + pa.first)
                            in = !in;
                    }
                    inside += in ? 1 : 0;
                }
            if (inside > 0)
                blend(i, j, c, float(inside) / float(n * n));
        }
}

void Picture::line(float x0, float y0, float x1, float y1, float width, const Colour& c) {
    float r = width / 2;
    float dx = x1 - x0, dy = y1 - y0;
    float length2 = dx * dx + dy * dy;
    for (int j = int(std::min(y0, y1) - r - 1); j <= int(std::max(y0, y1) + r + 1); ++j)
        for (int i = int(std::min(x0, x1) - r - 1); i <= int(std::max(x0, x1) + r + 1); ++i) {
            float px = float(i) + 0.5f, py = float(j) + 0.5f;
            float t = length2 > 0 ? clamp01(((px - x0) * dx + (py - y0) * dy) / length2) : 0.0f;
            float d = std::hypot(px - (x0 + t * dx), py - (y0 + t * dy)) - r;
            blend(i, j, c, clamp01(0.5f - d));
        }
}

void Picture::draw(const Picture& other, int x, int y, float opacity) {
    for (int j = 0; j < other.h_; ++j)
        for (int i = 0; i < other.w_; ++i) {
            Colour c = other.get(i, j);
            if (c.a > 0)
                blend(x + i, y + j, c, opacity);
        }
}

void Picture::fade(float factor) {
    for (float& v : px_)
        v *= factor;
}

void Picture::text(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& c) {
    textGradient(font, utf8, x, y, c, c);
}

void Picture::textCentred(TTF_Font* font, const std::string& utf8, int cx, int y, const Colour& c) {
    text(font, utf8, cx - textWidth(font, utf8) / 2, y, c);
}

void Picture::textShadowed(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& c) {
    text(font, utf8, x + 1, y + 1, Colour{0, 0, 0, 0.6f * c.a});
    text(font, utf8, x, y, c);
}

void Picture::textGradient(TTF_Font* font, const std::string& utf8, int x, int y, const Colour& top,
                           const Colour& bottom) {
    int w = 0, h = 0;
    std::vector<float> mask = textMask(font, utf8, w, h);
    for (int j = 0; j < h; ++j) {
        Colour c = top.mix(bottom, h > 1 ? float(j) / float(h - 1) : 0.0f);
        for (int i = 0; i < w; ++i)
            blend(x + i, y + j, c, mask[size_t(j) * size_t(w) + size_t(i)]);
    }
}

bool Picture::savePng(const std::string& path) const {
    // A picture without any transparency is stored without an alpha
    // channel: the launcher then blits it as a plain copy, much faster
    // than a blend, which matters for the pictures drawn every frame.
    bool opaque = true;
    for (size_t i = 3; i < px_.size() && opaque; i += 4)
        opaque = px_[i] >= 1.0f - 1e-4f;
    const int channels = opaque ? 3 : 4;
    std::vector<uint8_t> raw;
    raw.reserve(size_t(h_) * (size_t(w_) * size_t(channels) + 1));
    for (int y = 0; y < h_; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < w_; ++x) {
            Colour c = get(x, y);
            const float values[] = {c.r, c.g, c.b, c.a};
            for (int k = 0; k < channels; ++k)
                raw.push_back(uint8_t(std::lround(clamp01(values[k]) * 255.0f)));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&file](const char* type, const std::vector<uint8_t>& data) {
        put32(file, uint32_t(data.size()));
        size_t start = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        put32(file, uint32_t(crc32(0, file.data() + start, uInt(file.size() - start))));
    };
    std::vector<uint8_t> header;
    put32(header, uint32_t(w_));
    put32(header, uint32_t(h_));
    // 8 bits a channel, RGB or RGBA, deflate, the basic filters, no interlace.
    header.insert(header.end(), {8, uint8_t(opaque ? 2 : 6), 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});

    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
}

int textWidth(TTF_Font* font, const std::string& utf8) {
    int w = 0, h = 0;
    if (font == nullptr || TTF_SizeUTF8(font, utf8.c_str(), &w, &h) != 0)
        return 0;
    return w;
}

} // namespace art
