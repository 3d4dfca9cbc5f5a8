#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>

namespace platform {

uint32_t milliseconds() {
    return timeGetTime();
}

void sleepMilliseconds(uint32_t ms) {
    Sleep(ms);
}

void beginPreciseTiming() {
    timeBeginPeriod(1);
}

void endPreciseTiming() {
    timeEndPeriod(1);
}

int64_t secondsSince1970() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // 100-ns intervals since 1601-01-01.
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000u) - INT64_C(11644473600);
}

} // namespace platform
