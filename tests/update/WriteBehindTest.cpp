// The write-behind: every block handed over reaches the file in order and
// the digest, and a failed write is reported at the end of the file.
#include "update/WriteBehind.h"
#include "tests/common/FileServer.h"
#include "update/PendingFile.h"

#include <gtest/gtest.h>

#include <cstring>

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
