#pragma once
#include "net/Socket.h"

#include <cstdint>
#include <streambuf>

namespace INet {

/// A standard stream buffer over a socket (not owned), with fixed 4096-byte
/// areas in each direction and an optional limit on the bytes read, so that
/// an input stream over it ends exactly where a response body ends.
class StreamBuf : public std::streambuf {
public:
    static constexpr int areaSize = 4096;

    explicit StreamBuf(TCP::Socket* socket);

    /// Limits the bytes still to be read, counting those already buffered;
    /// a negative limit means unlimited. Buffered bytes beyond the limit are
    /// dropped (`dropped` tells), never handed to the reader.
    void setReadLimit(int64_t limit);

    /// Bytes of the limited body not yet taken by the reader, buffered or
    /// still in the socket; -1 when unlimited.
    int64_t unreadBody() const;

    /// True when the last limited read ended before its limit: the peer
    /// closed, the socket failed or timed out. Cleared by `setReadLimit`.
    bool truncated() const { return truncated_; }
    /// True when the last `setReadLimit` dropped buffered bytes.
    bool dropped() const { return dropped_; }

protected:
    int_type overflow(int_type c) override;
    int_type underflow() override;
    /// Hands out the buffered bytes, then reads what is still wanted
    /// straight from the socket into `s` while it is at least an area's
    /// worth: a large read costs one copy and few calls. The read limit and
    /// `truncated` hold as for reads through the area.
    std::streamsize xsgetn(char_type* s, std::streamsize n) override;
    int sync() override;

private:
    // Writes the pending put area; true only when every byte went out.
    bool flushPending();

    char in_[areaSize];
    char out_[areaSize];
    TCP::Socket* socket_;
    int64_t remaining_ = -1;
    bool truncated_ = false;
    bool dropped_ = false;
};

} // namespace INet
