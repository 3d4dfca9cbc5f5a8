// The publisher on several threads: the same output whatever their number,
// and the progress it tells.
#include "update/Publisher.h"
#include "tests/common/FileServer.h"
#include "tests/update/UpdaterFixture.h"

#include <gtest/gtest.h>
#include <zlib.h>

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
    EXPECT_EQ(readFile(single.path() + "/checklist.txt"), readFile(four.path() + "/checklist.txt"));
    for (const auto& [path, bytes] : files) {
        const std::string packed = readFile(four.path() + "/" + path + ".zz");
        EXPECT_EQ(packed, readFile(single.path() + "/" + path + ".zz")) << path;
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
