#include "net/Sha256.h"

#include "net/TlsLibrary.h"

#include <openssl/evp.h>

struct Sha256::Context {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> evp{EVP_MD_CTX_new()};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
    startTlsLibrary();
    EVP_DigestInit_ex(context_->evp.get(), EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, size_t length) {
    if (length > 0)
        EVP_DigestUpdate(context_->evp.get(), data, length);
}

Sha256::Digest Sha256::digest() {
    Digest out{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->evp.get(), out.data(), &length);
    EVP_DigestInit_ex(context_->evp.get(), EVP_sha256(), nullptr);
    return out;
}

Sha256::Digest Sha256::of(const void* data, size_t length) {
    startTlsLibrary();
    Digest out{};
    unsigned int size = 0;
    EVP_Digest(data, length, out.data(), &size, EVP_sha256(), nullptr);
    return out;
}

std::string Sha256::hex(const Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (uint8_t byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

bool Sha256::fromHex(const std::string& text, Digest& digest) {
    if (text.size() != 64)
        return false;
    auto value = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < 32; ++i) {
        const int high = value(text[2 * i]), low = value(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}
