#include "net/TlsLibrary.h"

#include <openssl/crypto.h>
#include <openssl/ssl.h>

void startTlsLibrary() {
    static const bool started = [] {
        uint64_t options = OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS;
#ifdef _WIN32
        options |= OPENSSL_INIT_NO_LOAD_CONFIG;
#else
        options |= OPENSSL_INIT_LOAD_CONFIG;
#endif
        return OPENSSL_init_ssl(options, nullptr) == 1;
    }();
    (void)started;
}
