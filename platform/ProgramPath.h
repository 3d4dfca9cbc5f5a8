#pragma once
#include <string>

namespace platform {

/// Full path of the running executable, or the empty text when the system
/// cannot tell it.
std::string programPath();

} // namespace platform
