#include "net/StreamBuf.h"

#include "platform/Clock.h"

#include <algorithm>

namespace INet {

StreamBuf::StreamBuf(TCP::Socket* socket) : socket_(socket) {
    setg(in_, in_, in_);
    // The last byte stays free for the character that triggers an overflow.
    setp(out_, out_ + areaSize - 1);
}

void StreamBuf::setReadLimit(int64_t limit, bool keepBeyond) {
    truncated_ = false;
    dropped_ = false;
    if (held_ != nullptr) {
        // The held bytes follow what was read of the body.
        setg(eback(), gptr(), held_);
        held_ = nullptr;
    }
    if (limit < 0) {
        remaining_ = -1;
        return;
    }
    const int64_t buffered = egptr() - gptr();
    if (buffered <= limit) {
        remaining_ = limit - buffered;
        return;
    }
    // What lies beyond the body is the next answer's, or, when no request
    // was sent ahead, more than the peer declared: it is dropped then.
    if (keepBeyond)
        held_ = egptr();
    setg(eback(), gptr(), gptr() + limit);
    remaining_ = 0;
    dropped_ = !keepBeyond;
}

int64_t StreamBuf::unreadBody() const {
    if (remaining_ < 0)
        return -1;
    return remaining_ + (egptr() - gptr());
}

StreamBuf::int_type StreamBuf::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (remaining_ == 0 || socket_ == nullptr)
        return traits_type::eof();
    int32_t wanted = areaSize;
    if (remaining_ > 0 && remaining_ < wanted)
        wanted = static_cast<int32_t>(remaining_);
    int32_t got = receive(in_, wanted);
    if (got < 1) {
        // A limited body that ends early was cut short; an unlimited read
        // simply ends.
        if (remaining_ > 0)
            truncated_ = true;
        setg(in_, in_, in_);
        return traits_type::eof();
    }
    if (remaining_ > 0)
        remaining_ -= got;
    setg(in_, in_, in_ + got);
    return traits_type::to_int_type(in_[0]);
}

std::streamsize StreamBuf::xsgetn(char_type* s, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
        const std::streamsize buffered = egptr() - gptr();
        if (buffered > 0) {
            const std::streamsize take = std::min(buffered, n - done);
            traits_type::copy(s + done, gptr(), static_cast<size_t>(take));
            gbump(static_cast<int>(take));
            done += take;
            continue;
        }
        if (n - done < areaSize) {
            // A small rest goes through the area, which may fill beyond it.
            if (traits_type::eq_int_type(underflow(), traits_type::eof()))
                break;
            continue;
        }
        if (remaining_ == 0 || socket_ == nullptr)
            break;
        int64_t wanted = std::min<int64_t>(n - done, INT32_MAX);
        if (remaining_ > 0)
            wanted = std::min(wanted, remaining_);
        const int32_t got = receive(s + done, static_cast<int32_t>(wanted));
        if (got < 1) {
            if (remaining_ > 0)
                truncated_ = true;
            break;
        }
        if (remaining_ > 0)
            remaining_ -= got;
        done += got;
    }
    return done;
}

void StreamBuf::limitWaits(uint32_t windowMs, int64_t minBytes) {
    windowMs_ = windowMs;
    windowMinBytes_ = minBytes;
    windowEnd_ = platform::milliseconds() + windowMs;
    windowBytes_ = 0;
    waitedTooLong_ = false;
}

int32_t StreamBuf::receive(char* into, int32_t wanted) {
    if (windowMs_ == 0)
        return socket_->read(into, wanted);
    for (;;) {
        const int32_t left = static_cast<int32_t>(windowEnd_ - platform::milliseconds());
        if (left <= 0) {
            waitedTooLong_ = true;
            return -2;
        }
        // The socket waits at most until the window ends. The time-out is
        // only changed when it would wait beyond that, or after it gave up
        // early, so that a steady transfer costs no extra system call.
        const uint32_t wait = static_cast<uint32_t>(left);
        if (socketTimeoutMs_ == 0 || socketTimeoutMs_ > wait) {
            if (socket_->setReceiveTimeout(wait))
                socketTimeoutMs_ = wait;
        }
        const int32_t got = socket_->read(into, wanted);
        if (got == -2) {
            // Timed out before the window ended: wait for the rest of it.
            socketTimeoutMs_ = 0;
            continue;
        }
        if (got > 0 && windowMinBytes_ >= 0) {
            windowBytes_ += got;
            if (windowBytes_ >= windowMinBytes_) {
                windowEnd_ = platform::milliseconds() + windowMs_;
                windowBytes_ = 0;
            }
        }
        return got;
    }
}

bool StreamBuf::flushPending() {
    const char* next = pbase();
    const char* end = pptr();
    // One write normally takes the whole block; the loop only continues
    // after a partial write, so that no byte is ever lost.
    while (next < end) {
        int32_t sent = socket_ != nullptr ? socket_->write(next, static_cast<int32_t>(end - next)) : -1;
        if (sent < 1) {
            setp(out_, out_ + areaSize - 1);
            return false;
        }
        next += sent;
    }
    setp(out_, out_ + areaSize - 1);
    return true;
}

StreamBuf::int_type StreamBuf::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    if (pptr() == pbase())
        return traits_type::not_eof(c);
    if (!flushPending())
        return traits_type::eof();
    return traits_type::not_eof(c);
}

int StreamBuf::sync() {
    if (pptr() == pbase())
        return 0;
    return flushPending() ? 0 : -1;
}

} // namespace INet
