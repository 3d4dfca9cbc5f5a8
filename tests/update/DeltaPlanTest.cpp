// A delta update of one chunked file from a store in a folder: what the
// plan takes from the installed copy, what it fetches, and the new version
// put together and checked.
#include "delta/DeltaPlan.h"
#include "delta/ChunkStore.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/update/GameBytes.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using updatetest::cutIndex;
using updatetest::gameBytes;

// The store's files read from the folder, counted.
class FolderReader : public ChunkStoreReader {
public:
    explicit FolderReader(std::string root) : root_(std::move(root)) {}
    int32_t read(const std::string& relative, int64_t from, int64_t length, std::string& out) override {
        ++requests;
        std::string bytes = testkit::readFile(root_ + "/" + relative);
        if (from < 0 || static_cast<size_t>(from) > bytes.size())
            return 224;
        out = bytes.substr(static_cast<size_t>(from),
                           length < 0 ? std::string::npos : static_cast<size_t>(length));
        bytesRead += static_cast<int64_t>(out.size());
        return 0;
    }
    int requests = 0;
    int64_t bytesRead = 0;

private:
    std::string root_;
};

struct Delta : ::testing::Test {
    void SetUp() override {
        v1 = gameBytes(5 << 20, 11);
        v2 = v1;
        for (size_t at : {size_t(300000), size_t(2100000), size_t(4000000)}) // three assets rewritten
            v2.replace(at, 6000, gameBytes(6000, static_cast<uint32_t>(at)));
        v2.insert(1000000, gameBytes(9000, 5)); // and every later offset shifts
        dir.write("installed.pak", v1);
        const std::string source = dir.write("v2.pak", v2);
        ChunkStoreWriter writer(store.path());
        std::string error;
        Sha256::Digest name{};
        ASSERT_TRUE(writer.open(error) && writer.storeFile(source, name, error)) << error;
        ASSERT_TRUE(decodeChunkIndex(testkit::readFile(store.path() + "/" + chunkIndexPath(name)), index));
        ASSERT_TRUE(local.scan(dir / "installed.pak", index, nullptr));
    }
    int32_t assemble(const DeltaPlan& plan, std::string& out, int64_t& fetched) {
        DeltaAssembler assembler(plan, dir / "installed.pak", reader);
        return assembler.run([&](const std::string& chunk) { return out += chunk, true; },
                             [&](int64_t bytes) { fetched += bytes; }, nullptr);
    }

    testkit::TempDir dir, store;
    std::string v1, v2;
    ChunkIndex index;
    LocalChunks local;
    FolderReader reader{store.path()};
};

} // namespace

TEST_F(Delta, OnlyThePiecesNoCopyHoldsAreFetchedAndTheFileComesOutWhole) {
    DeltaPlan plan;
    ASSERT_EQ(planDelta(index, local, 0, reader, plan), 0);
    const int64_t headers = reader.bytesRead;
    EXPECT_EQ(plan.plannedBytes, headers);
    EXPECT_LT(plan.fetchBytes(), 60000) << "about the 27,000 new bytes, not whole chunks";
    EXPECT_GE(plan.fetchBytes(), 10000);
    const int64_t unchanged = static_cast<int64_t>(v2.size()) - 27000;
    EXPECT_LE(plan.reusedBytes(), unchanged);
    EXPECT_GE(plan.reusedBytes(), unchanged - 8 * 16384);

    std::string out;
    int64_t fetched = 0;
    ASSERT_EQ(assemble(plan, out, fetched), 0);
    EXPECT_EQ(out, v2);
    EXPECT_EQ(fetched, plan.fetchBytes());
    EXPECT_EQ(reader.bytesRead - headers, fetched);
}

