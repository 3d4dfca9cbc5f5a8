// The write-behind: every block handed over reaches the file in order and
// the digest, and a failed write is reported at the end of the file.
#include "install/WriteBehind.h"
#include "install/PendingFile.h"
#include "net/Md5.h"
#include "tests/common/FileServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using updatetest::md5Of;
using updatetest::readFile;
using updatetest::TempDir;

TEST(WriteBehind, BlocksReachTheFileAndTheDigestInOrderFileAfterFile) {
    TempDir dir;
    WriteBehind writer;
    for (int file = 0; file < 3; ++file) {
        const std::string path = dir.path() + "/f" + std::to_string(file);
        PendingFile out;
        ASSERT_TRUE(out.open(path));
        writer.begin(&out);
        std::string expected;
        for (int i = 0; i < 40; ++i) {
            const size_t length = static_cast<size_t>((i * 7919 + file) % WriteBehind::blockSize) + 1;
            std::memset(writer.block(), 'a' + (i + file) % 26, length);
            expected.append(writer.block(), length);
            ASSERT_TRUE(writer.submit(length));
        }
        std::string digest;
        ASSERT_TRUE(writer.finish(digest));
        ASSERT_TRUE(out.commit());
        EXPECT_EQ(digest, md5Of(expected));
        EXPECT_EQ(readFile(path), expected);
    }

    // A file that cannot be written: the failure shows at the latest in
    // `finish`, and the next file starts clean.
    PendingFile closed;
    writer.begin(&closed);
    for (int i = 0; i < 2; ++i) {
        std::memset(writer.block(), 'x', 10);
        writer.submit(10);
    }
    std::string digest;
    EXPECT_FALSE(writer.finish(digest));
    PendingFile next;
    ASSERT_TRUE(next.open(dir.path() + "/after"));
    writer.begin(&next);
    std::memset(writer.block(), 'y', 3);
    EXPECT_TRUE(writer.submit(3));
    EXPECT_TRUE(writer.finish(digest));
    EXPECT_EQ(digest, md5Of("yyy"));
}

TEST(WriteBehind, AppendedBytesGoOnFromASeededDigestAcrossBlocks) {
    // A file resumed after its first bytes: the digest goes on from them,
    // and bytes appended in pieces of any size reach the sink in order.
    auto seeded = std::make_unique<Md5>();
    const std::string head = "kept from an earlier run";
    seeded->update(head.data(), head.size());
    std::string sunk;
    WriteBehind writer;
    writer.begin([&](const char* data, size_t length) { return sunk.append(data, length), true; },
                 std::move(seeded));
    std::string appended;
    for (size_t i = 0; i < 30; ++i) {
        const std::string piece(i * 9973 % (WriteBehind::appendSize + 5000) + 1, static_cast<char>('a' + i));
        ASSERT_TRUE(writer.append(piece.data(), piece.size()));
        appended += piece;
    }
    std::string digest;
    ASSERT_TRUE(writer.finish(digest));
    EXPECT_EQ(sunk, appended);
    EXPECT_EQ(digest, md5Of(head + appended));
}
