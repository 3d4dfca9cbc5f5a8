#pragma once

namespace platform {

/// The system's component services (COM on Windows) for the calling thread
/// while the holder lives. They are undone at its end only when this holder
/// set them up: a thread that already had them keeps them. Elsewhere there
/// are none to set up: the holder does nothing and is not `usable`.
class ComApartment {
public:
    enum class Model { SingleThreaded, MultiThreaded };

    explicit ComApartment(Model model = Model::SingleThreaded);
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

    /// Whether the services can be used on this thread (also when the thread
    /// already had them in the other model).
    bool usable() const { return usable_; }

    /// Whether the thread had the services before this holder (set up by
    /// its owner, in either model).
    bool hadThem() const { return had_; }

private:
    bool usable_ = true;
    // Only where the services exist is there anything of the holder's own to undo.
    [[maybe_unused]] bool owned_ = false;
    bool had_ = false;
};

} // namespace platform
