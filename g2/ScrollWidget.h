#pragma once
#include "g2/Widget.h"

namespace G2 {

class ButtonWidget;
struct ScrollStyle;

/// A scroll bar: an arrow button, a track holding the marker, and a second
/// arrow button, vertical or horizontal by its style. It only reports: the
/// arrows (Msg::ScrollUp ... Msg::ScrollRight), presses on the track before
/// or after the marker (Msg::PageUp ... Msg::PageRight) and marker drags with
/// the position they ask for (Msg::DragVertical or Msg::DragHorizontal).
/// Whoever scrolls answers with `setPosition`.
class ScrollWidget : public Widget {
    G2_CLASS_INFO()
public:
    ScrollWidget();
    ~ScrollWidget() override;

    /// Reads "sstyle", "auto_marker", "marker_size", "show_buttons" and "view".
    void load(RCache* cache, const Property* props) override;
    void arrange(const TKAL::Rect& content) override;
    void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    /// Sets the geometry and looks of the bar and its parts (null: none).
    void setStyle(ScrollStyle* style);
    ScrollStyle* scrollStyle() const { return style_; }
    /// Moves the marker to `pos`, kept within [0, total - page].
    void setPosition(int pos);
    void setView(int page, int total);

    bool vertical() const;
    int page() const { return page_; }
    int total() const { return total_; }
    int position() const { return position_; }
    bool dragging() const { return dragging_; }

    ButtonWidget* upButton() const { return up_; }
    ButtonWidget* downButton() const { return down_; }
    Widget* track() const { return track_; }
    ButtonWidget* marker() const { return marker_; }

    uint16_t markerLength = 0; // fixed marker length; 0: proportional
    bool autoHide = false;
    bool showButtons = true;

private:
    /// The track's content length along the bar.
    int trackLength() const;
    void applyVisibility();

    int page_ = 5;
    int total_ = 10;
    int position_ = 0;
    ScrollStyle* style_;
    ButtonWidget* up_;
    Widget* track_;
    ButtonWidget* down_;
    ButtonWidget* marker_;
    bool dragging_ = false;
    int grabOffset_ = 0;
};

} // namespace G2
