#pragma once
#include "platform/ChainVerifier.h"

#include <cstdint>
#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

/// Owns one TLS context. A null context means TLS is unavailable.
class SslContext {
public:
    /// Without a certificate file: a client context that requires TLS 1.2 or
    /// newer and verifies every server. With `caFile` named, OpenSSL checks
    /// the server against the certificates of that PEM file alone. Without
    /// it, the system judges the server's chain where it has a chain engine
    /// of its own (Windows), and OpenSSL checks it against the system's
    /// certificate store elsewhere. With a certificate file: a context for
    /// an endpoint that presents that certificate, its key read from
    /// `keyFile` or, when that is null, from the certificate file. Any step
    /// that fails leaves the context null.
    explicit SslContext(const char* certFile = nullptr, const char* keyFile = nullptr,
                        const char* caFile = nullptr);
    /// A client context whose servers `verifier` alone judges (null: the
    /// context stays null).
    explicit SslContext(std::unique_ptr<platform::ChainVerifier> verifier);
    SslContext(const SslContext&) = delete;
    SslContext& operator=(const SslContext&) = delete;
    ~SslContext();

    SSL_CTX* get() const { return context_.get(); }
    bool valid() const { return context_ != nullptr; }
    /// Whether a chain verifier (rather than OpenSSL) judges the servers.
    bool judgedBySystem() const { return verifier_ != nullptr; }

    /// What one connection asks of the verifier, and what it answered.
    struct ServerCheck {
        /// The DNS name the server must carry; empty for an address.
        std::string serverName;
        /// The dotted IPv4 address the server must carry; empty for a name.
        std::string address;
        /// How long fetching revocation data may take (0: no limit of ours).
        uint32_t fetchLimitMs = 0;
        /// Set once the verifier has judged the server's chain.
        bool judged = false;
        platform::ChainJudgement judgement;
    };
    /// Hands `check` (borrowed; it must outlive the handshake) to the
    /// verification of `ssl`'s server. False when the library refused.
    static bool attach(SSL* ssl, ServerCheck* check);

private:
    void makeClient(const char* caFile);

    struct Free {
        void operator()(SSL_CTX* context) const;
    };
    // Declared first so that it outlives the context that calls it.
    std::unique_ptr<platform::ChainVerifier> verifier_;
    std::unique_ptr<SSL_CTX, Free> context_;
};
