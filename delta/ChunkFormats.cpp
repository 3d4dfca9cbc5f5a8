#include "delta/ChunkFormats.h"

namespace {

constexpr char indexMagic[4] = {'M', 'V', 'X', '1'};
// A chunk's entry in an index: its hash and three one-byte varints at least;
// a piece's in a chunk header: its tag and two.
constexpr size_t minChunkEntryBytes = 32 + 3;
constexpr size_t minPieceEntryBytes = 8 + 2;

void putVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

// Reads the bytes of `text` from `at` on.
class Reader {
public:
    Reader(const std::string& text, size_t at = 0) : text_(text), at_(at) {}

    bool varint(uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64 && at_ < text_.size(); shift += 7) {
            const auto byte = static_cast<uint8_t>(text_[at_++]);
            value |= uint64_t(byte & 0x7F) << shift;
            // One spelling per number: a last byte of 0 after others would
            // spell it longer than needed.
            if ((byte & 0x80) == 0)
                return (shift == 0 || byte != 0) && (shift < 63 || byte <= 1);
        }
        return false;
    }
    bool varint32(uint32_t& value) {
        uint64_t wide = 0;
        if (!varint(wide) || wide > UINT32_MAX)
            return false;
        value = static_cast<uint32_t>(wide);
        return true;
    }
    bool bytes(void* out, size_t count) {
        if (text_.size() - at_ < count)
            return false;
        text_.copy(static_cast<char*>(out), count, at_);
        at_ += count;
        return true;
    }
    bool atEnd() const { return at_ == text_.size(); }
    size_t at() const { return at_; }
    size_t left() const { return text_.size() - at_; }

private:
    const std::string& text_;
    size_t at_;
};

void putRule(std::string& out, const CutRule& rule) {
    putVarint(out, rule.minSize);
    putVarint(out, rule.averageSize);
    putVarint(out, rule.maxSize);
}

bool readRule(Reader& in, CutRule& rule) {
    return in.varint32(rule.minSize) && in.varint32(rule.averageSize) && in.varint32(rule.maxSize) &&
           rule.valid();
}

bool readChunk(Reader& in, const ChunkingRules& rules, ChunkEntry& chunk) {
    // A header longer than its pieces could spell, or pieces stored larger
    // than they are, would make the launcher fetch bytes no chunk needs.
    return in.bytes(chunk.hash.data(), chunk.hash.size()) && in.varint32(chunk.size) &&
           in.varint32(chunk.storedSize) && in.varint32(chunk.headerSize) && chunk.size > 0 &&
           chunk.size <= rules.chunk.maxSize && chunk.headerSize < chunk.storedSize &&
           chunk.headerSize <= maxChunkHeaderLength(chunk.size, rules.piece) &&
           chunk.storedSize - chunk.headerSize <= chunk.size;
}

// The most pieces a cut by `rule` makes of `size` bytes: every piece but the
// last is at least the rule's minimum.
uint64_t maxPieces(uint32_t size, const CutRule& rule) {
    return size / rule.minSize + 1;
}

// The bytes of a varint.
size_t varintLength(uint64_t value) {
    size_t length = 1;
    for (; value >= 0x80; value >>= 7)
        ++length;
    return length;
}

std::string hexPart(const Sha256::Digest& digest) {
    return Sha256::hex(digest);
}

} // namespace

size_t maxChunkHeaderLength(uint32_t chunkSize, const CutRule& piece) {
    const uint64_t pieces = maxPieces(chunkSize, piece);
    return varintLength(pieces) + pieces * (8 + 2 * varintLength(piece.maxSize));
}

std::string chunkIndexPath(const Sha256::Digest& index) {
    return std::string(chunkStoreName) + "/index/" + hexPart(index) + ".idx";
}

std::string chunkPath(const Sha256::Digest& chunk) {
    const std::string hex = hexPart(chunk);
    return std::string(chunkStoreName) + "/" + hex.substr(0, 2) + "/" + hex + ".chunk";
}

uint64_t pieceTag(const uint8_t* data, size_t size) {
    const Sha256::Digest digest = Sha256::of(data, size);
    uint64_t tag = 0;
    for (int i = 0; i < 8; ++i)
        tag = tag << 8 | digest[static_cast<size_t>(i)];
    return tag;
}

