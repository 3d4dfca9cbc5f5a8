#pragma once
#include <string>

namespace app {

/// Starts the game in `gameDir`: loads "Game.dll" there and the engine
/// modules from the plug-in directory named by "Launch.txt", wires every
/// module to every module, calls the game's "Launch" and unloads all in
/// order. Answers when the game has returned. On this platform the modules
/// are shared objects that keep their file names ("Game.dll", ...).
void startGame(const std::string& gameDir);

} // namespace app
