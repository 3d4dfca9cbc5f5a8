#pragma once
#include "tkal/Display.h"

#include <SDL.h>

namespace TKAL {

/// The SDL 1.2 window. The video surface belongs to SDL.
class SDL_Display : public Display {
public:
    SDL_Display() = default;
    ~SDL_Display() override;

    void setCaption(const char* text) override;
    uintptr_t windowHandle() override;
    bool open(int width, int height, int bpp, uint32_t options) override;
    bool attach(int& width, int& height, int& bpp) override;
    void close() override;
    bool reopen() override;
    bool resize(int width, int height) override;
    void showCursor(bool show) override;
    void setClip(const Rect* rect) override;
    void update(const Rect* rect) override;
    void flip() override;
    void clear(uint32_t pixel) override;
    std::unique_ptr<Canvas> createImageCanvas(Image* image, const Rect& rect) override;
    std::unique_ptr<Canvas> createScreenCanvas(const Rect& rect) override;
    std::unique_ptr<Image> createSubImage(Image* image, const Rect* rect) override;

    SDL_Surface* screen() const { return screen_; }
    uint32_t sdlFlags() const { return sdlFlags_; }
    bool fullscreen() const { return fullscreen_; }
    const Rect& screenRect() const { return screenRect_; }

private:
    bool setMode(int width, int height);
    void centreOnDesktop();

    SDL_Surface* screen_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int bpp_ = 0;
    uint32_t sdlFlags_ = 0;
    bool fullscreen_ = false;
    Rect screenRect_;
};

} // namespace TKAL
