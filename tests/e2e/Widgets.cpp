#include "tests/e2e/Widgets.h"

#include <sstream>

namespace e2e {

bool Widgets::parse(const std::string& output) {
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::istringstream words(line);
        WidgetLine w;
        if (!(words >> w.view >> w.path >> w.kind >> w.id >> w.rect.x >> w.rect.y >> w.rect.w >> w.rect.h))
            return false;
        size_t open = line.find('"');
        size_t close = line.rfind('"');
        if (open == std::string::npos || close == open)
            return false;
        w.text = line.substr(open + 1, close - open - 1);
        lines_.push_back(w);
    }
    return !lines_.empty();
}

Rect Widgets::byId(const std::string& view, int id) const {
    for (const WidgetLine& w : lines_)
        if (w.view == view && w.id == std::to_string(id))
            return w.rect;
    return {};
}

Rect Widgets::byText(const std::string& view, const std::string& kind, const std::string& text) const {
    for (const WidgetLine& w : lines_)
        if (w.view == view && w.kind == kind && w.text == text)
            return w.rect;
    return {};
}

Rect Widgets::nth(const std::string& view, const std::string& kind, int n, std::string* path) const {
    for (const WidgetLine& w : lines_)
        if (w.view == view && w.kind == kind && n-- == 0) {
            if (path != nullptr)
                *path = w.path;
            return w.rect;
        }
    return {};
}

std::string Widgets::pathOf(const std::string& view, const std::string& kind, const std::string& text) const {
    for (const WidgetLine& w : lines_)
        if (w.view == view && w.kind == kind && w.text == text)
            return w.path;
    return std::string();
}

Rect Widgets::byPath(const std::string& view, const std::string& path) const {
    for (const WidgetLine& w : lines_)
        if (w.view == view && w.path == path)
            return w.rect;
    return {};
}

} // namespace e2e
