// The record of the chunks of the files the updater put in place: it
// describes a file only while the file is as it was recorded, and a
// damaged record file is ignored, never half read.
#include "delta/KnownChunks.h"

#include "tests/common/FileServer.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/update/GameBytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using updatetest::cutIndex;
using updatetest::gameBytes;
using updatetest::md5Of;

TEST(KnownChunks, ARecordDescribesAFileOnlyWhileItIsAsRecorded) {
    testkit::TempDir dir;
    const std::string bytes = gameBytes(400000, 3);
    const std::string path = dir.write("data/a.pak", bytes);
    const ChunkIndex index = cutIndex(bytes);
    const std::string hash = md5Of(bytes);
    KnownChunks known;
    ASSERT_TRUE(known.record(dir.path(), "data/a.pak", hash, index));
    EXPECT_FALSE(known.record(dir.path(), "data/missing.pak", hash, index));
    ASSERT_TRUE(known.save(dir / "checklist.chunks"));

    KnownChunks loaded;
    ASSERT_TRUE(loaded.load(dir / "checklist.chunks"));
    ChunkIndex got;
    ASSERT_TRUE(loaded.indexOf(dir.path(), "data/a.pak", hash, got));
    EXPECT_EQ(encodeChunkIndex(got), encodeChunkIndex(index));
    // The manifest says the file is another version.
    EXPECT_FALSE(loaded.indexOf(dir.path(), "data/a.pak", md5Of("another"), got));
    // The file was written since (its time moved), then put back as it was.
    const auto recorded = fs::last_write_time(path);
    fs::last_write_time(path, recorded + std::chrono::seconds(2));
    EXPECT_FALSE(loaded.indexOf(dir.path(), "data/a.pak", hash, got));
    fs::last_write_time(path, recorded);
    EXPECT_TRUE(loaded.indexOf(dir.path(), "data/a.pak", hash, got));
    // Another size.
    dir.write("data/a.pak", bytes + "!");
    fs::last_write_time(path, recorded);
    EXPECT_FALSE(loaded.indexOf(dir.path(), "data/a.pak", hash, got));

    // A manifest that lists the file as another version drops its record.
    loaded.keepOnly(Manifest{{"data/a.pak", ManifestEntry{md5Of("another"), 1, 0}}});
    EXPECT_EQ(loaded.size(), 0u);
}

TEST(KnownChunks, ADamagedRecordFileIsIgnoredWhole) {
    testkit::TempDir dir;
    const std::string bytes = gameBytes(200000, 4);
    dir.write("a.pak", bytes);
    dir.write("b.pak", bytes);
    KnownChunks known;
    ASSERT_TRUE(known.record(dir.path(), "a.pak", md5Of(bytes), cutIndex(bytes)));
    ASSERT_TRUE(known.record(dir.path(), "b.pak", md5Of(bytes), cutIndex(bytes)));
    ASSERT_TRUE(known.save(dir / "checklist.chunks"));
    const std::string saved = testkit::readFile(dir / "checklist.chunks");
    const size_t lengthAt = saved.find(' ', saved.find(' ', saved.find(' ', saved.find('\n') + 1) + 1) + 1);
    for (const std::string& damaged :
         {saved.substr(0, saved.size() - 1), "moravo-known-chunks 2" + saved.substr(saved.find('\n')),
          saved.substr(0, lengthAt + 1) + "99999999999" + saved.substr(saved.find(' ', lengthAt + 1)),
          std::string()}) {
        dir.write("checklist.chunks", damaged);
        KnownChunks loaded;
        EXPECT_FALSE(loaded.load(dir / "checklist.chunks"));
        EXPECT_EQ(loaded.size(), 0u);
    }
}
