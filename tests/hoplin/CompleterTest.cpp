// hoplin: the moves with their retries, the log line by line, and the start
// of the launcher with "-n".
#include "hoplin/Completer.h"
#include "install/InstallationLock.h"
#include "net/Md5.h"
#include "platform/FileSync.h"
#include "tests/hoplin/Scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace hoplintest;

TEST(Hoplin, TwoStagedFilesAreMovedAndLogged) {
    Scratch dir;
    writeFile("tmp/launcher.exe", "new launcher");
    writeFile("tmp/SDL.dll", "new library");
    writeFile("launcher.exe", "old launcher");
    writeFile("SDL.dll", "old library");
    std::vector<uint32_t> pauses;
    hoplin::Settings settings;
    settings.program = "/opt/game/launcher.exe";
    std::FILE* console = std::tmpfile();
    EXPECT_EQ(hoplin::completeUpdate(settings, console, [&](uint32_t ms) { pauses.push_back(ms); }), 2);
    EXPECT_EQ(logText(), "Iniciando HOPLINDATE\n"
                         "2 Arcvhivos en tmp\n"
                         "Borrado SDL.dll\n"
                         "Moviendo tmp/SDL.dll a SDL.dll\n"
                         "Borrado launcher.exe\n"
                         "Moviendo tmp/launcher.exe a launcher.exe\n"
                         "lanzando \"/opt/game/launcher.exe\"\n"
                         "Finalizado HOPLINDATE\n");
    EXPECT_EQ(readFile("launcher.exe"), "new launcher");
    EXPECT_EQ(readFile("SDL.dll"), "new library");
    EXPECT_TRUE(pauses.empty());
    // The staging folder stays, empty.
    EXPECT_TRUE(fs::is_directory("tmp"));
    EXPECT_TRUE(fs::is_empty("tmp"));
    std::rewind(console);
    char line[64] = {};
    EXPECT_NE(std::fgets(line, sizeof line, console), nullptr);
    EXPECT_STREQ(line, "Completando la Actualizacion\n");
    std::fclose(console);
}

TEST(Hoplin, AStagedFileWithoutAnInstalledCopyAndAMissingFolder) {
    Scratch dir;
    writeFile("tmp/res/new/arialbd.ttf", "font");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no pause expected"; });
    EXPECT_EQ(logText(), "Iniciando HOPLINDATE\n"
                         "1 Arcvhivos en tmp\n"
                         "#--Error Borrando res/new/arialbd.ttf " +
                             enoent() +
                             " Reintento - 0\n"
                             "Moviendo tmp/res/new/arialbd.ttf a res/new/arialbd.ttf\n"
                             "lanzando \"launcher.exe\"\n"
                             "Finalizado HOPLINDATE\n");
    EXPECT_EQ(readFile("res/new/arialbd.ttf"), "font");
}

TEST(Hoplin, ADestinationHeldForTwoAndAHalfSecondsIsReplacedOnAttemptThree) {
    Scratch dir;
    writeFile("tmp/launcher.exe", "new");
    block("launcher.exe");
    // The pauses stand for the clock: the destination is freed during the
    // third one, 2.5 s after the first attempt.
    std::vector<uint32_t> pauses;
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [&](uint32_t ms) {
        pauses.push_back(ms);
        if (pauses.size() == 3)
            fs::remove_all("launcher.exe");
    });
    EXPECT_EQ(pauses, (std::vector<uint32_t>{1000, 1000, 1000}));
    EXPECT_EQ(readFile("launcher.exe"), "new");
    std::istringstream log(logText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u + 3 * 2 + 2 + 2u);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string retry = " Reintento - " + std::to_string(attempt);
        EXPECT_EQ(lines[2 + attempt * 2].rfind("#--Error Borrando launcher.exe ", 0), 0u) << attempt;
        EXPECT_EQ(lines[2 + attempt * 2].substr(lines[2 + attempt * 2].size() - retry.size()), retry);
        EXPECT_EQ(lines[3 + attempt * 2].rfind("#--Error Moviendo tmp/launcher.exe a launcher.exe ", 0), 0u);
        EXPECT_EQ(lines[3 + attempt * 2].substr(lines[3 + attempt * 2].size() - retry.size()), retry);
    }
    EXPECT_EQ(lines[8], "#--Error Borrando launcher.exe " + enoent() + " Reintento - 3");
    EXPECT_EQ(lines[9], "Moviendo tmp/launcher.exe a launcher.exe");
}

