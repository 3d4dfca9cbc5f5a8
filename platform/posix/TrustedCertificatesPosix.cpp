#include "platform/TrustedCertificates.h"

namespace platform {

std::vector<std::string> systemRootCertificates() {
    return {};
}

} // namespace platform
