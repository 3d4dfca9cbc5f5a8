#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace platform {

uint32_t milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void sleepMilliseconds(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal may cut the sleep short; keep sleeping for what is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void beginPreciseTiming() {}

void endPreciseTiming() {}

} // namespace platform

namespace platform {

int64_t secondsSince1970() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec);
}

} // namespace platform
