#include "tests/e2e/ScreenText.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <vector>

namespace e2e {

namespace {

// Ink: the pixels of a text. A rendered text's pixel is ink when it is
// covered by more than half; a screen pixel is ink when it is nearer to the
// text's side of the brightness scale than to the other.
bool screenInk(const uint8_t* rgb, bool lightText) {
    int luminance = (rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114) / 1000;
    return lightText ? luminance >= 150 : luminance <= 100;
}

} // namespace

TextProbe::TextProbe(const std::string& file, int size) {
    if (!TTF_WasInit())
        TTF_Init();
    font_ = TTF_OpenFont(file.c_str(), size);
}

TextProbe::~TextProbe() {
    if (font_ != nullptr)
        TTF_CloseFont(font_);
}

double TextProbe::mismatch(const testkit::Capture& region, const std::string& text, bool lightText) const {
    if (font_ == nullptr || text.empty() || region.w <= 0)
        return 2.0;
    SDL_Color white{255, 255, 255, 0};
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font_, text.c_str(), white);
    if (rendered == nullptr)
        return 2.0;
    const int w = rendered->w, h = rendered->h;
    std::vector<uint8_t> mask(size_t(w) * size_t(h));
    SDL_LockSurface(rendered);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rendered->pixels) +
                                                          y * rendered->pitch);
        for (int x = 0; x < w; ++x) {
            Uint8 r, g, b, a;
            SDL_GetRGBA(row[x], rendered->format, &r, &g, &b, &a);
            mask[size_t(y) * size_t(w) + size_t(x)] = a > 127 ? 1 : 0;
        }
    }
    SDL_UnlockSurface(rendered);
    SDL_FreeSurface(rendered);
    size_t inked = size_t(std::count(mask.begin(), mask.end(), uint8_t(1)));
    if (inked == 0 || w > region.w || h > region.h)
        return 2.0;

    // Every place the text could stand in the region; the best one counts.
    double best = 2.0;
    for (int oy = 0; oy + h <= region.h; ++oy)
        for (int ox = 0; ox + w <= region.w; ++ox) {
            size_t wrong = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (mask[size_t(y) * size_t(w) + size_t(x)] !=
                        (screenInk(region.at(ox + x, oy + y), lightText) ? 1 : 0))
                        ++wrong;
            best = std::min(best, double(wrong) / double(inked));
        }
    return best;
}

} // namespace e2e
