#include "platform/ChainVerifier.h"

namespace platform {

const char* chainVerdictText(ChainVerdict verdict) {
    switch (verdict) {
    case ChainVerdict::Trusted:
        return "trusted";
    case ChainVerdict::UntrustedRoot:
        return "untrusted root";
    case ChainVerdict::Revoked:
        return "revoked";
    case ChainVerdict::NameMismatch:
        return "name mismatch";
    case ChainVerdict::Expired:
        return "expired";
    case ChainVerdict::Distrusted:
        return "distrusted";
    case ChainVerdict::WrongUsage:
        return "wrong usage";
    case ChainVerdict::Invalid:
        break;
    }
    return "invalid chain";
}

} // namespace platform
