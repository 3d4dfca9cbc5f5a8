// Widget: tree moves, loading from properties, measuring and arranging the
// four flows, drawing with clip and origin, mouse dispatch and the per-frame
// pointer bookkeeping.
#include "g2/Widget.h"

#include "g2/Game.h"
#include "g2/Messages.h"
#include "props/Properties.h"
#include "props/RCache.h"
#include "tkal/Canvas.h"
#include "tkal/Frame.h"

#include <algorithm>

namespace G2 {

G2_DEFINE_CLASS_INFO(Widget, Node, "Widget")

namespace {
const char* const expandNames[] = {"none", "horizontal", "vertical", "both", nullptr};
const char* const alignNames[] = {"center", "start", "end", "none", nullptr};
const char* const gravityNames[] = {"center", "start", "end", nullptr};
const char* const flowNames[] = {"none", "horizontal", "vertical", "stack", nullptr};
} // namespace

Widget* asWidget(Node* node) {
    return node != nullptr && node->isKindOf(Widget::classRecord) ? static_cast<Widget*>(node) : nullptr;
}

Widget::Widget() : emitter_(this) {
    w = h = 10;
}

Widget::~Widget() {
    Toolkit& tk = toolkit();
    if (tk.focus == this) {
        tk.focus = nullptr;
        state |= NeedsRedraw;
        Widget::focusChanged();
    }
}

void Widget::parentChanged() {
    parentWidget_ = asWidget(parent());
}

void Widget::insertInto(Node* parent, Node* after) {
    Node::insertInto(parent, after);
}

void Widget::setParent(Node* parent) {
    Node::setParent(parent);
}

void Widget::collectDirty(void*, int, int) {}

void Widget::setVisible(bool on) {
    if (visible == uint8_t(on))
        return;
    visible = on;
    markLayoutAround();
}

void Widget::setInert(bool on) {
    if (on)
        state |= Inert;
    else
        state &= ~Inert;
    state |= NeedsRedraw;
}

void Widget::markLayoutAround() {
    needsLayout = 1;
    if (parentWidget_ != nullptr)
        parentWidget_->needsLayout = 1;
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling())
        if (Widget* child = asWidget(c))
            child->needsLayout = 1;
}

void Widget::setStyle(TKAL::Frame* frame) {
    if (frame == style_)
        return;
    style_ = frame;
    needsLayout = 1;
}

void Widget::setSize(int width, int height) {
    if (width == w && height == h)
        return;
    w = static_cast<uint16_t>(std::max(0, width));
    h = static_cast<uint16_t>(std::max(0, height));
    preferredW = w;
    preferredH = h;
    needsLayout = 1;
}

void Widget::load(RCache* cache, const Property* props) {
    if (props == nullptr)
        return;
    if (!props->name().empty())
        setName(props->name());
    loadGeometry(props);
    loadLayout(props);
    std::string styleName = props->getString("style", "");
    if (!styleName.empty() && cache != nullptr) {
        auto* frame = static_cast<TKAL::Frame*>(cache->get("Frame", styleName.c_str(), nullptr));
        if (frame != nullptr && frame != style_) {
            style_ = frame;
            needsLayout = 1;
        }
    }
}

void Widget::loadGeometry(const Property* props) {
    int pair[2] = {0, 0};
    if (props->find("pos") != nullptr) {
        pair[0] = x;
        pair[1] = y;
        props->getInts("pos", pair, 2);
        if (pair[0] != x || pair[1] != y) {
            x = requestedX = static_cast<int16_t>(pair[0]);
            y = requestedY = static_cast<int16_t>(pair[1]);
            needsLayout = 1;
        }
    }
    if (props->find("size") != nullptr) {
        pair[0] = w;
        pair[1] = h;
        props->getInts("size", pair, 2);
        setSize(pair[0], pair[1]);
    }
}

void Widget::loadLayout(const Property* props) {
    int words[2] = {0, 0};
    if (props->find("expand") != nullptr) {
        int n = props->getEnums("expand", words, 2, expandNames);
        uint8_t value = 0;
        for (int i = 0; i < n && i < 2; ++i)
            value |= static_cast<uint8_t>(words[i]);
        if (value != expand) {
            expand = value;
            markLayoutAround();
        }
    }
    if (props->find("align") != nullptr && props->getEnums("align", words, 1, alignNames) >= 1 &&
        words[0] != align) {
        align = static_cast<uint8_t>(words[0]);
        markLayoutAround();
    }
    auto readWord = [&](const char* key, const char* const* names, uint8_t& field) {
        int word = field;
        if (props->find(key) != nullptr && props->getEnums(key, &word, 1, names) >= 1 && word != field) {
            field = static_cast<uint8_t>(word);
            needsLayout = 1;
        }
    };
    readWord("flow", flowNames, flow);
    readWord("gravity", gravityNames, gravity);
    auto readByte = [&](const char* key, uint8_t& field) {
        if (props->find(key) == nullptr)
            return;
        int value = props->getInt(key, field);
        if (static_cast<uint8_t>(value) != field) {
            field = static_cast<uint8_t>(value);
            needsLayout = 1;
        }
    };
    readByte("border", border);
    readByte("spacing", spacing);
}

