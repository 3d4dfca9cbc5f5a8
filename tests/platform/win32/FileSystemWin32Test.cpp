// The installation's names as the Win32 layer sees them: Unix links under
// Wine taken for links.
#include "platform/FileSystem.h"
#include "tests/common/Links.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Wine shows a Unix symbolic link with the reparse attribute and no tag: it
// stays a link for the listing and for a single name, never a folder.
TEST(FileSystemWin32, AUnixLinkUnderWineIsALinkAndAPlainFolderAFolder) {
    testkit::TempDir scratch, outside;
    const std::string link = scratch.path() + "/linked";
    if (!testkit::linkFolder("../" + std::filesystem::path(outside.path()).filename().string(), link))
        GTEST_SKIP() << "no symbolic link can be made here";
    ASSERT_TRUE(platform::makeDirectory(scratch.path() + "/plain"));
    EXPECT_EQ(platform::fileKind(link), platform::FileKind::link);
    EXPECT_EQ(platform::fileKind(scratch.path() + "/plain"), platform::FileKind::directory);
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::listDirectory(scratch.path(), entries));
    for (const platform::DirectoryEntry& entry : entries)
        EXPECT_EQ(entry.kind, entry.name == "linked" ? platform::FileKind::link : platform::FileKind::directory)
            << entry.name;
    EXPECT_FALSE(platform::listDirectory(link, entries)) << "a link is never listed through";
}
