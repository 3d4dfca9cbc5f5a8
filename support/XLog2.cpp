#include "support/XLog2.h"

#include "platform/Clock.h"

#include <cstdio>

VIS2_Interface::~VIS2_Interface() = default;

XLog2_Impl::~XLog2_Impl() = default;

const char* XLog2_Impl::interfaceName() const {
    return "com.tarvelle.XLog2";
}

uint32_t XLog2_Impl::setMask(uint32_t mask) {
    return mask_.exchange(mask);
}

uint32_t XLog2_Impl::addSink(XLog2Sink callback, uint32_t sinkMask) {
    MutexLock guard(mutex_);
    int32_t count = sinkCount_.load();
    if (count >= 4)
        return 0;
    ++lastId_;
    sinks_[count] = Sink{lastId_, callback, sinkMask};
    sinkCount_ = count + 1;
    return lastId_;
}

uint32_t XLog2_Impl::setSinkMask(uint32_t id, uint32_t sinkMask) {
    if (sinkCount_ == 0)
        return 0;
    MutexLock guard(mutex_);
    uint32_t previous = 0;
    for (int32_t i = 0; i < sinkCount_; ++i) {
        if (sinks_[i].id == id) {
            previous = sinks_[i].sinkMask;
            sinks_[i].sinkMask = sinkMask;
        }
    }
    return previous;
}

uint32_t XLog2_Impl::removeSink(uint32_t id) {
    if (sinkCount_ == 0)
        return 0;
    MutexLock guard(mutex_);
    int32_t count = sinkCount_;
    for (int32_t i = 0; i < count; ++i) {
        if (sinks_[i].id != id)
            continue;
        for (int32_t j = i; j + 1 < count; ++j)
            sinks_[j] = sinks_[j + 1];
        sinks_[count - 1] = Sink{};
        sinkCount_ = count - 1;
        return id;
    }
    return 0;
}

void XLog2_Impl::deliver(const char* text, uint32_t flags, int64_t time) {
    for (int32_t i = 0; i < sinkCount_; ++i) {
        const Sink& sink = sinks_[i];
        if ((sink.sinkMask & flags) != 0 && sink.callback != nullptr)
            sink.callback(text, flags, time);
    }
}

void XLog2_Impl::write(uint32_t flags, const char* text) {
    uint32_t category = mask_ & flags;
    if (sinkCount_ == 0 || category == 0)
        return;
    MutexLock guard(mutex_);
    deliver(text, category | firstLine | lastLine, platform::secondsSince1970());
}

void XLog2_Impl::dumpLine(char* line, const unsigned char* data, int length, int offset) {
    char* out = line;
    out += std::sprintf(out, "%6X: ", static_cast<unsigned>(offset));
    for (int i = 0; i < 16; ++i) {
        if (i == 0 || i == 8)
            *out++ = ' ';
        if (offset + i < length)
            out += std::sprintf(out, "%2X ", static_cast<unsigned>(data[offset + i]));
        else
            out += std::sprintf(out, "   ");
    }
    for (int i = 0; i < 16; ++i) {
        if (i == 0 || i == 8)
            *out++ = ' ';
        if (offset + i < length) {
            auto c = static_cast<signed char>(data[offset + i]);
            *out++ = c < 32 ? '.' : static_cast<char>(c);
        } else {
            *out++ = ' ';
        }
    }
    *out = '\0';
}

void XLog2_Impl::dump(uint32_t flags, const void* data, int length) {
    uint32_t category = mask_ & flags;
    if (sinkCount_ == 0 || category == 0 || length < 1)
        return;
    MutexLock guard(mutex_);
    int64_t time = platform::secondsSince1970();
    const auto* bytes = static_cast<const unsigned char*>(data);
    char line[80];
    for (int offset = 0; offset < length; offset += 16) {
        dumpLine(line, bytes, length, offset);
        uint32_t position = 0;
        if (offset == 0)
            position |= firstLine;
        if (offset + 16 >= length)
            position |= lastLine;
        deliver(line, category | position, time);
    }
}

void XLog2_Impl::format(uint32_t flags, const char* fmt, ...) {
    uint32_t category = mask_ & flags;
    if (sinkCount_ == 0 || category == 0)
        return;
    MutexLock guard(mutex_);
    va_list args;
    va_start(args, fmt);
    // vsnprintf cuts a longer text at 4095 bytes and terminates it.
    std::vsnprintf(formatBuffer_, sizeof formatBuffer_, fmt, args);
    va_end(args);
    deliver(formatBuffer_, category | firstLine | lastLine, platform::secondsSince1970());
}

XLog2* xlog() {
    static XLog2_Impl instance;
    return &instance;
}
