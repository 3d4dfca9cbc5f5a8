// The installation's paths as the wide calls take them: the plain form
// where it reaches the file, the extended-length form beyond, and Unix links
// under Wine taken for links.
#include "platform/Directory.h"
#include "platform/FileSystem.h"
#include "platform/win32/WidePath.h"
#include "tests/common/Links.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

namespace {

std::wstring currentFolder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]));
    return folder;
}

} // namespace

TEST(FileSystemWin32, PathsPastTheLimitTakeTheExtendedFormWithDotsResolved) {
    testkit::TempDir scratch;
    const std::string before = platform::currentDirectory();
    ASSERT_TRUE(platform::changeDirectory(scratch.path()));
    // Short: as given, in Windows' separators.
    EXPECT_EQ(platform::widePath("a/b.txt"), L"a\\b.txt");
    EXPECT_EQ(platform::widePath("C:/Juegos/a.pak"), L"C:\\Juegos\\a.pak");

    // Relative, its full path beyond 247 characters: made full, "." and ".."
    // resolved, then extended; a long text whose full path is short is given
    // as that full path.
    const std::string deep = std::string(120, 'a') + "/./" + std::string(130, 'b') + "/../" + std::string(130, 'c');
    const std::wstring full = currentFolder() + L"\\" + std::wstring(120, L'a') + L"\\" + std::wstring(130, L'c');
    EXPECT_EQ(platform::widePath(deep), L"\\\\?\\" + full);
    EXPECT_EQ(platform::widePath(std::string(120, 'a') + "/" + std::string(130, 'b') + "/../c"),
              currentFolder() + L"\\" + std::wstring(120, L'a') + L"\\c");
    // The C run-time's streams take the plain form up to its own limit.
    const std::string edge = std::string(259 - currentFolder().size() - 1, 'e');
    EXPECT_EQ(platform::filePath(edge).wstring(), std::wstring(edge.begin(), edge.end()));
    EXPECT_EQ(platform::widePath(edge).compare(0, 4, L"\\\\?\\"), 0);

    // Absolute and on a share, beyond the limit.
    const std::string name(300, 'n');
    EXPECT_EQ(platform::widePath("C:/x/" + name), L"\\\\?\\C:\\x\\" + std::wstring(300, L'n'));
    EXPECT_EQ(platform::widePath("//server/share/" + name), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'n'));
    // Already extended: left alone.
    EXPECT_EQ(platform::widePath("\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + std::wstring(300, L'n'));
    ASSERT_TRUE(platform::changeDirectory(before));
}

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
