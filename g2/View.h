#pragma once
#include "tkal/Types.h"

#include <cstdint>
#include <memory>

namespace TKAL {
class Canvas;
class Display;
} // namespace TKAL

namespace G2 {

class Widget;

/// A screen layer: a rectangle of the screen with its own canvas, showing
/// one root widget (not owned).
class View {
public:
    /// View flags.
    enum : uint32_t { FillAlways = 1, FillOnce = 2, RedrawEveryFrame = 4 };

    /// A view over `rect` of the screen; its canvas comes from `display`.
    View(TKAL::Display* display, const TKAL::Rect& rect);
    virtual ~View();

    virtual void collectDirty(void* region);
    virtual void draw();
    /// Clears the fill bits after a one-time fill.
    virtual void endFrame();
    /// x, y are screen coordinates; answers nonzero when handled.
    virtual int mouseEvent(const TKAL::Event& event, int x, int y);
    /// Pointer bookkeeping of the root's tree.
    virtual void tick();

    void setRoot(Widget* root) { root_ = root; }
    Widget* root() const { return root_; }
    const TKAL::Rect& rect() const { return rect_; }
    TKAL::Canvas* canvas() const { return canvas_.get(); }

    uint32_t drawParam = 0;
    uint32_t background = 0;
    bool deferred = false;
    uint32_t flags = RedrawEveryFrame;

private:
    Widget* root_ = nullptr;
    TKAL::Rect rect_;
    std::unique_ptr<TKAL::Canvas> canvas_;
    TKAL::Display* display_;
};

} // namespace G2