TEST_F(Delta, APartialFileKeepsItsRightChunksAndStoreBytesThatAreNotTheChunkAreRefused) {
    // An interrupted run wrote the first half; the next one goes on after it.
    dir.write("partial", v2.substr(0, v2.size() / 2));
    const size_t partial = verifiedPrefix(dir / "partial", index, nullptr);
    EXPECT_GT(partial, index.chunks.size() / 4);
    EXPECT_LT(partial, index.chunks.size() * 3 / 4);
    DeltaPlan plan;
    ASSERT_EQ(planDelta(index, local, partial, reader, plan), 0);
    size_t kept = 0;
    for (size_t i = 0; i < partial; ++i)
        kept += index.chunks[i].size;
    std::string out = testkit::readFile(dir / "partial").substr(0, kept);
    int64_t fetched = 0;
    ASSERT_EQ(assemble(plan, out, fetched), 0);
    EXPECT_EQ(out, v2);

    // A changed byte in a piece to fetch: the chunk is refused.
    DeltaPlan fresh;
    ASSERT_EQ(planDelta(index, local, 0, reader, fresh), 0);
    for (size_t i = 0; i < fresh.sources.size(); ++i) {
        const std::vector<PieceRun> runs = fresh.runs(i);
        if (runs.empty())
            continue;
        const std::string path = store.path() + "/" + chunkPath(index.chunks[i].hash);
        std::string stored = testkit::readFile(path);
        stored[static_cast<size_t>(runs[0].from)] ^= 0x40;
        testkit::writeFile(path, stored);
        break;
    }
    std::string again;
    EXPECT_EQ(assemble(fresh, again, fetched), DeltaAssembler::chunkMismatch);
}

TEST_F(Delta, AKnownCopyIsNotCutAgainAndAChunkThatChangedBehindItsRecordIsFetched) {
    LocalChunks known;
    ASSERT_TRUE(known.adopt(dir / "installed.pak", cutIndex(v1), index, nullptr));
    DeltaPlan fromRecord, fromScan;
    ASSERT_EQ(planDelta(index, known, 0, reader, fromRecord), 0);
    ASSERT_EQ(planDelta(index, local, 0, reader, fromScan), 0);
    EXPECT_EQ(fromRecord.fetchBytes(), fromScan.fetchBytes());
    EXPECT_EQ(fromRecord.reusedBytes(), fromScan.reusedBytes());

    // A byte of the copy's first chunk changed behind the record: the copy
    // is cut again and the new version still comes out right, for about the
    // changed piece and the headers read again.
    std::string changed = v1;
    changed[10] ^= 1;
    dir.write("installed.pak", changed);
    std::string out;
    int64_t fetched = 0;
    DeltaAssembler assembler(fromRecord, dir / "installed.pak", reader);
    ASSERT_EQ(assembler.run([&](const std::string& chunk) { return out += chunk, true; },
                            [&](int64_t bytes) { fetched += bytes; }, nullptr),
              0);
    EXPECT_EQ(out, v2);
    EXPECT_TRUE(assembler.recut());
    EXPECT_FALSE(assembler.storeOnly());
    // (A range read before the mismatch showed is read again after it.)
    EXPECT_GT(fetched, fromRecord.fetchBytes());
    EXPECT_LE(fetched, 2 * fromRecord.fetchBytes() + fromRecord.plannedBytes + 16384);
}

TEST(LocalChunksScan, AFileCutOnSeveralThreadsFindsEveryChunkOfItsOwnCut) {
    testkit::TempDir dir;
    const std::string bytes = gameBytes(50 << 20, 21);
    const std::string path = dir.write("big.pak", bytes);
    const ChunkIndex index = cutIndex(bytes);
    LocalChunks local;
    ASSERT_TRUE(local.scan(path, index, nullptr, 3)); // three segments of about 17 MiB
    size_t missing = 0;
    for (const ChunkEntry& chunk : index.chunks) {
        const LocalChunks::Place* place = local.chunk(chunk.hash);
        missing += place == nullptr || place->size != chunk.size ? 1 : 0;
    }
    EXPECT_EQ(missing, 0u) << "of " << index.chunks.size();
}
