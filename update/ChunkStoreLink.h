#pragma once
#include "delta/DeltaPlan.h"

#include <string>

class HttpConnection;
class ServerLink;

/// Reads the chunk store of the publication that `link` is set to, over the
/// link's kept-alive connection, a range at a time. A server that ignores
/// ranges and sends the whole file is served too: its answer is read no
/// further than the range, and the connection is closed.
class ChunkStoreLink : public ChunkStoreReader {
public:
    /// A reply larger than this is refused: chunk files are far smaller and
    /// an index of a 4 GiB file is about 3 MiB.
    static constexpr int64_t replyLimit = int64_t(64) << 20;
    /// Answered when the range could not be read.
    static constexpr int32_t failed = 224;

    /// `link` (not owned) outlives the reader.
    explicit ChunkStoreLink(ServerLink& link) : link_(link) {}

    /// Requests kept in flight on the connection while earlier answers are
    /// read: a delta's ranges are many and small, and each would otherwise
    /// wait for a round trip.
    static constexpr size_t requestsInFlight = 16;
    /// Attempts in a row that bring no range before the reading fails.
    static constexpr int attemptsWithoutProgress = 3;

    int32_t read(const std::string& relative, int64_t from, int64_t length, std::string& out) override;
    /// The ranges over one kept-alive connection, several requests in
    /// flight; a connection the server closes is made anew for the rest.
    int32_t readAll(const std::vector<StoreRange>& ranges, const Take& take) override;

private:
    // Reads the answer to the request of `range` on `connection`;
    // `wholeFile` tells that it was the whole file, read as far as the range.
    bool readAnswer(HttpConnection& connection, const StoreRange& range, std::string& out, bool& wholeFile);

    ServerLink& link_;
};
