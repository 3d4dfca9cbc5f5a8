#include "g2/View.h"

#include "g2/Widget.h"
#include "tkal/Canvas.h"
#include "tkal/Display.h"

namespace G2 {

View::View(TKAL::Display* display, const TKAL::Rect& rect) : rect_(rect), display_(display) {
    if (display_ != nullptr)
        canvas_ = display_->createScreenCanvas(rect);
}

View::~View() = default;

void View::collectDirty(void*) {}

void View::draw() {
    if (!canvas_)
        return;
    canvas_->setDeferred(deferred);
    if (flags & (FillAlways | FillOnce))
        canvas_->fill(background);
    if (root_ != nullptr)
        root_->draw(canvas_.get(), 0, 0, drawParam);
    canvas_->flush();
}

void View::endFrame() {
    if (flags & FillOnce)
        flags &= ~uint32_t(FillAlways | FillOnce);
}

int View::mouseEvent(const TKAL::Event& event, int x, int y) {
    int vx = x - rect_.x;
    int vy = y - rect_.y;
    // The view's first row and column take no mouse events.
    if (vx < 1 || vy < 1 || vx >= rect_.w || vy >= rect_.h || root_ == nullptr)
        return 0;
    return root_->mouseEvent(event, vx, vy);
}

void View::tick() {
    if (root_ != nullptr)
        root_->mouseTick();
}

} // namespace G2
