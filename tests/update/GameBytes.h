#pragma once
#include <cstdint>
#include <string>

namespace updatetest {

/// Bytes like a game archive's, the same for a seed: blocks of noise (media,
/// which does not compress) and of words (text, which does).
inline std::string gameBytes(size_t size, uint32_t seed) {
    static const char* const words[] = {"sword ", "shield ", "potion ", "castle ", "dragon ", "quest "};
    std::string out;
    uint32_t state = seed * 2654435761u + 7;
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
    while (out.size() < size) {
        const bool noise = next() % 2 == 0;
        for (int i = 0; i < 3000; ++i) {
            if (noise)
                out.push_back(static_cast<char>(next()));
            else
                out += words[next() % 6];
        }
    }
    out.resize(size);
    return out;
}

} // namespace updatetest