TEST(Hoplin, AFileThatCannotBeMovedInFiveAttemptsStaysStagedAndTheRestGoesOn) {
    Scratch dir;
    writeFile("checklist.txt", Md5::hex("new a") + " 5 0 a.dll\n" + Md5::hex("new b") + " 5 0 b.dll\n" +
                                   Md5::hex("c") + " 1 0 c.dat\n");
    writeFile("tmp/a.dll", "new a");
    writeFile("tmp/b.dll", "new b");
    block("a.dll");
    std::vector<uint32_t> pauses;
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [&](uint32_t ms) { pauses.push_back(ms); }),
              1);
    EXPECT_EQ(pauses, std::vector<uint32_t>(4, 1000)); // five attempts, a second apart
    const std::string log = logText();
    EXPECT_NE(log.find("Reintento - 4\n"), std::string::npos);
    EXPECT_EQ(log.find("Reintento - 5"), std::string::npos);
    EXPECT_EQ(readFile("tmp/a.dll"), "new a");
    EXPECT_EQ(readFile("b.dll"), "new b");
    EXPECT_NE(log.find("lanzando"), std::string::npos);
    EXPECT_EQ(readFile("checklist.txt"), Md5::hex("new b") + " 5 0 b.dll\n" + Md5::hex("c") + " 1 0 c.dat\n")
        << "the file left behind is fetched again by the next update";
}

TEST(Hoplin, ASignedInstallationMovesOnlyTheStagedFilesThatMatchTheLocalManifest) {
    Scratch dir;
    const auto line = [](const std::string& bytes, const std::string& path, size_t size) {
        return Md5::hex(bytes) + " " + std::to_string(size) + " 0 " + path + "\n";
    };
    // What the updater verified and listed, and what lies staged now: one
    // file as listed, one swapped since, one of the wrong size, one unlisted.
    writeFile("checklist.txt", line("new launcher", "MoravoTown", 12) + line("new library", "SDL.dll", 11) +
                                   line("font", "res/arialbd.ttf", 99) + line("data", "data.pak", 4));
    writeFile("checklist.serial", "1700000000\n");
    writeFile("tmp/MoravoTown", "new launcher");
    writeFile("tmp/SDL.dll", "evil library");
    writeFile("tmp/res/arialbd.ttf", "font");
    writeFile("tmp/unlisted.dll", "who put this here");
    writeFile("SDL.dll", "old library");
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no retry"; }), 1);
    EXPECT_EQ(logText(), "Iniciando HOPLINDATE\n"
                         "4 Arcvhivos en tmp\n"
                         "#--Error Borrando MoravoTown " +
                             enoent() +
                             " Reintento - 0\n"
                             "Moviendo tmp/MoravoTown a MoravoTown\n"
                             "#--Error Verificando SDL.dll\n"
                             "#--Error Verificando res/arialbd.ttf\n"
                             "#--Error Verificando unlisted.dll\n"
                             "lanzando \"launcher.exe\"\n"
                             "Finalizado HOPLINDATE\n");
    EXPECT_EQ(readFile("MoravoTown"), "new launcher");
    EXPECT_EQ(readFile("SDL.dll"), "old library");
    EXPECT_EQ(readFile("tmp/SDL.dll"), "evil library");
    EXPECT_EQ(readFile("tmp/res/arialbd.ttf"), "font");
    EXPECT_FALSE(fs::exists("res"));
    EXPECT_EQ(readFile("tmp/unlisted.dll"), "who put this here");
    EXPECT_EQ(readFile("checklist.txt"), line("new launcher", "MoravoTown", 12) + line("data", "data.pak", 4))
        << "the refused files are fetched again by the next update";

    // Without a local manifest nothing staged can be shown to be the
    // updater's: nothing moves.
    fs::remove("checklist.txt");
    writeFile("tmp/MoravoTown", "new launcher");
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 0);
    EXPECT_NE(logText().find("#--Error Verificando MoravoTown\n"), std::string::npos);
}

TEST(Hoplin, TheInstallationLockIsWaitedForAndWhileAnotherHoldsItNothingMoves) {
    Scratch dir;
    const std::string manifest = Md5::hex("new") + " 3 0 launcher.exe\n";
    writeFile("checklist.txt", manifest);
    writeFile("tmp/launcher.exe", "new");
    // The launcher that handed over, still ending, or another updater.
    platform::FileLock::Status status = platform::FileLock::Status::unavailable;
    std::unique_ptr<platform::FileLock> other = lockInstallation(".", status);
    ASSERT_EQ(status, platform::FileLock::Status::held);
    std::vector<uint32_t> pauses;
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr,
                                     [&](uint32_t ms) {
                                         pauses.push_back(ms);
                                         if (pauses.size() == 2)
                                             other.reset();
                                     }),
              1);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{1000, 1000}));
    EXPECT_EQ(readFile("launcher.exe"), "new");
    EXPECT_NE(logText().find("1 Arcvhivos en tmp\n"
                             "#--Error Bloqueando checklist.lock Reintento - 0\n"
                             "#--Error Bloqueando checklist.lock Reintento - 1\n"
                             "#--Error Borrando launcher.exe"),
              std::string::npos)
        << logText();

    // Held for good: five attempts, and neither the files nor the manifest
    // of the updater at work are touched.
    writeFile("tmp/launcher.exe", "newer");
    other = lockInstallation(".", status);
    ASSERT_EQ(status, platform::FileLock::Status::held);
    pauses.clear();
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [&](uint32_t ms) { pauses.push_back(ms); }),
              0);
    EXPECT_EQ(pauses, std::vector<uint32_t>(4, 1000));
    EXPECT_EQ(readFile("tmp/launcher.exe"), "newer");
    EXPECT_EQ(readFile("launcher.exe"), "new");
    EXPECT_EQ(readFile("checklist.txt"), manifest);
    EXPECT_NE(logText().find("Reintento - 4\nlanzando \"launcher.exe\"\n"), std::string::npos) << logText();
}

