#pragma once
// The chunk store's ranges read on a helper thread ahead of their use, so
// that the network and the work on the bytes go on at the same time.
#include "delta/DeltaPlan.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Bytes read ahead and not yet taken, at most (a range larger than this is
/// still read, alone).
constexpr size_t readAheadLimit = size_t(32) << 20;

/// Does what `store.readAll(ranges, take)` does, with the reading on a
/// helper thread (the only user of `store` until this answers) and `take`
/// on the calling thread, at most `limit` bytes waiting between them. Reads
/// on the calling thread, one range then its `take`, when no helper can be
/// made.
int32_t readAhead(ChunkStoreReader& store, const std::vector<StoreRange>& ranges,
                  const ChunkStoreReader::Take& take, size_t limit = readAheadLimit);
