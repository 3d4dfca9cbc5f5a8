#include "platform/FileSync.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

TEST(FileSync, ANewFileIsNeverMadeThroughALink) {
    testkit::TempDir scratch;
    const std::string target = scratch.path() + "/elsewhere";
    const std::string planted = scratch.path() + "/file.part";
    ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
    errno = 0;
    EXPECT_EQ(platform::openNewFile(planted), nullptr);
    EXPECT_EQ(errno, EEXIST);
    struct stat info {};
    EXPECT_NE(stat(target.c_str(), &info), 0) << "the link's target was not created";
}
