#include "tkal/sdl/SDL_Files.h"

#include "support/Files.h"

#include <SDL_image.h>

#include <cstdio>

namespace TKAL {

SDL_RWops* openFileStream(const std::string& path) {
    std::FILE* file = support::openFile(path, "rb");
    if (file == nullptr)
        return nullptr;
    SDL_RWops* stream = SDL_RWFromFP(file, 1);
    if (stream == nullptr)
        std::fclose(file);
    return stream;
}

SDL_Surface* loadImageFile(const std::string& path) {
    SDL_RWops* stream = openFileStream(path);
    return stream != nullptr ? IMG_Load_RW(stream, 1) : nullptr;
}

} // namespace TKAL
