#pragma once
#include <cstdint>

/// Category bits of the web-service traces and network failures in the log.
constexpr uint32_t netLogCategory = 0x2000;

/// Logs one line with the network category.
__attribute__((format(printf, 1, 2))) void netLog(const char* fmt, ...);
