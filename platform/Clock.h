#pragma once
#include <cstdint>

namespace platform {

/// Milliseconds from a fixed point in the past, on a monotonic clock. The
/// count is 32 bits wide and wraps around every 49.7 days, so callers compare
/// two readings by their signed difference.
uint32_t milliseconds();

/// Blocks the calling thread for at least `ms` milliseconds.
void sleepMilliseconds(uint32_t ms);

/// From `beginPreciseTiming` to the matching `endPreciseTiming`, sleeps and
/// clock readings keep to about a millisecond. Windows ticks every 15.6 ms
/// by default, which would stretch a 40 ms wait to 46.8 ms; the finer tick
/// costs power, so it is asked for only while it is needed. Calls nest.
/// Elsewhere the system is always that precise and these do nothing.
void beginPreciseTiming();
void endPreciseTiming();

} // namespace platform

namespace platform {

/// Seconds since 1970-01-01 00:00:00 UTC (wall-clock time).
int64_t secondsSince1970();

} // namespace platform
