// The publisher on several threads: the same output whatever their number,
// the progress it tells, and the cutting of large files into the chunk
// store beside their compression.
#include "publish/Publisher.h"
#include "delta/ChunkFormats.h"
#include "publish/PublicationVersions.h"
#include "tests/common/FileServer.h"
#include "tests/update/GameBytes.h"
#include "tests/update/UpdaterFixture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using namespace updatetest;

namespace {

std::string inflated(const std::string& packed, size_t size) {
    std::string bytes(size, '\0');
    uLongf length = static_cast<uLongf>(size);
    if (uncompress(reinterpret_cast<Bytef*>(&bytes[0]), &length,
                   reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size())) != Z_OK)
        return "not a zlib stream";
    bytes.resize(length);
    return bytes;
}

// The folder of the version `out` serves.
std::string live(const TempDir& out) {
    return livePublicationFolder(out.path());
}

} // namespace

TEST(Publisher, TheOutputIsByteForByteTheSameWithOneThreadOrFour) {
    TempDir source, single, four;
    std::map<std::string, std::string> files;
    for (int i = 0; i < 30; ++i)
        files["dir" + std::to_string(i % 4) + "/file" + std::to_string(i)] =
            bytesOf(static_cast<size_t>(i) * 7919 % 200000, i);
    files["empty"] = "";
    for (const auto& [path, bytes] : files)
        source.write(path, bytes);

    PublishReport first, second;
    std::vector<std::pair<int64_t, int64_t>> progress;
    PublishOptions one;
    one.jobs = 1;
    ASSERT_TRUE(publishRelease(source.path(), single.path(), first, {}, one)) << first.error;
    PublishOptions several;
    several.jobs = 4;
    several.onProgress = [&](int64_t done, int64_t total) { progress.emplace_back(done, total); };
    ASSERT_TRUE(publishRelease(source.path(), four.path(), second, {}, several)) << second.error;

    EXPECT_EQ(second.compressed, static_cast<int32_t>(files.size()));
    EXPECT_EQ(readFile(live(single) + "/checklist.txt"), readFile(live(four) + "/checklist.txt"));
    for (const auto& [path, bytes] : files) {
        const std::string packed = readFile(live(four) + "/" + path + ".zz");
        EXPECT_EQ(packed, readFile(live(single) + "/" + path + ".zz")) << path;
        EXPECT_EQ(inflated(packed, bytes.size()), bytes) << path;
    }
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i].first, progress[i - 1].first);
    EXPECT_EQ(progress.back().first, second.bytes);
    EXPECT_EQ(progress.back().second, second.bytes);
}

// [mend] A file named as one of the updater's working files, in any letter
// case, would be taken for one and deleted with it on the players' machines.
TEST(Publisher, AReleaseNamingTheUpdatersOwnFilesIsRefused) {
    TempDir source, out;
    source.write("game.dat", "x");
    source.write("sub/game.dat.Moravo-Part", "x");
    PublishReport report;
    EXPECT_FALSE(publishRelease(source.path(), out.path(), report));
    EXPECT_NE(report.error.find("'sub/game.dat.Moravo-Part'"), std::string::npos) << report.error;
    EXPECT_FALSE(fs::exists(out.path() + "/checklist.txt"));
}

// A large file is cut into the chunk store by a job of its own beside its
// compression; republished unchanged it keeps its index, and rewritten in
// place (the same size, so its earlier .zz file was a candidate to keep)
// it is cut again.
TEST(Publisher, ALargeFileIsCutBesideItsCompressionAndCutAgainOnlyWhenItChanges) {
    TempDir source, single, four;
    std::string large = gameBytes(static_cast<size_t>(chunkedFileThreshold) + 300000, 4);
    source.write("data/world.pak", large);
    source.write("readme.txt", bytesOf(5000, 1));
    PublishReport report;
    PublishOptions one, several;
    one.jobs = 1;
    several.jobs = 4;
    ASSERT_TRUE(publishRelease(source.path(), single.path(), report, {}, one)) << report.error;
    ASSERT_TRUE(publishRelease(source.path(), four.path(), report, {}, several)) << report.error;
    EXPECT_EQ(report.chunkedFiles, 1);
    EXPECT_EQ(readFile(live(four) + "/" + chunkListName), readFile(live(single) + "/" + chunkListName));
    EXPECT_EQ(readFile(live(four) + "/" + "checklist.txt"), readFile(live(single) + "/" + "checklist.txt"));

    ASSERT_TRUE(publishRelease(source.path(), four.path(), report, {}, several)) << report.error;
    EXPECT_EQ(report.kept, 2);
    EXPECT_EQ(report.chunks.chunksAdded, 0u);
    EXPECT_EQ(readFile(live(four) + "/" + chunkListName), readFile(live(single) + "/" + chunkListName));

    large.replace(1000000, 20000, gameBytes(20000, 9));
    source.write("data/world.pak", large);
    ASSERT_TRUE(publishRelease(source.path(), four.path(), report, {}, several)) << report.error;
    EXPECT_EQ(report.compressed, 1);
    EXPECT_GE(report.chunks.chunksAdded, 1u);
    ChunkList list;
    readChunkList(live(four), list);
    ChunkIndex index;
    ASSERT_TRUE(
        decodeChunkIndex(readFile(live(four) + "/" + chunkIndexPath(list.at("data/world.pak"))), index));
    std::string assembled, chunk;
    for (const ChunkEntry& entry : index.chunks) {
        ASSERT_TRUE(unpackChunk(readFile(live(four) + "/" + chunkPath(entry.hash)), entry, chunk));
        assembled += chunk;
    }
    EXPECT_TRUE(assembled == large);
}

// The progress moves while one large file is compressed, not only between
// files.
TEST(Publisher, TheProgressMovesWithinALargeFile) {
    TempDir source, out;
    const int64_t size = wholeFileLimit + (int64_t(8) << 20);
    testkit::writeFile(source.path() + "/huge.pak", std::string(static_cast<size_t>(size), '\0'));
    PublishOptions one;
    one.jobs = 1;
    std::vector<int64_t> seen;
    one.onProgress = [&](int64_t done, int64_t total) {
        EXPECT_EQ(total, size);
        if (seen.empty() || seen.back() != done)
            seen.push_back(done);
    };
    PublishReport report;
    ASSERT_TRUE(publishRelease(source.path(), out.path(), report, {}, one)) << report.error;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), size);
    EXPECT_GT(std::count_if(seen.begin(), seen.end(), [&](int64_t done) { return done > 0 && done < size; }),
              10);
}
