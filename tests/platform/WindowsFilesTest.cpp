// How Windows describes files, on every system: what an entry is from its
// attributes and reparse tag, and the long form of a path.
#include "platform/WindowsFiles.h"

#include <gtest/gtest.h>

using platform::FileKind;
using platform::windowsEntryKind;

namespace {
constexpr uint32_t folder = 0x10;
constexpr uint32_t archive = 0x20;
constexpr uint32_t reparse = 0x400;
} // namespace

TEST(WindowsFiles, OnlyNameSurrogatesAndExecutionLinksAmongReparsePointsAreLinks) {
    struct Tag {
        uint32_t tag;
        FileKind kind;
        const char* what;
    };
    const Tag tags[] = {
        {0xA000000C, FileKind::link, "symbolic link"},
        {0xA0000003, FileKind::link, "junction or mount point"},
        {0xA000001D, FileKind::link, "link of the Linux subsystem"},
        {0x8000001B, FileKind::link, "application execution link"},
        {0x00000000, FileKind::link, "no tag told (Wine's Unix links)"},
        {0x9000001A, FileKind::other, "cloud placeholder"},
        {0x9000701A, FileKind::other, "cloud placeholder of a provider"},
        {0x80000013, FileKind::other, "deduplicated file"},
        {0x80000017, FileKind::other, "compressed (WOF) file"},
        {0x00001234, FileKind::other, "unknown tag without the surrogate bit"},
    };
    // `other` above stands for "what the attributes say".
    for (const Tag& t : tags) {
        const FileKind asFolder = t.kind == FileKind::link ? FileKind::link : FileKind::directory;
        const FileKind asFile = t.kind == FileKind::link ? FileKind::link : FileKind::file;
        EXPECT_EQ(windowsEntryKind(folder | reparse, t.tag), asFolder) << t.what;
        EXPECT_EQ(windowsEntryKind(archive | reparse, t.tag), asFile) << t.what;
    }
    // Without the reparse bit a tag means nothing.
    EXPECT_EQ(windowsEntryKind(folder, 0xA000000C), FileKind::directory);
    EXPECT_EQ(windowsEntryKind(archive, 0), FileKind::file);
    EXPECT_EQ(windowsEntryKind(0x80 /* normal */, 0), FileKind::file);
}

TEST(WindowsFiles, TheExtendedLengthFormOfFullPaths) {
    using platform::extendedLengthPath;
    EXPECT_EQ(extendedLengthPath(L"C:\\Users\\Pe\u00f1a\\Juegos\\a.pak"),
              L"\\\\?\\C:\\Users\\Pe\u00f1a\\Juegos\\a.pak");
    EXPECT_EQ(extendedLengthPath(L"d:\\x"), L"\\\\?\\d:\\x");
    EXPECT_EQ(extendedLengthPath(L"\\\\server\\share\\game\\a.pak"),
              L"\\\\?\\UNC\\server\\share\\game\\a.pak");
    // Already extended, a device, or no full path: left as they are.
    for (const wchar_t* kept :
         {L"\\\\?\\C:\\a", L"\\\\?\\UNC\\s\\h\\a", L"\\\\.\\COM1", L"relative\\a", L"C:a", L"\\rooted", L""})
        EXPECT_EQ(extendedLengthPath(kept), kept);
    EXPECT_LT(platform::longestPlainPath, platform::longestRuntimePath);
}
