#pragma once

namespace G2 {

/// A phase of the application: entered, updated every frame, left.
class Scene {
public:
    virtual ~Scene();
    virtual void enter();
    virtual void leave();
    /// True makes the frame call `afterUpdate` right after.
    virtual bool update();
    virtual void afterUpdate();
};

} // namespace G2
