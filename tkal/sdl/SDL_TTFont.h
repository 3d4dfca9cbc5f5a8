#pragma once
#include "tkal/Font.h"

#include <SDL_ttf.h>

namespace TKAL {

/// A TrueType font through SDL_ttf, rendered blended (anti-aliased). Owns
/// its font handle. Narrow text is UTF-8 unless `setUTF8(false)` (Latin-1).
class SDL_TTFont : public Font {
public:
    /// Opens `path` (UTF-8) at `size` points, starting SDL_ttf on first use. When
    /// SDL_ttf cannot start, the process ends (see `initFailed`). The
    /// handle is null when the file cannot be opened.
    SDL_TTFont(const char* path, int size);
    ~SDL_TTFont() override;

    bool isOpen() const { return font_ != nullptr; }
    TTF_Font* handle() const { return font_; }

    bool setUTF8(bool on) override;
    int height() override;
    int charWidth(int ch) override;
    int reserved1(int, int, int) override;
    int textWidth(const char* text, int len) override;
    void drawText(int x, int y, Canvas* canvas, const char* text, uint32_t rgb, int len) override;
    int reserved2(int, int, int) override;
    int textWidthW(const uint16_t* text, int len) override;
    void drawTextW(int x, int y, Canvas* canvas, const uint16_t* text, uint32_t rgb, int len) override;

    /// Replaces the SDL_ttf start-up call (tests make it fail).
    static void setInitFunction(int (*init)());

private:
    /// Shuts SDL down, logs "TTF_Init ERROR", waits one second and ends the
    /// process with exit code -1: without fonts the launcher cannot show
    /// anything at all.
    [[noreturn]] static void initFailed();

    TTF_Font* font_ = nullptr;
    bool utf8_ = true;
};

} // namespace TKAL
