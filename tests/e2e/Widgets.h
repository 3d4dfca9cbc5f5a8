#pragma once
// Where the launcher's widgets are: the rectangles printed by
// "moravo-tool widgets" for an installation, looked up by panel and by
// button identifier, text, class or position in the tree.
#include <string>
#include <vector>

namespace e2e {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
    bool empty() const { return w <= 0 || h <= 0; }
};

struct WidgetLine {
    std::string view, path, kind, id, text;
    Rect rect;
};

class Widgets {
public:
    /// Reads the tool's output; false when a line does not parse.
    bool parse(const std::string& output);
    /// The widget of `view` with button identifier `id`.
    Rect byId(const std::string& view, int id) const;
    /// The widget of `view` of class `kind` showing `text`.
    Rect byText(const std::string& view, const std::string& kind, const std::string& text) const;
    /// The `n`th widget (from 0) of class `kind` in `view`, in tree order;
    /// its path in `path` when given.
    Rect nth(const std::string& view, const std::string& kind, int n, std::string* path = nullptr) const;
    Rect byPath(const std::string& view, const std::string& path) const;
    /// The path of the widget of `view` of class `kind` showing `text`
    /// (empty when there is none).
    std::string pathOf(const std::string& view, const std::string& kind, const std::string& text) const;
    const std::vector<WidgetLine>& lines() const { return lines_; }

private:
    std::vector<WidgetLine> lines_;
};

} // namespace e2e
