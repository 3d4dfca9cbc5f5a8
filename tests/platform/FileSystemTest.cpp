// The installation's files through the platform: names in UTF-8 whatever
// the system's code page, what each name is, and the names Windows cannot
// hold or tell apart.
#include "platform/FileSystem.h"
#include "platform/FileSync.h"

#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using platform::FileKind;

TEST(FileSystem, NonAsciiNamesAreWrittenListedAndReadInUtf8) {
    testkit::TempDir scratch;
    const std::string folder = scratch.path() + "/m\xC3\xBAsica";
    const std::string file = folder + "/canci\xC3\xB3n \xE2\x82\xAC.ogg";
    ASSERT_TRUE(platform::makeDirectory(folder));
    std::FILE* out = platform::openNewFile(file);
    ASSERT_NE(out, nullptr);
    std::fputs("la", out);
    std::fclose(out);
    // The name on the disk is the UTF-8 one, not its bytes read in a code page.
    EXPECT_TRUE(fs::exists(fs::u8path(file)));

    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::listDirectory(scratch.path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "m\xC3\xBAsica");
    EXPECT_EQ(entries[0].kind, FileKind::directory);
    entries.clear();
    ASSERT_TRUE(platform::listDirectory(folder, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "canci\xC3\xB3n \xE2\x82\xAC.ogg");
    EXPECT_EQ(entries[0].kind, FileKind::file);

    std::FILE* in = platform::openFile(file, "rb");
    ASSERT_NE(in, nullptr);
    char text[3] = {};
    EXPECT_EQ(std::fread(text, 1, 2, in), 2u);
    std::fclose(in);
    EXPECT_STREQ(text, "la");
    EXPECT_EQ(platform::replaceFile(file, folder + "/otra.ogg"), 0);
    EXPECT_EQ(platform::fileKind(file), FileKind::missing);

    EXPECT_FALSE(platform::removeFile(folder)) << "a folder is never removed as a file";
    EXPECT_FALSE(platform::removeEmptyDirectory(folder)) << "it is not empty";
    EXPECT_TRUE(platform::removeFile(folder + "/otra.ogg"));
    EXPECT_TRUE(platform::removeEmptyDirectory(folder));
    EXPECT_EQ(platform::fileKind(folder), FileKind::missing);
    EXPECT_FALSE(platform::listDirectory(folder, entries));
}

TEST(FileSystem, ReadOnlyFilesAreReplacedRemovedAndTheirAccessCarriedOver) {
    testkit::TempDir scratch;
    const std::string installed = scratch.path() + "/installed.dat";
    const std::string fresh = scratch.path() + "/installed.dat.new";
    for (const auto& [path, text] : {std::pair{installed, "old"}, std::pair{fresh, "newer"}}) {
        std::FILE* out = platform::openNewFile(path);
        ASSERT_NE(out, nullptr);
        std::fputs(text, out);
        std::fclose(out);
    }
    EXPECT_EQ(platform::fileSize(fresh), 5);
    EXPECT_EQ(platform::fileSize(scratch.path()), -1) << "a folder has no file size";
    EXPECT_EQ(platform::fileSize(scratch.path() + "/missing"), -1);

    // Read-only (Windows' attribute, POSIX's write bits).
    const auto writable = [](const std::string& path) {
        return (fs::status(fs::u8path(path)).permissions() & fs::perms::owner_write) != fs::perms::none;
    };
    fs::permissions(fs::u8path(installed),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_FALSE(writable(installed));
    EXPECT_TRUE(platform::copyFileAccess(installed, fresh));
    EXPECT_FALSE(writable(fresh)) << "the new file takes the installed one's access";
    EXPECT_FALSE(platform::copyFileAccess(scratch.path() + "/missing", fresh));
    EXPECT_FALSE(platform::copyFileAccess(scratch.path(), fresh)) << "a folder gives nothing";

    EXPECT_EQ(platform::replaceFile(fresh, installed), 0) << "a read-only file is replaced";
    EXPECT_EQ(platform::fileSize(installed), 5);
    EXPECT_FALSE(writable(installed));
    EXPECT_TRUE(platform::removeFile(installed)) << "a read-only file is removed";
    EXPECT_EQ(platform::fileKind(installed), FileKind::missing);
}

TEST(FileSystem, NamesWindowsCannotHoldOrTellApart) {
    for (const char* name : {"con.txt", "Nul.tar.gz", "PRN .log", "lpt9", "COM\xC2\xB9", "CONIN$", "a:b",
                             "what?", "x.", "trailing "})
        EXPECT_NE(platform::windowsNameProblem(name), nullptr) << name;
    for (const char* name : {"console", "com10", "nul_", ".hidden", "a b.txt", "m\xC3\xBAsica"})
        EXPECT_EQ(platform::windowsNameProblem(name), nullptr) << name;
    // The form of the short names Windows gives long ones, which may be
    // another file's there; names merely near that form are fine.
    for (const char* name : {"ABCDEF~1.DAT", "progra~1", "GAME~12.PAK", "A~1", "~1.txt",
                             "\xC3\x91"
                             "AND\xC3\x9A"
                             "~1.T"})
        EXPECT_NE(platform::windowsNameProblem(name), nullptr) << name;
    for (const char* name : {"ABCDEFG~1.DAT", "ABCDEF~1.DATA", "AB~1.tar.gz", "a~b.txt", "a~1b.txt", "~.txt",
                             "~1~.txt", "save~.dat", "~"})
        EXPECT_EQ(platform::windowsNameProblem(name), nullptr) << name;

    EXPECT_EQ(platform::foldCase("Data/x.PAK"), platform::foldCase("data/X.pak"));
    EXPECT_EQ(platform::foldCase("M\xC3\xBAsica/\xC3\x91"
                                 "and\xC3\xBA"), // Música/Ñandú
              platform::foldCase("m\xC3\x9ASICA/\xC3\xB1"
                                 "AND\xC3\x9A"));
    EXPECT_EQ(platform::foldCase("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"), // Cyrillic
              platform::foldCase("\xD0\xBC\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90"));
    EXPECT_NE(platform::foldCase("a.txt"), platform::foldCase("b.txt"));

    // Where names ignore case, two spellings open one file.
    testkit::TempDir scratch;
    std::FILE* out = platform::openNewFile(scratch.path() + "/Data.txt");
    ASSERT_NE(out, nullptr);
    std::fclose(out);
    EXPECT_EQ(platform::fileKind(scratch.path() + "/DATA.TXT") == FileKind::file,
              platform::namesIgnoreCase());
}