// [mend] Windows refuses to replace a read-only file: the launcher's own
// program, made read-only by its player, was never updated.
TEST(Hoplin, AReadOnlyInstalledFileIsReplacedAndStaysReadOnly) {
    Scratch dir;
    // The updater gave the staged file the installed one's access.
    writeFile("launcher.exe", "old", 0444);
    writeFile("tmp/launcher.exe", "new", 0444);
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no retry"; }), 1);
    EXPECT_EQ(readFile("launcher.exe"), "new");
    EXPECT_EQ(fs::status("launcher.exe").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_FALSE(fs::exists("tmp/launcher.exe"));
    fs::permissions("launcher.exe", fs::perms::owner_write, fs::perm_options::add);
}

TEST(Hoplin, TheMovedNamesReachTheDiskBeforeTheLauncherStarts) {
    Scratch dir;
    writeFile("tmp/launcher.exe", "new");
    writeFile("tmp/res/new/arialbd.ttf", "font");
    std::vector<std::string> folders;
    platform::fileSyncObserver() = [&](const std::string&, const std::vector<std::string>& files,
                                       const std::vector<std::string>& changed) {
        EXPECT_TRUE(files.empty()) << "the updater flushed the contents";
        folders = changed;
    };
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 2);
    platform::fileSyncObserver() = nullptr;
    std::sort(folders.begin(), folders.end());
    // Both ends of each move, and the parents of the folders made.
    EXPECT_EQ(folders, (std::vector<std::string>{".", "res", "res/new", "tmp", "tmp/res/new"}));
}

// A current folder near the limit of Windows' paths and the installation's
// relative paths beyond it, as an installation deep in a player's folders
// gives.
TEST(Hoplin, FilesBeyondThe260CharactersOfWindowsPathsAreMoved) {
    Scratch dir;
    std::string deep = dir.path();
    while (deep.size() < 230) {
        deep += "/carpeta" + std::to_string(deep.size() % 10);
        ASSERT_TRUE(platform::makeDirectory(deep));
    }
    testkit::ScopedDirectory inside(deep);
    const std::string path = "res/" + std::string(60, 'r') + "/" + std::string(60, 'f') + ".dat";
    ASSERT_GT(deep.size() + 1 + path.size(), 260u);
    writeFile("tmp/" + path, "staged");
    writeFile(path, "installed");
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no retry"; }), 1);
    EXPECT_EQ(readFile(path), "staged");
    EXPECT_EQ(platform::fileKind("tmp/" + path), platform::FileKind::missing);
    EXPECT_NE(logText().find("Moviendo tmp/" + path + " a " + path + "\n"), std::string::npos);
}

TEST(Hoplin, SettingsDefaultsAndQuotedWords) {
    hoplin::Settings s = hoplin::readSettings({"hoplin"});
    EXPECT_EQ(s.program, "launcher.exe");
    EXPECT_EQ(s.staging, "tmp");
    s = hoplin::readSettings({"hoplin", "\"/opt/game/MoravoTown\"", "\"tmp\""});
    EXPECT_EQ(s.program, "/opt/game/MoravoTown");
    EXPECT_EQ(s.staging, "tmp");
    s = hoplin::readSettings({"hoplin", "./MoravoTown", "stage dir"});
    EXPECT_EQ(s.program, "./MoravoTown");
    EXPECT_EQ(s.staging, "stage dir");

    // No staging folder at all: nothing to move, straight to the launch.
    Scratch dir;
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 0);
    EXPECT_EQ(logText(), "Iniciando HOPLINDATE\n0 Arcvhivos en tmp\nlanzando \"launcher.exe\"\n"
                         "Finalizado HOPLINDATE\n");
}

// A link planted at the log is replaced, never written through.
TEST(Hoplin, ALinkPlantedAtTheLogIsNeverWrittenThrough) {
    for (testkit::PlantedLink kind : testkit::plantableLinks()) {
        Scratch dir;
        writeFile("victim", "not the log");
        testkit::plantLink(kind, "victim", "hoplin.log");
        writeFile("tmp/launcher.exe", "new launcher");
        EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 1);
        EXPECT_EQ(readFile("victim"), "not the log");
        EXPECT_EQ(logText().compare(0, 20, "Iniciando HOPLINDATE"), 0);
    }
}
