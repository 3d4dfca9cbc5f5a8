#pragma once
#include <cstdint>

/// Category bits of the updater's lines in the log.
constexpr uint32_t updateLogCategory = 0x4000;

/// Logs one line with the updater's category.
__attribute__((format(printf, 1, 2))) void updateLog(const char* fmt, ...);
