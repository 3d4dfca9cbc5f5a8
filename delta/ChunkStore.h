#pragma once
// The chunk store of a publication folder, as the publisher writes it: each
// chunk stored once under its SHA-256, shared by every file and release
// published into the folder, and pruned once no listed index names it.
#include "delta/ChunkFormats.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

/// What one publication did to the store.
struct ChunkStoreGrowth {
    uint64_t chunksAdded = 0;
    uint64_t chunksReused = 0;
    uint64_t bytesAdded = 0; // stored bytes of the chunks and indexes added
    uint64_t chunksPruned = 0;
    uint64_t bytesPruned = 0;
};

/// Unpacks a chunk file of the store (`stored`, as `chunk` of an index
/// describes it) into the chunk's bytes; false unless the file is one and
/// the bytes have the chunk's SHA-256.
bool unpackChunk(const std::string& stored, const ChunkEntry& chunk, std::string& bytes);

/// Appends the bytes of one piece, stored as `piece` says at `stored`, to
/// `out`; false when they do not unpack to its size.
bool unpackPiece(const char* stored, const PieceEntry& piece, std::string& out);

class PiecePacker;

/// Packs a chunk's bytes into its file of the store; `chunk` gets the sizes.
/// Each piece is deflated when that makes it smaller, else stored as it is.
std::string packChunk(const uint8_t* data, size_t size, const ChunkingRules& rules, ChunkEntry& chunk);
/// The same with the caller's packer, kept from one chunk to the next.
std::string packChunk(const uint8_t* data, size_t size, const ChunkingRules& rules, ChunkEntry& chunk,
                      PiecePacker& packer);

/// Writes files' chunks and indexes into the store of one publication
/// folder, then its list, and prunes what the list no longer names.
/// `storeFile` may run on several threads at once.
class ChunkStoreWriter {
public:
    explicit ChunkStoreWriter(std::string publication);
    ChunkStoreWriter(const ChunkStoreWriter&) = delete;
    ChunkStoreWriter& operator=(const ChunkStoreWriter&) = delete;

    /// Reads which chunks and indexes the store holds already; false (with
    /// `error`) when its folders can be neither read nor made.
    bool open(std::string& error);
    /// Cuts the file at `source` into chunks, stores those the store lacks,
    /// and stores the file's index, whose SHA-256 it answers in `index`;
    /// the count of the bytes cut goes to `cutBytes` when it is not null.
    bool storeFile(const std::string& source, Sha256::Digest& index, std::string& error,
                   int64_t* cutBytes = nullptr);
    /// Writes the list (replacing the old one in one step).
    bool writeList(const ChunkList& list, std::string& error);
    /// Removes the indexes the list written does not name and the chunks no
    /// listed index names: once nothing served names them any more.
    void prune();

    /// The first file the list written names that the store lacks, as a
    /// sentence; empty when it holds them all.
    std::string missingFile() const;

    ChunkStoreGrowth growth() const;
    /// True when the store holds the file (`relative` to the publication).
    bool holds(const std::string& relative) const;

private:
    // True when the caller is the first to want `name` stored.
    bool claim(const std::string& name);
    bool storeChunk(const uint8_t* data, size_t size, ChunkEntry& chunk, PiecePacker& packer,
                    std::string& error);
    bool writeStoreFile(const std::string& relative, const std::string& bytes, std::string& error);
    // Makes a folder of the store once, not once for each file written in it.
    bool madeFolder(const std::string& folder);

    std::string publication_;
    ChunkingRules rules_;
    mutable std::mutex mutex_;
    std::set<std::string> present_; // relative paths of the chunk and index files
    std::set<std::string> keep_;    // what the list written names
    std::set<std::string> made_;    // the store's folders there already
    ChunkStoreGrowth growth_;
};

/// Reads the list of the store of `publication`; empty when there is none
/// or it cannot be read.
void readChunkList(const std::string& publication, ChunkList& list);
