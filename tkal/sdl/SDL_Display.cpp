#include "tkal/sdl/SDL_Display.h"

#include "tkal/sdl/SDL_Canvas.h"
#include "tkal/sdl/SDL_DisplayCopies.h"
#include "tkal/sdl/SDL_Image.h"
#include "tkal/sdl/SDL_NativeWindow.h"

namespace TKAL {

namespace {

SDL_WindowSystem* windowSystem = nullptr;

} // namespace

SDL_WindowSystem::~SDL_WindowSystem() = default;

void setSdlWindowSystem(SDL_WindowSystem* system) {
    windowSystem = system;
}

SDL_WindowSystem* sdlWindowSystem() {
    return windowSystem;
}

SDL_Display::~SDL_Display() = default;

Display* Display::instance() {
    static SDL_Display display;
    return &display;
}

void SDL_Display::setCaption(const char* text) {
    SDL_WM_SetCaption(text, text);
}

uintptr_t SDL_Display::windowHandle() {
    SDL_NativeWindow win;
    return sdlNativeWindow(win) ? win.window : 0;
}

bool SDL_Display::setMode(int width, int height) {
    SDL_Surface* surface = SDL_SetVideoMode(width, height, bpp_, sdlFlags_);
    if (surface == nullptr)
        return false;
    screen_ = surface;
    screenRect_ = Rect{0, 0, static_cast<uint16_t>(surface->w), static_cast<uint16_t>(surface->h)};
    return true;
}

bool SDL_Display::open(int width, int height, int bpp, uint32_t options) {
    width_ = width;
    height_ = height;
    bpp_ = bpp;
    fullscreen_ = bpp != 0;
    sdlFlags_ = SDL_HWSURFACE | SDL_DOUBLEBUF;
    if (fullscreen_)
        sdlFlags_ |= SDL_FULLSCREEN;
    if (options & Borderless)
        sdlFlags_ |= SDL_NOFRAME;
    if (options & Resizable)
        sdlFlags_ |= SDL_RESIZABLE;
    if (!setMode(width, height))
        return false;
    if (options & Centred)
        centreOnDesktop();
    return true;
}

void SDL_Display::centreOnDesktop() {
    SDL_NativeWindow win;
    if (windowSystem == nullptr || !sdlNativeWindow(win))
        return;
    int right = 0;
    int bottom = 0;
    if (!windowSystem->desktopRect(win, right, bottom))
        return;
    windowSystem->moveWindow(win, (right - width_) / 2, (bottom - height_) / 2, width_, height_);
}

bool SDL_Display::attach(int& width, int& height, int& bpp) {
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (surface == nullptr)
        return false;
    screen_ = surface;
    screenRect_ = Rect{0, 0, static_cast<uint16_t>(surface->w), static_cast<uint16_t>(surface->h)};
    width_ = surface->w;
    height_ = surface->h;
    sdlFlags_ = surface->flags;
    if (surface->flags & SDL_FULLSCREEN) {
        bpp_ = 0;
        fullscreen_ = true;
    } else {
        bpp_ = surface->format->BitsPerPixel;
        fullscreen_ = false;
    }
    width = width_;
    height = height_;
    bpp = bpp_;
    return true;
}

void SDL_Display::close() {
    SDL_DisplayCopies::instance().dropCopies();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    screen_ = nullptr;
}

bool SDL_Display::reopen() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    return setMode(width_, height_);
}

bool SDL_Display::resize(int width, int height) {
    if (!setMode(width, height))
        return false;
    width_ = width;
    height_ = height;
    return true;
}

void SDL_Display::showCursor(bool show) {
    SDL_ShowCursor(show ? 1 : 0);
}

void SDL_Display::setClip(const Rect* rect) {
    if (screen_ == nullptr)
        return;
    if (rect == nullptr) {
        SDL_SetClipRect(screen_, nullptr);
        return;
    }
    SDL_Rect r{rect->x, rect->y, rect->w, rect->h};
    SDL_SetClipRect(screen_, &r);
}

void SDL_Display::update(const Rect* rect) {
    if (screen_ == nullptr)
        return;
    if (rect == nullptr)
        SDL_UpdateRect(screen_, 0, 0, width_, height_);
    else
        SDL_UpdateRect(screen_, rect->x, rect->y, rect->w, rect->h);
}

void SDL_Display::flip() {
    if (screen_ != nullptr)
        SDL_Flip(screen_);
}

void SDL_Display::clear(uint32_t pixel) {
    if (screen_ == nullptr)
        return;
    SDL_Rect r{screenRect_.x, screenRect_.y, screenRect_.w, screenRect_.h};
    SDL_SetClipRect(screen_, &r);
    SDL_FillRect(screen_, &r, pixel);
}

std::unique_ptr<Canvas> SDL_Display::createImageCanvas(Image* image, const Rect& rect) {
    auto* picture = dynamic_cast<SDL_Image*>(image);
    if (picture == nullptr || picture->surface() == nullptr)
        return nullptr;
    return std::make_unique<SDL_Canvas>(picture->surface(), rect);
}

std::unique_ptr<Canvas> SDL_Display::createScreenCanvas(const Rect& rect) {
    if (screen_ == nullptr)
        return nullptr;
    return std::unique_ptr<Canvas>(SDL_Canvas::forScreen(rect));
}

std::unique_ptr<Image> SDL_Display::createSubImage(Image* image, const Rect* rect) {
    auto* picture = dynamic_cast<SDL_Image*>(image);
    if (picture == nullptr)
        return nullptr;
    Rect part = rect != nullptr ? intersect(picture->rect(), *rect) : picture->rect();
    return std::make_unique<SDL_Image>(picture->surface(), part, 0, 0);
}

} // namespace TKAL
