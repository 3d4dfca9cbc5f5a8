#pragma once
#include "delta/ChunkFormats.h"

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

/// The chunks of `bytes` as an index lists them, by the default rules (the
/// stored sizes made up: nothing is packed).
inline ChunkIndex cutIndex(const std::string& bytes) {
    ChunkIndex out;
    out.fileSize = static_cast<int64_t>(bytes.size());
    auto sink = [&](const uint8_t* data, size_t size) {
        ChunkEntry chunk;
        chunk.hash = Sha256::of(data, size);
        chunk.size = static_cast<uint32_t>(size);
        chunk.headerSize = 16;
        chunk.storedSize = chunk.size + chunk.headerSize;
        out.chunks.push_back(chunk);
    };
    StreamChunker chunker(out.rules.chunk);
    chunker.feed(bytes.data(), bytes.size(), sink);
    chunker.finish(sink);
    return out;
}

} // namespace updatetest
