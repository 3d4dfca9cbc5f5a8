#pragma once
#include <string>

namespace app {

/// Starts the game in `gameDir`: loads "Game.dll" there and the engine
/// modules from the plug-in directory named by "Launch.txt", wires every
/// module to every module, calls the game's "Launch" and unloads all in
/// order. Answers when the game has returned, with the current directory
/// it found put back. On this platform the modules are shared objects that
/// keep their file names ("Game.dll", ...). A module that does not load, or
/// lacks its interface exports, is left out of the wiring; a "Game.dll"
/// without "Launch" is reported in the "RunApp" message box.
void startGame(const std::string& gameDir);

} // namespace app
