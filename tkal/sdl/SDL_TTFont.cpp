#include "tkal/sdl/SDL_TTFont.h"

#include "support/Files.h"
#include "support/Sleep.h"
#include "support/XLog2.h"
#include "tkal/sdl/SDL_Canvas.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace TKAL {

namespace {

int (*ttfInit)() = TTF_Init;

SDL_Color colourOf(uint32_t rgb) {
    SDL_Color c;
    c.r = static_cast<Uint8>(rgb >> 16);
    c.g = static_cast<Uint8>(rgb >> 8);
    c.b = static_cast<Uint8>(rgb);
    c.unused = 0;
    return c;
}

// A text cut to its first `len` characters and terminated, when len >= 1.
std::string narrow(const char* text, int len) {
    if (len < 1)
        return std::string(text);
    std::string cut;
    for (int i = 0; i < len && text[i] != '\0'; ++i)
        cut += text[i];
    return cut;
}

std::vector<Uint16> wide(const uint16_t* text, int len) {
    std::vector<Uint16> out;
    for (int i = 0; (len < 1 || i < len) && text[i] != 0; ++i)
        out.push_back(text[i]);
    out.push_back(0);
    return out;
}

void blitRendered(SDL_Surface* rendered, Canvas* canvas, int x, int y) {
    auto* target = dynamic_cast<SDL_Canvas*>(canvas);
    if (rendered == nullptr)
        return;
    if (target != nullptr) {
        SDL_Rect source{0, 0, static_cast<Uint16>(rendered->w), static_cast<Uint16>(rendered->h)};
        target->blit(rendered, source, x, y);
    }
    SDL_FreeSurface(rendered);
}

} // namespace

void SDL_TTFont::setInitFunction(int (*init)()) {
    ttfInit = init != nullptr ? init : TTF_Init;
}

void SDL_TTFont::initFailed() {
    SDL_Quit();
    xlog()->write(0x100, "TTF_Init ERROR");
    support::sleep(1000);
    std::exit(-1);
}

SDL_TTFont::SDL_TTFont(const char* path, int size) {
    if (!TTF_WasInit() && ttfInit() == -1)
        initFailed();
    // The font library opens the file itself, by an 8-bit name.
    const std::string narrow = support::narrowPath(path);
    font_ = narrow.empty() ? nullptr : TTF_OpenFontIndex(narrow.c_str(), size, 0);
    utf8_ = true;
}

SDL_TTFont::~SDL_TTFont() {
    if (font_ != nullptr)
        TTF_CloseFont(font_);
}

bool SDL_TTFont::setUTF8(bool on) {
    bool previous = utf8_;
    utf8_ = on;
    return previous;
}

int SDL_TTFont::height() {
    return font_ != nullptr ? TTF_FontHeight(font_) : 0;
}

int SDL_TTFont::charWidth(int ch) {
    char one[2] = {static_cast<char>(ch), '\0'};
    return textWidth(one, 0);
}

int SDL_TTFont::reserved1(int, int, int) {
    return 0;
}

int SDL_TTFont::reserved2(int, int, int) {
    return 0;
}

int SDL_TTFont::textWidth(const char* text, int len) {
    if (font_ == nullptr || text == nullptr)
        return 0;
    std::string s = narrow(text, len);
    int w = 0;
    int h = 0;
    int rc = utf8_ ? TTF_SizeUTF8(font_, s.c_str(), &w, &h) : TTF_SizeText(font_, s.c_str(), &w, &h);
    return rc == 0 ? w : 0;
}

void SDL_TTFont::drawText(int x, int y, Canvas* canvas, const char* text, uint32_t rgb, int len) {
    if (font_ == nullptr || text == nullptr)
        return;
    std::string s = narrow(text, len);
    if (s.empty())
        return;
    SDL_Color colour = colourOf(rgb);
    SDL_Surface* rendered = utf8_ ? TTF_RenderUTF8_Blended(font_, s.c_str(), colour)
                                  : TTF_RenderText_Blended(font_, s.c_str(), colour);
    blitRendered(rendered, canvas, x, y);
}

int SDL_TTFont::textWidthW(const uint16_t* text, int len) {
    if (font_ == nullptr || text == nullptr)
        return 0;
    std::vector<Uint16> s = wide(text, len);
    int w = 0;
    int h = 0;
    return TTF_SizeUNICODE(font_, s.data(), &w, &h) == 0 ? w : 0;
}

void SDL_TTFont::drawTextW(int x, int y, Canvas* canvas, const uint16_t* text, uint32_t rgb, int len) {
    if (font_ == nullptr || text == nullptr)
        return;
    std::vector<Uint16> s = wide(text, len);
    if (s.size() <= 1)
        return;
    blitRendered(TTF_RenderUNICODE_Blended(font_, s.data(), colourOf(rgb)), canvas, x, y);
}

} // namespace TKAL
