#include "delta/ChunkStore.h"

#include "delta/PiecePacker.h"
#include "install/PendingFile.h"
#include "platform/FileSystem.h"
#include "support/Text.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

using support::endsWith;

namespace {

constexpr size_t readBlock = 1 << 20;

bool readWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Makes the folder `path` unless it is there already.
bool ensureDirectory(const std::string& path) {
    return platform::makeDirectory(path) || platform::fileKind(path) == platform::FileKind::directory;
}

} // namespace

std::string packChunk(const uint8_t* data, size_t size, const ChunkingRules& rules, ChunkEntry& chunk,
                      PiecePacker& packer) {
    std::vector<PieceEntry> pieces;
    std::string body;
    std::vector<uint8_t> packed;
    size_t at = 0;
    for (uint32_t length : cutLengths(data, size, rules.piece)) {
        PieceEntry piece{pieceTag(data + at, length), length, length};
        if (packer.pack(data + at, length, packed)) {
            piece.storedSize = static_cast<uint32_t>(packed.size());
            body.append(reinterpret_cast<const char*>(packed.data()), packed.size());
        } else {
            body.append(reinterpret_cast<const char*>(data + at), length);
        }
        pieces.push_back(piece);
        at += length;
    }
    std::string stored = encodeChunkHeader(pieces);
    chunk.hash = Sha256::of(data, size);
    chunk.size = static_cast<uint32_t>(size);
    chunk.headerSize = static_cast<uint32_t>(stored.size());
    stored += body;
    chunk.storedSize = static_cast<uint32_t>(stored.size());
    return stored;
}

std::string packChunk(const uint8_t* data, size_t size, const ChunkingRules& rules, ChunkEntry& chunk) {
    PiecePacker packer;
    return packChunk(data, size, rules, chunk, packer);
}

bool unpackPiece(const char* stored, const PieceEntry& piece, std::string& out) {
    if (piece.storedSize == piece.size) {
        out.append(stored, piece.size);
        return true;
    }
    const size_t at = out.size();
    out.resize(at + piece.size);
    uLongf length = piece.size;
    if (uncompress(reinterpret_cast<Bytef*>(&out[at]), &length, reinterpret_cast<const Bytef*>(stored),
                   piece.storedSize) != Z_OK ||
        length != piece.size) {
        out.resize(at);
        return false;
    }
    return true;
}

bool unpackChunk(const std::string& stored, const ChunkEntry& chunk, std::string& bytes) {
    bytes.clear();
    std::vector<PieceEntry> pieces;
    if (stored.size() != chunk.storedSize ||
        !decodeChunkHeader(stored.substr(0, chunk.headerSize), chunk.size, chunk.storedSize,
                           ChunkingRules().piece, pieces))
        return false;
    bytes.reserve(chunk.size);
    size_t at = chunk.headerSize;
    for (const PieceEntry& piece : pieces) {
        if (!unpackPiece(stored.data() + at, piece, bytes))
            return false;
        at += piece.storedSize;
    }
    return Sha256::of(bytes.data(), bytes.size()) == chunk.hash;
}

ChunkStoreWriter::ChunkStoreWriter(std::string publication) : publication_(std::move(publication)) {}

bool ChunkStoreWriter::open(std::string& error) {
    const std::string store = publication_ + "/" + chunkStoreName;
    if (!ensureDirectory(store) || !ensureDirectory(store + "/index")) {
        error = "cannot make the chunk store " + store;
        return false;
    }
    std::vector<platform::DirectoryEntry> folders;
    if (!platform::listDirectory(store, folders)) {
        error = "cannot read the chunk store " + store;
        return false;
    }
    for (const platform::DirectoryEntry& folder : folders) {
        if (folder.kind != platform::FileKind::directory)
            continue;
        made_.insert(store + "/" + folder.name);
        std::vector<platform::DirectoryEntry> files;
        platform::listDirectory(store + "/" + folder.name, files);
        for (const platform::DirectoryEntry& file : files)
            if (file.kind == platform::FileKind::file &&
                (endsWith(file.name, ".chunk") || endsWith(file.name, ".idx")))
                present_.insert(std::string(chunkStoreName) + "/" + folder.name + "/" + file.name);
    }
    return true;
}

bool ChunkStoreWriter::claim(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    return present_.insert(name).second;
}

bool ChunkStoreWriter::madeFolder(const std::string& folder) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (made_.count(folder) > 0)
            return true;
    }
    if (!ensureDirectory(folder))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    made_.insert(folder);
    return true;
}

