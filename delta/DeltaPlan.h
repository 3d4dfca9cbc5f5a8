#pragma once
// A delta update of one chunked file: which chunks and pieces of its new
// version the installed copy (and a partial file an interrupted run left)
// already holds, which byte ranges of the chunk store are still to fetch,
// and the new version put together from both.
#include "delta/ChunkFormats.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

/// A C stream owned: closed with its owner.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

/// A byte range of a file of the chunk store.
struct StoreRange {
    std::string relative;
    int64_t from = 0;
    int64_t length = 0;
};

/// Reads byte ranges of the chunk store's files. Answers 0 or an update
/// error code.
class ChunkStoreReader {
public:
    /// Hears each range read, in order, with its bytes (which it may take);
    /// false stops the reading.
    using Take = std::function<bool(size_t index, std::string& bytes)>;

    virtual ~ChunkStoreReader() = default;
    /// One range; `length` -1 reads the file to its end.
    virtual int32_t read(const std::string& relative, int64_t from, int64_t length, std::string& out) = 0;
    /// Every range of `ranges` in order, as `take` wants them; 0 also when
    /// `take` stopped it. Reads one after the other unless a reader can do
    /// better (over the network: several requests in flight).
    virtual int32_t readAll(const std::vector<StoreRange>& ranges, const Take& take);
};

/// Where the chunks and pieces of a file lie in it, by content.
class LocalChunks {
public:
    struct Place {
        int64_t offset = 0;
        uint32_t size = 0;
    };

    /// Cuts the file at `path` by the rules of `next` (the index of the
    /// version to make), hashing every chunk; the pieces of the chunks that
    /// `next` no longer has, where a changed chunk's unchanged pieces lie,
    /// are hashed too. A large file is cut in segments on up to `threads`
    /// threads (0: one per core, at most four). False when it cannot be
    /// read or `cancel` (may be null) turns true.
    bool scan(const std::string& path, const ChunkIndex& next, const std::atomic<bool>* cancel,
              int threads = 0);
    /// Takes where the chunks of the file at `path` lie from `installed`,
    /// the index it had when the updater put it in place (same rules as
    /// `next`), without reading them: only the chunks `next` no longer has
    /// are read, to hash their pieces. The chunks are then `unchecked`: the
    /// assembly checks each against its SHA-256 as it takes it. False when
    /// the file cannot be read or `cancel` turns true.
    bool adopt(const std::string& path, const ChunkIndex& installed, const ChunkIndex& next,
               const std::atomic<bool>* cancel);
    bool unchecked() const { return unchecked_; }
    const Place* chunk(const Sha256::Digest& hash) const;
    const Place* piece(uint64_t tag, uint32_t size) const;

private:
    struct DigestHash {
        size_t operator()(const Sha256::Digest& digest) const;
    };
    using Wanted = std::unordered_set<Sha256::Digest, DigestHash>;
    // Cuts the bytes `from` to `to` of the file as if a chunk began at
    // `from`.
    bool scanSegment(const std::string& path, const ChunkIndex& next, const Wanted& wanted, int64_t from,
                     int64_t to, const std::atomic<bool>* cancel);

    // Cuts the chunk at `offset` (its bytes `data`) into pieces by `rule`
    // and notes where each lies.
    void addPieces(const uint8_t* data, size_t size, int64_t offset, const CutRule& rule);

    std::unordered_map<Sha256::Digest, Place, DigestHash> chunks_;
    std::unordered_map<uint64_t, Place> pieces_;
    bool unchecked_ = false;
};

/// Where each chunk of the new version comes from.
struct ChunkSource {
    enum class Kind { partial, local, pieces };
    Kind kind = Kind::pieces;
    /// `local`: where the chunk lies in the installed copy.
    int64_t localOffset = 0;
    /// `pieces`: the chunk's header, and for each piece where it lies in the
    /// installed copy (-1: to fetch).
    std::vector<PieceEntry> pieces;
    std::vector<int64_t> pieceOffsets;
};

/// A byte range of a chunk file to fetch: its pieces `first` to `last`.
struct PieceRun {
    size_t first = 0;
    size_t last = 0;
    int64_t from = 0;
    int64_t length = 0;
};

