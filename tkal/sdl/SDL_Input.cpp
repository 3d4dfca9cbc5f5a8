#include "tkal/sdl/SDL_Input.h"

namespace TKAL {

SDL_Input::SDL_Input() {
    SDL_EnableUNICODE(1);
}

SDL_Input::~SDL_Input() = default;

Input* Input::instance() {
    static SDL_Input input;
    return &input;
}

namespace {

int32_t mergedModifiers(SDLMod mod) {
    int32_t bits = 0;
    if (mod & KMOD_CTRL)
        bits |= Event::Control;
    if (mod & KMOD_SHIFT)
        bits |= Event::Shift;
    if (mod & KMOD_ALT)
        bits |= Event::Alt;
    if (mod & KMOD_META)
        bits |= Event::Meta;
    return bits;
}

} // namespace

Event SDL_Input::translate(const SDL_Event& sdl) {
    Event e;
    switch (sdl.type) {
    case SDL_QUIT:
        e.type = Event::Quit;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        e.type = sdl.type == SDL_KEYDOWN ? Event::KeyDown : Event::KeyUp;
        e.arg1 = sdl.key.keysym.sym;
        e.arg2 = mergedModifiers(sdl.key.keysym.mod);
        e.arg3 = sdl.key.keysym.unicode;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        e.type = sdl.type == SDL_MOUSEBUTTONDOWN ? Event::ButtonDown : Event::ButtonUp;
        e.arg1 =
            sdl.button.button >= 1 && sdl.button.button <= 32 ? int32_t(1u << (sdl.button.button - 1)) : 0;
        e.arg2 = sdl.button.x;
        e.arg3 = sdl.button.y;
        break;
    case SDL_MOUSEMOTION:
        e.type = Event::Motion;
        e.arg1 = sdl.motion.state;
        e.arg2 = sdl.motion.x;
        e.arg3 = sdl.motion.y;
        e.arg4 = sdl.motion.xrel;
        e.arg5 = sdl.motion.yrel;
        break;
    case SDL_VIDEORESIZE:
        e.type = Event::Resize;
        e.arg1 = sdl.resize.w;
        e.arg2 = sdl.resize.h;
        break;
    default:
        e.type = Event::None;
        break;
    }
    return e;
}

bool SDL_Input::poll(Event& event) {
    SDL_Event sdl;
    if (SDL_PollEvent(&sdl) == 0)
        return false;
    event = translate(sdl);
    return true;
}

} // namespace TKAL