bool ChunkStoreWriter::writeStoreFile(const std::string& relative, const std::string& bytes,
                                      std::string& error) {
    const std::string path = publication_ + "/" + relative;
    const std::string folder = path.substr(0, path.rfind('/'));
    PendingFile out;
    if (!madeFolder(folder) || !out.open(path) || !out.write(bytes.data(), bytes.size()) || !out.commit()) {
        error = "cannot write " + path;
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    growth_.bytesAdded += bytes.size();
    return true;
}

bool ChunkStoreWriter::storeChunk(const uint8_t* data, size_t size, ChunkEntry& chunk, PiecePacker& packer,
                                  std::string& error) {
    chunk.hash = Sha256::of(data, size);
    const std::string relative = chunkPath(chunk.hash);
    // A chunk stored already, by an earlier release or by another file of
    // this one, has its sizes read back from its header; one that another
    // thread is still writing is packed again in memory only (packing gives
    // the same bytes every time).
    if (!claim(relative)) {
        std::string stored;
        const size_t header =
            readWhole(publication_ + "/" + relative, stored) ? chunkHeaderLength(stored) : 0;
        if (header > 0) {
            chunk.size = static_cast<uint32_t>(size);
            chunk.storedSize = static_cast<uint32_t>(stored.size());
            chunk.headerSize = static_cast<uint32_t>(header);
        } else {
            packChunk(data, size, rules_, chunk, packer);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++growth_.chunksReused;
        return true;
    }
    const std::string stored = packChunk(data, size, rules_, chunk, packer);
    if (!writeStoreFile(relative, stored, error))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    ++growth_.chunksAdded;
    return true;
}

bool ChunkStoreWriter::storeFile(const std::string& source, Sha256::Digest& index, std::string& error,
                                 int64_t* cutBytes) {
    std::ifstream in(platform::filePath(source), std::ios::binary);
    if (!in) {
        error = "cannot read " + source;
        return false;
    }
    ChunkIndex chunks;
    chunks.rules = rules_;
    bool stored = true;
    StreamChunker chunker(rules_.chunk);
    PiecePacker packer;
    auto sink = [&](const uint8_t* data, size_t size) {
        ChunkEntry chunk;
        stored = stored && storeChunk(data, size, chunk, packer, error);
        chunks.chunks.push_back(chunk);
        chunks.fileSize += static_cast<int64_t>(size);
    };
    std::vector<char> block(readBlock);
    while (stored && in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        chunker.feed(block.data(), static_cast<size_t>(in.gcount()), sink);
    }
    if (in.bad()) {
        error = "cannot read " + source;
        return false;
    }
    chunker.finish(sink);
    if (!stored)
        return false;
    if (cutBytes != nullptr)
        *cutBytes = chunks.fileSize;
    const std::string bytes = encodeChunkIndex(chunks);
    index = Sha256::of(bytes.data(), bytes.size());
    const std::string relative = chunkIndexPath(index);
    return !claim(relative) || writeStoreFile(relative, bytes, error);
}

bool ChunkStoreWriter::writeList(const ChunkList& list, std::string& error) {
    std::set<std::string> keep;
    for (const auto& entry : list) {
        const std::string relative = chunkIndexPath(entry.second);
        std::string bytes;
        ChunkIndex index;
        if (!readWhole(publication_ + "/" + relative, bytes) || !decodeChunkIndex(bytes, index)) {
            error = "cannot read the chunk index of " + entry.first;
            return false;
        }
        keep.insert(relative);
        for (const ChunkEntry& chunk : index.chunks)
            keep.insert(chunkPath(chunk.hash));
    }
    const std::string text = encodeChunkList(list);
    PendingFile out;
    const std::string path = publication_ + "/" + chunkListName;
    if (!out.open(path) || !out.write(text.data(), text.size()) || !out.commit()) {
        error = "cannot write " + path;
        return false;
    }
    keep_ = std::move(keep);
    return true;
}

// Removes every chunk and index file of the store that the list does not
// name, with the temporary files a killed publisher left, and the chunk
// folders that end up empty.
void ChunkStoreWriter::prune() {
    const std::string store = publication_ + "/" + chunkStoreName;
    std::vector<platform::DirectoryEntry> folders;
    platform::listDirectory(store, folders);
    for (const platform::DirectoryEntry& folder : folders) {
        if (folder.kind != platform::FileKind::directory)
            continue;
        std::vector<platform::DirectoryEntry> files;
        platform::listDirectory(store + "/" + folder.name, files);
        for (const platform::DirectoryEntry& file : files) {
            const std::string relative = std::string(chunkStoreName) + "/" + folder.name + "/" + file.name;
            const bool ours = endsWith(file.name, ".chunk") || endsWith(file.name, ".idx") ||
                              endsWith(file.name, PendingFile::suffix);
            if (file.kind != platform::FileKind::file || !ours || keep_.count(relative) > 0)
                continue;
            const std::string path = publication_ + "/" + relative;
            std::error_code ec;
            const uint64_t size = std::filesystem::file_size(platform::filePath(path), ec);
            if (platform::removeFile(path) && !ec) {
                std::lock_guard<std::mutex> lock(mutex_);
                growth_.chunksPruned += endsWith(file.name, ".chunk") ? 1 : 0;
                growth_.bytesPruned += size;
            }
        }
        if (folder.name != "index")
            platform::removeEmptyDirectory(store + "/" + folder.name);
    }
}

std::string ChunkStoreWriter::missingFile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& relative : keep_) {
        if (platform::fileKind(publication_ + "/" + relative) != platform::FileKind::file)
            return publication_ + "/" + relative + " is missing from the chunk store";
    }
    return std::string();
}

bool ChunkStoreWriter::holds(const std::string& relative) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return present_.count(relative) > 0;
}

void readChunkList(const std::string& publication, ChunkList& list) {
    std::string text;
    if (!readWhole(publication + "/" + chunkListName, text) || !decodeChunkList(text, list))
        list.clear();
}

ChunkStoreGrowth ChunkStoreWriter::growth() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return growth_;
}
