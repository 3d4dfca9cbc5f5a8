#pragma once
#include "g2/ClassInfo.h"
#include "g2/Emitter.h"
#include "tkal/Types.h"

#include <cstdint>
#include <memory>
#include <string>

class RCache;
class Property;

namespace TKAL {
class Canvas;
}

namespace G2 {

/// Node state bits.
enum NodeState : uint32_t {
    ButtonsMask = 0xFF,            // mouse buttons pressed on the node and still held
    PointerOver = 0x100,           // the pointer is over the node
    MouseThisFrame = 0x200,        // the node received a mouse event in this frame
    GroupRegistered = 1u << 22,    // a button registered with its button group
    PictCentred = 1u << 23,        // a picture is drawn centred
    PushAuto = 1u << 24,           // a push button loaded with "auto"
    ListRevealSelected = 1u << 25, // a list scrolls to its selection at its next arrange
    EditField = 1u << 26,          // a text field
    SkipTab = 1u << 28,            // Tab navigation passes the node by
    NeedsRedraw = 1u << 29,        // drawn since the last change
    Inert = 1u << 30,              // the node and its subtree receive no mouse events
};

/// A node of the toolkit's tree. A parent owns its children (a doubly linked
/// list); a node without parent is owned by whoever made it.
class Node : public EventTarget {
public:
    static const ClassInfo classRecord;
    virtual const ClassInfo& classInfo() const { return classRecord; }
    bool isKindOf(const ClassInfo& other) const { return classInfo().isKindOf(other); }
    bool isKindOf(const char* className) const { return classInfo().isKindOf(className); }

    Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    /// Destroys the children first, then leaves the parent.
    ~Node() override;

    /// Reserved; every node answers 0.
    virtual int reserved() const { return 0; }
    /// Moves the node under `parent`, after `after` (at the front for null).
    /// Nothing when `parent` is null or `after` is not one of its children.
    virtual void insertInto(Node* parent, Node* after);
    /// Moves the node to the end of `parent`'s children; null detaches it
    /// (the caller then owns it).
    virtual void setParent(Node* parent);
    /// Hands redraw rectangles to a region collector (unused: views are
    /// repainted whole).
    virtual void collectDirty(void* region, int dx, int dy);
    virtual void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam);
    virtual bool acceptsFocus() const { return false; }
    /// Answers nonzero when handled. x, y are relative to the parent's content.
    virtual int mouseEvent(const TKAL::Event& event, int x, int y);
    /// Per-frame pointer bookkeeping.
    virtual void mouseTick();
    /// Applies a property node.
    virtual void load(RCache* cache, const Property* props);
    virtual void broadcast(int phase);
    virtual void onTimer(uint32_t id);
    int onEvent(uint32_t code, void* sender, intptr_t data) override;
    virtual void focusChanged();

    /// Takes ownership of `child` and appends it; answers the borrowed pointer.
    template <typename T> T* append(std::unique_ptr<T> child) {
        T* raw = child.release();
        raw->setParent(this);
        return raw;
    }
    /// Leaves the parent and hands the node's ownership to the caller.
    std::unique_ptr<Node> detach();

    int16_t x = 0, y = 0;
    uint16_t w = 0, h = 0;
    uint32_t state = NeedsRedraw;

    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

    Node* parent() const { return parent_; }
    Node* prevSibling() const { return prev_; }
    Node* nextSibling() const { return next_; }
    Node* firstChild() const { return first_; }
    Node* lastChild() const { return last_; }
    /// Whether `child` is one of this node's direct children.
    bool hasChild(const Node* child) const;

protected:
    /// Called after the parent changed (also to null).
    virtual void parentChanged() {}

private:
    void unlink();
    void link(Node* parent, Node* after);

    std::string name_ = "?";
    Node* parent_ = nullptr;
    Node* prev_ = nullptr;
    Node* next_ = nullptr;
    Node* first_ = nullptr;
    Node* last_ = nullptr;
};

} // namespace G2
