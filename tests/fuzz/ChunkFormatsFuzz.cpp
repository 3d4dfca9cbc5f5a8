// Feeds arbitrary bytes to the readers of the chunk store's files, which
// come from the update server: an index, a chunk's header, a whole chunk
// file and the list. What a reader accepts must be written back to the same
// bytes and hold together (sizes that add up, paths each once).

#include "delta/ChunkFormats.h"
#include "delta/ChunkStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void index(const std::string& bytes) {
    ChunkIndex read;
    if (!decodeChunkIndex(bytes, read))
        return;
    check(encodeChunkIndex(read) == bytes);
    int64_t total = 0;
    for (const ChunkEntry& chunk : read.chunks) {
        check(chunk.size > 0 && chunk.size <= read.rules.chunk.maxSize);
        check(chunk.headerSize < chunk.storedSize);
        total += chunk.size;
    }
    check(total == read.fileSize);
}

void chunk(const std::string& bytes) {
    const size_t header = chunkHeaderLength(bytes);
    check(header <= bytes.size());
    std::vector<PieceEntry> pieces;
    const uint32_t size = bytes.empty() ? 1 : static_cast<uint8_t>(bytes[0]) * 97u + 1;
    if (header > 0 && decodeChunkHeader(bytes.substr(0, header), size, static_cast<uint32_t>(bytes.size()),
                                        CutRule{64, 128, 1u << 24}, pieces))
        check(encodeChunkHeader(pieces) == bytes.substr(0, header));
    // A whole chunk file whose hash is not the chunk's is never accepted.
    ChunkEntry entry;
    entry.size = size;
    entry.storedSize = static_cast<uint32_t>(bytes.size());
    entry.headerSize = static_cast<uint32_t>(header);
    std::string out;
    if (unpackChunk(bytes, entry, out))
        check(out.size() == size && Sha256::of(out.data(), out.size()) == entry.hash);
}

void list(const std::string& text) {
    ChunkList read;
    if (decodeChunkList(text, read))
        check(encodeChunkList(read).size() == text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    index(bytes);
    chunk(bytes);
    list(bytes);
    return 0;
}
