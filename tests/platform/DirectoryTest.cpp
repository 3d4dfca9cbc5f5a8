#include "platform/Directory.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Directory, ChangesAndTellsTheCurrentDirectory) {
    testkit::TempDir scratch;
    std::filesystem::create_directories(scratch.path() + "/a/b");
    std::string start = platform::currentDirectory();
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(start, std::filesystem::current_path().string());

    ASSERT_TRUE(platform::changeDirectory(scratch.path() + "/a"));
    std::string canonical = std::filesystem::canonical(scratch.path() + "/a").string();
    EXPECT_EQ(platform::currentDirectory(), canonical);
    ASSERT_TRUE(platform::changeDirectory("b"));
    // The system's own separator ("\\" on Windows) joins the parts.
    EXPECT_EQ(platform::currentDirectory(), (std::filesystem::path(canonical) / "b").string());
    ASSERT_TRUE(platform::changeDirectory(".."));
    EXPECT_EQ(platform::currentDirectory(), canonical);

    EXPECT_FALSE(platform::changeDirectory("missing"));
    EXPECT_FALSE(platform::changeDirectory(""));
    scratch.write("a/file", "x");
    EXPECT_FALSE(platform::changeDirectory("file"));
    EXPECT_EQ(platform::currentDirectory(), canonical);

    ASSERT_TRUE(platform::changeDirectory(start));
    EXPECT_EQ(platform::currentDirectory(), start);
}
