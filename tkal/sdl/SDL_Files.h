#pragma once
// Files handed to SDL. SDL 1.2's own opener takes names in whatever
// spelling its build chose; the programs' paths are UTF-8 everywhere, so the
// files are opened through the support layer (wide calls on Windows) and
// SDL reads the open file.
#include <SDL.h>

#include <string>

namespace TKAL {

/// An SDL stream over the file `path` (UTF-8), which it closes; null when
/// the file cannot be opened for reading.
SDL_RWops* openFileStream(const std::string& path);

/// The image in the file `path` (UTF-8), decoded; null when it cannot be
/// read.
SDL_Surface* loadImageFile(const std::string& path);

} // namespace TKAL
