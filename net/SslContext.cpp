#include "net/SslContext.h"

#include "net/NetLog.h"
#include "net/TlsLibrary.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <vector>

namespace {

// The place of a connection's ServerCheck among its SSL's extra data.
int checkIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::string derOf(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    std::string encoded;
    if (length > 0)
        encoded.assign(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return encoded;
}

// The verification error each verdict is told to the library as, which
// also chooses the alert the server receives.
int verifyErrorOf(platform::ChainVerdict verdict) {
    switch (verdict) {
    case platform::ChainVerdict::Trusted:
        return X509_V_OK;
    case platform::ChainVerdict::UntrustedRoot:
        return X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY;
    case platform::ChainVerdict::Revoked:
        return X509_V_ERR_CERT_REVOKED;
    case platform::ChainVerdict::NameMismatch:
        return X509_V_ERR_HOSTNAME_MISMATCH;
    case platform::ChainVerdict::Expired:
        return X509_V_ERR_CERT_HAS_EXPIRED;
    case platform::ChainVerdict::Distrusted:
        return X509_V_ERR_CERT_REJECTED;
    case platform::ChainVerdict::WrongUsage:
        return X509_V_ERR_INVALID_PURPOSE;
    case platform::ChainVerdict::Invalid:
        break;
    }
    return X509_V_ERR_UNSPECIFIED;
}

// Replaces OpenSSL's own chain verification for a context the system
// judges: the chain the server sent goes to the verifier as it is, and the
// verdict lands in the connection's ServerCheck for the log.
int judgeBySystem(X509_STORE_CTX* store, void* argument) {
    auto* verifier = static_cast<platform::ChainVerifier*>(argument);
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* check =
        ssl != nullptr ? static_cast<SslContext::ServerCheck*>(SSL_get_ex_data(ssl, checkIndex())) : nullptr;
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (check == nullptr || leaf == nullptr) {
        X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    // The untrusted stack is the chain as sent, the server's own first.
    std::vector<std::string> chain{derOf(leaf)};
    STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(store);
    for (int i = 0; i < sk_X509_num(sent); ++i) {
        X509* certificate = sk_X509_value(sent, i);
        if (X509_cmp(certificate, leaf) != 0)
            chain.push_back(derOf(certificate));
    }
    check->judgement = verifier->judge(chain, check->serverName, check->fetchLimitMs);
    check->judged = true;
    // The system's policy compares names only; an address is compared with
    // the certificate's address entries, never with its names.
    if (check->judgement.verdict == platform::ChainVerdict::Trusted && !check->address.empty() &&
        X509_check_ip_asc(leaf, check->address.c_str(), 0) != 1)
        check->judgement.verdict = platform::ChainVerdict::NameMismatch;
    const int error = verifyErrorOf(check->judgement.verdict);
    X509_STORE_CTX_set_error(store, error);
    return error == X509_V_OK ? 1 : 0;
}

} // namespace

void SslContext::Free::operator()(SSL_CTX* context) const {
    SSL_CTX_free(context);
}

bool SslContext::attach(SSL* ssl, ServerCheck* check) {
    return checkIndex() >= 0 && SSL_set_ex_data(ssl, checkIndex(), check) == 1;
}

SslContext::SslContext(const char* certFile, const char* keyFile, const char* caFile) {
    startTlsLibrary();
    if (certFile == nullptr) {
        const bool named = caFile != nullptr && caFile[0] != '\0';
        if (!named)
            verifier_ = platform::systemChainVerifier();
        makeClient(named ? caFile : nullptr);
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

SslContext::SslContext(std::unique_ptr<platform::ChainVerifier> verifier) : verifier_(std::move(verifier)) {
    startTlsLibrary();
    if (verifier_)
        makeClient(nullptr);
}

void SslContext::makeClient(const char* caFile) {
    context_.reset(SSL_CTX_new(TLS_client_method()));
    if (!context_)
        return;
    // Nothing is sent over a connection whose server has not proved who it
    // is, and never over the broken older protocol versions.
    SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
    if (verifier_) {
        // The system's verdict replaces OpenSSL's; OpenSSL's default
        // certificate folders are never asked for (on Windows they name a
        // folder of the machine that built the library).
        SSL_CTX_set_cert_verify_callback(context_.get(), judgeBySystem, verifier_.get());
    } else {
        const int loaded = caFile != nullptr ? SSL_CTX_load_verify_locations(context_.get(), caFile, nullptr)
                                             : SSL_CTX_set_default_verify_paths(context_.get());
        if (loaded != 1) {
            netLog("TLS: cannot load the trusted certificates %s", caFile != nullptr ? caFile : "");
            context_.reset();
        }
    }
    ERR_clear_error();
}

SslContext::~SslContext() = default;
