#pragma once
#include <cstdint>
#include <utility>
#include <vector>

namespace TKAL {

/// The full-screen sizes SDL offers at 32 bits per pixel, as listed; the
/// desktop's size alone when SDL lists none or accepts any size.
std::vector<std::pair<uint32_t, uint32_t>> fullscreenModes();

} // namespace TKAL
