#include "update/DeltaPlan.h"

#include "platform/FileSystem.h"
#include "update/ChunkStore.h"

#include <cstring>
#include <memory>

namespace {

constexpr size_t readBlock = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool stopped(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

} // namespace

size_t LocalChunks::DigestHash::operator()(const Sha256::Digest& digest) const {
    size_t value = 0;
    std::memcpy(&value, digest.data(), sizeof value);
    return value;
}

bool LocalChunks::scan(const std::string& path, const ChunkingRules& rules, const std::atomic<bool>* cancel) {
    chunks_.clear();
    pieces_.clear();
    File file(platform::openFile(path, "rb"));
    if (!file)
        return false;
    int64_t offset = 0;
    auto sink = [&](const uint8_t* data, size_t size) {
        chunks_.emplace(Sha256::of(data, size), Place{offset, static_cast<uint32_t>(size)});
        int64_t at = offset;
        for (uint32_t length : cutLengths(data, size, rules.piece)) {
            pieces_.emplace(pieceTag(data + (at - offset), length), Place{at, length});
            at += length;
        }
        offset += static_cast<int64_t>(size);
    };
    StreamChunker chunker(rules.chunk);
    std::vector<char> block(readBlock);
    for (size_t got; (got = std::fread(block.data(), 1, block.size(), file.get())) > 0;) {
        if (stopped(cancel))
            return false;
        chunker.feed(block.data(), got, sink);
    }
    if (std::ferror(file.get()))
        return false;
    chunker.finish(sink);
    return true;
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
    File file(platform::openFile(path, "rb"));
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

int32_t planDelta(const ChunkIndex& index, const LocalChunks& local, size_t partial, ChunkStoreReader& store,
                  DeltaPlan& plan) {
    plan = DeltaPlan();
    plan.index = index;
    plan.partialChunks = partial;
    plan.sources.resize(index.chunks.size());
    for (size_t i = 0; i < index.chunks.size(); ++i) {
        const ChunkEntry& chunk = index.chunks[i];
        ChunkSource& source = plan.sources[i];
        if (i < partial) {
            source.kind = ChunkSource::Kind::partial;
            continue;
        }
        if (const LocalChunks::Place* place = local.chunk(chunk.hash)) {
            source.kind = ChunkSource::Kind::local;
            source.localOffset = place->offset;
            continue;
        }
        std::string header;
        if (int32_t error = store.read(chunkPath(chunk.hash), 0, chunk.headerSize, header))
            return error;
        plan.plannedBytes += static_cast<int64_t>(header.size());
        if (!decodeChunkHeader(header, chunk.size, chunk.storedSize, source.pieces))
            return DeltaAssembler::chunkMismatch;
        for (const PieceEntry& piece : source.pieces) {
            const LocalChunks::Place* place = local.piece(piece.tag, piece.size);
            source.pieceOffsets.push_back(place != nullptr ? place->offset : -1);
        }
    }
    return 0;
}

bool DeltaAssembler::readLocal(int64_t offset, uint32_t size, std::string& out) {
    if (old_ == nullptr)
        old_.reset(platform::openFile(oldPath_, "rb"));
    const size_t at = out.size();
    out.resize(at + size);
    return old_ != nullptr && platform::seekFile(old_.get(), offset) &&
           std::fread(&out[at], 1, size, old_.get()) == size;
}

int32_t DeltaAssembler::wholeChunk(size_t i, std::string& chunk, const Fetched& fetched) {
    const ChunkEntry& entry = plan_.index.chunks[i];
    std::string stored;
    if (int32_t error = store_.read(chunkPath(entry.hash), 0, entry.storedSize, stored))
        return error;
    fetched(static_cast<int64_t>(stored.size()));
    return unpackChunk(stored, entry, chunk) ? 0 : chunkMismatch;
}

int32_t DeltaAssembler::fromPieces(size_t i, std::string& chunk, const Fetched& fetched) {
    const ChunkEntry& entry = plan_.index.chunks[i];
    const ChunkSource& source = plan_.sources[i];
    const std::vector<PieceRun> runs = plan_.runs(i);
    chunk.clear();
    auto run = runs.begin();
    bool usedLocal = false;
    for (size_t p = 0; p < source.pieces.size();) {
        if (source.pieceOffsets[p] >= 0) {
            if (!readLocal(source.pieceOffsets[p], source.pieces[p].size, chunk))
                return localReadError;
            usedLocal = true;
            ++p;
            continue;
        }
        std::string stored;
        if (int32_t error = store_.read(chunkPath(entry.hash), run->from, run->length, stored))
            return error;
        fetched(static_cast<int64_t>(stored.size()));
        size_t at = 0;
        for (; p <= run->last; at += source.pieces[p].storedSize, ++p)
            if (stored.size() - at < source.pieces[p].storedSize || !unpackPiece(&stored[at], source.pieces[p], chunk))
                return chunkMismatch;
        ++run;
    }
    if (Sha256::of(chunk.data(), chunk.size()) == entry.hash)
        return 0;
    // A piece of the installed copy that only shared its tag: the chunk is
    // fetched whole.
    return usedLocal ? wholeChunk(i, chunk, fetched) : chunkMismatch;
}

int32_t DeltaAssembler::run(const Write& write, const Fetched& fetched, const std::atomic<bool>* cancel) {
    std::string chunk;
    int32_t result = 0;
    for (size_t i = plan_.partialChunks; i < plan_.sources.size() && result == 0; ++i) {
        if (stopped(cancel))
            break;
        const ChunkSource& source = plan_.sources[i];
        const ChunkEntry& entry = plan_.index.chunks[i];
        if (source.kind == ChunkSource::Kind::local) {
            chunk.clear();
            if (!readLocal(source.localOffset, entry.size, chunk))
                result = localReadError;
            else if (Sha256::of(chunk.data(), chunk.size()) != entry.hash)
                result = wholeChunk(i, chunk, fetched); // the installed copy changed meanwhile
        } else {
            result = fromPieces(i, chunk, fetched);
        }
        if (result == 0 && !write(chunk))
            result = writeError;
    }
    old_.reset();
    return result;
}
