#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

/// SHA-256 fed in pieces. Names the chunks of delta updates, whose bytes are
/// checked against it before they are used.
class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    ~Sha256();

    void update(const void* data, size_t length);
    /// The digest of everything fed since construction or the last `digest`,
    /// after which the object starts anew.
    Digest digest();

    /// The digest of one block of bytes.
    static Digest of(const void* data, size_t length);
    /// 64 lower-case hex digits.
    static std::string hex(const Digest& digest);
    /// The digest that `text` spells in hex (64 digits, any case); false when
    /// it spells none.
    static bool fromHex(const std::string& text, Digest& digest);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};
