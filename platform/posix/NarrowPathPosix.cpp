#include "platform/NarrowPath.h"

namespace platform {

std::string narrowPath(const std::string& path) {
    return path;
}

} // namespace platform
