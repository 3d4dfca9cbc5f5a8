#pragma once
// What a run knows of the publication's chunk store: its list of indexes,
// trusted as the published manifest is, and a delta plan for each changed
// file that has an index and an installed copy worth starting from.
#include "delta/ChunkFormats.h"
#include "delta/DeltaPlan.h"
#include "install/Manifest.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class Ed25519PublicKey;
class ServerLink;

class DeltaCatalog {
public:
    /// A file goes whole when its delta would fetch more than this share of
    /// its packed size.
    static constexpr double wholeFileShare = 0.7;

    /// `link` and `cancel` (not owned) outlive the catalog.
    DeltaCatalog(ServerLink& link, const std::atomic<bool>& cancel) : link_(link), cancel_(cancel) {}

    /// Fetches the list. With `key`, the list must be signed by it with
    /// `serial`, the serial of the manifest this run accepted, so that a
    /// list of another publication is never taken. False (logged) when
    /// there is no list to use: the run then downloads whole files.
    bool load(const Ed25519PublicKey* key, int64_t serial, int64_t now);
    bool loaded() const { return !list_.empty(); }

    /// The index of the published file `path` (its `entry`), as the list
    /// names it; false (logged) when there is none or it does not describe
    /// the file. `bytesRead` counts what was fetched.
    bool index(const std::string& path, const ManifestEntry& entry, ChunkIndex& index, int64_t& bytesRead);

    /// The plan of the published file `path` (its `entry` and `index`),
    /// whose installed copy is `installed` and whose partial file would be
    /// `partial`; no value when it goes whole. With `known`, the index the
    /// installed copy had when it was put in place (same rules), the copy is
    /// not cut again.
    std::optional<DeltaPlan> plan(const std::string& path, const ManifestEntry& entry,
                                  const ChunkIndex& index, const std::string& installed,
                                  const std::string& partial, const ChunkIndex* known);

private:
    ServerLink& link_;
    const std::atomic<bool>& cancel_;
    ChunkList list_;
};
