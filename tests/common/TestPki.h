#pragma once
#include <memory>
#include <string>
#include <vector>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;
typedef struct ssl_ctx_st SSL_CTX;

namespace nettest {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const;
};
struct X509Free {
    void operator()(X509* cert) const;
};
struct CtxFree {
    void operator()(SSL_CTX* context) const;
};
using Key = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Cert = std::unique_ptr<X509, X509Free>;
using ServerContext = std::unique_ptr<SSL_CTX, CtxFree>;

/// A key and its certificate.
struct Identity {
    Key key;
    Cert cert;
};

/// Certificates made for one test run: authorities and server certificates
/// signed by them, with chosen names and validity.
class TestPki {
public:
    /// A self-signed certificate authority, or with `issuer` an intermediate
    /// authority signed by that one.
    static Identity authority(const std::string& commonName, const Identity* issuer = nullptr);
    /// A server certificate for `altNames` ("DNS:localhost,IP:127.0.0.1"),
    /// valid from now + `fromSeconds` to now + `toSeconds`.
    static Identity server(const Identity& issuer, const std::string& altNames, long fromSeconds = -3600,
                           long toSeconds = 86400);
    /// The same with its extended key usage (`usage`, "serverAuth" above)
    /// chosen.
    static Identity server(const Identity& issuer, const std::string& altNames, const std::string& usage);
    /// The DER form of a certificate.
    static std::string der(const Cert& cert);

    static bool writePem(const Cert& cert, const std::string& path);
    static bool writeKeyPem(const Key& key, const std::string& path);

    /// A server context presenting `identity`, limited to the protocol
    /// versions given (0: no limit); security level 0 lets old versions run.
    static ServerContext context(const Identity& identity, int minVersion = 0, int maxVersion = 0,
                                 int securityLevel = -1);
    /// A server context presenting `identity` followed by the authority
    /// certificates `chain` (intermediates, as a server sends them).
    static ServerContext context(const Identity& identity, const std::vector<const Identity*>& chain);
};

} // namespace nettest
