#include "update/DeltaCatalog.h"

#include "net/Ed25519.h"
#include "platform/FileSystem.h"
#include "signing/ManifestSignature.h"
#include "update/ChunkStoreLink.h"
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

bool DeltaCatalog::index(const std::string& path, const ManifestEntry& entry, ChunkIndex& index,
                         int64_t& bytesRead) {
    bytesRead = 0;
    auto named = list_.find(path);
    if (named == list_.end())
        return false;
    std::string bytes;
    ChunkStoreLink store(link_);
    const bool read = store.read(chunkIndexPath(named->second), 0, -1, bytes) == 0;
    bytesRead = static_cast<int64_t>(bytes.size());
    // The list names the index by its SHA-256: an index is used only as the
    // (signed) list names it.
    if (!read || Sha256::of(bytes.data(), bytes.size()) != named->second || !decodeChunkIndex(bytes, index) ||
        index.fileSize != entry.size) {
        updateLog("update: no usable chunk index for %s: downloaded whole", path.c_str());
        return false;
    }
    // The installed copy is cut by the index's rules: rules of the index's
    // own choosing (tiny chunks) would let it choose the memory and time the
    // cut takes. Only the rules this launcher's publisher cuts by are used.
    if (!(index.rules == ChunkingRules())) {
        updateLog(
            "update: the chunk index of %s is cut by rules this launcher does not use: downloaded whole",
            path.c_str());
        return false;
    }
    return true;
}

std::optional<DeltaPlan> DeltaCatalog::plan(const std::string& path, const ManifestEntry& entry,
                                            const ChunkIndex& index, const std::string& installed,
                                            const std::string& partial, const ChunkIndex* known) {
    if (platform::fileKind(installed) != platform::FileKind::file)
        return std::nullopt;
    LocalChunks local;
    const bool found = known != nullptr && known->rules == index.rules
                           ? local.adopt(installed, *known, index, &cancel_)
                           : local.scan(installed, index, &cancel_);
    if (!found)
        return std::nullopt;
    const size_t kept = verifiedPrefix(partial, index, &cancel_);
    ChunkStoreLink store(link_);
    DeltaPlan plan;
    if (cancel_ || planDelta(index, local, kept, store, plan) != 0)
        return std::nullopt;
    const double whole = static_cast<double>(entry.packedSize > 0 ? entry.packedSize : entry.size);
    if (static_cast<double>(plan.fetchBytes()) > wholeFileShare * whole) {
        updateLog("update: %s changed too much for a delta: downloaded whole", path.c_str());
        return std::nullopt;
    }
    return plan;
}
