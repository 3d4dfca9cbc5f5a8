#pragma once

namespace app {

/// Hands the platform's window services (the window a thread made, the
/// desktop's size, moving a window) to the SDL display, so that a window
/// opened centred is centred on its desktop. Once is enough; again does no
/// harm.
void placeWindowsThroughThePlatform();

} // namespace app
