#pragma once
#include "net/Socket.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace nettest {

/// A socket without a network: each read hands out (part of) the next
/// scripted chunk, then `endResult` once the script is used up; writes are
/// recorded and may be cut to `maxWrite` bytes.
class FakeSocket : public INet::TCP::Socket {
public:
    FakeSocket() { connected = true; }
    explicit FakeSocket(std::deque<std::string> script) : chunks(std::move(script)) { connected = true; }

    int32_t read(void* buffer, int32_t length) override {
        readLengths.push_back(length);
        if (chunks.empty())
            return endResult;
        std::string& chunk = chunks.front();
        size_t take = std::min(chunk.size(), static_cast<size_t>(length));
        std::memcpy(buffer, chunk.data(), take);
        chunk.erase(0, take);
        if (chunk.empty())
            chunks.pop_front();
        return static_cast<int32_t>(take);
    }

    int32_t write(const void* buffer, int32_t length) override {
        writeLengths.push_back(length);
        if (failWrites)
            return -1;
        int32_t take = std::min(length, maxWrite);
        written.append(static_cast<const char*>(buffer), static_cast<size_t>(take));
        return take;
    }

    std::deque<std::string> chunks;
    int32_t endResult = 0;
    std::vector<int32_t> readLengths;
    std::string written;
    std::vector<int32_t> writeLengths;
    int32_t maxWrite = 1 << 30;
    bool failWrites = false;
};

} // namespace nettest
