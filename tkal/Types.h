#pragma once
#include <cstdint>

namespace TKAL {

/// A rectangle with the layout of an SDL rectangle.
struct Rect {
    int16_t x = 0;
    int16_t y = 0;
    uint16_t w = 0;
    uint16_t h = 0;
};

/// Intersection of two rectangles; width or height 0 when they do not meet.
Rect intersect(const Rect& a, const Rect& b);

/// An input event: a type and five arguments whose meaning depends on it.
///
/// | type | meaning         | arg1            | arg2      | arg3    | arg4  | arg5  |
/// |------|-----------------|-----------------|-----------|---------|-------|-------|
/// | 0    | nothing to do   |                 |           |         |       |       |
/// | 1    | quit requested  |                 |           |         |       |       |
/// | 2, 4 | key press/release | key symbol    | modifiers | Unicode |       |       |
/// | 8, 16| button press/release | button bit | x         | y       | 0     | 0     |
/// | 32   | pointer moved   | held buttons    | x         | y       | rel x | rel y |
/// | 64   | window resized  | width           | height    |         |       |       |
struct Event {
    enum Type : uint32_t {
        None = 0,
        Quit = 1,
        KeyDown = 2,
        KeyUp = 4,
        ButtonDown = 8,
        ButtonUp = 16,
        Motion = 32,
        Resize = 64,
    };
    /// Modifier bits of key events (left and right keys merged).
    enum Modifier : int32_t { Control = 1, Shift = 2, Alt = 4, Meta = 8 };

    uint32_t type = None;
    int32_t arg1 = 0;
    int32_t arg2 = 0;
    int32_t arg3 = 0;
    int32_t arg4 = 0;
    int32_t arg5 = 0;
};

} // namespace TKAL
