// The publisher's chunk store: chunks stored once and shared, indexes that
// name them, pruning of what no listed index names, and the packing of a
// chunk's pieces.
#include "delta/ChunkStore.h"

#include "delta/PiecePacker.h"
#include "tests/common/TempDir.h"
#include "tests/update/GameBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace {

using updatetest::gameBytes;

struct Store {
    testkit::TempDir dir;

    ChunkIndex index(const Sha256::Digest& name) {
        std::ifstream in(dir / chunkIndexPath(name), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ChunkIndex out;
        EXPECT_TRUE(decodeChunkIndex(bytes, out));
        return out;
    }
    // The file put together again from the store's chunks.
    std::string assemble(const ChunkIndex& index) {
        std::string file, bytes;
        for (const ChunkEntry& chunk : index.chunks) {
            std::ifstream in(dir / chunkPath(chunk.hash), std::ios::binary);
            std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_TRUE(unpackChunk(stored, chunk, bytes));
            file += bytes;
        }
        return file;
    }
    ChunkStoreGrowth publish(const std::map<std::string, std::string>& sources, ChunkList& list) {
        ChunkStoreWriter writer(dir.path());
        std::string error;
        EXPECT_TRUE(writer.open(error)) << error;
        for (const auto& [path, source] : sources)
            EXPECT_TRUE(writer.storeFile(source, list[path], error)) << error;
        EXPECT_TRUE(writer.writeList(list, error)) << error;
        writer.prune();
        return writer.growth();
    }
};

} // namespace

TEST(ChunkStore, ChunksAreStoredOnceSharedAndPrunedWhenNoIndexNamesThem) {
    testkit::TempDir sources;
    const std::string v1 = gameBytes(6 << 20, 7);
    std::string v2 = v1;
    v2.insert(3 << 20, gameBytes(5000, 8)); // every later offset shifts
    sources.write("v1.pak", v1);
    sources.write("v2.pak", v2);

    Store store;
    ChunkList list;
    const ChunkStoreGrowth first = store.publish({{"data/a.pak", sources / "v1.pak"}}, list);
    const ChunkIndex index1 = store.index(list["data/a.pak"]);
    EXPECT_EQ(store.assemble(index1), v1);
    EXPECT_EQ(first.chunksAdded + first.chunksReused, index1.chunks.size());
    EXPECT_LT(first.bytesAdded, v1.size()) << "the text compresses";

    ChunkList again;
    const ChunkStoreGrowth republished = store.publish({{"data/a.pak", sources / "v1.pak"}}, again);
    EXPECT_EQ(again, list);
    EXPECT_EQ(republished.chunksAdded, 0u);
    EXPECT_EQ(republished.bytesAdded, 0u);
    EXPECT_EQ(republished.chunksPruned, 0u);

    // The next release: a few chunks around the insertion are new, the old
    // ones there are pruned, the rest are shared and stay.
    ChunkList next;
    const ChunkStoreGrowth grown = store.publish({{"data/a.pak", sources / "v2.pak"}}, next);
    const ChunkIndex index2 = store.index(next["data/a.pak"]);
    EXPECT_EQ(store.assemble(index2), v2);
    EXPECT_GE(grown.chunksAdded, 1u);
    EXPECT_LE(grown.chunksAdded, 3u);
    EXPECT_GE(grown.chunksPruned, 1u);
    EXPECT_FALSE(std::filesystem::exists(store.dir / chunkIndexPath(list["data/a.pak"])));

    // A file dropped from the release takes its chunks with it.
    ChunkList none;
    const ChunkStoreGrowth emptied = store.publish({}, none);
    EXPECT_EQ(emptied.chunksPruned, index2.chunks.size());
    EXPECT_TRUE(std::filesystem::is_empty(store.dir / "moravo-chunks/index"));
}

TEST(ChunkStore, AChunkFileThatIsNotItsChunkIsRefused) {
    const std::string bytes = gameBytes(100000, 3);
    ChunkEntry chunk;
    std::string stored =
        packChunk(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ChunkingRules(), chunk);
    std::string out;
    ASSERT_TRUE(unpackChunk(stored, chunk, out));
    EXPECT_EQ(out, bytes);
    stored[stored.size() - 1] ^= 1;
    EXPECT_FALSE(unpackChunk(stored, chunk, out));
    EXPECT_FALSE(unpackChunk(stored.substr(1), chunk, out));
}

TEST(ChunkStore, PiecesThatCannotShrinkAreStoredAsTheyAreAndEveryPieceReadsBack) {
    std::mt19937 random(11);
    std::string bytes;
    while (bytes.size() < 48 * 1024)
        bytes.push_back(static_cast<char>(random()));
    while (bytes.size() < 96 * 1024)
        bytes += "quest.sword = 12; dialog.castle = \"The dragon\";\n";
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    ChunkEntry chunk;
    const std::string stored = packChunk(data, bytes.size(), ChunkingRules(), chunk);
    std::vector<PieceEntry> pieces;
    ASSERT_TRUE(decodeChunkHeader(stored.substr(0, chunk.headerSize), chunk.size, chunk.storedSize,
                                  ChunkingRules().piece, pieces));
    size_t asTheyAre = 0;
    for (const PieceEntry& piece : pieces)
        asTheyAre += piece.storedSize == piece.size ? 1 : 0;
    EXPECT_GT(asTheyAre, 0u) << "noise does not shrink";
    EXPECT_LT(asTheyAre, pieces.size()) << "text does";
    std::string out;
    ASSERT_TRUE(unpackChunk(stored, chunk, out));
    EXPECT_EQ(out, bytes);

    // A packer kept from one chunk to the next packs each as a new one does.
    PiecePacker packer;
    const std::string before = gameBytes(50000, 6);
    ChunkEntry other, again;
    packChunk(reinterpret_cast<const uint8_t*>(before.data()), before.size(), ChunkingRules(), other, packer);
    EXPECT_EQ(packChunk(data, bytes.size(), ChunkingRules(), again, packer), stored);
}
