#pragma once
#include <cstdint>
#include <functional>

namespace platform {

using ThreadEntry = void (*)(void* arg);

/// Starts a detached thread running `entry(arg)` with the default stack size.
/// On success stores a process-unique non-zero identifier in `id` and answers
/// true; answers false (and leaves `id` alone) when no thread could be made.
bool startThread(ThreadEntry entry, void* arg, uint32_t& id);

/// The same with a typed body, which the new thread owns (destroyed unrun
/// when no thread could be made).
bool startThread(std::function<void()> body, uint32_t& id);

/// The identifier of the calling thread: the one `startThread` gave it, or a
/// fresh one for threads it did not start (the main thread included).
uint32_t currentThreadId();

} // namespace platform
