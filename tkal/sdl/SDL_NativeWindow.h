#pragma once
#include "platform/Window.h"

namespace TKAL {

/// The native window behind SDL's video surface; false when there is none
/// (no window yet, or a driver without one, such as "dummy").
bool sdlNativeWindow(platform::NativeWindow& win);

} // namespace TKAL
