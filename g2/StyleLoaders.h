#pragma once
#include "props/Loader.h"

namespace G2 {

/// The base of the style loaders: styles are built from nodes only, so a
/// file request answers null with code 2, and they accept their own type
/// name only. A reference that the cache cannot make raises
/// `RCache::NotFound` out of `loadProperties`, freeing the record.
class StyleLoader : public Loader {
public:
    void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) override;
};

class Loader_ButtonWidgetStyle : public StyleLoader {
public:
    const char* typeName() const override { return "ButtonStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

class Loader_PushButtonWidgetStyle : public StyleLoader {
public:
    const char* typeName() const override { return "PushButtonStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

class Loader_ProgressFrameStyle : public StyleLoader {
public:
    const char* typeName() const override { return "ProgressFrameStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

class Loader_TableWidgetStyle : public StyleLoader {
public:
    const char* typeName() const override { return "TableStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

class Loader_ListWidgetItemStyle : public StyleLoader {
public:
    const char* typeName() const override { return "ListItemStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

class Loader_ScrollWidgetStyle : public StyleLoader {
public:
    const char* typeName() const override { return "ScrollStyle"; }
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Line-drawn frames ("LFrame", also served for "Frame").
class Loader_LFrame : public StyleLoader {
public:
    const char* typeName() const override { return "LFrame"; }
    bool accepts(const char* type) const override;
    void release(void* resource) override;
    void* loadProperties(RCache& cache, const Property& node, int& error) override;
};

/// Registers the seven style loaders once.
void installStyleLoaders();

} // namespace G2
