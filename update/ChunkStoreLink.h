#pragma once
#include "update/DeltaPlan.h"

#include <string>

class ServerLink;

/// Reads the chunk store of the publication that `link` is set to, over the
/// link's kept-alive connection, a range at a time. A server that ignores
/// ranges and sends the whole file is served too.
class ChunkStoreLink : public ChunkStoreReader {
public:
    /// A reply larger than this is refused: chunk files are far smaller and
    /// an index of a 4 GiB file is about 3 MiB.
    static constexpr int64_t replyLimit = int64_t(64) << 20;
    /// Answered when the range could not be read.
    static constexpr int32_t failed = 224;

    /// `link` (not owned) outlives the reader.
    explicit ChunkStoreLink(ServerLink& link) : link_(link) {}

    int32_t read(const std::string& relative, int64_t from, int64_t length, std::string& out) override;

private:
    ServerLink& link_;
};
