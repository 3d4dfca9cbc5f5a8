#pragma once
#include "g2/Node.h"

namespace TKAL {
class Frame;
}

namespace G2 {

/// Layout enumerations, as words in property files.
enum Expand : uint8_t { ExpandNone = 0, ExpandHorizontal = 1, ExpandVertical = 2, ExpandBoth = 3 };
enum Align : uint8_t { AlignCenter = 0, AlignStart = 1, AlignEnd = 2, AlignNone = 3 };
enum Gravity : uint8_t { GravityCenter = 0, GravityStart = 1, GravityEnd = 2 };
enum Flow : uint8_t { FlowNone = 0, FlowHorizontal = 1, FlowVertical = 2, FlowStack = 3 };

/// The widget base: a node with a background frame, box layout of its
/// children, mouse dispatch and its own message emitter.
///
/// Layout: `flow` says how the children are placed (vertical, horizontal,
/// stacked or left where they are); each child's `expand` and `align` say
/// how it takes the cross axis and extra space; `gravity` and `spacing`
/// distribute the children along the main axis; `border` insets the content.
class Widget : public Node {
    G2_CLASS_INFO()
public:
    Widget();
    /// Leaves the focus (announcing it) and drops every connection.
    ~Widget() override;

    void insertInto(Node* parent, Node* after) override;
    void setParent(Node* parent) override;
    void collectDirty(void* region, int dx, int dy) override;
    void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) override;
    int mouseEvent(const TKAL::Event& event, int x, int y) override;
    void mouseTick() override;
    /// Reads "pos", "size", "expand", "align", "flow", "gravity", "border",
    /// "spacing" and "style" (a "Frame" resource); missing keys keep values.
    void load(RCache* cache, const Property* props) override;
    void focusChanged() override;
    /// Sets size and preferred size when different, and marks for layout.
    virtual void setSize(int w, int h);
    /// Lays the children out inside `content` (the own rectangle less the
    /// border, in the parent's coordinates).
    virtual void arrange(const TKAL::Rect& content);

    /// Grows the preferred size to what the visible children need.
    void measure();
    /// The own rectangle less the border.
    TKAL::Rect contentRect() const;
    /// Places a child; marks it for layout when its size changes.
    static void place(Widget* child, int x, int y, int w, int h);

    void setVisible(bool on);
    bool isVisible() const { return visible; }
    void setInert(bool on);
    bool isInert() const { return (state & Inert) != 0; }
    void markLayout() { needsLayout = 1; }
    /// Marks the widget, its parent widget and its direct children.
    void markLayoutAround();
    void setStyle(TKAL::Frame* frame);
    TKAL::Frame* style() const { return style_; }
    Emitter& emitter() { return emitter_; }
    Widget* parentWidget() const { return parentWidget_; }

    uint32_t eventMask = 0xFFFFFFFFu;
    int16_t requestedX = 0, requestedY = 0;
    uint16_t preferredW = 10, preferredH = 10;
    uint8_t expand = ExpandNone;
    uint8_t flow = FlowNone;
    uint8_t align = AlignCenter;
    uint8_t gravity = GravityCenter;
    uint8_t border = 0;
    uint8_t spacing = 0;
    uint8_t visible = 1;
    uint8_t needsLayout = 1;

protected:
    /// The class's own drawing, in content coordinates (after the
    /// background frame, before the children).
    virtual void drawContent(TKAL::Canvas* canvas, uint32_t drawParam);
    /// Whether the children are drawn after the own content.
    virtual bool drawsChildren() const { return true; }
    void parentChanged() override;

private:
    /// "pos" and "size".
    void loadGeometry(const Property* props);
    /// "expand", "align", "flow", "gravity", "border" and "spacing".
    void loadLayout(const Property* props);
    void arrangeLine(const TKAL::Rect& content, bool vertical);
    void arrangeStack(const TKAL::Rect& content);

    Widget* parentWidget_ = nullptr;
    TKAL::Frame* style_ = nullptr;
    Emitter emitter_;
};

/// The widget `node` when it is a kind of "Widget", else null.
Widget* asWidget(Node* node);

} // namespace G2
