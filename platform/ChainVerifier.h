#pragma once
// The operating system's own judgement of a TLS server's certificates.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// What the system concluded about a server's certificate chain.
enum class ChainVerdict {
    Trusted,       ///< the system accepts the chain for this server
    UntrustedRoot, ///< no chain to an authority the system trusts
    Revoked,       ///< a certificate of the chain has been revoked
    NameMismatch,  ///< the server's certificate does not name the server
    Expired,       ///< a certificate of the chain is outside its validity
    Distrusted,    ///< a certificate of the chain is explicitly distrusted
    WrongUsage,    ///< the chain is not valid for authenticating a server
    Invalid,       ///< the chain is broken otherwise (signature, constraints, encoding)
};

/// A short English text for the log ("revoked", "untrusted root", ...).
const char* chainVerdictText(ChainVerdict verdict);

/// The verdict with what the system said.
struct ChainJudgement {
    ChainVerdict verdict = ChainVerdict::Invalid;
    /// What the system's policy answered (an HRESULT on Windows); 0 when
    /// it found nothing.
    uint32_t policyError = 0;
    /// The error bits of the system's chain engine; 0 when none.
    uint32_t chainErrors = 0;
    /// Revocation could not be checked (no revocation server answered in
    /// time, or the certificates name none); the chain was judged without.
    bool revocationUnchecked = false;
};

/// Judges a TLS server's certificate chain by the system's own rules: the
/// authorities it trusts and distrusts, the purposes it allows them,
/// revocation, and the server's name.
class ChainVerifier {
public:
    virtual ~ChainVerifier() = default;
    /// `chain`: the DER certificates the server sent, its own first.
    /// `serverName`: the DNS name the client asked for; empty when the
    /// caller checks the server's identity itself (a dotted address).
    /// `fetchLimitMs`: how long fetching revocation data may take in all
    /// (0: the system's own limits). Called from any thread.
    virtual ChainJudgement judge(const std::vector<std::string>& chain, const std::string& serverName,
                                 uint32_t fetchLimitMs) = 0;
};

/// The system's chain engine; null where the system keeps none of its own
/// (POSIX systems: there the TLS library verifies against the system's
/// certificate store, which is all the trust the system has).
std::unique_ptr<ChainVerifier> systemChainVerifier();

} // namespace platform
