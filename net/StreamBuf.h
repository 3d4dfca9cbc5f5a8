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
    /// dropped (`dropped` tells), never handed to the reader; with
    /// `keepBeyond` (answers to requests sent ahead follow this one) they
    /// are held back instead, and handed out once the next limit is set.
    void setReadLimit(int64_t limit, bool keepBeyond = false);

    /// Bytes of the limited body not yet taken by the reader, buffered or
    /// still in the socket; -1 when unlimited.
    int64_t unreadBody() const;

    /// True when the last limited read ended before its limit: the peer
    /// closed, the socket failed or timed out. Cleared by `setReadLimit`.
    bool truncated() const { return truncated_; }
    /// True when the last `setReadLimit` dropped buffered bytes.
    bool dropped() const { return dropped_; }

    /// Bounds the time reads may take, so that a peer that sends a byte now
    /// and then cannot hold the reader for ever: from now on, `minBytes`
    /// must arrive within `windowMs`; each time they have, a new window of
    /// `windowMs` begins. A read that would end beyond the window ends as a
    /// time-out does (a limited body is then `truncated`). `minBytes` -1
    /// gives one window that never renews: everything read from now on
    /// must arrive within `windowMs`.
    void limitWaits(uint32_t windowMs, int64_t minBytes);
    /// Reads wait as long as the socket's own time-out lets them.
    void unlimitWaits() { windowMs_ = 0; }
    /// True when a read ended because its window had passed.
    bool waitedTooLong() const { return waitedTooLong_; }

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
    // One socket read within the window of `limitWaits`; answers as the
    // socket's read does.
    int32_t receive(char* into, int32_t wanted);

    char in_[areaSize];
    char out_[areaSize];
    TCP::Socket* socket_;
    int64_t remaining_ = -1;
    // The end of the buffered bytes held back beyond a limit; null when none.
    char* held_ = nullptr;
    bool truncated_ = false;
    bool dropped_ = false;

    // The window of `limitWaits`; `windowMs_` 0 means none.
    uint32_t windowMs_ = 0;
    int64_t windowMinBytes_ = 0;
    uint32_t windowEnd_ = 0;
    int64_t windowBytes_ = 0;
    // The receive time-out last given to the socket; 0 when none was.
    uint32_t socketTimeoutMs_ = 0;
    bool waitedTooLong_ = false;
};

} // namespace INet
