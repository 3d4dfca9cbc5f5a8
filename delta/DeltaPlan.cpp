#include "delta/DeltaPlan.h"

#include "delta/ChunkStore.h"
#include "delta/ReadAhead.h"
#include "platform/FileSystem.h"

#include "support/Workers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

namespace {

constexpr size_t readBlock = 1 << 20;
// A file is cut on several threads only in segments at least this large.
constexpr int64_t segmentMinimum = int64_t(16) << 20;

// The threads that cut an installed copy: as many as the machine has cores,
// at most four.
int64_t scanThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? std::min(cores, 4u) : 1;
}

bool stopped(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

} // namespace

size_t LocalChunks::DigestHash::operator()(const Sha256::Digest& digest) const {
    size_t value = 0;
    std::memcpy(&value, digest.data(), sizeof value);
    return value;
}

bool LocalChunks::scan(const std::string& path, const ChunkIndex& next, const std::atomic<bool>* cancel,
                       int threads) {
    chunks_.clear();
    pieces_.clear();
    unchecked_ = false;
    const int64_t size = platform::fileSize(path);
    if (size < 0)
        return false;
    Wanted wanted;
    for (const ChunkEntry& chunk : next.chunks)
        wanted.insert(chunk.hash);
    // The file is cut in segments, one per thread. A segment's cuts start
    // at an arbitrary byte and fall in step with the file's own within a
    // chunk or two, so each segment goes on past its end by several of the
    // largest chunks: every chunk of the file is found by one of them, and
    // the extra chunks found are real bytes of the file, harmless.
    const int64_t total = static_cast<int64_t>(size);
    const int64_t count = std::max<int64_t>(
        1, std::min<int64_t>(threads > 0 ? threads : scanThreads(), total / segmentMinimum));
    const int64_t overlap = int64_t(8) * next.rules.chunk.maxSize;
    std::vector<LocalChunks> found(static_cast<size_t>(count));
    std::vector<char> ok(found.size(), 0);
    std::atomic<size_t> claimed{0};
    auto work = [&] {
        for (size_t k; (k = claimed.fetch_add(1)) < found.size();) {
            const int64_t from = total * static_cast<int64_t>(k) / count;
            const int64_t to =
                k + 1 == found.size() ? total : total * static_cast<int64_t>(k + 1) / count + overlap;
            ok[k] = found[k].scanSegment(path, next, wanted, from, std::min(to, total), cancel);
        }
    };
    support::HelperGroup helpers;
    helpers.start(static_cast<int>(count) - 1, work);
    work();
    helpers.join();
    for (size_t k = 0; k < found.size(); ++k) {
        if (!ok[k])
            return false;
        chunks_.insert(found[k].chunks_.begin(), found[k].chunks_.end());
        pieces_.insert(found[k].pieces_.begin(), found[k].pieces_.end());
    }
    return true;
}

bool LocalChunks::scanSegment(const std::string& path, const ChunkIndex& next, const Wanted& wanted,
                              int64_t from, int64_t to, const std::atomic<bool>* cancel) {
    OwnedFile file(platform::openFile(path, "rb"));
    if (!file || !platform::seekFile(file.get(), from))
        return false;
    int64_t offset = from;
    auto sink = [&](const uint8_t* data, size_t size) {
        const Sha256::Digest hash = Sha256::of(data, size);
        chunks_.emplace(hash, Place{offset, static_cast<uint32_t>(size)});
        if (wanted.count(hash) == 0)
            addPieces(data, size, offset, next.rules.piece);
        offset += static_cast<int64_t>(size);
    };
    StreamChunker chunker(next.rules.chunk);
    std::vector<char> block(readBlock);
    for (int64_t left = to - from; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block.size())));
        const size_t got = std::fread(block.data(), 1, want, file.get());
        if (got != want || stopped(cancel))
            return false;
        chunker.feed(block.data(), got, sink);
        left -= static_cast<int64_t>(got);
    }
    chunker.finish(sink);
    return true;
}