void Widget::focusChanged() {
    emitter_.emit(toolkit().focus == this ? Msg::FocusGained : Msg::FocusLost, 0);
}

TKAL::Rect Widget::contentRect() const {
    TKAL::Rect r;
    r.x = static_cast<int16_t>(x + border);
    r.y = static_cast<int16_t>(y + border);
    r.w = static_cast<uint16_t>(std::max(0, int(w) - 2 * border));
    r.h = static_cast<uint16_t>(std::max(0, int(h) - 2 * border));
    return r;
}

void Widget::measure() {
    int width = 0;
    int height = 0;
    int n = 0;
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling()) {
        Widget* child = asWidget(c);
        if (child == nullptr || !child->visible)
            continue;
        child->measure();
        int pw = child->preferredW;
        int ph = child->preferredH;
        switch (flow) {
        case FlowVertical:
            height += ph;
            width = std::max(width, pw);
            if (n > 0)
                height += spacing;
            break;
        case FlowHorizontal:
            width += pw;
            height = std::max(height, ph);
            if (n > 0)
                width += spacing;
            break;
        case FlowStack:
            width += pw;
            height += ph;
            break;
        default:
            width = std::max(width, pw);
            height = std::max(height, ph);
            break;
        }
        ++n;
    }
    width += 2 * border;
    height += 2 * border;
    if (width > preferredW)
        preferredW = static_cast<uint16_t>(std::min(width, 0xFFFF));
    if (height > preferredH)
        preferredH = static_cast<uint16_t>(std::min(height, 0xFFFF));
}

void Widget::place(Widget* child, int px, int py, int pw, int ph) {
    pw = std::clamp(pw, 0, 0xFFFF);
    ph = std::clamp(ph, 0, 0xFFFF);
    child->x = static_cast<int16_t>(px);
    child->y = static_cast<int16_t>(py);
    if (child->w != pw || child->h != ph) {
        child->w = static_cast<uint16_t>(pw);
        child->h = static_cast<uint16_t>(ph);
        child->needsLayout = 1;
    }
}

namespace {

// Where a child of a line goes across it (`cross` long): stretched when it
// expands that way, else at its preferred length by its align ("none"
// leaves it as it is).
void placeAcross(const Widget* child, int cross, bool vertical, int& position, int& length) {
    position = vertical ? child->x : child->y;
    length = vertical ? child->w : child->h;
    if (child->expand & (vertical ? ExpandHorizontal : ExpandVertical)) {
        position = 0;
        length = cross;
    } else if (child->align != AlignNone) {
        length = vertical ? child->preferredW : child->preferredH;
        if (child->align == AlignStart)
            position = 0;
        else if (child->align == AlignEnd)
            position = cross - length;
        else
            position = (cross - length) / 2;
    }
}

} // namespace

void Widget::arrangeLine(const TKAL::Rect& content, bool vertical) {
    const int main = vertical ? content.h : content.w;
    const int cross = vertical ? content.w : content.h;
    const uint8_t mainBit = vertical ? ExpandVertical : ExpandHorizontal;

    int n = 0;
    int total = 0;
    int expanders = 0;
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling()) {
        Widget* child = asWidget(c);
        if (child == nullptr || !child->visible)
            continue;
        ++n;
        total += vertical ? child->preferredH : child->preferredW;
        if (child->expand & mainBit)
            ++expanders;
    }
    if (n == 0)
        return;

    int first = 0;
    int gap = spacing;
    int extra = 0;
    if (expanders > 0) {
        extra = (main - (n - 1) * spacing - total) / expanders;
    } else if (gravity == GravityEnd) {
        first = main - (n - 1) * spacing - total;
    } else if (gravity == GravityCenter) {
        gap = first = (main - total) / (n + 1);
    }

    int position = first;
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling()) {
        Widget* child = asWidget(c);
        if (child == nullptr || !child->visible)
            continue;
        int crossPos = 0;
        int crossLen = 0;
        placeAcross(child, cross, vertical, crossPos, crossLen);
        int length = vertical ? child->preferredH : child->preferredW;
        if (child->expand & mainBit)
            length += extra;
        length = std::max(0, length);
        if (vertical)
            place(child, crossPos, position, crossLen, length);
        else
            place(child, position, crossPos, length, crossLen);
        position += length + gap;
    }
}

