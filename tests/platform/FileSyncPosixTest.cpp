#include "platform/FileSync.h"

#include <gtest/gtest.h>

#include <cerrno>
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
