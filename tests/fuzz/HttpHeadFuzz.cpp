// Feeds arbitrary bytes, in pieces whose sizes the input chooses, to the
// response-head reader, then reads the body it allows.

#include "net/HttpConnection.h"
#include "tests/common/FakeSocket.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte sets the largest piece a socket read hands out.
    const size_t piece = 1 + data[0] % 64;
    std::deque<std::string> chunks;
    for (size_t at = 1; at < size; at += piece)
        chunks.emplace_back(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
    auto socket = std::make_unique<nettest::FakeSocket>(std::move(chunks));
    HttpConnection connection(std::move(socket));
    bool ok = connection.readResponseHead();
    if (ok && connection.status != 200)
        std::abort();
    std::string body(std::istreambuf_iterator<char>(connection.input()), {});
    if (body.size() > connection.contentLength)
        std::abort();
    if (!ok && connection.keepAlive && connection.status == 200)
        std::abort();
    return 0;
}
