#include "g2/Node.h"

#include "g2/Game.h"

#include <cstring>

namespace G2 {

const ClassInfo Node::classRecord{nullptr, "Node"};

bool ClassInfo::isKindOf(const char* className) const {
    for (const ClassInfo* c = this; c != nullptr; c = c->parent)
        if (std::strcmp(c->name, className) == 0)
            return true;
    return false;
}

Node::Node() = default;

Node::~Node() {
    while (first_ != nullptr)
        delete first_; // each child unlinks itself
    Toolkit& tk = toolkit();
    if (tk.focus == this) {
        tk.focus = nullptr;
        state |= NeedsRedraw;
    }
    tk.forget(this);
    unlink();
}

bool Node::hasChild(const Node* child) const {
    return child != nullptr && child->parent_ == this;
}

void Node::unlink() {
    if (parent_ == nullptr)
        return;
    if (prev_ != nullptr)
        prev_->next_ = next_;
    else
        parent_->first_ = next_;
    if (next_ != nullptr)
        next_->prev_ = prev_;
    else
        parent_->last_ = prev_;
    parent_ = prev_ = next_ = nullptr;
}

void Node::link(Node* parent, Node* after) {
    parent_ = parent;
    prev_ = after;
    next_ = after != nullptr ? after->next_ : parent->first_;
    if (prev_ != nullptr)
        prev_->next_ = this;
    else
        parent->first_ = this;
    if (next_ != nullptr)
        next_->prev_ = this;
    else
        parent->last_ = this;
}

void Node::insertInto(Node* parent, Node* after) {
    if (parent == nullptr || parent == this)
        return;
    if (after != nullptr && !parent->hasChild(after))
        return;
    if (after == this)
        return;
    // A node cannot become its own descendant.
    for (Node* a = parent; a != nullptr; a = a->parent_)
        if (a == this)
            return;
    unlink();
    link(parent, after);
    parentChanged();
}

void Node::setParent(Node* parent) {
    if (parent != nullptr) {
        for (Node* a = parent; a != nullptr; a = a->parent_)
            if (a == this)
                return;
    }
    unlink();
    if (parent != nullptr)
        link(parent, parent->last_);
    parentChanged();
}

std::unique_ptr<Node> Node::detach() {
    setParent(nullptr);
    return std::unique_ptr<Node>(this);
}

void Node::collectDirty(void*, int, int) {}

void Node::draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) {
    for (Node* c = first_; c != nullptr; c = c->next_)
        c->draw(canvas, dx + x, dy + y, drawParam);
    state &= ~NeedsRedraw;
}

int Node::mouseEvent(const TKAL::Event&, int, int) {
    return 0;
}

void Node::mouseTick() {}

void Node::load(RCache*, const Property*) {}

void Node::broadcast(int phase) {
    for (Node* c = first_; c != nullptr; c = c->next_)
        c->broadcast(phase);
}

void Node::onTimer(uint32_t) {}

int Node::onEvent(uint32_t, void*, intptr_t) {
    return 0;
}

void Node::focusChanged() {}

} // namespace G2
