#pragma once
#include <cstdint>
#include <functional>
#include <memory>

/// Typed thread starts over platform's thread start: the work is a
/// `std::function`, owned by the new thread.
namespace support {

/// Runs `body` on a new detached thread, whose identifier goes to `id` when
/// it is not null. False when no thread could be made; `body` is then
/// destroyed without having run.
bool startThread(std::function<void()> body, uint32_t* id = nullptr);

/// Runs `body` on a new detached thread, or on the calling thread (before
/// answering) when no thread could be made.
void runOnThreadOrHere(std::function<void()> body);

/// Helper threads that take part in a piece of work beside the calling
/// thread: each runs its body once (typically a loop claiming items until
/// none is left or a stop is asked). `join` (or the destructor) waits until
/// every helper has returned from its body, so that nothing the bodies use
/// is touched once it has answered.
class HelperGroup {
public:
    HelperGroup();
    ~HelperGroup();
    HelperGroup(const HelperGroup&) = delete;
    HelperGroup& operator=(const HelperGroup&) = delete;

    /// Starts up to `count` helpers running `body`, stopping at the first
    /// that cannot be made (the calling thread does the work then); answers
    /// how many were started.
    int start(int count, const std::function<void()>& body);
    /// Waits for every helper started to return from its body.
    void join();

private:
    struct State;
    // Shared with the helpers, so that one that is the last to end may
    // still signal after the group is gone.
    std::shared_ptr<State> state_;
};

} // namespace support
