#pragma once
// What the game's modules export to the launcher. A Windows library exports
// the names its module-definition file lists (Game.def, EngineModule.def)
// rather than every function of its own.
#include "app/GameModule.h"

#define MODULE_EXPORT extern "C"

// A Windows game always has a desktop to open its window on (the build sets
// MORAVO_DEMO_DESKTOP there); elsewhere the window needs an X display, and
// without one the game prints.
constexpr bool kHasDesktop = MORAVO_DEMO_DESKTOP != 0;
