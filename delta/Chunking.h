#pragma once
// Content-defined chunking for delta updates: a file is cut where its bytes
// say, not at fixed offsets, so that an insertion moves only the cuts around
// it and the rest of the file cuts into the same chunks as before. Files are
// cut twice: into chunks (the units of the chunk store and its index), and
// each chunk into pieces (what is fetched of a chunk that is only partly
// new). The rolling hash is a gear hash, the cut rule FastCDC's normalised
// one: a stricter mask before the average size and a looser one after it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

/// Sizes of one level of cuts: no cut before `minSize` bytes, none later
/// than `maxSize`, about `averageSize` (a power of two) apart on average.
struct CutRule {
    uint32_t minSize = 0;
    uint32_t averageSize = 0;
    uint32_t maxSize = 0;

    /// True when the sizes make a rule: 64 <= min < average <= max, average
    /// a power of two, max at most 16 MiB.
    bool valid() const;
    bool operator==(const CutRule& other) const {
        return minSize == other.minSize && averageSize == other.averageSize && maxSize == other.maxSize;
    }
};

/// The two levels. The defaults were measured on a game archive of media
/// and text (see the developer documentation): 64 KiB chunks keep the index
/// small; 4 KiB pieces keep what a change site costs beyond its new bytes
/// small.
struct ChunkingRules {
    CutRule chunk{16 * 1024, 64 * 1024, 256 * 1024};
    CutRule piece{1024, 4 * 1024, 16 * 1024};

    bool operator==(const ChunkingRules& other) const { return chunk == other.chunk && piece == other.piece; }
};

/// The length of the first cut of `data`, whose `size` bytes are either all
/// that is left of the input or at least `rule.maxSize`.
size_t firstCut(const uint8_t* data, size_t size, const CutRule& rule);

/// The cuts of a whole block (a chunk cut into pieces): the length of each,
/// in order.
std::vector<uint32_t> cutLengths(const uint8_t* data, size_t size, const CutRule& rule);

/// Cuts a stream into chunks as its bytes arrive, holding at most
/// `rule.maxSize` bytes plus the last block fed.
class StreamChunker {
public:
    using Sink = std::function<void(const uint8_t* data, size_t size)>;

    explicit StreamChunker(const CutRule& rule) : rule_(rule) {}

    /// Feeds bytes; `sink` hears each chunk they complete, in order.
    void feed(const void* data, size_t size, const Sink& sink);
    /// Ends the stream: `sink` hears the chunks left (none for an empty
    /// stream).
    void finish(const Sink& sink);

private:
    void emit(const Sink& sink);

    CutRule rule_;
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
};
