#include "g2/ProgressWidget.h"

#include "g2/Game.h"
#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCache.h"
#include "tkal/Frame.h"

#include <algorithm>

namespace G2 {

G2_DEFINE_CLASS_INFO(ProgressWidget, Widget, "ProgressWidget")
G2_DEFINE_CLASS_INFO(ProgressFrameWidget, ProgressWidget, "ProgressFrameWidget")

ProgressWidget::ProgressWidget() = default;
ProgressWidget::~ProgressWidget() = default;

void ProgressWidget::setValue(int32_t value) {
    if (value != value_)
        state |= NeedsRedraw;
    value_ = value;
}

void ProgressWidget::setMaximum(int32_t maximum) {
    if (maximum != maximum_)
        state |= NeedsRedraw;
    maximum_ = maximum;
}

ProgressFrameWidget::ProgressFrameWidget() {
    ProgressFrameStyle* style = toolkit().defaultProgressStyle;
    style_ = style != nullptr ? style : defaultProgressFrameStyle();
    setStyle(style_->frame);
}

ProgressFrameWidget::~ProgressFrameWidget() = default;

void ProgressFrameWidget::setProgressStyle(ProgressFrameStyle* style) {
    if (style == nullptr)
        return;
    style_ = style;
    setStyle(style_->frame);
    state |= NeedsRedraw;
}

void ProgressFrameWidget::load(RCache* cache, const Property* props) {
    ProgressWidget::load(cache, props);
    if (props == nullptr || cache == nullptr)
        return;
    std::string name = props->getString("pfstyle", "");
    if (!name.empty())
        setProgressStyle(
            static_cast<ProgressFrameStyle*>(cache->get("ProgressFrameStyle", name.c_str(), nullptr)));
}

void ProgressFrameWidget::drawContent(TKAL::Canvas* canvas, uint32_t) {
    TKAL::Rect content = contentRect();
    const int b = style_->border;
    const bool vertical = style_->vert != 0;
    const int length = (vertical ? content.h : content.w) - 2 * b;
    const int across = (vertical ? content.w : content.h) - 2 * b;
    // A bar without a positive maximum is empty, and a value beyond the
    // maximum fills the bar, never more.
    int filled = 0;
    if (maximum_ > 0 && length > 0)
        filled = static_cast<int>(int64_t(std::clamp(value_, 0, maximum_)) * length / maximum_);
    auto piece = [&](int start, int size) {
        return vertical
                   ? TKAL::Rect{int16_t(b), int16_t(b + start), uint16_t(std::max(0, across)), uint16_t(size)}
                   : TKAL::Rect{int16_t(b + start), int16_t(b), uint16_t(size),
                                uint16_t(std::max(0, across))};
    };
    if (style_->fg != nullptr && filled >= 1)
        style_->fg->draw(canvas, piece(0, filled));
    if (style_->bg != nullptr && length > filled)
        style_->bg->draw(canvas, piece(filled, length - filled));
}

} // namespace G2
