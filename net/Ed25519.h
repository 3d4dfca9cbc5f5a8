#pragma once
#include <cstddef>
#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

/// Holds one OpenSSL key; freed with it.
struct EvpKeyFree {
    void operator()(EVP_PKEY* key) const;
};
using EvpKey = std::unique_ptr<EVP_PKEY, EvpKeyFree>;

/// An Ed25519 public key: checks signatures. Written as the base64 of its
/// 32 raw bytes. An empty key verifies nothing.
class Ed25519PublicKey {
public:
    static constexpr size_t rawSize = 32;
    static constexpr size_t signatureSize = 64;

    Ed25519PublicKey() = default;

    /// The base64 of exactly 32 bytes (canonical spelling, nothing around
    /// it); false, and the key empty, for anything else.
    bool fromBase64(const std::string& text);
    /// The 32 raw bytes; false, and the key empty, for anything else.
    bool fromRaw(const std::string& raw);

    bool valid() const { return key_ != nullptr; }
    /// The 32 raw bytes; empty for an empty key.
    std::string raw() const;
    std::string base64() const;

    /// True when `signature` (64 bytes) is this key's signature of the bytes.
    bool verify(const void* message, size_t length, const std::string& signature) const;

private:
    std::shared_ptr<EVP_PKEY> key_;
};

/// An Ed25519 private key: makes signatures. Stored as an unencrypted PEM
/// text ("PRIVATE KEY", PKCS #8).
class Ed25519PrivateKey {
public:
    Ed25519PrivateKey() = default;

    /// A new key from the system's random source; false when that failed.
    bool generate();
    /// Reads a PEM private key; only an Ed25519 key is accepted.
    bool fromPem(const std::string& pem);
    /// The PEM text of the key; empty for an empty key.
    std::string pem() const;

    bool valid() const { return key_ != nullptr; }
    Ed25519PublicKey publicKey() const;

    /// The 64-byte signature of the bytes; false for an empty key.
    bool sign(const void* message, size_t length, std::string& signature) const;

private:
    EvpKey key_;
};

/// Overwrites the text's bytes with zeros in a way the compiler keeps (for
/// key material that is done with).
void eraseSecret(std::string& text);
