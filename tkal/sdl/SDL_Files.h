#pragma once
// Files handed to SDL. SDL 1.2 reads the name given to its own opener as
// UTF-8 on Windows, where every other file of the program is named in the
// system's 8-bit code page: an installation under "Juegos de Peña" would
// not be found. The files are opened by the C run-time instead, as all the
// others are, and SDL reads the open file.
#include <SDL.h>

#include <string>

namespace TKAL {

/// An SDL stream over the file `path`, which it closes; null when the file
/// cannot be opened for reading.
SDL_RWops* openFileStream(const std::string& path);

/// The image in the file `path`, decoded; null when it cannot be read.
SDL_Surface* loadImageFile(const std::string& path);

} // namespace TKAL
