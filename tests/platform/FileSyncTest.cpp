#include "platform/FileSync.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
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

    // A batch of files put in place and names removed: one removed since
    // has nothing to keep.
    EXPECT_TRUE(platform::syncFiles(scratch.path(), {path, scratch.path() + "/removed since"},
                                    {scratch.path() + "/gone"}));
    EXPECT_TRUE(platform::syncFiles(scratch.path() + "/missing", {}));
}

TEST(FileSync, ANewFileIsMadeOnlyWhereTheNameIsFree) {
    testkit::TempDir scratch;
    const std::string path = scratch.path() + "/new.part";
    std::FILE* file = platform::openNewFile(path);
    ASSERT_NE(file, nullptr);
    ASSERT_GE(std::fputs("first\n", file), 0);
    std::fclose(file);

    errno = 0;
    EXPECT_EQ(platform::openNewFile(path), nullptr) << "an existing file is never opened again";
    EXPECT_EQ(errno, EEXIST);
    std::ifstream kept(path, std::ios::binary);
    std::ostringstream text;
    text << kept.rdbuf();
    EXPECT_EQ(text.str(), "first\n") << "written in binary mode, and left as it was";

    EXPECT_EQ(platform::openNewFile(scratch.path() + "/missing/new.part"), nullptr);
}

TEST(FileSync, TheFoldersWhoseEntriesChangedAreFlushedOnceDeeperFirst) {
    const std::vector<std::string> folders =
        platform::changedFolders({"./a", "./sub/new/b", "./sub/new/c", "./tmp/launcher.exe"},
                                 {"sub/new", "./sub", "./old/gone", "top", "/x", "./a", "././tmp/x"});
    EXPECT_EQ(folders, (std::vector<std::string>{"sub/new", "old", "sub", "tmp", ".", "/"}));
    EXPECT_TRUE(platform::changedFolders({}, {}).empty());
    EXPECT_EQ(platform::changedFolders({}, {"dir\\file"}), std::vector<std::string>{"dir"});
}
