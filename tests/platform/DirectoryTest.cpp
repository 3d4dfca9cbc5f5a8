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

TEST(Directory, AFolderIsWritableOnlyWhereAFileCanBeMadeAndTheProbeLeavesNothing) {
    testkit::TempDir scratch;
    EXPECT_TRUE(platform::canCreateFilesIn(scratch.path()));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
    EXPECT_FALSE(platform::canCreateFilesIn(scratch.path() + "/missing"));
    scratch.write("file", "x");
    EXPECT_FALSE(platform::canCreateFilesIn(scratch.path() + "/file"));
}

TEST(Directory, AbsolutePathsAreTheSystemsOwn) {
    const bool windows = platform::kPathSeparator == '\\';
    EXPECT_TRUE(platform::isAbsolutePath("/etc/ca.pem"));
    EXPECT_FALSE(platform::isAbsolutePath("certs/ca.pem"));
    EXPECT_FALSE(platform::isAbsolutePath(""));
    // Windows also roots a path at a drive letter or a server.
    EXPECT_EQ(platform::isAbsolutePath("C:\\Moravo\\ca.pem"), windows);
    EXPECT_EQ(platform::isAbsolutePath("c:/Moravo/ca.pem"), windows);
    EXPECT_EQ(platform::isAbsolutePath("\\\\server\\share\\ca.pem"), windows);
    EXPECT_FALSE(platform::isAbsolutePath("C:ca.pem")) << "relative to drive C's current folder";
    EXPECT_EQ(platform::nativeSeparators("../ViewKitSDK/plugins\\"),
              windows ? "..\\ViewKitSDK\\plugins\\" : "../ViewKitSDK/plugins/");
}
