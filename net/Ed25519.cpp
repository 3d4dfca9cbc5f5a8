#include "net/Ed25519.h"

#include "net/Base64.h"
#include "net/TlsLibrary.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <climits>

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

struct KeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, KeyContextFree>;

} // namespace

void EvpKeyFree::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}

// [public key] ------------------------------------------------------------------

bool Ed25519PublicKey::fromRaw(const std::string& raw) {
    startTlsLibrary();
    key_.reset();
    if (raw.size() != rawSize)
        return false;
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
    ERR_clear_error();
    if (key == nullptr)
        return false;
    key_.reset(key, EvpKeyFree());
    return true;
}

bool Ed25519PublicKey::fromBase64(const std::string& text) {
    std::string raw;
    if (!base64Decode(text, raw)) {
        key_.reset();
        return false;
    }
    return fromRaw(raw);
}

std::string Ed25519PublicKey::raw() const {
    if (!key_)
        return std::string();
    unsigned char bytes[rawSize];
    size_t length = sizeof bytes;
    if (EVP_PKEY_get_raw_public_key(key_.get(), bytes, &length) != 1 || length != rawSize) {
        ERR_clear_error();
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string Ed25519PublicKey::base64() const {
    return base64Encode(raw());
}

bool Ed25519PublicKey::verify(const void* message, size_t length, const std::string& signature) const {
    if (!key_ || signature.size() != signatureSize)
        return false;
    DigestContext context(EVP_MD_CTX_new());
    // Ed25519 hashes the message itself: no digest is named, and the whole
    // message goes to one call.
    const bool good =
        context != nullptr &&
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
        EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), static_cast<const unsigned char*>(message), length) == 1;
    ERR_clear_error();
    return good;
}

// [private key] -----------------------------------------------------------------

bool Ed25519PrivateKey::generate() {
    startTlsLibrary();
    key_.reset();
    KeyContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* key = nullptr;
    if (context != nullptr && EVP_PKEY_keygen_init(context.get()) == 1)
        EVP_PKEY_keygen(context.get(), &key);
    ERR_clear_error();
    key_.reset(key);
    return key_ != nullptr;
}

bool Ed25519PrivateKey::fromPem(const std::string& pem) {
    startTlsLibrary();
    key_.reset();
    if (pem.size() > INT_MAX)
        return false;
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (bio == nullptr)
        return false;
    // No pass phrase is ever asked for: an encrypted key simply fails.
    EvpKey key(PEM_read_bio_PrivateKey(
        bio.get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr));
    ERR_clear_error();
    if (key == nullptr || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return false;
    key_ = std::move(key);
    return true;
}

std::string Ed25519PrivateKey::pem() const {
    if (!key_)
        return std::string();
    Bio bio(BIO_new(BIO_s_secmem()));
    if (bio == nullptr ||
        PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        ERR_clear_error();
        return std::string();
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}

Ed25519PublicKey Ed25519PrivateKey::publicKey() const {
    Ed25519PublicKey result;
    if (!key_)
        return result;
    unsigned char bytes[Ed25519PublicKey::rawSize];
    size_t length = sizeof bytes;
    if (EVP_PKEY_get_raw_public_key(key_.get(), bytes, &length) == 1)
        result.fromRaw(std::string(reinterpret_cast<const char*>(bytes), length));
    ERR_clear_error();
    return result;
}

bool Ed25519PrivateKey::sign(const void* message, size_t length, std::string& signature) const {
    signature.clear();
    if (!key_)
        return false;
    DigestContext context(EVP_MD_CTX_new());
    unsigned char bytes[Ed25519PublicKey::signatureSize];
    size_t size = sizeof bytes;
    const bool made =
        context != nullptr && EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
        EVP_DigestSign(context.get(), bytes, &size, static_cast<const unsigned char*>(message), length) ==
            1 &&
        size == sizeof bytes;
    ERR_clear_error();
    if (made)
        signature.assign(reinterpret_cast<const char*>(bytes), size);
    return made;
}

void eraseSecret(std::string& text) {
    if (!text.empty())
        OPENSSL_cleanse(&text[0], text.size());
}
