#include "platform/FileSync.h"

#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <unistd.h>

TEST(FileSync, AFileIsFlushedThroughAndAFileSystemByAnyPathOnIt) {
    testkit::TempFolder scratch;
    const std::string path = scratch.path() + "/data";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    std::fputs("buffered", file);
    EXPECT_TRUE(platform::syncFile(file));
    EXPECT_EQ(testkit::readFile(path), "buffered") << "the stream's own buffer was written";
    std::fclose(file);
    EXPECT_FALSE(platform::syncFile(nullptr));

    EXPECT_TRUE(platform::syncFileSystemOf(scratch.path()));
    EXPECT_TRUE(platform::syncFileSystemOf(path));
    EXPECT_FALSE(platform::syncFileSystemOf(scratch.path() + "/missing"));
    EXPECT_FALSE(platform::syncFileSystemOf(""));
}

TEST(FileSync, WriteAllGoesOnPastPartialWritesAndTellsTheError) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    // Beyond a pipe's capacity: the writes come back partial while the
    // reader drains.
    const std::string bytes(300000, 'q');
    std::string received;
    std::thread reader([&] {
        char buffer[8192];
        ssize_t n;
        while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<size_t>(n));
    });
    EXPECT_EQ(platform::writeAll(ends[1], bytes.data(), bytes.size()), 0);
    close(ends[1]);
    reader.join();
    close(ends[0]);
    EXPECT_EQ(received, bytes);

    EXPECT_EQ(platform::writeAll(-1, "x", 1), EBADF);
    EXPECT_EQ(platform::writeAll(-1, "", 0), 0) << "nothing to write is no error";
}