std::string encodeChunkIndex(const ChunkIndex& index) {
    std::string out(indexMagic, sizeof indexMagic);
    putRule(out, index.rules.chunk);
    putRule(out, index.rules.piece);
    putVarint(out, static_cast<uint64_t>(index.fileSize));
    putVarint(out, index.chunks.size());
    for (const ChunkEntry& chunk : index.chunks) {
        out.append(reinterpret_cast<const char*>(chunk.hash.data()), chunk.hash.size());
        putVarint(out, chunk.size);
        putVarint(out, chunk.storedSize);
        putVarint(out, chunk.headerSize);
    }
    return out;
}

bool decodeChunkIndex(const std::string& bytes, ChunkIndex& out) {
    out = ChunkIndex();
    char magic[sizeof indexMagic];
    Reader in(bytes);
    uint64_t fileSize = 0, count = 0;
    if (!in.bytes(magic, sizeof magic) || std::string(magic, sizeof magic) != std::string(indexMagic, 4) ||
        !readRule(in, out.rules.chunk) || !readRule(in, out.rules.piece) || !in.varint(fileSize) ||
        !in.varint(count) || fileSize > (uint64_t(1) << 40) ||
        count > fileSize / out.rules.chunk.minSize + 1 || count > in.left() / minChunkEntryBytes)
        return false;
    out.fileSize = static_cast<int64_t>(fileSize);
    uint64_t total = 0;
    out.chunks.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < out.chunks.size(); ++i) {
        // Only the last chunk may be shorter than the rule's minimum, so that
        // an index lists at most its file's size divided by it (a plan's
        // memory is bounded by the files, not by what an index claims).
        if (!readChunk(in, out.rules, out.chunks[i]) ||
            (i + 1 < out.chunks.size() && out.chunks[i].size < out.rules.chunk.minSize))
            return false;
        total += out.chunks[i].size;
    }
    return in.atEnd() && total == fileSize;
}

std::string encodeChunkHeader(const std::vector<PieceEntry>& pieces) {
    std::string out;
    putVarint(out, pieces.size());
    for (const PieceEntry& piece : pieces) {
        for (int shift = 56; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>(piece.tag >> shift));
        putVarint(out, piece.size);
        putVarint(out, piece.storedSize);
    }
    return out;
}

bool decodeChunkHeader(const std::string& bytes, uint32_t chunkSize, uint32_t storedSize, const CutRule& rule,
                       std::vector<PieceEntry>& out) {
    out.clear();
    Reader in(bytes);
    uint64_t count = 0;
    if (!in.varint(count) || count == 0 || count > maxPieces(chunkSize, rule) ||
        count > in.left() / minPieceEntryBytes)
        return false;
    uint64_t size = 0, stored = bytes.size();
    out.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < out.size(); ++i) {
        PieceEntry& piece = out[i];
        uint8_t tag[8];
        // The pieces are cut by the rule: none beyond its maximum, none but
        // the last below its minimum.
        if (!in.bytes(tag, sizeof tag) || !in.varint32(piece.size) || !in.varint32(piece.storedSize) ||
            piece.size == 0 || piece.storedSize == 0 || piece.storedSize > piece.size ||
            piece.size > rule.maxSize || (i + 1 < out.size() && piece.size < rule.minSize))
            return false;
        for (uint8_t byte : tag)
            piece.tag = piece.tag << 8 | byte;
        size += piece.size;
        stored += piece.storedSize;
    }
    return in.atEnd() && size == chunkSize && stored == storedSize;
}

size_t chunkHeaderLength(const std::string& stored) {
    Reader in(stored);
    uint64_t count = 0;
    if (!in.varint(count) || count == 0 || count > stored.size())
        return 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint8_t tag[8];
        uint32_t size = 0, storedSize = 0;
        if (!in.bytes(tag, sizeof tag) || !in.varint32(size) || !in.varint32(storedSize))
            return 0;
    }
    return in.at();
}

std::string encodeChunkList(const ChunkList& list) {
    std::string out = std::string(chunkListHead) + "\n";
    for (const auto& [path, index] : list)
        out += Sha256::hex(index) + " " + path + "\n";
    return out;
}

bool decodeChunkList(const std::string& text, ChunkList& out) {
    out.clear();
    const std::string head = std::string(chunkListHead) + "\n";
    if (text.compare(0, head.size(), head) != 0)
        return false;
    size_t at = head.size();
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos || end - at < 66 || text[at + 64] != ' ')
            return false;
        Sha256::Digest index{};
        if (!Sha256::fromHex(text.substr(at, 64), index) ||
            !out.emplace(text.substr(at + 65, end - at - 65), index).second)
            return false;
        at = end + 1;
    }
    return true;
}
