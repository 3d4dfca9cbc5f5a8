#include "net/SslContext.h"

#include "net/NetLog.h"
#include "platform/TrustedCertificates.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace {

// The system's own trusted authorities that OpenSSL's default paths miss
// (Windows keeps them in its certificate store): added to the context's
// store. Answers how many were added.
int addSystemRoots(SSL_CTX* context) {
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    int added = 0;
    for (const std::string& der : platform::systemRootCertificates()) {
        const unsigned char* at = reinterpret_cast<const unsigned char*>(der.data());
        X509* certificate = d2i_X509(nullptr, &at, static_cast<long>(der.size()));
        if (certificate == nullptr)
            continue;
        // A certificate already in the store is refused, which is fine.
        if (X509_STORE_add_cert(store, certificate) == 1)
            ++added;
        X509_free(certificate);
    }
    ERR_clear_error();
    return added;
}

} // namespace

void SslContext::Free::operator()(SSL_CTX* context) const {
    SSL_CTX_free(context);
}

SslContext::SslContext(const char* certFile, const char* keyFile, const char* caFile) {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

    if (certFile == nullptr) {
        context_.reset(SSL_CTX_new(TLS_client_method()));
        if (!context_)
            return;
        // Nothing is sent over a connection whose server has not proved who
        // it is, and never over the broken older protocol versions.
        SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
        SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
        const bool named = caFile != nullptr && caFile[0] != '\0';
        int loaded = named ? SSL_CTX_load_verify_locations(context_.get(), caFile, nullptr)
                           : SSL_CTX_set_default_verify_paths(context_.get());
        if (!named && addSystemRoots(context_.get()) > 0)
            loaded = 1;
        if (loaded != 1) {
            netLog("TLS: cannot load the trusted certificates %s", caFile != nullptr ? caFile : "");
            context_.reset();
        }
        ERR_clear_error();
        return;
    }

    context_.reset(SSL_CTX_new(TLS_server_method()));
    if (!context_)
        return;
    SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
    const char* keySource = keyFile != nullptr ? keyFile : certFile;
    if (SSL_CTX_use_certificate_file(context_.get(), certFile, SSL_FILETYPE_PEM) <= 0 ||
        SSL_CTX_use_PrivateKey_file(context_.get(), keySource, SSL_FILETYPE_PEM) <= 0 ||
        SSL_CTX_check_private_key(context_.get()) == 0) {
        context_.reset();
    }
    ERR_clear_error();
}

SslContext::~SslContext() = default;
