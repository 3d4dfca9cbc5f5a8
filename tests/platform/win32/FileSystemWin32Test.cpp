// The installation's paths as the system takes them: the plain form where
// it reaches the file, the extended-length form beyond, and Unix links under
// Wine taken for links.
#include "platform/Directory.h"
#include "platform/FileSystem.h"
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

// The form is the one the wide calls get too, there from 248 characters on
// (a folder must leave room for an 8.3 name under MAX_PATH).
TEST(FileSystemWin32, PathsPastTheLimitTakeTheExtendedFormWithDotsResolved) {
    testkit::TempDir scratch;
    const std::string before = platform::currentDirectory();
    ASSERT_TRUE(platform::changeDirectory(scratch.path()));
    const auto form = [](const std::string& path) { return platform::filePath(path).wstring(); };
    // Short: as given, in Windows' separators.
    EXPECT_EQ(form("a/b.txt"), L"a\\b.txt");
    EXPECT_EQ(form("C:/Juegos/a.pak"), L"C:\\Juegos\\a.pak");

    // Relative, its full path beyond the limit: made full, "." and ".."
    // resolved, then extended; a long text whose full path is short is
    // given as that full path.
    const std::wstring here = currentFolder();
    const std::string deep =
        std::string(120, 'a') + "/./" + std::string(130, 'b') + "/../" + std::string(150, 'c');
    EXPECT_EQ(form(deep),
              L"\\\\?\\" + here + L"\\" + std::wstring(120, L'a') + L"\\" + std::wstring(150, L'c'));
    EXPECT_EQ(form(std::string(120, 'a') + "/" + std::string(140, 'b') + "/../c"),
              here + L"\\" + std::wstring(120, L'a') + L"\\c");
    // Up to 259 characters in full, the plain form; from 260 on, the extended.
    const std::string edge(259 - here.size() - 1, 'e');
    EXPECT_EQ(form(edge), std::wstring(edge.begin(), edge.end()));
    EXPECT_EQ(form(edge + "e"), L"\\\\?\\" + here + L"\\" + std::wstring(edge.size() + 1, L'e'));

    // Absolute and on a share, beyond the limit; already extended, as given.
    const std::wstring name(300, L'n');
    EXPECT_EQ(form("C:/x/" + std::string(300, 'n')), L"\\\\?\\C:\\x\\" + name);
    EXPECT_EQ(form("//server/share/" + std::string(300, 'n')), L"\\\\?\\UNC\\server\\share\\" + name);
    EXPECT_EQ(form("\\\\?\\C:\\" + std::string(300, 'n')), L"\\\\?\\C:\\" + name);
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
        EXPECT_EQ(entry.kind,
                  entry.name == "linked" ? platform::FileKind::link : platform::FileKind::directory)
            << entry.name;
    EXPECT_FALSE(platform::listDirectory(link, entries)) << "a link is never listed through";
}
