#pragma once
#include <memory>

typedef struct ssl_ctx_st SSL_CTX;

/// Owns one TLS context. A null context means TLS is unavailable.
class SslContext {
public:
    /// Without a certificate file: a client context that requires TLS 1.2 or
    /// newer and verifies every server, against the certificates of the PEM
    /// file `caFile` when one is named, else against the system's trusted
    /// certificates (on Windows those of its "ROOT" certificate store). With a certificate file: a context for an endpoint that
    /// presents that certificate, its key read from `keyFile` or, when that
    /// is null, from the certificate file. Any step that fails leaves the
    /// context null.
    explicit SslContext(const char* certFile = nullptr, const char* keyFile = nullptr,
                        const char* caFile = nullptr);
    SslContext(const SslContext&) = delete;
    SslContext& operator=(const SslContext&) = delete;
    ~SslContext();

    SSL_CTX* get() const { return context_.get(); }
    bool valid() const { return context_ != nullptr; }

private:
    struct Free {
        void operator()(SSL_CTX* context) const;
    };
    std::unique_ptr<SSL_CTX, Free> context_;
};
