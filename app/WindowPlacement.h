#pragma once

namespace app {

/// Hands the platform's window services (the window a thread made, the
/// desktop's size, moving a window) to the SDL display, so that a window
/// opened centred is centred on its desktop. Once is enough; again does no
/// harm.
void placeWindowsThroughThePlatform();

/// The launcher's window is laid out in pixels of a 100 % screen. From this
/// call on, the windows the calling thread makes are enlarged by the system
/// on a scaled screen, whatever the process's own setting; SDL makes its
/// window when its video starts, so this comes first. Again does no harm.
void scaleWindowsBySystem();

/// Puts the calling thread back as `scaleWindowsBySystem` found it (as a
/// rule: following the process's own setting), so that the game, loaded next
/// on this thread, makes its windows as it declares for itself. Harmless
/// when nothing was changed.
void endWindowScaling();

} // namespace app
