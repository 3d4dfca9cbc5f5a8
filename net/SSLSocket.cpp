#include "net/SSLSocket.h"

#include "net/NetLog.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

// The TLS records travel through a BIO of our own rather than the library's
// socket BIO: that one writes with write(2), which raises SIGPIPE when the
// peer has gone, and the process's signal handling is not ours to change.

namespace INet {
namespace TCP {

namespace {

struct BioState {
    intptr_t handle;
    bool eof;
};

int bioWrite(BIO* bio, const char* data, int length) {
    auto* state = static_cast<BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    int32_t sent = sendBytes(state->handle, data, length);
    if (sent == -2) {
        BIO_set_retry_write(bio);
        return -1;
    }
    return sent;
}

int bioRead(BIO* bio, char* data, int length) {
    auto* state = static_cast<BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    int32_t received = receiveBytes(state->handle, data, length);
    if (received == 0)
        state->eof = true;
    else if (received == -2) {
        BIO_set_retry_read(bio);
        return -1;
    }
    return received;
}

long bioControl(BIO* bio, int command, long, void*) {
    auto* state = static_cast<BioState*>(BIO_get_data(bio));
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return state->eof ? 1 : 0;
    default:
        return 0;
    }
}

int bioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

int bioDestroy(BIO* bio) {
    delete static_cast<BioState*>(BIO_get_data(bio));
    BIO_set_data(bio, nullptr);
    return 1;
}

const BIO_METHOD* socketBioMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "moravo socket");
        if (made != nullptr) {
            BIO_meth_set_write(made, bioWrite);
            BIO_meth_set_read(made, bioRead);
            BIO_meth_set_ctrl(made, bioControl);
            BIO_meth_set_create(made, bioCreate);
            BIO_meth_set_destroy(made, bioDestroy);
        }
        return made;
    }();
    return method;
}

// Logs why the handshake failed and answers it, for the socket's `failure`.
std::string handshakeFailure(SSL* ssl, const std::string& host, const SslContext::ServerCheck& check) {
    if (check.judged && check.judgement.verdict != platform::ChainVerdict::Trusted) {
        netLog("TLS: server %s not verified by the system: %s (policy 0x%08X, chain 0x%08X)", host.c_str(),
               platform::chainVerdictText(check.judgement.verdict), check.judgement.policyError,
               check.judgement.chainErrors);
        return std::string("TLS: the server's certificate is not trusted by the system: ") +
               platform::chainVerdictText(check.judgement.verdict);
    }
    long verify = SSL_get_verify_result(ssl);
    if (verify != X509_V_OK) {
        netLog("TLS: server %s not verified: %s", host.c_str(), X509_verify_cert_error_string(verify));
        return std::string("TLS: the server's certificate is not verified: ") +
               X509_verify_cert_error_string(verify);
    }
    char text[256] = "handshake failed";
    unsigned long error = ERR_peek_error();
    if (error != 0)
        ERR_error_string_n(error, text, sizeof text);
    netLog("TLS: handshake with %s failed: %s", host.c_str(), text);
    return std::string("TLS: the handshake failed: ") + text;
}

} // namespace

BIO* newSocketBio(const Socket& socket) {
    const BIO_METHOD* method = socketBioMethod();
    BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
    if (bio != nullptr)
        BIO_set_data(bio, new BioState{socket.handle(), false});
    return bio;
}

void SSLSocket::Free::operator()(SSL* ssl) const {
    SSL_free(ssl);
}

SSLSocket::SSLSocket(const SslContext& context, const InetAddress& address, bool blocking,
                     const std::string& host, uint32_t timeoutMs)
    : Socket(address, blocking, timeoutMs) {
    handshake(context, host, timeoutMs);
}

SSLSocket::SSLSocket(const SslContext& context, Socket& carrier, const std::string& host, uint32_t timeoutMs)
    : Socket(carrier) {
    handshake(context, host, timeoutMs);
}

void SSLSocket::handshake(const SslContext& context, const std::string& host, uint32_t timeoutMs) {
    if (!connected)
        return;
    connected = false;
    if (!context.valid())
        return;
    ERR_clear_error();
    ssl_.reset(SSL_new(context.get()));
    if (!ssl_)
        return;
    BIO* bio = newSocketBio(*this);
    if (bio == nullptr)
        return;
    SSL_set_bio(ssl_.get(), bio, bio);

    // The name the certificate must carry: a dotted address is checked
    // against the certificate's addresses and is never sent as a server name.
    const std::string name = host.empty() ? std::string("localhost") : host;
    in_addr literal{};
    bool nameSet;
    if (inet_pton(AF_INET, name.c_str(), &literal) == 1) {
        check_.address = name;
        nameSet = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), name.c_str()) == 1;
    } else {
        check_.serverName = name;
        SSL_set_hostflags(ssl_.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        nameSet = SSL_set_tlsext_host_name(ssl_.get(), name.c_str()) == 1 &&
                  SSL_set1_host(ssl_.get(), name.c_str()) == 1;
    }
    check_.fetchLimitMs = static_cast<uint32_t>(uint64_t{timeoutMs} * revocationPercent / 100);
    if (!nameSet || !SslContext::attach(ssl_.get(), &check_)) {
        netLog("TLS: cannot check the server name %s", name.c_str());
        failure = "TLS: cannot check the server name " + name;
        ERR_clear_error();
        return;
    }

    // Only a completed handshake (1) counts; 0 is a handshake the peer shut
    // down, and a server that fails verification ends it with an error too.
    int result = SSL_connect(ssl_.get());
    if (result == 1 && SSL_get_verify_result(ssl_.get()) == X509_V_OK) {
        connected = true;
        if (check_.judgement.revocationUnchecked)
            netLog("TLS: revocation of %s's certificates could not be checked; accepted without",
                   name.c_str());
    } else {
        failure = handshakeFailure(ssl_.get(), name, check_);
    }
    ERR_clear_error();
}

SSLSocket::~SSLSocket() {
    // A close_notify tells the server the stream ended on purpose.
    if (ssl_ && connected) {
        ERR_clear_error();
        SSL_shutdown(ssl_.get());
        ERR_clear_error();
    }
    ssl_.reset();
}

int32_t SSLSocket::read(void* buffer, int32_t length) {
    if (!ssl_ || !connected || length < 0)
        return -1;
    if (length == 0)
        return 0;
    ERR_clear_error();
    int result = SSL_read(ssl_.get(), buffer, length);
    if (result > 0)
        return result;
    int error = SSL_get_error(ssl_.get(), result);
    ERR_clear_error();
    // Only the peer's close_notify is a clean end; a stream that just stops
    // may have been cut short, and the caller must not take it as complete.
    if (error == SSL_ERROR_ZERO_RETURN)
        return 0;
    return error == SSL_ERROR_WANT_READ ? -2 : -1;
}

int32_t SSLSocket::write(const void* buffer, int32_t length) {
    if (!ssl_ || !connected || length < 0)
        return -1;
    if (length == 0)
        return 0;
    ERR_clear_error();
    int result = SSL_write(ssl_.get(), buffer, length);
    if (result > 0)
        return result;
    int error = SSL_get_error(ssl_.get(), result);
    ERR_clear_error();
    return error == SSL_ERROR_WANT_WRITE ? -2 : -1;
}

} // namespace TCP
} // namespace INet
