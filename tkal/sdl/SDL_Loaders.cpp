#include "tkal/sdl/SDL_Loaders.h"

#include "props/Properties.h"
#include "props/RCache.h"
#include "tkal/sdl/SDL_DisplayCopies.h"
#include "tkal/sdl/SDL_Files.h"
#include "tkal/sdl/SDL_Image.h"
#include "tkal/sdl/SDL_PFrame.h"
#include "tkal/sdl/SDL_TTFont.h"


#include <cstdlib>
#include <cstring>

namespace TKAL {

namespace {

const char* const imageExtensions[] = {"png", "jpg", "bmp", "pnm", "xpm",  "xcf",
                                       "pcx", "gif", "tif", "lbm", nullptr};
const char* const fontExtensions[] = {"ttf", nullptr};

bool same(const char* a, const char* b) {
    return a != nullptr && std::strcmp(a, b) == 0;
}

SDL_Surface* surfaceFor(RCache& cache, const std::string& name, int& error) {
    return cache.get<SDL_Surface>("SDL_Surface", name, &error);
}

} // namespace

// Surfaces -------------------------------------------------------------------

const char* const* Loader_SDL_Surface::extensions() const {
    return imageExtensions;
}

void Loader_SDL_Surface::release(void* resource) {
    auto* surface = static_cast<SDL_Surface*>(resource);
    SDL_DisplayCopies::instance().forget(surface);
    SDL_FreeSurface(surface);
}

void* Loader_SDL_Surface::loadFile(RCache&, const std::string& path, const std::string&, int&) {
    SDL_Surface* surface = loadImageFile(path);
    SDL_DisplayCopies::instance().adopt(surface);
    return surface;
}

void* Loader_SDL_Surface::loadProperties(RCache&, const Property&, int& error) {
    error = 2;
    return nullptr;
}

// Images ---------------------------------------------------------------------

const char* const* Loader_SDL_Image::extensions() const {
    return imageExtensions;
}

void Loader_SDL_Image::release(void* resource) {
    delete static_cast<SDL_Image*>(resource);
}

void* Loader_SDL_Image::loadFile(RCache& cache, const std::string& path, const std::string&, int& error) {
    error = 0;
    SDL_Surface* surface = surfaceFor(cache, path, error);
    if (surface == nullptr)
        return nullptr;
    return new SDL_Image(surface);
}

void* Loader_SDL_Image::loadProperties(RCache& cache, const Property& node, int& error) {
    // The file is the node's first child, written as an anonymous entry.
    if (node.count() == 0) {
        error = 6;
        return nullptr;
    }
    error = 0;
    return loadFile(cache, node.childValue(0), std::string(), error);
}

// Fonts ----------------------------------------------------------------------

const char* const* Loader_SDL_TTFont::extensions() const {
    return fontExtensions;
}

bool Loader_SDL_TTFont::accepts(const char* type) const {
    return same(type, "TTFont") || same(type, "Font");
}

void Loader_SDL_TTFont::release(void* resource) {
    delete static_cast<SDL_TTFont*>(resource);
}

void* Loader_SDL_TTFont::loadFile(RCache&, const std::string& path, const std::string& extra, int&) {
    int size = std::atoi(extra.c_str());
    auto* font = new SDL_TTFont(path.c_str(), size);
    if (!font->isOpen()) {
        delete font;
        return nullptr;
    }
    return font;
}

void* Loader_SDL_TTFont::loadProperties(RCache& cache, const Property& node, int& error) {
    std::string file = node.getString("file", "?");
    int size = node.getInt("size", 12);
    std::string path;
    cache.resolve(path, file, nullptr);
    return loadFile(cache, path, std::to_string(size), error);
}

// Frames ---------------------------------------------------------------------

bool Loader_SDL_PFrame::accepts(const char* type) const {
    return same(type, "PFrame") || same(type, "Frame");
}

void Loader_SDL_PFrame::release(void* resource) {
    delete static_cast<SDL_PFrame*>(resource);
}

void* Loader_SDL_PFrame::loadFile(RCache&, const std::string&, const std::string&, int& error) {
    error = 2;
    return nullptr;
}

void* Loader_SDL_PFrame::loadProperties(RCache& cache, const Property& node, int& error) {
    if (node.find("image") == nullptr) {
        error = 6;
        return nullptr;
    }
    SDL_Surface* surface = surfaceFor(cache, node.getString("image"), error);
    if (surface == nullptr)
        return nullptr;
    SDL_PFrame::Pieces p;
    int pos[2] = {0, 0};
    node.getInts("pos", pos, 2);
    p.originX = pos[0];
    p.originY = pos[1];
    int widths[3] = {0, surface->w, 0};
    if (node.find("widths") != nullptr) {
        widths[0] = widths[1] = widths[2] = 0;
        node.getInts("widths", widths, 3);
    }
    int heights[3] = {0, surface->h, 0};
    if (node.find("heights") != nullptr) {
        heights[0] = heights[1] = heights[2] = 0;
        node.getInts("heights", heights, 3);
    }
    p.left = widths[0];
    p.middleWidth = widths[1];
    p.right = widths[2];
    p.top = heights[0];
    p.middleHeight = heights[1];
    p.bottom = heights[2];
    error = 0;
    return new SDL_PFrame(surface, p);
}

// Image lists ----------------------------------------------------------------

void Loader_SDL_ImageList::release(void* resource) {
    delete static_cast<SDL_ImageList*>(resource);
}

void* Loader_SDL_ImageList::loadFile(RCache&, const std::string&, const std::string&, int& error) {
    error = 2;
    return nullptr;
}

void* Loader_SDL_ImageList::loadProperties(RCache& cache, const Property& node, int& error) {
    unsigned grids = node.count();
    unsigned loaded = 0;
    for (unsigned i = 0; i < grids; ++i) {
        const Property* grid = node.child(static_cast<int>(i));
        if (grid->find("source") == nullptr) {
            error = 6;
            return nullptr;
        }
        int code = 0;
        if (surfaceFor(cache, grid->getString("source"), code) != nullptr) {
            ++loaded;
        } else if (code > 1) {
            error = code;
            return nullptr;
        }
    }
    if (grids == 0 || loaded != grids) {
        error = 1;
        return nullptr;
    }
    auto* list = new SDL_ImageList;
    for (unsigned i = 0; i < grids; ++i) {
        const Property* grid = node.child(static_cast<int>(i));
        int keyc = grid->getInt("keyc", 1);
        int sizes[2] = {0, 0};
        grid->getInts("sizes", sizes, 2);
        int org[2] = {0, 0};
        grid->getInts("org", org, 2);
        int code = 0;
        SDL_Surface* surface = surfaceFor(cache, grid->getString("source", "?"), code);
        list->addGrid(surface, sizes[0], sizes[1], org[0], org[1], keyc != 0);
    }
    error = 0;
    return list;
}

void installSdlLoaders() {
    static Loader_SDL_Surface surfaces;
    static Loader_SDL_Image images;
    static Loader_SDL_TTFont fonts;
    static Loader_SDL_PFrame frames;
    static Loader_SDL_ImageList lists;
}

} // namespace TKAL
