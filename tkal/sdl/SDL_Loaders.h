#pragma once
#include "props/Loader.h"

namespace TKAL {

/// Decoded image files ("SDL_Surface"); the surfaces every image, frame and
/// image list is cut from.
class Loader_SDL_Surface : public Loader {
public:
    const char* typeName() const override { return "SDL_Surface"; }
    const char* const* extensions() const override;
    void release(void* resource) override;
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Images over a whole surface ("Image"). A node names its file as its
/// first (anonymous) child.
class Loader_SDL_Image : public Loader {
public:
    const char* typeName() const override { return "Image"; }
    const char* const* extensions() const override;
    void release(void* resource) override;
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// TrueType fonts ("TTFont", also served for "Font"): a file name with
/// "?size", or a node with "file" and "size".
class Loader_SDL_TTFont : public Loader {
public:
    const char* typeName() const override { return "TTFont"; }
    const char* const* extensions() const override;
    bool accepts(const char* type) const override;
    void release(void* resource) override;
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Nine-piece frames ("PFrame", also served for "Frame") from a node with
/// "image", "pos", "widths" and "heights".
class Loader_SDL_PFrame : public Loader {
public:
    const char* typeName() const override { return "PFrame"; }
    bool accepts(const char* type) const override;
    void release(void* resource) override;
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Image lists ("ImageList") cut from grids: one child node a grid, with
/// "source", "sizes", "org" and "keyc".
class Loader_SDL_ImageList : public Loader {
public:
    const char* typeName() const override { return "ImageList"; }
    void release(void* resource) override;
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Registers the five SDL loaders once (surfaces first, image lists last).
/// Programs and tests call it before the first resource is requested.
void installSdlLoaders();

} // namespace TKAL
