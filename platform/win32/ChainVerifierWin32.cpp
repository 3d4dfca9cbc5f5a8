// A TLS server's chain judged by Windows' own chain engine and SSL policy:
// the certificates the server sent are offered to the engine in a store of
// their own, so that the roots the engine trusts (the user's and the
// machine's, enterprise roots, those it fetches on demand), the "Disallowed"
// store, the purposes Windows restricts a root to, and revocation apply as
// they do for the system's own browser.
//
// Revocation: every certificate but the root is checked, within the time
// the caller allows for all fetches together. A revoked certificate is
// refused; a chain whose revocation servers do not answer (offline, too
// slow) or that names none is judged without, as the system's browser does,
// and the caller is told so.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "platform/ChainVerifier.h"

#include <windows.h>

#include <wincrypt.h>

namespace platform {

namespace {

struct StoreClose {
    void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct CertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Store = std::unique_ptr<void, StoreClose>;
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

// What the engine reports when revocation could not be checked; the chain
// is judged without it.
constexpr DWORD revocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
// The engine reports validity periods that do not nest, which no policy of
// Windows refuses any more.
constexpr DWORD notRefused = revocationUnknown | CERT_TRUST_IS_NOT_TIME_NESTED;

// SECURITY_FLAG_IGNORE_CERT_CN_INVALID and SECURITY_FLAG_IGNORE_REVOCATION
// of the SSL policy's checks; their header is the internet API's, which
// nothing else here needs.
constexpr DWORD ignoreServerName = 0x00001000;
constexpr DWORD ignoreRevocation = 0x00000080;

std::wstring wideName(const std::string& name) {
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                          static_cast<int>(name.size()), nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), &wide[0],
                        units);
    return wide;
}

// The verdict for the engine's error bits, the most telling first. Checked
// beside the policy's answer: an engine finding that refuses a chain counts
// even where a policy implementation leaves it out.
ChainVerdict verdictOfChain(DWORD errors) {
    if (errors & CERT_TRUST_IS_EXPLICIT_DISTRUST)
        return ChainVerdict::Distrusted;
    if (errors & CERT_TRUST_IS_REVOKED)
        return ChainVerdict::Revoked;
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        return ChainVerdict::UntrustedRoot;
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID)
        return ChainVerdict::Expired;
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return ChainVerdict::WrongUsage;
    return ChainVerdict::Invalid;
}

ChainVerdict verdictOfPolicy(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(TRUST_E_EXPLICIT_DISTRUST):
        return ChainVerdict::Distrusted;
    case static_cast<DWORD>(CRYPT_E_REVOKED):
    case static_cast<DWORD>(CERT_E_REVOKED):
        return ChainVerdict::Revoked;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDCA):
    case static_cast<DWORD>(CERT_E_CHAINING):
        return ChainVerdict::UntrustedRoot;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return ChainVerdict::NameMismatch;
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return ChainVerdict::Expired;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
    case static_cast<DWORD>(CERT_E_PURPOSE):
        return ChainVerdict::WrongUsage;
    default:
        return ChainVerdict::Invalid;
    }
}

// The server's certificates in a store of their own; `leaf` is the
// server's own, as that store holds it. Null when one cannot be read.
Store storeOf(const std::vector<std::string>& chain, Certificate& leaf) {
    Store store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!store)
        return nullptr;
    for (size_t i = 0; i < chain.size(); ++i) {
        PCCERT_CONTEXT added = nullptr;
        if (!CertAddEncodedCertificateToStore(
                store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(chain[i].data()),
                static_cast<DWORD>(chain[i].size()), CERT_STORE_ADD_ALWAYS, i == 0 ? &added : nullptr)) {
            // An intermediate the engine cannot read is one it cannot use;
            // the server's own certificate is the one thing it must have.
            if (i == 0)
                return nullptr;
            continue;
        }
        if (i == 0)
            leaf.reset(added);
    }
    return store;
}

// The chain the engine builds from `leaf` and the certificates the server
// sent, for a server's use, with revocation checked within `fetchLimitMs`
// (0: Windows' own limits). Null, with the system's error, when none.
Chain buildChain(const CERT_CONTEXT* leaf, HCERTSTORE sent, uint32_t fetchLimitMs, DWORD& error) {
    LPSTR serverAuth = const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH);
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = &serverAuth;
    DWORD flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    if (fetchLimitMs > 0) {
        para.dwUrlRetrievalTimeout = fetchLimitMs;
        flags |= CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    }
    PCCERT_CHAIN_CONTEXT built = nullptr;
    if (!CertGetCertificateChain(nullptr, leaf, nullptr, sent, &para, flags, nullptr, &built)) {
        error = GetLastError();
        return nullptr;
    }
    return Chain(built);
}

// The SSL policy's answer for `chain` and `serverName` (empty: the caller
// checks the server's identity itself), in `status`; false, with the
// system's error there, when the policy could not be asked.
bool askSslPolicy(const CERT_CHAIN_CONTEXT* chain, const std::string& serverName,
                  CERT_CHAIN_POLICY_STATUS& status) {
    const DWORD errors = chain->TrustStatus.dwErrorStatus;
    // A dotted address has no name the policy could compare; the caller
    // checks it against the certificate's addresses.
    std::wstring name = wideName(serverName);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = name.empty() ? ignoreServerName : 0;
    // Some engines answer an unchecked revocation with
    // CERT_E_REVOCATION_FAILURE despite the policy flag below, and stop
    // there, before the name is compared. A revoked certificate is refused
    // by the chain's own bits, whatever this flag says.
    if ((errors & revocationUnknown) != 0 && (errors & CERT_TRUST_IS_REVOKED) == 0)
        ssl.fdwChecks |= ignoreRevocation;
    ssl.pwszServerName = name.empty() ? nullptr : &name[0];
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    status = CERT_CHAIN_POLICY_STATUS{};
    status.cbSize = sizeof status;
    if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        return true;
    status.dwError = GetLastError();
    return false;
}

class WindowsChainVerifier : public ChainVerifier {
public:
    ChainJudgement judge(const std::vector<std::string>& chain, const std::string& serverName,
                         uint32_t fetchLimitMs) override {
        ChainJudgement judgement;
        Certificate leaf;
        Store sent = chain.empty() ? nullptr : storeOf(chain, leaf);
        if (!sent || !leaf)
            return judgement;
        DWORD error = 0;
        const Chain held = buildChain(leaf.get(), sent.get(), fetchLimitMs, error);
        if (!held) {
            judgement.policyError = error;
            return judgement;
        }
        const DWORD errors = held->TrustStatus.dwErrorStatus;
        judgement.chainErrors = errors;
        judgement.revocationUnchecked = (errors & revocationUnknown) != 0;
        CERT_CHAIN_POLICY_STATUS status{};
        const bool asked = askSslPolicy(held.get(), serverName, status);
        judgement.policyError = status.dwError;
        if (!asked)
            return judgement;
        if ((errors & ~notRefused) != 0)
            judgement.verdict = verdictOfChain(errors);
        else if (status.dwError != 0)
            judgement.verdict = verdictOfPolicy(status.dwError);
        else
            judgement.verdict = ChainVerdict::Trusted;
        return judgement;
    }
};

} // namespace

std::unique_ptr<ChainVerifier> systemChainVerifier() {
    return std::make_unique<WindowsChainVerifier>();
}

} // namespace platform
