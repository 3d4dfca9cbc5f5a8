#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

/// MD5 (RFC 1321) fed in pieces, with a 32-character lower-case hex digest.
class Md5 {
public:
    Md5();
    /// Digest of a NUL-terminated text; null means no data.
    explicit Md5(const char* text);
    Md5(const void* data, size_t length);
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;
    ~Md5();

    /// Adds the text up to its terminating NUL; null adds nothing.
    void update(const char* text);
    /// Adds `length` bytes; 0 adds nothing (binary data is never measured up
    /// to a NUL). Data given after the digest was taken is ignored.
    void update(const void* data, size_t length);
    void update(const std::string& text) { update(text.data(), text.size()); }

    /// Finalises on the first call; answers the same 32 characters after.
    const char* hexDigest();
    /// The 16 digest bytes (finalises like `hexDigest`).
    const uint8_t* digest();

    /// The hex digest of one string.
    static std::string hex(const std::string& text);

private:
    struct Context;
    void finalise();

    std::unique_ptr<Context> context_;
    uint8_t digest_[16] = {};
    char hex_[33] = {};
    bool finalised_ = false;
};
