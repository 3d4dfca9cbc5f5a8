// The inflate engines answer zlib's result codes for the same streams, so
// that the updater's error codes do not depend on the engine.
#include "delta/Inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

std::string deflated(const std::string& bytes, const std::string& dictionary = std::string()) {
    z_stream z{};
    deflateInit(&z, 9);
    if (!dictionary.empty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size()));
    std::string out(deflateBound(&z, bytes.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Result {
    int last = 0;        // the last answer
    std::string output;  // what came out
    size_t leftOver = 0; // input not taken
};

// Feeds the stream in pieces of `piece` bytes into a small output buffer,
// then calls once more without input, as the updater does at the end of a
// body.
Result inflateAll(Inflater& inflater, const std::string& stream, size_t piece) {
    Result result;
    EXPECT_TRUE(inflater.init());
    unsigned char out[1000];
    size_t at = 0;
    for (;;) {
        const size_t take = std::min(piece, stream.size() - at);
        const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data()) + at;
        size_t inLength = take;
        unsigned char* next = out;
        size_t room = sizeof out;
        result.last = inflater.inflate(in, inLength, next, room);
        result.output.append(reinterpret_cast<char*>(out), sizeof out - room);
        at += take - inLength;
        if (result.last != Inflater::ok)
            break;
    }
    result.leftOver = stream.size() - at;
    EXPECT_TRUE(inflater.end());
    return result;
}

std::vector<Inflater::Engine> engines() {
    std::vector<Inflater::Engine> all{Inflater::Engine::zlib};
    if (Inflater::isalAvailable())
        all.push_back(Inflater::Engine::isal);
    return all;
}

} // namespace

TEST(Inflater, EveryEngineAnswersZlibsCodesForSoundCutAndDamagedStreams) {
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += "tile " + std::to_string(i * 7919 % 1000) + (i % 3 ? " grass\n" : " stone\n");
    const std::string stream = deflated(bytes);
    for (Inflater::Engine engine : engines()) {
        SCOPED_TRACE(engine == Inflater::Engine::zlib ? "zlib" : "isal");
        Inflater inflater(engine);
        EXPECT_EQ(inflater.engine(), engine);

        // Whole, in pieces, with bytes after the stream left untaken.
        Result whole = inflateAll(inflater, stream + "trailing", 777);
        EXPECT_EQ(whole.last, Inflater::streamEnd);
        EXPECT_EQ(whole.output, bytes);
        EXPECT_EQ(whole.leftOver, 8u);

        // Cut short: no progress is possible once the input is gone.
        Result cut = inflateAll(inflater, stream.substr(0, stream.size() / 2), 4096);
        EXPECT_EQ(cut.last, Inflater::bufferError);
        EXPECT_EQ(cut.output, bytes.substr(0, cut.output.size()));

        // A damaged check, a damaged header, a preset dictionary.
        std::string badCheck = stream;
        badCheck.back() = static_cast<char>(badCheck.back() ^ 1);
        EXPECT_EQ(inflateAll(inflater, badCheck, 4096).last, Inflater::dataError);
        std::string badHeader = stream;
        badHeader[1] = static_cast<char>(badHeader[1] ^ 0x10);
        EXPECT_EQ(inflateAll(inflater, badHeader, 4096).last, Inflater::dataError);
        EXPECT_EQ(inflateAll(inflater, deflated(bytes, "grass stone tile"), 4096).last, Inflater::dataError);
    }
}
