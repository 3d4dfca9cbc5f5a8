// Manifest text format, path checks, update locations, exclude files and
// the status texts.
#include "install/Manifest.h"
#include "tests/common/FileServer.h"
#include "update/UpdateLocation.h"
#include "update/UpdateTexts.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sstream>

using updatetest::readFile;
using updatetest::TempDir;

namespace {

const std::string hashA = "0123456789abcdef0123456789abcdef";
const std::string hashB = "fedcba9876543210fedcba9876543210";

Manifest read(const std::string& text, bool* result = nullptr, ManifestEnd* end = nullptr,
              const ManifestLimits& limits = ManifestLimits()) {
    std::istringstream in(text);
    Manifest manifest;
    bool ok = readManifest(in, manifest, end, limits);
    if (result != nullptr)
        *result = ok;
    return manifest;
}

} // namespace

TEST(Manifest, ReadsTheFourFieldsAndKeepsBlanksInsidePaths) {
    bool ok = false;
    Manifest m = read(hashA + " 10240 4096 res/skin/panel.png\n" +       //
                          hashB + "  12  0   my docs/read me.txt \r\n" + // blanks around fields, CR LF
                          hashA + " 7x 3 weird\n" +                      // digits up to the first non-digit
                          hashA + " abc -4 zero\n" +                     // no digits give 0
                          hashA + " 99999999999 1 huge\n" +              // beyond 32 bits
                          hashA + " 99999999999999999999 1 vast\n" +     // beyond 64 bits: the largest value
                          hashA + " 1 1 res/skin/panel.png\n" + // a repeated path keeps the last line
                          hashB + " 5 5 last-without-newline",
                      &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(m.size(), 7u);
    EXPECT_EQ(m["res/skin/panel.png"], (ManifestEntry{hashA, 1, 1}));
    EXPECT_EQ(m["my docs/read me.txt"], (ManifestEntry{hashB, 12, 0}));
    EXPECT_EQ(m["weird"], (ManifestEntry{hashA, 7, 3}));
    EXPECT_EQ(m["zero"], (ManifestEntry{hashA, 0, 0}));
    EXPECT_EQ(m["huge"].size, 99999999999);
    EXPECT_EQ(m["vast"].size, INT64_MAX);
    EXPECT_EQ(m["last-without-newline"], (ManifestEntry{hashB, 5, 5}));
}

TEST(Manifest, ALineMissingAFieldEndsReadingWithFalseKeepingEarlierEntries) {
    for (const std::string& bad : {hashA + " 10\n", std::string("\n"), hashA + "\n", hashA + " 10 20\n"}) {
        bool ok = true;
        Manifest m = read(hashA + " 1 0 first\n" + bad + hashA + " 2 0 after\n", &ok);
        EXPECT_FALSE(ok) << bad;
        EXPECT_EQ(m.size(), 1u) << bad;
        EXPECT_EQ(m.count("first"), 1u) << bad;
    }
}

TEST(Manifest, ADigestThatIsNot32HexDigitsEndsReadingWithFalse) {
    // The fuzzer's finding: a byte-order mark before the second line stays
    // in its digest, and that entry, written alone, would read back without it.
    for (const std::string& bad :
         {"\xEF\xBB\xBF" + hashB, hashB.substr(1), hashB + "0", "g" + hashB.substr(1)}) {
        bool ok = true;
        Manifest m = read(hashA + " 1 0 first\n" + bad + " 5 0 b.txt\n" + hashA + " 2 0 after\n", &ok);
        EXPECT_FALSE(ok) << bad;
        EXPECT_EQ(m, (Manifest{{"first", {hashA, 1, 0}}})) << bad;
    }
}

TEST(Manifest, ALineBeyondTheLimitEndsReadingWithTrueAndTellsItWasCut) {
    const std::string longest = hashA + " 1 0 " + std::string(manifestLineLimit - 37, 'p');
    ASSERT_EQ(longest.size(), manifestLineLimit);
    bool ok = false;
    ManifestEnd end = ManifestEnd::cutLine;
    Manifest m = read(longest + "\n" + hashA + " 2 0 next\n", &ok, &end);
    EXPECT_TRUE(ok);
    EXPECT_EQ(end, ManifestEnd::complete);
    EXPECT_EQ(m.size(), 2u);
    // A carriage return before the line feed does not count; neither does a
    // byte-order mark before the first line.
    m = read("\xEF\xBB\xBF" + longest + "\r\n" + hashA + " 2 0 next\r\n", &ok, &end);
    EXPECT_TRUE(ok);
    EXPECT_EQ(m.size(), 2u);

    m = read(hashA + " 1 0 first\n" + longest + "p\n" + hashA + " 2 0 never\n", &ok, &end);
    EXPECT_TRUE(ok);
    EXPECT_EQ(end, ManifestEnd::cutLine);
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(m.count("never"), 0u);
}

TEST(Manifest, AByteOrderMarkIsSkippedAndDigestsAreKeptInLowerCase) {
    std::string upper = hashA;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool ok = false;
    Manifest m = read("\xEF\xBB\xBF" + upper + " 1 0 a\n" + hashB + " 2 0 b\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(m, (Manifest{{"a", {hashA, 1, 0}}, {"b", {hashB, 2, 0}}}));
}

TEST(Manifest, MoreLinesOrBytesThanTheLimitsEndReadingWithFalse) {
    const std::string lines = hashA + " 1 0 a\n" + hashA + " 1 0 b\n" + hashA + " 1 0 c\n";
    for (const ManifestLimits& limits : {ManifestLimits{1u << 20, 2}, ManifestLimits{80, 1000}}) {
        bool ok = true;
        ManifestEnd end = ManifestEnd::complete;
        Manifest m = read(lines, &ok, &end, limits);
        EXPECT_FALSE(ok);
        EXPECT_EQ(end, ManifestEnd::tooLarge);
        EXPECT_EQ(m.size(), 2u);
    }
    EXPECT_EQ(read(lines, nullptr, nullptr, ManifestLimits{lines.size(), 3}).size(), 3u);
}

TEST(Manifest, WrittenManifestReadsBackTheSameAndReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.write("checklist.txt", "old contents\n");
    Manifest m{{"b/two words.txt", {hashB, 12, 0}}, {"a.bin", {hashA, 10240, 4096}}, {"Z", {hashA, 0, 0}}};
    ASSERT_TRUE(writeManifest(path, m));
    EXPECT_EQ(readFile(path),
              hashA + " 0 0 Z\n" + hashA + " 10240 4096 a.bin\n" + hashB + " 12 0 b/two words.txt\n");
    std::istringstream in(readFile(path));
    Manifest back;
    EXPECT_TRUE(readManifest(in, back));
    EXPECT_EQ(back, m);
    // Only the manifest is left: the temporary file was renamed over it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A folder that does not exist: false, and nothing is made.
    EXPECT_FALSE(writeManifest(dir.path() + "/none/checklist.txt", m));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/none"));
}

TEST(Manifest, PathsThatCouldLeaveTheInstallationOrNameAnotherFileOnWindowsAreRefused) {
    for (const char* good : {"a", "res/skin/panel.png", "two words.txt", "a..b", ".hidden/x", "ñandú/ü.txt",
                             "console.txt", "sub/checklist.serial", "x.moravo-part.txt", "save~1.tar.gz"})
        EXPECT_TRUE(isSafeManifestPath(good)) << good;
    // Names Windows takes for another file, a device or a stream, and the
    // updater's own working files in any letter case.
    for (const char* bad : {"x.", "dir /x", "good.txt:stream", "CON", "sub/Com1.dat", "x.moravo-part",
                            "data/big.pak.moravo-delta", "sub/X.Moravo-Resume", "CheckList.Serial",
                            "Checklist.HandOff", "checklist.JOB", "checklist.previous/MoravoTown.exe",
                            "Checklist.Started", "data/ABCDEF~1.DAT", "PROGRA~1/x.dll"})
        EXPECT_NE(manifestPathProblem(bad), nullptr) << bad;
    for (const std::string& bad :
         {std::string(""), std::string("/etc/passwd"), std::string("C:/Windows/x.dll"), std::string("c:x"),
          std::string("../up"), std::string("a/../../up"), std::string("a/.."), std::string("./a"),
          std::string("a/./b"), std::string("a//b"), std::string("a/"), std::string("a\\..\\b"),
          std::string("a\\b"), std::string("a\nb"), std::string("a\tb"), std::string("a\x7f"),
          std::string("a\0b", 3), std::string(".."), std::string(".")})
        EXPECT_FALSE(isSafeManifestPath(bad)) << bad;
    // Each with its own reason: a colon (a drive letter too) or a character
    // Windows forbids is a name Windows cannot hold, not a way out.
    const std::pair<const char*, PathProblemKind> reasons[] = {
        {"c:x", PathProblemKind::windowsName},
        {"a:b", PathProblemKind::windowsName},
        {"a\\b", PathProblemKind::windowsName},
        {"a\tb", PathProblemKind::windowsName},
        {"a\\..\\b", PathProblemKind::leavesInstallation},
        {"\\x", PathProblemKind::leavesInstallation},
        {"/etc/x", PathProblemKind::leavesInstallation},
        {"x.moravo-part", PathProblemKind::workingName},
        {"ok.txt", PathProblemKind::none}};
    for (const auto& [path, expected] : reasons) {
        PathProblemKind kind = PathProblemKind::none;
        manifestPathProblem(path, &kind);
        EXPECT_EQ(kind, expected) << path;
    }
}

TEST(UpdateLocation, HostPortAndBasePath) {
    UpdateLocation l = parseUpdateLocation("updates.example:8080/beta");
    EXPECT_EQ(l.host, "updates.example");
    EXPECT_EQ(l.port, 8080);
    EXPECT_EQ(l.basePath, "/beta");

    l = parseUpdateLocation("updates.example");
    EXPECT_EQ(l.host, "updates.example");
    EXPECT_EQ(l.port, 80);
    EXPECT_EQ(l.basePath, "");

    l = parseUpdateLocation("h/a/b");
    EXPECT_EQ(l.host, "h");
    EXPECT_EQ(l.port, 80);
    EXPECT_EQ(l.basePath, "/a/b");

    // A colon inside the path is no port.
    l = parseUpdateLocation("h/files:v2");
    EXPECT_EQ(l.host, "h");
    EXPECT_EQ(l.port, 80);
    EXPECT_EQ(l.basePath, "/files:v2");

    EXPECT_EQ(parseUpdateLocation("h:99999/x").port, 0);
    EXPECT_EQ(parseUpdateLocation("h:81").basePath, "");
}

// A relocation line may name a folder below the location in use, or a path
// on its server, without the server's address; any other line stands alone.
TEST(UpdateLocation, RelocationRelativeToTheLocationInUse) {
    const UpdateLocation from = parseUpdateLocation("h:8080/updates");
    UpdateLocation l = relocatedUpdateLocation(from, "./versions/7");
    EXPECT_EQ(l.host, "h");
    EXPECT_EQ(l.port, 8080);
    EXPECT_EQ(l.basePath, "/updates/versions/7");
    EXPECT_EQ(relocatedUpdateLocation(parseUpdateLocation("h"), "./v/2/").basePath, "/v/2");
    l = relocatedUpdateLocation(from, "/elsewhere");
    EXPECT_EQ(l.port, 8080);
    EXPECT_EQ(l.basePath, "/elsewhere");
    EXPECT_EQ(relocatedUpdateLocation(from, "./").basePath, "/updates");
    l = relocatedUpdateLocation(from, "mirror:81/m");
    EXPECT_EQ(l.host, "mirror");
    EXPECT_EQ(l.port, 81);
    EXPECT_EQ(l.basePath, "/m");
}

TEST(ExcludeLines, TrimmedNonEmptyLinesUpToTheirLimit) {
    std::istringstream in("  *.bak \r\n\n\t\nsaves/slot1.dat\n" + std::string(300, 'x') + "\nlast");
    std::vector<std::string> lines = readExcludeLines(in);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "*.bak");
    EXPECT_EQ(lines[1], "saves/slot1.dat");
    EXPECT_EQ(lines[2], std::string(255, 'x'));
    EXPECT_EQ(lines[3], "last");
}

TEST(UpdateTexts, StageAndErrorTextsAsThePlayerSeesThem) {
    EXPECT_STREQ(stageText(1), "Obteniendo la lista de archivos...");
    EXPECT_STREQ(stageText(3), "Recogiendo datos de la instalación...");
    EXPECT_STREQ(stageText(6), "Iniciando el proceso de actualización...");
    EXPECT_EQ(stageText(0), nullptr);
    EXPECT_EQ(stageText(7), nullptr);

    const std::string file = ".../skin/panel.png";
    EXPECT_EQ(*errorText(0x20, file), "Error leyendo .../skin/panel.png");
    EXPECT_EQ(*errorText(224, file), "Error al descargar archivo .../skin/panel.png");
    EXPECT_EQ(*errorText(240, file), "Error leyendo informacion de actualización.");
    EXPECT_EQ(*errorText(4096, file), "Error de conexión. Inténtelo más tarde.");
    EXPECT_EQ(*errorText(3840, file), "Cancelando la actualización...");
    EXPECT_EQ(*errorText(0x1400, file), "Error comprimiendo .../skin/panel.png");
    EXPECT_EQ(*errorText(0x801, file), "Error descomprimiendo .../skin/panel.png");
    EXPECT_EQ(*errorText(2245, file), "Error descomprimiendo .../skin/panel.png");
    EXPECT_EQ(*errorText(7, file), "Error de procedimiento: 7");
    EXPECT_EQ(*errorText(16386, file), "Error de procedimiento: 16386");
    EXPECT_FALSE(errorText(0x50, file).has_value());
    EXPECT_FALSE(errorOffersRetry(0x50));
    EXPECT_FALSE(errorOffersRetry(3840));
    EXPECT_TRUE(errorOffersRetry(224));

    EXPECT_EQ(fileDescription("res/skin/panel.png"), ".../skin/panel.png");
    EXPECT_EQ(fileDescription("res/panel.png"), "...res/panel.png");
    EXPECT_EQ(fileDescription("panel.png"), "...panel.png");
    EXPECT_EQ(scanProgressText(42), "42% - Comprobando instalación.");
}
