#pragma once
// Tells whether a text is on the screen: the text is rendered in the
// launcher's own font and compared, shape against shape, with what a
// rectangle of the screen shows.
#include "tests/common/X11Client.h"

#include <string>

typedef struct _TTF_Font TTF_Font;

namespace e2e {

class TextProbe {
public:
    /// Opens the TrueType font `file` at `size` points.
    TextProbe(const std::string& file, int size);
    ~TextProbe();
    TextProbe(const TextProbe&) = delete;
    TextProbe& operator=(const TextProbe&) = delete;

    bool open() const { return font_ != nullptr; }
    /// How well `region` shows `text` at its best position: the share of
    /// the text's pixels (and of the pixels around them) that disagree, 0 for
    /// a perfect match, 1 or more when nothing matches. `lightText` says
    /// whether the text is lighter than what it is drawn on.
    double mismatch(const testkit::Capture& region, const std::string& text, bool lightText) const;
    /// Whether `region` shows `text`.
    bool shows(const testkit::Capture& region, const std::string& text, bool lightText) const {
        return mismatch(region, text, lightText) < 0.2;
    }

private:
    TTF_Font* font_ = nullptr;
};

} // namespace e2e