void Widget::arrangeStack(const TKAL::Rect& content) {
    const int cw = content.w;
    const int ch = content.h;
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling()) {
        Widget* child = asWidget(c);
        if (child == nullptr || !child->visible)
            continue;
        int px = child->x, py = child->y, pw = child->w, ph = child->h;
        bool horizontal = child->expand & ExpandHorizontal;
        bool verticalToo = child->expand & ExpandVertical;
        if (horizontal) {
            px = 0;
            pw = cw;
            if (!verticalToo) {
                if (child->align == AlignEnd)
                    py = ch - ph;
                else if (child->align == AlignCenter)
                    py = (ch - ph) / 2;
            }
        }
        if (verticalToo) {
            py = 0;
            ph = ch;
            if (!horizontal) {
                if (child->align == AlignEnd)
                    px = cw - pw;
                else if (child->align == AlignCenter)
                    px = (cw - pw) / 2;
            }
        }
        if (!horizontal && !verticalToo && child->align == AlignCenter) {
            px = (cw - pw) / 2;
            py = (ch - ph) / 2;
        }
        place(child, px, py, pw, ph);
    }
}

void Widget::arrange(const TKAL::Rect& content) {
    if (firstChild() == nullptr) {
        needsLayout = 0;
        return;
    }
    measure();
    switch (flow) {
    case FlowVertical:
        arrangeLine(content, true);
        break;
    case FlowHorizontal:
        arrangeLine(content, false);
        break;
    case FlowStack:
        arrangeStack(content);
        break;
    default:
        break;
    }
    needsLayout = 0;
}

void Widget::drawContent(TKAL::Canvas*, uint32_t) {}

void Widget::draw(TKAL::Canvas* canvas, int, int, uint32_t drawParam) {
    if (!visible || canvas == nullptr)
        return;
    TKAL::Rect content = contentRect();
    if (needsLayout)
        arrange(content);
    canvas->pushOrigin();
    canvas->pushClip();
    TKAL::Rect own{x, y, w, h};
    canvas->setClip(own);
    if (style_ != nullptr)
        style_->draw(canvas, own);
    canvas->setClip(content);
    canvas->translate(content.x, content.y);
    drawContent(canvas, drawParam);
    if (drawsChildren()) {
        for (Node* c = firstChild(); c != nullptr; c = c->nextSibling())
            c->draw(canvas, 0, 0, drawParam);
    }
    canvas->popClip();
    canvas->popOrigin();
    state &= ~NeedsRedraw;
}

int Widget::mouseEvent(const TKAL::Event& event, int px, int py) {
    if ((state & Inert) || !visible)
        return 0;
    int lx = px - x;
    int ly = py - y;
    if (lx < 0 || ly < 0 || lx >= w || ly >= h)
        return 0;
    state |= MouseThisFrame;
    TKAL::Event local = event;
    local.arg2 = lx;
    local.arg3 = ly;
    if (event.type == TKAL::Event::Motion) {
        if (!(state & PointerOver))
            onEvent(Msg::PointerEntered, this, 0);
        state |= PointerOver | MouseThisFrame;
    } else if (event.type == TKAL::Event::ButtonDown) {
        acceptsFocus();
        toolkit().setFocus(this);
        state |= static_cast<uint32_t>(event.arg1) & ButtonsMask;
    }
    if (eventMask & event.type) {
        int handled = onEvent(event.type, this, reinterpret_cast<intptr_t>(&local));
        if (handled != 0)
            return handled;
    }
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling()) {
        int handled = c->mouseEvent(event, lx - border, ly - border);
        if (handled != 0)
            return handled;
    }
    return 0;
}

void Widget::mouseTick() {
    Toolkit& tk = toolkit();
    if (tk.mouse.moved && !(state & MouseThisFrame) && (state & PointerOver)) {
        state &= ~PointerOver;
        onEvent(Msg::PointerLeft, this, 0);
    }
    uint32_t pressed = state & ButtonsMask;
    uint32_t released = pressed & ~tk.mouse.held;
    state = (state & ~(ButtonsMask | MouseThisFrame)) | (pressed & tk.mouse.held);
    if (released != 0)
        onEvent(Msg::Click, this, static_cast<intptr_t>(released));
    for (Node* c = firstChild(); c != nullptr; c = c->nextSibling())
        c->mouseTick();
}

} // namespace G2
