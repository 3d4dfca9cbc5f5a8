#include "platform/FileSync.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

TEST(FileSync, AFileIsFlushedThroughAndAFileSystemByAnyPathOnIt) {
    testkit::TempDir scratch;
    const std::string path = scratch.path() + "/data";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    std::fputs("buffered", file);
    EXPECT_TRUE(platform::syncFile(file));
    std::ifstream written(path, std::ios::binary);
    std::ostringstream text;
    text << written.rdbuf();
    EXPECT_EQ(text.str(), "buffered") << "the stream's own buffer was written";
    std::fclose(file);
    EXPECT_FALSE(platform::syncFile(nullptr));

    EXPECT_TRUE(platform::syncFileSystemOf(scratch.path()));
    EXPECT_TRUE(platform::syncFileSystemOf(path));
    EXPECT_FALSE(platform::syncFileSystemOf(scratch.path() + "/missing"));
    EXPECT_FALSE(platform::syncFileSystemOf(""));
}
