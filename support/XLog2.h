#pragma once
#include "support/Mutex.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>

/// Base of the launcher's named service interfaces.
class VIS2_Interface {
public:
    virtual ~VIS2_Interface();
    virtual const char* interfaceName() const = 0;
};

/// A log sink: receives one line of text, the delivered flags (category bits
/// plus the first/last-line bits) and the time in seconds since 1970 (UTC).
using XLog2Sink = void (*)(const char* text, uint32_t flags, int64_t time);

/// The launcher's logging interface: stamps each message with the time and
/// hands it, line by line, to at most four registered sinks. It writes
/// nothing by itself.
class XLog2 : public VIS2_Interface {
public:
    static constexpr uint32_t firstLine = 0x10000000u;
    static constexpr uint32_t lastLine = 0x20000000u;

    /// Stores a new global mask and answers the previous one.
    virtual uint32_t setMask(uint32_t mask) = 0;
    /// Registers a sink; answers its id, or 0 when all four places are taken.
    virtual uint32_t addSink(XLog2Sink callback, uint32_t sinkMask) = 0;
    /// Answers the previous mask of the sink, or 0 when no sink has that id.
    virtual uint32_t setSinkMask(uint32_t id, uint32_t sinkMask) = 0;
    /// Removes the first sink with that id; answers the id, or 0.
    virtual uint32_t removeSink(uint32_t id) = 0;
    virtual void write(uint32_t flags, const char* text) = 0;
    /// Hex dump of `length` bytes, 16 a line.
    virtual void dump(uint32_t flags, const void* data, int length) = 0;
    /// printf-style message; a text that would not fit 4096 bytes is cut.
    __attribute__((format(printf, 3, 4))) virtual void format(uint32_t flags, const char* fmt, ...) = 0;
};

/// The one logger implementation.
class XLog2_Impl : public XLog2 {
public:
    XLog2_Impl() = default;
    ~XLog2_Impl() override;

    const char* interfaceName() const override;
    uint32_t setMask(uint32_t mask) override;
    uint32_t addSink(XLog2Sink callback, uint32_t sinkMask) override;
    uint32_t setSinkMask(uint32_t id, uint32_t sinkMask) override;
    uint32_t removeSink(uint32_t id) override;
    void write(uint32_t flags, const char* text) override;
    void dump(uint32_t flags, const void* data, int length) override;
    __attribute__((format(printf, 3, 4))) void format(uint32_t flags, const char* fmt, ...) override;

    /// Formats one hex-dump line of the bytes [offset, offset + 16) of a
    /// buffer of `length` bytes into `line` (at least 77 bytes).
    static void dumpLine(char* line, const unsigned char* data, int length, int offset);

private:
    struct Sink {
        uint32_t id;
        XLog2Sink callback;
        uint32_t sinkMask;
    };

    // Called with the mutex held.
    void deliver(const char* text, uint32_t flags, int64_t time);

    std::atomic<uint32_t> mask_{0xFFFFFFFFu};
    uint32_t lastId_ = 0;
    std::atomic<int32_t> sinkCount_{0};
    Sink sinks_[4] = {};
    Mutex mutex_;
    char formatBuffer_[4096] = {};
};

/// The process-wide logger.
XLog2* xlog();
