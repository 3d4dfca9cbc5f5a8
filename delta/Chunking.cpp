#include "delta/Chunking.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The gear table: 256 pseudo-random words from a fixed seed (splitmix64),
// the same on every system and in every build. It is part of the chunk
// store's format: another table would cut other chunks.
constexpr std::array<uint64_t, 256> makeGear() {
    std::array<uint64_t, 256> table{};
    uint64_t state = 0x6d6f7261766f3031ull; // the seed
    for (uint64_t& value : table) {
        state += 0x9e3779b97f4a7c15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        value = z ^ (z >> 31);
    }
    return table;
}

constexpr std::array<uint64_t, 256> gear = makeGear();

int log2Of(uint32_t value) {
    int bits = 0;
    while ((uint32_t(1) << bits) < value)
        ++bits;
    return bits;
}

// A mask of `ones` bits at the top of the word: the gear hash's high bits
// depend on the last 64 bytes, its low bits on the last few only.
uint64_t topMask(int ones) {
    return ones <= 0 ? 0 : ~uint64_t(0) << (64 - ones);
}

} // namespace

bool CutRule::valid() const {
    return minSize >= 64 && minSize < averageSize && averageSize <= maxSize && maxSize <= (16u << 20) &&
           (averageSize & (averageSize - 1)) == 0;
}

size_t firstCut(const uint8_t* data, size_t size, const CutRule& rule) {
    if (size <= rule.minSize)
        return size;
    const int bits = log2Of(rule.averageSize);
    const uint64_t strict = topMask(bits + 1), loose = topMask(bits - 1);
    const size_t limit = std::min<size_t>(size, rule.maxSize);
    const size_t normal = std::min<size_t>(limit, rule.averageSize);
    uint64_t hash = 0;
    size_t i = rule.minSize;
    for (; i < normal; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if ((hash & strict) == 0)
            return i + 1;
    }
    for (; i < limit; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if ((hash & loose) == 0)
            return i + 1;
    }
    // No cut before the maximum: there, or at the end of a short last rest.
    return limit;
}

std::vector<uint32_t> cutLengths(const uint8_t* data, size_t size, const CutRule& rule) {
    std::vector<uint32_t> lengths;
    size_t at = 0;
    while (at < size) {
        const size_t length = firstCut(data + at, size - at, rule);
        lengths.push_back(static_cast<uint32_t>(length));
        at += length;
    }
    return lengths;
}

void StreamChunker::feed(const void* data, size_t size, const Sink& sink) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    while (buffer_.size() - start_ >= rule_.maxSize)
        emit(sink);
    // The bytes already cut are dropped once they are most of the buffer,
    // so that each byte is moved about once.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
}

void StreamChunker::finish(const Sink& sink) {
    while (start_ < buffer_.size())
        emit(sink);
    buffer_.clear();
    start_ = 0;
}

void StreamChunker::emit(const Sink& sink) {
    const size_t left = buffer_.size() - start_;
    const size_t length = firstCut(buffer_.data() + start_, left, rule_);
    sink(buffer_.data() + start_, length);
    start_ += length;
}
