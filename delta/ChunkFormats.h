#pragma once
// The chunk store's files, as a publication folder holds them and a delta
// update reads them. These are wire formats: a launcher in the field reads
// what any later publisher writes, so they change only with their version.
//
// They lie in the folder "moravo-chunks" of the publication, beside the
// release's own files (whose names all end in ".zz"):
//   list.txt         "moravo-chunks 1", then one line per chunked file: the
//                    SHA-256 of its index (64 hex digits), a blank, its
//                    path; paths in order, lines ending in "\n".
//   index/H.idx      the index named H (its SHA-256): the cut rules and each
//                    chunk of the file in order.
//   HH/H.chunk       the chunk named H (the SHA-256 of its bytes), HH its
//                    first two digits: a header listing its pieces, then each
//                    piece, deflated by zlib when that made it smaller, else
//                    as it is.
//
// Numbers are unsigned LEB128 varints (7 bits a byte, low bits first), in
// their shortest spelling.
#include "delta/Chunking.h"
#include "net/Sha256.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// The chunk store's folder in a publication folder.
constexpr const char* chunkStoreName = "moravo-chunks";
/// The length of the header at the start of a chunk file, 0 when it does
/// not begin with one.
size_t chunkHeaderLength(const std::string& stored);

/// The list of indexes, relative to the publication folder.
constexpr const char* chunkListName = "moravo-chunks/list.txt";
/// Its first line.
constexpr const char* chunkListHead = "moravo-chunks 1";
/// Files at least this large are cut into chunks when published.
constexpr int64_t chunkedFileThreshold = int64_t(4) << 20;

/// A chunk as an index lists it.
struct ChunkEntry {
    Sha256::Digest hash{};
    uint32_t size = 0;       // its bytes
    uint32_t storedSize = 0; // its file in the store: header and pieces
    uint32_t headerSize = 0; // the header at the start of that file
};

/// The index of one chunked file.
struct ChunkIndex {
    ChunkingRules rules;
    int64_t fileSize = 0;
    std::vector<ChunkEntry> chunks;
};

/// A piece as a chunk's header lists it. The tag (the first 8 bytes of the
/// piece's SHA-256, high byte first) only finds a piece already at hand: a
/// chunk put together from pieces is checked against its full SHA-256.
struct PieceEntry {
    uint64_t tag = 0;
    uint32_t size = 0;
    uint32_t storedSize = 0; // equal to `size` when the piece is stored as it is
};

/// The paths of the chunk store's files, relative to the publication folder.
std::string chunkIndexPath(const Sha256::Digest& index);
std::string chunkPath(const Sha256::Digest& chunk);

/// The tag of a piece.
uint64_t pieceTag(const uint8_t* data, size_t size);

std::string encodeChunkIndex(const ChunkIndex& index);
/// Reads an index; false when the bytes are not one: a wrong head, rules
/// that are not rules, chunk sizes beyond the rules (a chunk but the last
/// below the minimum) or not adding up to the file's size, a stored size
/// that cannot hold the header or holds more than the header and the chunk
/// as it is, a header longer than the rules let it be, or bytes left.
bool decodeChunkIndex(const std::string& bytes, ChunkIndex& out);

std::string encodeChunkHeader(const std::vector<PieceEntry>& pieces);
/// Reads a chunk's header (exactly `bytes`, as its index gives the size);
/// false unless the pieces are cut by `rule` (the index's piece rule), add
/// up to `chunkSize` and their stored sizes fit `storedSize` with the
/// header.
bool decodeChunkHeader(const std::string& bytes, uint32_t chunkSize, uint32_t storedSize, const CutRule& rule,
                       std::vector<PieceEntry>& out);
/// The longest header a chunk of `chunkSize` bytes cut into pieces by
/// `piece` can have.
size_t maxChunkHeaderLength(uint32_t chunkSize, const CutRule& piece);

/// The length of the header at the start of a chunk file, 0 when it does
/// not begin with one.
size_t chunkHeaderLength(const std::string& stored);

/// The list of indexes: path to the SHA-256 of its index.
using ChunkList = std::map<std::string, Sha256::Digest>;
std::string encodeChunkList(const ChunkList& list);
/// False when the text is not a list (a wrong head, a line that is not a
/// digest, a blank and a path, a path twice).
bool decodeChunkList(const std::string& text, ChunkList& out);