bool LocalChunks::adopt(const std::string& path, const ChunkIndex& installed, const ChunkIndex& next,
                        const std::atomic<bool>* cancel) {
    chunks_.clear();
    pieces_.clear();
    unchecked_ = true;
    Wanted wanted;
    for (const ChunkEntry& chunk : next.chunks)
        wanted.insert(chunk.hash);
    OwnedFile file(platform::openFile(path, "rb"));
    std::vector<uint8_t> bytes;
    int64_t offset = 0;
    for (const ChunkEntry& chunk : installed.chunks) {
        chunks_.emplace(chunk.hash, Place{offset, chunk.size});
        if (wanted.count(chunk.hash) == 0) {
            bytes.resize(chunk.size);
            if (!file || stopped(cancel) || !platform::seekFile(file.get(), offset) ||
                std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
                return false;
            addPieces(bytes.data(), bytes.size(), offset, next.rules.piece);
        }
        offset += chunk.size;
    }
    return file != nullptr;
}

void LocalChunks::addPieces(const uint8_t* data, size_t size, int64_t offset, const CutRule& rule) {
    int64_t at = offset;
    for (uint32_t length : cutLengths(data, size, rule)) {
        pieces_.emplace(pieceTag(data + (at - offset), length), Place{at, length});
        at += length;
    }
}

const LocalChunks::Place* LocalChunks::chunk(const Sha256::Digest& hash) const {
    auto found = chunks_.find(hash);
    return found == chunks_.end() ? nullptr : &found->second;
}

const LocalChunks::Place* LocalChunks::piece(uint64_t tag, uint32_t size) const {
    auto found = pieces_.find(tag);
    return found == pieces_.end() || found->second.size != size ? nullptr : &found->second;
}

std::vector<PieceRun> DeltaPlan::runs(size_t i) const {
    std::vector<PieceRun> out;
    const ChunkSource& source = sources[i];
    if (source.kind != ChunkSource::Kind::pieces)
        return out;
    int64_t at = index.chunks[i].headerSize;
    for (size_t p = 0; p < source.pieces.size(); ++p) {
        const int64_t stored = source.pieces[p].storedSize;
        if (source.pieceOffsets[p] < 0) {
            if (!out.empty() && out.back().last + 1 == p)
                out.back() = PieceRun{out.back().first, p, out.back().from, out.back().length + stored};
            else
                out.push_back(PieceRun{p, p, at, stored});
        }
        at += stored;
    }
    return out;
}

int64_t DeltaPlan::fetchBytes() const {
    int64_t total = 0;
    for (size_t i = 0; i < sources.size(); ++i)
        for (const PieceRun& run : runs(i))
            total += run.length;
    return total;
}

int64_t DeltaPlan::reusedBytes() const {
    int64_t total = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const ChunkSource& source = sources[i];
        if (source.kind != ChunkSource::Kind::pieces) {
            total += index.chunks[i].size;
            continue;
        }
        for (size_t p = 0; p < source.pieces.size(); ++p)
            total += source.pieceOffsets[p] >= 0 ? source.pieces[p].size : 0;
    }
    return total;
}

size_t verifiedPrefix(const std::string& path, const ChunkIndex& index, const std::atomic<bool>* cancel) {
    OwnedFile file(platform::openFile(path, "rb"));
    if (!file)
        return 0;
    std::vector<uint8_t> bytes;
    size_t count = 0;
    for (const ChunkEntry& chunk : index.chunks) {
        bytes.resize(chunk.size);
        if (stopped(cancel) || std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
            Sha256::of(bytes.data(), bytes.size()) != chunk.hash)
            break;
        ++count;
    }
    return count;
}

int32_t ChunkStoreReader::readAll(const std::vector<StoreRange>& ranges, const Take& take) {
    std::string bytes;
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (int32_t error = read(ranges[i].relative, ranges[i].from, ranges[i].length, bytes))
            return error;
        if (!take(i, bytes))
            break;
    }
    return 0;
}

int32_t planDelta(const ChunkIndex& index, const LocalChunks& local, size_t partial, ChunkStoreReader& store,
                  DeltaPlan& plan) {
    plan = DeltaPlan();
    plan.index = index;
    plan.checkLocal = local.unchecked();
    plan.partialChunks = partial;
    plan.sources.resize(index.chunks.size());
    std::vector<StoreRange> headers;
    std::vector<size_t> missing;
    for (size_t i = partial; i < index.chunks.size(); ++i) {
        const ChunkEntry& chunk = index.chunks[i];
        ChunkSource& source = plan.sources[i];
        if (const LocalChunks::Place* place = local.chunk(chunk.hash)) {
            source.kind = ChunkSource::Kind::local;
            source.localOffset = place->offset;
            continue;
        }
        headers.push_back(StoreRange{chunkPath(chunk.hash), 0, chunk.headerSize});
        missing.push_back(i);
    }
    for (size_t i = 0; i < partial; ++i)
        plan.sources[i].kind = ChunkSource::Kind::partial;
    bool read = true;
    const int32_t error = store.readAll(headers, [&](size_t h, std::string& header) {
        const ChunkEntry& chunk = index.chunks[missing[h]];
        ChunkSource& source = plan.sources[missing[h]];
        plan.plannedBytes += static_cast<int64_t>(header.size());
        read = decodeChunkHeader(header, chunk.size, chunk.storedSize, index.rules.piece, source.pieces);
        for (const PieceEntry& piece : source.pieces) {
            const LocalChunks::Place* place = local.piece(piece.tag, piece.size);
            source.pieceOffsets.push_back(place != nullptr ? place->offset : -1);
        }
        return read;
    });
    return error != 0 ? error : read ? 0 : DeltaAssembler::chunkMismatch;
}

bool DeltaAssembler::readLocal(int64_t offset, uint32_t size, std::string& out) {
    if (old_ == nullptr)
        old_.reset(platform::openFile(oldPath_, "rb"));
    const size_t at = out.size();
    out.resize(at + size);
    return old_ != nullptr && platform::seekFile(old_.get(), offset) &&
           std::fread(&out[at], 1, size, old_.get()) == size;
}

