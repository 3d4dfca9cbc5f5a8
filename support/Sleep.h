#pragma once
#include <cstdint>

namespace support {

/// Blocks the calling thread for `ms` milliseconds.
void sleep(uint32_t ms);

} // namespace support
