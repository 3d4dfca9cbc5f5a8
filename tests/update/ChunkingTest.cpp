// Content-defined chunking and the chunk store's formats.
#include "delta/Chunking.h"
#include "delta/ChunkFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 pick(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(pick());
    return bytes;
}

std::vector<std::vector<uint8_t>> streamChunks(const std::vector<uint8_t>& data, const CutRule& rule,
                                               size_t feed) {
    std::vector<std::vector<uint8_t>> chunks;
    StreamChunker chunker(rule);
    auto sink = [&](const uint8_t* bytes, size_t size) { chunks.emplace_back(bytes, bytes + size); };
    for (size_t at = 0; at < data.size(); at += feed)
        chunker.feed(data.data() + at, std::min(feed, data.size() - at), sink);
    chunker.finish(sink);
    return chunks;
}

} // namespace

TEST(Chunking, CutsFollowTheContentWithinTheRuleWhateverTheFeed) {
    const ChunkingRules rules;
    const std::vector<uint8_t> data = randomBytes(3 << 20, 1);
    const auto chunks = streamChunks(data, rules.chunk, 100000);
    EXPECT_EQ(streamChunks(data, rules.chunk, 4096), chunks) << "the cuts do not depend on the reads";
    size_t total = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        total += chunks[i].size();
        EXPECT_LE(chunks[i].size(), rules.chunk.maxSize);
        if (i + 1 < chunks.size()) {
            EXPECT_GE(chunks[i].size(), rules.chunk.minSize);
        }
    }
    EXPECT_EQ(total, data.size());
    EXPECT_NEAR(double(data.size()) / chunks.size(), rules.chunk.averageSize, rules.chunk.averageSize * 0.5);

    // Bytes inserted near the start move only the cuts around them: the
    // chunks after are the same chunks.
    std::vector<uint8_t> shifted = data;
    const std::vector<uint8_t> inserted = randomBytes(777, 2);
    shifted.insert(shifted.begin() + 100000, inserted.begin(), inserted.end());
    const auto after = streamChunks(shifted, rules.chunk, 65536);
    size_t same = 0;
    for (const auto& chunk : after)
        same += std::find(chunks.begin(), chunks.end(), chunk) != chunks.end() ? 1 : 0;
    EXPECT_GE(same + 3, after.size()) << "of " << after.size() << " chunks";

    // A block shorter than the minimum is one piece; the pieces of a chunk
    // add up to it.
    EXPECT_EQ(cutLengths(data.data(), 100, rules.piece), std::vector<uint32_t>{100});
    const auto pieces = cutLengths(chunks[0].data(), chunks[0].size(), rules.piece);
    EXPECT_EQ(std::accumulate(pieces.begin(), pieces.end(), size_t(0)), chunks[0].size());
    EXPECT_FALSE((CutRule{1024, 3000, 8192}.valid())) << "the average is a power of two";
    EXPECT_FALSE((CutRule{4096, 4096, 8192}.valid()));
}

