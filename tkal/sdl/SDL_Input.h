#pragma once
#include "tkal/Input.h"

#include <SDL.h>

namespace TKAL {

/// Input events from the SDL event queue.
class SDL_Input : public Input {
public:
    SDL_Input();
    ~SDL_Input() override;

    bool poll(Event& event) override;

    /// Translates one SDL event (any other kind becomes type 0).
    static Event translate(const SDL_Event& sdl);
};

} // namespace TKAL
