#include "g2/ScrollWidget.h"

#include "g2/ButtonWidget.h"
#include "g2/Game.h"
#include "g2/Messages.h"
#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCache.h"

#include <algorithm>

namespace G2 {

G2_DEFINE_CLASS_INFO(ScrollWidget, Widget, "ScrollWidget")

ScrollWidget::ScrollWidget() : style_(defaultScrollStyle()) {
    up_ = append(std::make_unique<ButtonWidget>());
    track_ = append(std::make_unique<Widget>());
    down_ = append(std::make_unique<ButtonWidget>());
    marker_ = track_->append(std::make_unique<ButtonWidget>());
    up_->setRepeat(10, 2);
    down_->setRepeat(10, 2);
    up_->emitter().connect(this, Msg::Activated);
    down_->emitter().connect(this, Msg::Activated);
    setStyle(style_);
}

ScrollWidget::~ScrollWidget() {
    toolkit().emitter.disconnect(this, Msg::MouseMotion);
}

bool ScrollWidget::vertical() const {
    return style_->type != ScrollStyle::Horizontal;
}

void ScrollWidget::setStyle(ScrollStyle* style) {
    if (style == nullptr)
        return;
    style_ = style;
    const int icon = style->iconSize;
    const int b = border;
    if (vertical()) {
        flow = FlowVertical;
        expand = ExpandVertical;
        setSize(icon + 2 * b, 2 * icon + 2 * b);
        track_->setSize(icon, 0);
        track_->expand = ExpandVertical;
    } else {
        flow = FlowHorizontal;
        expand = ExpandHorizontal;
        setSize(2 * icon + 2 * b, icon + 2 * b);
        track_->setSize(0, icon);
        track_->expand = ExpandHorizontal;
    }
    for (ButtonWidget* part : {up_, down_, marker_})
        part->setSize(icon, icon);
    up_->setButtonStyle(style->up);
    down_->setButtonStyle(style->down);
    marker_->setButtonStyle(style->marker);
    track_->setStyle(style->frame);
    markLayoutAround();
}

int ScrollWidget::trackLength() const {
    TKAL::Rect content = track_->contentRect();
    return vertical() ? content.h : content.w;
}

void ScrollWidget::setView(int page, int total) {
    page_ = page;
    total_ = total;
    setPosition(position_);
}

void ScrollWidget::setPosition(int pos) {
    position_ = std::clamp(pos, 0, std::max(0, total_ - page_));
    const int length = trackLength();
    int offset = 0;
    int size = length;
    if (markerLength != 0) {
        size = markerLength;
        if (total_ >= 1 && total_ != page_)
            offset = (length - size) * position_ / (total_ - page_);
    } else if (total_ >= 1) {
        offset = position_ * length / total_;
        size = page_ * length / total_;
    }
    TKAL::Rect content = track_->contentRect();
    if (vertical())
        place(marker_, 0, offset, content.w, size);
    else
        place(marker_, offset, 0, size, content.h);
    state |= NeedsRedraw;
}

void ScrollWidget::arrange(const TKAL::Rect& content) {
    Widget::arrange(content);
    setPosition(position_);
}

void ScrollWidget::applyVisibility() {
    bool hideAll = autoHide && total_ == page_;
    up_->setVisible(!hideAll && showButtons);
    down_->setVisible(!hideAll && showButtons);
    marker_->setVisible(!hideAll);
}

void ScrollWidget::draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) {
    applyVisibility();
    Widget::draw(canvas, dx, dy, drawParam);
}

void ScrollWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props == nullptr)
        return;
    std::string name = props->getString("sstyle", "");
    if (!name.empty() && cache != nullptr)
        setStyle(static_cast<ScrollStyle*>(cache->get("ScrollStyle", name, nullptr)));
    autoHide = props->getInt("auto_marker", 0) != 0;
    markerLength = static_cast<uint16_t>(props->getInt("marker_size", 0));
    showButtons = props->getInt("show_buttons", 1) != 0;
    applyVisibility();
    markLayoutAround();
    if (props->find("view") != nullptr) {
        int view[2] = {page_, total_};
        props->getInts("view", view, 2);
        page_ = view[0];
        total_ = view[1];
        setPosition(position_);
    }
}

int ScrollWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    Toolkit& tk = toolkit();
    const bool v = vertical();
    if (code == Msg::Activated && (sender == up_ || sender == down_)) {
        bool first = sender == up_;
        emitter().emit(
            v ? (first ? Msg::ScrollUp : Msg::ScrollDown) : (first ? Msg::ScrollLeft : Msg::ScrollRight), 0);
        return 1;
    }
    if (code == Msg::MousePress && sender == this) {
        const auto* press = reinterpret_cast<const TKAL::Event*>(data);
        // The press relative to the track's content rectangle.
        TKAL::Rect content = track_->contentRect();
        int rx = press->arg2 - border - content.x;
        int ry = press->arg3 - border - content.y;
        if (rx < 1 || ry < 1 || rx >= content.w || ry >= content.h)
            return 0;
        int along = v ? ry : rx;
        int start = v ? marker_->y : marker_->x;
        int end = start + (v ? marker_->h : marker_->w);
        if (along <= start) {
            emitter().emit(v ? Msg::PageUp : Msg::PageLeft, 0);
        } else if (along >= end) {
            emitter().emit(v ? Msg::PageDown : Msg::PageRight, 0);
        } else if (!dragging_) {
            // The grab offset keeps the marker under the same point of the
            // pointer while it moves: marker position minus the press's
            // screen position along the bar.
            grabOffset_ = start - (v ? tk.mouse.y : tk.mouse.x);
            dragging_ = true;
            tk.emitter.connect(this, Msg::MouseMotion);
        }
        return 0;
    }
    if (code == Msg::MouseMotion && sender == nullptr && dragging_) {
        const auto* motion = reinterpret_cast<const TKAL::Event*>(data);
        int room = trackLength() - (v ? marker_->h : marker_->w);
        int coordinate = std::clamp(grabOffset_ + (v ? motion->arg3 : motion->arg2), 0, std::max(0, room));
        int span = std::max(0, total_ - page_);
        int pos = room > 0 ? std::clamp(span * coordinate / room, 0, span) : 0;
        emitter().emit(v ? Msg::DragVertical : Msg::DragHorizontal, pos);
        return 0;
    }
    if (code == Msg::Click && dragging_) {
        dragging_ = false;
        tk.emitter.disconnect(this, Msg::MouseMotion);
        return 0;
    }
    return Widget::onEvent(code, sender, data);
}

} // namespace G2