TEST(ChunkFormats, IndexesHeadersAndListsReadBackAndRefuseWhatIsNotThem) {
    ChunkIndex index;
    index.fileSize = 70000 + 50000;
    index.chunks = {{Sha256::of("a", 1), 70000, 40000, 30}, {Sha256::of("b", 1), 50000, 50030, 30}};
    const std::string bytes = encodeChunkIndex(index);
    ChunkIndex read;
    ASSERT_TRUE(decodeChunkIndex(bytes, read));
    EXPECT_EQ(read.fileSize, index.fileSize);
    ASSERT_EQ(read.chunks.size(), 2u);
    EXPECT_EQ(read.chunks[1].hash, index.chunks[1].hash);
    EXPECT_EQ(read.chunks[1].storedSize, 50030u);
    EXPECT_TRUE(read.rules == ChunkingRules());
    EXPECT_FALSE(decodeChunkIndex(bytes + "x", read)) << "bytes left over";
    EXPECT_FALSE(decodeChunkIndex(bytes.substr(0, bytes.size() - 1), read)) << "cut short";
    EXPECT_FALSE(decodeChunkIndex("MVX2" + bytes.substr(4), read)) << "another version";
    std::string overlong = bytes;
    overlong.replace(4, 3, "\x80\x80\x81\x00"); // 16384 spelt with a byte too many
    EXPECT_FALSE(decodeChunkIndex(overlong, read));
    // A count of chunks the bytes cannot hold is refused before anything
    // is made for it.
    const std::string rules = bytes.substr(0, 20); // the head and both rules
    const std::string huge = rules + "\x80\x80\x80\x80\x80\x20" + "\x80\x80\x80\x80\x80\x10"; // 2^40, 2^39
    EXPECT_FALSE(decodeChunkIndex(huge, read));
    ChunkIndex wrong = index;
    wrong.fileSize += 1;
    EXPECT_FALSE(decodeChunkIndex(encodeChunkIndex(wrong), read)) << "sizes that do not add up";
    wrong = index;
    wrong.chunks[0].size = 300000;
    wrong.fileSize = 350000;
    EXPECT_FALSE(decodeChunkIndex(encodeChunkIndex(wrong), read)) << "a chunk beyond the rule";
    wrong = index;
    wrong.chunks[0].size = 1000;
    wrong.fileSize = 51000;
    EXPECT_FALSE(decodeChunkIndex(encodeChunkIndex(wrong), read)) << "a chunk but the last below the rule";
    wrong = index;
    wrong.chunks[1].headerSize = 50000;
    EXPECT_FALSE(decodeChunkIndex(encodeChunkIndex(wrong), read)) << "a header longer than pieces spell";
    wrong = index;
    wrong.chunks[1].storedSize = 50031;
    EXPECT_FALSE(decodeChunkIndex(encodeChunkIndex(wrong), read)) << "stored larger than header and chunk";

    const std::vector<PieceEntry> pieces = {{0x0123456789abcdefull, 3000, 1200}, {42, 2000, 2000}};
    const std::string header = encodeChunkHeader(pieces);
    std::vector<PieceEntry> readPieces;
    ASSERT_TRUE(decodeChunkHeader(header, 5000, static_cast<uint32_t>(header.size()) + 3200,
                                  ChunkingRules().piece, readPieces));
    EXPECT_EQ(readPieces[0].tag, 0x0123456789abcdefull);
    EXPECT_EQ(readPieces[1].storedSize, 2000u);
    EXPECT_FALSE(decodeChunkHeader(header, 5001, static_cast<uint32_t>(header.size()) + 3200,
                                   ChunkingRules().piece, readPieces));
    EXPECT_FALSE(decodeChunkHeader(header, 5000, 1, ChunkingRules().piece, readPieces));
    const std::string small = encodeChunkHeader({{1, 500, 500}, {2, 4500, 4500}});
    EXPECT_FALSE(decodeChunkHeader(small, 5000, static_cast<uint32_t>(small.size()) + 5000,
                                   ChunkingRules().piece, readPieces))
        << "a piece but the last below the rule";

    const ChunkList list = {{"data/big.pak", Sha256::of("x", 1)}, {"m\xC3\xBAsica.ogg", Sha256::of("y", 1)}};
    ChunkList readList;
    ASSERT_TRUE(decodeChunkList(encodeChunkList(list), readList));
    EXPECT_EQ(readList, list);
    EXPECT_FALSE(decodeChunkList("moravo-chunks 2\n", readList));
    EXPECT_FALSE(decodeChunkList(std::string(chunkListHead) + "\nabc data.pak\n", readList));
    EXPECT_FALSE(decodeChunkList(encodeChunkList(list) + Sha256::hex(Sha256::of("z", 1)) + " data/big.pak\n",
                                 readList))
        << "a path twice";
    EXPECT_EQ(chunkPath(Sha256::of("a", 1)),
              "moravo-chunks/ca/ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb.chunk");
}
