#pragma once
#include <cstdint>

namespace TKAL {

class Canvas;

/// A text font. Lengths: `len` < 1 means up to the terminating zero;
/// otherwise only the first `len` characters (bytes for narrow text, 16-bit
/// units for wide text) are measured or drawn.
class Font {
public:
    virtual ~Font();

    /// Narrow text is UTF-8 (on) or Latin-1 (off); answers the previous value.
    virtual bool setUTF8(bool on) = 0;
    virtual int height() = 0;
    virtual int charWidth(int ch) = 0;
    /// Reserved; fonts of this system answer 0.
    virtual int reserved1(int, int, int) = 0;
    virtual int textWidth(const char* text, int len) = 0;
    virtual void drawText(int x, int y, Canvas* canvas, const char* text, uint32_t rgb, int len) = 0;
    /// Reserved; fonts of this system answer 0.
    virtual int reserved2(int, int, int) = 0;
    virtual int textWidthW(const uint16_t* text, int len) = 0;
    virtual void drawTextW(int x, int y, Canvas* canvas, const uint16_t* text, uint32_t rgb, int len) = 0;
};

} // namespace TKAL
