#include "platform/ChainVerifier.h"

namespace platform {

std::unique_ptr<ChainVerifier> systemChainVerifier() {
    return nullptr;
}

} // namespace platform
