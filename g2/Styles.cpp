#include "g2/Styles.h"

#include "tkal/Canvas.h"

namespace G2 {

ButtonStyle* defaultButtonStyle() {
    static ButtonStyle style{1, nullptr, nullptr, nullptr, nullptr};
    return &style;
}

ProgressFrameStyle* defaultProgressFrameStyle() {
    static ProgressFrameStyle style;
    return &style;
}

TableStyle* defaultTableStyle() {
    static TableStyle style;
    return &style;
}

ListItemStyle* defaultListItemStyle() {
    static ListItemStyle style;
    return &style;
}

ScrollStyle* defaultScrollStyle() {
    static ScrollStyle style;
    return &style;
}

void LFrame::draw(TKAL::Canvas* canvas, const TKAL::Rect& rect) {
    if (canvas == nullptr)
        return;
    int x = rect.x, y = rect.y, w = rect.w, h = rect.h, t = width;
    if (fill != 0)
        canvas->fillRect(x + t, y + t, w - 2 * t, h - 2 * t, fill);
    if (borderColour != 0) {
        canvas->fillRect(x, y, w, t, borderColour);
        canvas->fillRect(x, y + h - t, w, t, borderColour);
        canvas->fillRect(x, y + t, t, h - 2 * t, borderColour);
        canvas->fillRect(x + w - t, y + t, t, h - 2 * t, borderColour);
    }
}

} // namespace G2
