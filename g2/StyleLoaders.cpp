#include "g2/StyleLoaders.h"

#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCache.h"

#include <cstring>
#include <memory>

namespace G2 {

namespace {

// A referenced resource by name; an empty or missing name is none.
template <typename T> T* reference(RCache& cache, const Property& node, const char* key, const char* type) {
    std::string name = node.getString(key, "");
    if (name.empty())
        return nullptr;
    return static_cast<T*>(cache.get(type, name, nullptr));
}

TKAL::Frame* frameOf(RCache& cache, const Property& node, const char* key) {
    return reference<TKAL::Frame>(cache, node, key, "Frame");
}

ButtonStyle* buttonStyleOf(RCache& cache, const Property& node, const char* key) {
    return reference<ButtonStyle>(cache, node, key, "ButtonStyle");
}

uint32_t colourOf(const Property& node, const char* key, int r, int g, int b) {
    int rgb[3] = {r, g, b};
    node.getInts(key, rgb, 3);
    return static_cast<uint32_t>((rgb[0] * 256 + rgb[1]) * 256 + rgb[2]);
}

const char* const scrollTypes[] = {"vertical", "horizontal", nullptr};

} // namespace

void* StyleLoader::loadFile(RCache&, const std::string&, const std::string&, int& error) {
    error = 2;
    return nullptr;
}

void Loader_ButtonWidgetStyle::release(void* resource) {
    delete static_cast<ButtonStyle*>(resource);
}

void* Loader_ButtonWidgetStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<ButtonStyle>();
    style->border = node.getInt("border", 1);
    style->normal = frameOf(cache, node, "normal");
    style->pressed = frameOf(cache, node, "pressed");
    style->over = frameOf(cache, node, "over");
    style->disabled = frameOf(cache, node, "disabled");
    return style.release();
}

void Loader_PushButtonWidgetStyle::release(void* resource) {
    delete static_cast<PushButtonStyle*>(resource);
}

void* Loader_PushButtonWidgetStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<PushButtonStyle>();
    style->on = buttonStyleOf(cache, node, "on");
    style->off = buttonStyleOf(cache, node, "off");
    return style.release();
}

void Loader_ProgressFrameStyle::release(void* resource) {
    delete static_cast<ProgressFrameStyle*>(resource);
}

void* Loader_ProgressFrameStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<ProgressFrameStyle>();
    style->border = node.getInt("border", 2);
    style->vert = node.getInt("vert", 0) != 0;
    style->frame = frameOf(cache, node, "frame");
    style->fg = frameOf(cache, node, "fg");
    style->bg = frameOf(cache, node, "bg");
    return style.release();
}

void Loader_TableWidgetStyle::release(void* resource) {
    delete static_cast<TableStyle*>(resource);
}

void* Loader_TableWidgetStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<TableStyle>();
    style->border = node.getInt("border", 2);
    style->margin = node.getInt("margin", 2);
    style->frame = frameOf(cache, node, "frame");
    style->header = frameOf(cache, node, "header");
    style->even = frameOf(cache, node, "even");
    style->odd = frameOf(cache, node, "odd");
    return style.release();
}

void Loader_ListWidgetItemStyle::release(void* resource) {
    delete static_cast<ListItemStyle*>(resource);
}

void* Loader_ListWidgetItemStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<ListItemStyle>();
    style->border = node.getInt("border", 1);
    style->normal = frameOf(cache, node, "normal");
    style->over = frameOf(cache, node, "over");
    style->selected = frameOf(cache, node, "selected");
    return style.release();
}

void Loader_ScrollWidgetStyle::release(void* resource) {
    delete static_cast<ScrollStyle*>(resource);
}

void* Loader_ScrollWidgetStyle::loadProperties(RCache& cache, const Property& node, int&) {
    auto style = std::make_unique<ScrollStyle>();
    int type = ScrollStyle::Vertical;
    if (node.find("type") != nullptr && node.getEnums("type", &type, 1, scrollTypes) >= 1)
        style->type = static_cast<uint8_t>(type);
    style->iconSize = static_cast<uint8_t>(node.getInt("icon_size", 32));
    style->up = buttonStyleOf(cache, node, "up");
    style->down = buttonStyleOf(cache, node, "down");
    style->marker = buttonStyleOf(cache, node, "marker");
    style->frame = frameOf(cache, node, "frame");
    return style.release();
}

bool Loader_LFrame::accepts(const char* type) const {
    return type != nullptr && (std::strcmp(type, "LFrame") == 0 || std::strcmp(type, "Frame") == 0);
}

void Loader_LFrame::release(void* resource) {
    delete static_cast<LFrame*>(resource);
}

void* Loader_LFrame::loadProperties(RCache&, const Property& node, int&) {
    return new LFrame(colourOf(node, "fill", 0, 0, 0), colourOf(node, "border", 255, 255, 255),
                      node.getInt("width", 1));
}

void installStyleLoaders() {
    static Loader_ButtonWidgetStyle buttons;
    static Loader_PushButtonWidgetStyle pushButtons;
    static Loader_ProgressFrameStyle progress;
    static Loader_TableWidgetStyle tables;
    static Loader_ListWidgetItemStyle items;
    static Loader_ScrollWidgetStyle scrolls;
    static Loader_LFrame lineFrames;
}

} // namespace G2
