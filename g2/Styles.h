#pragma once
#include "tkal/Frame.h"

#include <cstdint>

namespace G2 {

/// Looks of a button; frames belong to the resource cache and may be null
/// (nothing is drawn for a null frame).
struct ButtonStyle {
    int32_t border = 0;
    TKAL::Frame* normal = nullptr;
    TKAL::Frame* pressed = nullptr;
    TKAL::Frame* over = nullptr;
    TKAL::Frame* disabled = nullptr;
};

/// Looks of a toggle button: one button style when off, one when on.
struct PushButtonStyle {
    ButtonStyle* off = nullptr;
    ButtonStyle* on = nullptr;
};

/// A progress bar: its background frame, the filled and empty parts.
struct ProgressFrameStyle {
    int32_t border = 0;
    TKAL::Frame* frame = nullptr;
    TKAL::Frame* fg = nullptr;
    TKAL::Frame* bg = nullptr;
    uint8_t vert = 0;
};

/// A table: border, cell margin, background, header and row frames.
struct TableStyle {
    int32_t border = 0;
    int32_t margin = 0;
    TKAL::Frame* frame = nullptr;
    TKAL::Frame* header = nullptr;
    TKAL::Frame* even = nullptr;
    TKAL::Frame* odd = nullptr;
};

/// The row looks of a list.
struct ListItemStyle {
    int32_t border = 0;
    TKAL::Frame* normal = nullptr;
    TKAL::Frame* over = nullptr;
    TKAL::Frame* selected = nullptr;
};

/// A scroll bar: orientation, arrow and marker size, looks.
struct ScrollStyle {
    enum : uint8_t { Vertical = 0, Horizontal = 1 };
    uint8_t type = Vertical;
    uint8_t iconSize = 32;
    ButtonStyle* up = nullptr;
    ButtonStyle* down = nullptr;
    ButtonStyle* marker = nullptr;
    TKAL::Frame* frame = nullptr;
};

/// The built-in records used when a widget has none of its own: the button
/// style has border 1 and no frames, the scroll style icon size 32, the
/// others are all zero.
ButtonStyle* defaultButtonStyle();
ProgressFrameStyle* defaultProgressFrameStyle();
TableStyle* defaultTableStyle();
ListItemStyle* defaultListItemStyle();
ScrollStyle* defaultScrollStyle();

/// A frame drawn with lines: a fill and a border of a given width. The
/// colours are pixel values for a 32-bit RGB screen; 0 means none.
class LFrame : public TKAL::Frame {
public:
    LFrame(uint32_t fill, uint32_t borderColour, int width)
        : fill(fill), borderColour(borderColour), width(width) {}
    void draw(TKAL::Canvas* canvas, const TKAL::Rect& rect) override;

    uint32_t fill;
    uint32_t borderColour;
    int32_t width;
};

} // namespace G2
