#pragma once
#include <cstdint>

namespace platform {

/// Milliseconds from a fixed point in the past, on a monotonic clock. The
/// count is 32 bits wide and wraps around every 49.7 days, so callers compare
/// two readings by their signed difference.
uint32_t milliseconds();

/// Blocks the calling thread for at least `ms` milliseconds.
void sleepMilliseconds(uint32_t ms);

} // namespace platform

namespace platform {

/// Seconds since 1970-01-01 00:00:00 UTC (wall-clock time).
int64_t secondsSince1970();

} // namespace platform
