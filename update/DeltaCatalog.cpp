#include "update/DeltaCatalog.h"

#include "net/Ed25519.h"
#include "platform/FileSystem.h"
#include "update/ChunkStoreLink.h"
#include "update/ManifestSignature.h"
#include "update/UpdateLog.h"

namespace {

// A list is a line per chunked file: a release of 100,000 large files fits.
constexpr int64_t listLimit = int64_t(16) << 20;

} // namespace

bool DeltaCatalog::load(const Ed25519PublicKey* key, int64_t serial, int64_t now) {
    list_.clear();
    ChunkStoreLink store(link_);
    std::string text, signature;
    if (store.read(chunkListName, 0, -1, text) != 0 || static_cast<int64_t>(text.size()) > listLimit) {
        updateLog("update: no chunk store: files are downloaded whole");
        return false;
    }
    if (key != nullptr) {
        ManifestSignature parsed;
        std::string reason;
        if (store.read(std::string(chunkListName) + signatureSuffix, 0, -1, signature) != 0 ||
            checkManifestSignature(signature, text, *key, serial, now, &parsed, &reason) !=
                SignatureProblem::none ||
            parsed.serial != serial) {
            updateLog(
                "update: the chunk list is not signed with this publication: files are downloaded whole");
            return false;
        }
    }
    ChunkList list;
    if (!decodeChunkList(text, list)) {
        updateLog("update: the chunk list cannot be read: files are downloaded whole");
        return false;
    }
    list_ = std::move(list);
    return true;
}

bool DeltaCatalog::fetchIndex(const std::string& path, ChunkIndex& index, int64_t& bytesRead) {
    const Sha256::Digest& name = list_.at(path);
    std::string bytes;
    ChunkStoreLink store(link_);
    const bool read = store.read(chunkIndexPath(name), 0, -1, bytes) == 0;
    bytesRead = static_cast<int64_t>(bytes.size());
    // The list names the index by its SHA-256: an index is used only as the
    // (signed) list names it.
    return read && Sha256::of(bytes.data(), bytes.size()) == name && decodeChunkIndex(bytes, index);
}

std::optional<DeltaPlan> DeltaCatalog::plan(const std::string& path, const ManifestEntry& entry,
                                            const std::string& installed, const std::string& partial) {
    if (list_.count(path) == 0 || platform::fileKind(installed) != platform::FileKind::file)
        return std::nullopt;
    ChunkIndex index;
    int64_t indexBytes = 0;
    if (!fetchIndex(path, index, indexBytes) || index.fileSize != entry.size) {
        updateLog("update: no usable chunk index for %s: downloaded whole", path.c_str());
        return std::nullopt;
    }
    LocalChunks local;
    if (!local.scan(installed, index, &cancel_))
        return std::nullopt;
    const size_t kept = verifiedPrefix(partial, index, &cancel_);
    ChunkStoreLink store(link_);
    DeltaPlan plan;
    if (cancel_ || planDelta(index, local, kept, store, plan) != 0)
        return std::nullopt;
    plan.plannedBytes += indexBytes;
    const double whole = static_cast<double>(entry.packedSize > 0 ? entry.packedSize : entry.size);
    if (static_cast<double>(plan.fetchBytes()) > wholeFileShare * whole) {
        updateLog("update: %s changed too much for a delta: downloaded whole", path.c_str());
        return std::nullopt;
    }
    return plan;
}
