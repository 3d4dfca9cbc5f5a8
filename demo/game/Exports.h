#pragma once
// What the game's modules export to the launcher. A Windows library exports
// only what is marked, so that the libraries linked into it stay private.
#include "app/GameModule.h"

#ifdef _WIN32
#define MODULE_EXPORT extern "C" __declspec(dllexport)
// A Windows game always has a desktop to open its window on.
constexpr bool kHasDesktop = true;
#else
#define MODULE_EXPORT extern "C"
// Elsewhere the window needs an X display; without one the game prints.
constexpr bool kHasDesktop = false;
#endif