int32_t DeltaAssembler::writeLocalUpTo(size_t end, const Write& write) {
    for (; next_ < end; ++next_) {
        const ChunkSource& source = plan_->sources[next_];
        chunk_.clear();
        int32_t result = 0;
        if (source.kind == ChunkSource::Kind::local)
            result = readLocal(source.localOffset, plan_->index.chunks[next_].size, chunk_)
                         ? localChecked(next_)
                         : localReadError;
        else
            result = fromPieces(next_, {}, chunk_); // every piece at hand
        if (result != 0)
            return result;
        if (!write(chunk_))
            return writeError;
    }
    return 0;
}

int32_t DeltaAssembler::localChecked(size_t i) const {
    if (!plan_->checkLocal || Sha256::of(chunk_.data(), chunk_.size()) == plan_->index.chunks[i].hash)
        return 0;
    return localMismatch;
}

int32_t DeltaAssembler::fromPieces(size_t i, const std::vector<std::string>& fetched, std::string& chunk) {
    const ChunkEntry& entry = plan_->index.chunks[i];
    const ChunkSource& source = plan_->sources[i];
    const std::vector<PieceRun> runs = plan_->runs(i);
    chunk.clear();
    bool usedLocal = false;
    size_t run = 0;
    for (size_t p = 0; p < source.pieces.size();) {
        if (source.pieceOffsets[p] >= 0) {
            if (!readLocal(source.pieceOffsets[p], source.pieces[p].size, chunk))
                return localReadError;
            usedLocal = true;
            ++p;
            continue;
        }
        const std::string& stored = fetched[run];
        size_t at = 0;
        for (; p <= runs[run].last; at += source.pieces[p].storedSize, ++p)
            if (stored.size() - at < source.pieces[p].storedSize ||
                !unpackPiece(&stored[at], source.pieces[p], chunk))
                return chunkMismatch;
        ++run;
    }
    if (Sha256::of(chunk.data(), chunk.size()) == entry.hash)
        return 0;
    return usedLocal ? localMismatch : chunkMismatch;
}

int32_t DeltaAssembler::replan(const Fetched& fetched, const std::atomic<bool>* cancel) {
    DeltaPlan next;
    if (plan_->checkLocal) {
        // The copy changed behind its record: it is cut again, once, and the
        // rest planned from what it holds now.
        LocalChunks local;
        if (!local.scan(oldPath_, plan_->index, cancel))
            return localReadError;
        const int32_t error = planDelta(plan_->index, local, next_, store_, next);
        fetched(next.plannedBytes); // the headers read again
        if (error != 0)
            return error;
        recut_ = true;
    } else {
        // A chunk's pieces found in the copy by their tags did not make it:
        // a tag shared by chance, or a header that lied. The rest of the
        // chunks to put together come from the store alone, which costs at
        // most their stored bytes however their headers lie.
        next = *plan_;
        for (size_t i = next_; i < next.sources.size(); ++i)
            for (int64_t& offset : next.sources[i].pieceOffsets)
                offset = -1;
        storeOnly_ = true;
    }
    replanned_ = std::make_unique<DeltaPlan>(std::move(next));
    plan_ = replanned_.get();
    return 0;
}

int32_t DeltaAssembler::fetchAndWrite(const Write& write, const Fetched& fetched,
                                      const std::atomic<bool>* cancel) {
    // Every run of every chunk to fetch, in the file's order: read in one go
    // on a helper thread while the chunks before each are written here.
    std::vector<StoreRange> ranges;
    std::vector<size_t> owners;
    for (size_t i = next_; i < plan_->sources.size(); ++i) {
        for (const PieceRun& run : plan_->runs(i)) {
            ranges.push_back(StoreRange{chunkPath(plan_->index.chunks[i].hash), run.from, run.length});
            owners.push_back(i);
        }
    }
    std::vector<std::string> pending;
    int32_t result = 0;
    const int32_t readError = readAhead(store_, ranges, [&](size_t r, std::string& bytes) {
        fetched(static_cast<int64_t>(bytes.size()));
        result = writeLocalUpTo(owners[r], write);
        pending.push_back(std::move(bytes));
        if (result == 0 && (r + 1 == ranges.size() || owners[r + 1] != owners[r])) {
            result = fromPieces(owners[r], pending, chunk_);
            if (result == 0 && !write(chunk_))
                result = writeError;
            pending.clear();
            if (result == 0)
                ++next_;
        }
        return result == 0 && !stopped(cancel);
    });
    if (result == 0 && readError == 0 && !stopped(cancel))
        result = writeLocalUpTo(plan_->sources.size(), write);
    return result != 0 ? result : readError;
}

int32_t DeltaAssembler::run(const Write& write, const Fetched& fetched, const std::atomic<bool>* cancel) {
    next_ = plan_->partialChunks;
    int32_t result = fetchAndWrite(write, fetched, cancel);
    // A chunk taken from the installed copy that is not the chunk. The
    // chunks written so far were all checked; the rest is planned again at
    // most twice (a copy known by its record is cut again, then pieces found
    // by their tags are no longer trusted), never chunk by chunk.
    while (result == localMismatch && !storeOnly_) {
        result = replan(fetched, cancel);
        if (result == 0)
            result = fetchAndWrite(write, fetched, cancel);
    }
    old_.reset();
    return result;
}
