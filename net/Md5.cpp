#include "net/Md5.h"

#include <cstring>

// The compression function is written out round by round: the four state
// words stay in registers across every block of one `update`, and each step
// adds the message word and constant before the round function so that the
// processor can start on them early.

struct Md5::Context {
    uint32_t state[4];
    uint64_t byteCount;
    uint8_t block[64];
};

namespace {

inline uint32_t rotl(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

inline uint32_t loadWord(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t word;
    std::memcpy(&word, p, 4);
    return word;
#else
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
#endif
}

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
// The two terms of the second round function never share a bit, so their
// sum equals their union and the halves can be computed independently.
#define MD5_G(x, y, z) ((((~(z)) & (y)) + ((z) & (x))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

#define MD5_STEP(f, a, b, c, d, k, t, s)                                                                     \
    a += (x[k] + (t)) + f(b, c, d);                                                                          \
    a = rotl(a, s) + b;

// Round F: its sixteen steps over the block's words `x`.
inline __attribute__((always_inline)) void roundF(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                                  const uint32_t x[16]) {
    MD5_STEP(MD5_F, a, b, c, d, 0, 0xd76aa478u, 7)
    MD5_STEP(MD5_F, d, a, b, c, 1, 0xe8c7b756u, 12)
    MD5_STEP(MD5_F, c, d, a, b, 2, 0x242070dbu, 17)
    MD5_STEP(MD5_F, b, c, d, a, 3, 0xc1bdceeeu, 22)
    MD5_STEP(MD5_F, a, b, c, d, 4, 0xf57c0fafu, 7)
    MD5_STEP(MD5_F, d, a, b, c, 5, 0x4787c62au, 12)
    MD5_STEP(MD5_F, c, d, a, b, 6, 0xa8304613u, 17)
    MD5_STEP(MD5_F, b, c, d, a, 7, 0xfd469501u, 22)
    MD5_STEP(MD5_F, a, b, c, d, 8, 0x698098d8u, 7)
    MD5_STEP(MD5_F, d, a, b, c, 9, 0x8b44f7afu, 12)
    MD5_STEP(MD5_F, c, d, a, b, 10, 0xffff5bb1u, 17)
    MD5_STEP(MD5_F, b, c, d, a, 11, 0x895cd7beu, 22)
    MD5_STEP(MD5_F, a, b, c, d, 12, 0x6b901122u, 7)
    MD5_STEP(MD5_F, d, a, b, c, 13, 0xfd987193u, 12)
    MD5_STEP(MD5_F, c, d, a, b, 14, 0xa679438eu, 17)
    MD5_STEP(MD5_F, b, c, d, a, 15, 0x49b40821u, 22)
}

// Round G: its sixteen steps over the block's words `x`.
inline __attribute__((always_inline)) void roundG(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                                  const uint32_t x[16]) {
    MD5_STEP(MD5_G, a, b, c, d, 1, 0xf61e2562u, 5)
    MD5_STEP(MD5_G, d, a, b, c, 6, 0xc040b340u, 9)
    MD5_STEP(MD5_G, c, d, a, b, 11, 0x265e5a51u, 14)
    MD5_STEP(MD5_G, b, c, d, a, 0, 0xe9b6c7aau, 20)
    MD5_STEP(MD5_G, a, b, c, d, 5, 0xd62f105du, 5)
    MD5_STEP(MD5_G, d, a, b, c, 10, 0x02441453u, 9)
    MD5_STEP(MD5_G, c, d, a, b, 15, 0xd8a1e681u, 14)
    MD5_STEP(MD5_G, b, c, d, a, 4, 0xe7d3fbc8u, 20)
    MD5_STEP(MD5_G, a, b, c, d, 9, 0x21e1cde6u, 5)
    MD5_STEP(MD5_G, d, a, b, c, 14, 0xc33707d6u, 9)
    MD5_STEP(MD5_G, c, d, a, b, 3, 0xf4d50d87u, 14)
    MD5_STEP(MD5_G, b, c, d, a, 8, 0x455a14edu, 20)
    MD5_STEP(MD5_G, a, b, c, d, 13, 0xa9e3e905u, 5)
    MD5_STEP(MD5_G, d, a, b, c, 2, 0xfcefa3f8u, 9)
    MD5_STEP(MD5_G, c, d, a, b, 7, 0x676f02d9u, 14)
    MD5_STEP(MD5_G, b, c, d, a, 12, 0x8d2a4c8au, 20)
}

// Round H: its sixteen steps over the block's words `x`.
inline __attribute__((always_inline)) void roundH(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                                  const uint32_t x[16]) {
    MD5_STEP(MD5_H, a, b, c, d, 5, 0xfffa3942u, 4)
    MD5_STEP(MD5_H, d, a, b, c, 8, 0x8771f681u, 11)
    MD5_STEP(MD5_H, c, d, a, b, 11, 0x6d9d6122u, 16)
    MD5_STEP(MD5_H, b, c, d, a, 14, 0xfde5380cu, 23)
    MD5_STEP(MD5_H, a, b, c, d, 1, 0xa4beea44u, 4)
    MD5_STEP(MD5_H, d, a, b, c, 4, 0x4bdecfa9u, 11)
    MD5_STEP(MD5_H, c, d, a, b, 7, 0xf6bb4b60u, 16)
    MD5_STEP(MD5_H, b, c, d, a, 10, 0xbebfbc70u, 23)
    MD5_STEP(MD5_H, a, b, c, d, 13, 0x289b7ec6u, 4)
    MD5_STEP(MD5_H, d, a, b, c, 0, 0xeaa127fau, 11)
    MD5_STEP(MD5_H, c, d, a, b, 3, 0xd4ef3085u, 16)
    MD5_STEP(MD5_H, b, c, d, a, 6, 0x04881d05u, 23)
    MD5_STEP(MD5_H, a, b, c, d, 9, 0xd9d4d039u, 4)
    MD5_STEP(MD5_H, d, a, b, c, 12, 0xe6db99e5u, 11)
    MD5_STEP(MD5_H, c, d, a, b, 15, 0x1fa27cf8u, 16)
    MD5_STEP(MD5_H, b, c, d, a, 2, 0xc4ac5665u, 23)
}

// Round I: its sixteen steps over the block's words `x`.
inline __attribute__((always_inline)) void roundI(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                                  const uint32_t x[16]) {
    MD5_STEP(MD5_I, a, b, c, d, 0, 0xf4292244u, 6)
    MD5_STEP(MD5_I, d, a, b, c, 7, 0x432aff97u, 10)
    MD5_STEP(MD5_I, c, d, a, b, 14, 0xab9423a7u, 15)
    MD5_STEP(MD5_I, b, c, d, a, 5, 0xfc93a039u, 21)
    MD5_STEP(MD5_I, a, b, c, d, 12, 0x655b59c3u, 6)
    MD5_STEP(MD5_I, d, a, b, c, 3, 0x8f0ccc92u, 10)
    MD5_STEP(MD5_I, c, d, a, b, 10, 0xffeff47du, 15)
    MD5_STEP(MD5_I, b, c, d, a, 1, 0x85845dd1u, 21)
    MD5_STEP(MD5_I, a, b, c, d, 8, 0x6fa87e4fu, 6)
    MD5_STEP(MD5_I, d, a, b, c, 15, 0xfe2ce6e0u, 10)
    MD5_STEP(MD5_I, c, d, a, b, 6, 0xa3014314u, 15)
    MD5_STEP(MD5_I, b, c, d, a, 13, 0x4e0811a1u, 21)
    MD5_STEP(MD5_I, a, b, c, d, 4, 0xf7537e82u, 6)
    MD5_STEP(MD5_I, d, a, b, c, 11, 0xbd3af235u, 10)
    MD5_STEP(MD5_I, c, d, a, b, 2, 0x2ad7d2bbu, 15)
    MD5_STEP(MD5_I, b, c, d, a, 9, 0xeb86d391u, 21)
}

void compress(uint32_t state[4], const uint8_t* data, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = loadWord(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
        roundF(a, b, c, d, x);
        roundG(a, b, c, d, x);
        roundH(a, b, c, d, x);
        roundI(a, b, c, d, x);
        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef MD5_STEP
#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

} // namespace

Md5::Md5() : context_(new Context{{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, 0, {}}) {}

Md5::Md5(const char* text) : Md5() {
    update(text);
}

Md5::Md5(const void* data, size_t length) : Md5() {
    update(data, length);
}

Md5::~Md5() = default;

void Md5::update(const char* text) {
    if (text != nullptr)
        update(text, std::strlen(text));
}

void Md5::update(const void* data, size_t length) {
    if (finalised_ || data == nullptr || length == 0)
        return;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    Context& ctx = *context_;
    size_t used = static_cast<size_t>(ctx.byteCount & 63);
    ctx.byteCount += length;
    if (used > 0) {
        size_t take = 64 - used;
        if (length < take) {
            std::memcpy(ctx.block + used, bytes, length);
            return;
        }
        std::memcpy(ctx.block + used, bytes, take);
        compress(ctx.state, ctx.block, 1);
        bytes += take;
        length -= take;
    }
    if (length >= 64) {
        compress(ctx.state, bytes, length / 64);
        bytes += length & ~size_t(63);
        length &= 63;
    }
    if (length > 0)
        std::memcpy(ctx.block, bytes, length);
}

void Md5::finalise() {
    Context& ctx = *context_;
    const uint64_t bits = ctx.byteCount * 8;
    size_t used = static_cast<size_t>(ctx.byteCount & 63);
    ctx.block[used++] = 0x80;
    if (used > 56) {
        std::memset(ctx.block + used, 0, 64 - used);
        compress(ctx.state, ctx.block, 1);
        used = 0;
    }
    std::memset(ctx.block + used, 0, 56 - used);
    for (int i = 0; i < 8; ++i)
        ctx.block[56 + i] = static_cast<uint8_t>(bits >> (8 * i));
    compress(ctx.state, ctx.block, 1);
    for (int i = 0; i < 16; ++i)
        digest_[i] = static_cast<uint8_t>(ctx.state[i / 4] >> (8 * (i % 4)));
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        hex_[2 * i] = digits[digest_[i] >> 4];
        hex_[2 * i + 1] = digits[digest_[i] & 0x0F];
    }
    hex_[32] = '\0';
    finalised_ = true;
}

const char* Md5::hexDigest() {
    if (!finalised_)
        finalise();
    return hex_;
}

const uint8_t* Md5::digest() {
    if (!finalised_)
        finalise();
    return digest_;
}

std::string Md5::hex(const std::string& text) {
    Md5 md5(text.data(), text.size());
    return md5.hexDigest();
}