/// The whole plan of one file.
struct DeltaPlan {
    ChunkIndex index;
    std::vector<ChunkSource> sources;
    /// Chunks at the start of the partial file that are already right.
    size_t partialChunks = 0;
    /// Bytes fetched to make the plan (the index and the chunks' headers).
    int64_t plannedBytes = 0;
    /// The installed copy's chunks were not hashed when planned: each is
    /// checked as it is taken.
    bool checkLocal = false;

    /// Bytes still to fetch: the pieces no copy holds.
    int64_t fetchBytes() const;
    /// Bytes taken from the installed copy and the partial file.
    int64_t reusedBytes() const;
    /// The ranges to fetch of chunk `i`, adjacent pieces joined.
    std::vector<PieceRun> runs(size_t i) const;
};

/// The number of chunks at the start of the file at `path` that match
/// `index` (0 when there is no such file).
size_t verifiedPrefix(const std::string& path, const ChunkIndex& index, const std::atomic<bool>* cancel);

/// Plans the file of `index` given what `local` holds and the `partial`
/// chunks already right; fetches the header of each chunk that is missing.
/// Answers 0 or the reader's error code.
int32_t planDelta(const ChunkIndex& index, const LocalChunks& local, size_t partial, ChunkStoreReader& store,
                  DeltaPlan& plan);

/// Writes the new version's chunks from the `plan.partialChunks`-th on:
/// each chunk taken from `oldPath`, or put together from its pieces and
/// checked against its SHA-256 before `write` gets it (the whole file is
/// checked against its digest by the caller). The store's ranges are read
/// in one go, in order. `fetched` hears the bytes of each range read.
/// When a chunk taken from the installed copy is not the chunk, the rest is
/// planned again: an unchecked copy (one known by its record) is cut again,
/// and after that (or for a copy cut when planned) a piece shared by its
/// tag only means the pieces of the remaining chunks are all fetched. So
/// the plan is made at most three times, and what the store's headers say
/// costs at most the chunks' stored bytes. Answers 0, the reader's error,
/// `chunkMismatch` when the store's bytes are not the chunk,
/// `localReadError` when the installed copy could not be read, or
/// `writeError` when `write` failed.
class DeltaAssembler {
public:
    static constexpr int32_t chunkMismatch = -1;
    static constexpr int32_t localReadError = -2;
    static constexpr int32_t writeError = -3;
    static constexpr int32_t localMismatch = -4;
    using Write = std::function<bool(const std::string& bytes)>;
    using Fetched = std::function<void(int64_t bytes)>;

    /// `plan` and `store` (not owned) outlive the assembler.
    DeltaAssembler(const DeltaPlan& plan, std::string oldPath, ChunkStoreReader& store)
        : plan_(&plan), oldPath_(std::move(oldPath)), store_(store) {}

    int32_t run(const Write& write, const Fetched& fetched, const std::atomic<bool>* cancel);

    /// The installed copy was cut again: it no longer matched its record.
    bool recut() const { return recut_; }
    /// The rest of the chunks came from the store alone: pieces found in the
    /// copy by their tags did not make their chunk.
    bool storeOnly() const { return storeOnly_; }

private:
    // Writes the chunks before `end` that need nothing from the store.
    int32_t writeLocalUpTo(size_t end, const Write& write);
    // 0 when the chunk `i` read from the installed copy into `chunk_` is
    // the chunk, or was hashed when planned; else `localMismatch`.
    int32_t localChecked(size_t i) const;
    // Puts chunk `i` together from the installed copy and `fetched`, the
    // bytes of its runs.
    int32_t fromPieces(size_t i, const std::vector<std::string>& fetched, std::string& chunk);
    // Plans the chunks from `next_` on again, after the installed copy
    // failed one of them.
    int32_t replan(const Fetched& fetched, const std::atomic<bool>* cancel);
    // Reads the store's ranges from chunk `next_` on and writes the chunks.
    int32_t fetchAndWrite(const Write& write, const Fetched& fetched, const std::atomic<bool>* cancel);
    bool readLocal(int64_t offset, uint32_t size, std::string& out);

    const DeltaPlan* plan_;
    std::unique_ptr<DeltaPlan> replanned_; // the plan in use once planned again
    std::string oldPath_;
    ChunkStoreReader& store_;
    OwnedFile old_;
    size_t next_ = 0; // the next chunk to write
    std::string chunk_;
    bool recut_ = false;
    bool storeOnly_ = false;
};
