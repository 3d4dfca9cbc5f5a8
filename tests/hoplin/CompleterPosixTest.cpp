// hoplin on POSIX systems: links in the installation, the program under its
// POSIX names, and a run killed between its steps (the Windows program has
// its own suite).
#include "hoplin/Completer.h"
#include "install/SelfUpdateJob.h"
#include "tests/common/Child.h"
#include "tests/hoplin/Scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace hoplintest;

TEST(Hoplin, OnlyRegularFilesMoveAndNeverThroughALinkOutOfTheDirectory) {
    Scratch dir;
    char outsideName[] = "/tmp/moravo-hoplin-out-XXXXXX";
    ASSERT_NE(mkdtemp(outsideName), nullptr);
    const std::string outside = outsideName;
    writeFile(outside + "/victim.txt", "precious");
    writeFile("tmp/res/skin.png", "staged");
    writeFile("tmp/plain.txt", "fine");
    fs::create_directory_symlink(outside, "res");
    fs::create_symlink(outside + "/victim.txt", "tmp/evil-link");
    fs::create_directory_symlink(outside, "tmp/evil-dir");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
    EXPECT_EQ(readFile(outside + "/victim.txt"), "precious");
    EXPECT_FALSE(fs::exists(outside + "/skin.png"));
    EXPECT_EQ(readFile("tmp/res/skin.png"), "staged");
    EXPECT_EQ(readFile("plain.txt"), "fine");
    EXPECT_FALSE(fs::exists("evil-link"));
    EXPECT_FALSE(fs::exists("evil-dir"));
    const std::string log = logText();
    EXPECT_NE(log.find("2 Arcvhivos en tmp\n"), std::string::npos);
    EXPECT_NE(log.find("#--Destino rechazado res/skin.png\n"), std::string::npos);
    fs::remove_all(outside);

    // A staging folder that is itself a link hands over nothing.
    Scratch second;
    char elsewhere[] = "/tmp/moravo-hoplin-out-XXXXXX";
    ASSERT_NE(mkdtemp(elsewhere), nullptr);
    writeFile(std::string(elsewhere) + "/stolen.txt", "x");
    fs::create_directory_symlink(elsewhere, "tmp");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
    EXPECT_TRUE(fs::exists(std::string(elsewhere) + "/stolen.txt"));
    EXPECT_NE(logText().find("0 Arcvhivos en tmp\n"), std::string::npos);
    fs::remove_all(elsewhere);
}

TEST(Hoplin, TheProgramMovesTheFilesThenBecomesTheLauncherWithDashN) {
    // The real program in a child process: no arguments, so "tmp" and
    // "launcher.exe"; the launcher here records the words it was given.
    Scratch dir;
    fs::copy_file(RECORD_WORDS_EXE, "launcher.exe");
    writeFile("tmp/data/new.txt", "moved");
    testkit::Child child;
    ASSERT_TRUE(child.start(HOPLIN_EXE, {}, {}, dir.path()));
    EXPECT_EQ(child.wait(10000), 0);
    EXPECT_EQ(readFile("words.txt"), "launcher.exe\n-n\n");
    EXPECT_EQ(readFile("data/new.txt"), "moved");

    // The launcher's own path, in quotes as the launcher passes it.
    fs::rename("launcher.exe", "MoravoTown");
    fs::remove("words.txt");
    testkit::Child named;
    ASSERT_TRUE(named.start(HOPLIN_EXE, {"\"" + dir.path() + "/MoravoTown\"", "\"tmp\""}, {}, dir.path()));
    EXPECT_EQ(named.wait(10000), 0);
    EXPECT_EQ(readFile("words.txt"), dir.path() + "/MoravoTown\n-n\n");
    EXPECT_NE(logText().find("lanzando \"" + dir.path() + "/MoravoTown\"\n"), std::string::npos);

    // A launcher that cannot be started (a bare name is never looked for
    // along PATH): hoplin says why in its log (and on standard error) and
    // ends with 1.
    writeFile("plain", "not a program");
    for (const auto& [program, why] :
         {std::pair<std::string, std::string>{"no-such-launcher", std::strerror(ENOENT)},
          {"sh", std::strerror(ENOENT)},
          {"./plain", std::strerror(EACCES)}}) {
        testkit::Child failed;
        ASSERT_TRUE(failed.start(HOPLIN_EXE, {program}, {}, dir.path()));
        EXPECT_EQ(failed.wait(10000), 1) << program;
        EXPECT_NE(logText().find("#--Error lanzando \"" + program + "\": " + why + "\n"), std::string::npos)
            << logText();
    }
}

// [mend] Each file replaces the installed one in a single step: killed at any
// moment, hoplin leaves every installed file old or new, never missing, and
// a second run completes the update, which can still be undone as a whole.
// The moved file keeps the staged file's permissions.
TEST(Hoplin, KilledBetweenItsStepsItLeavesEveryInstalledFileOldOrNew) {
    const std::map<std::string, std::pair<std::string, std::string>> files = {
        {"MoravoTown", {"old launcher", "new launcher"}}, {"res/arialbd.ttf", {"old font", "new font"}}};
    auto oldOrNew = [&](const std::string& path) {
        const std::string now = readFile(path);
        return now == files.at(path).first || now == files.at(path).second;
    };
    for (int killAt = 1; killAt <= 2; ++killAt) {
        Scratch dir;
        for (const auto& [path, versions] : files) {
            writeFile(path, versions.first);
            writeFile("tmp/" + path, versions.second);
        }
        fs::permissions("tmp/MoravoTown", fs::perms(0750));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            hoplin::completeUpdate(
                hoplin::Settings(), nullptr, [](uint32_t) {}, [] { raise(SIGSTOP); });
            _exit(0);
        }
        for (int stop = 1;; ++stop) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
            ASSERT_TRUE(WIFSTOPPED(status));
            for (const auto& [path, versions] : files)
                EXPECT_TRUE(oldOrNew(path)) << path << " at stop " << stop;
            if (stop == killAt) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
            kill(child, SIGCONT);
        }
        for (const auto& [path, versions] : files)
            EXPECT_TRUE(oldOrNew(path)) << path << " after a kill at " << killAt;
        hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
        for (const auto& [path, versions] : files)
            EXPECT_EQ(readFile(path), versions.second);
        EXPECT_EQ(fs::status("MoravoTown").permissions() & fs::perms::all, fs::perms(0750));
        // The job of both runs can still be undone: the copies are the
        // files from before the first run, whatever the second one found.
        SelfUpdateJob job;
        ASSERT_TRUE(readSelfUpdateJob(".", job));
        EXPECT_EQ(job.stage, JobStage::moving);
        EXPECT_EQ(job.files.size(), files.size());
        for (const auto& [path, versions] : files) {
            ASSERT_NE(job.find(path), nullptr) << path;
            EXPECT_TRUE(job.find(path)->hadPrevious);
            EXPECT_EQ(readFile(previousCopyPath(".", path)), versions.first) << path;
        }
    }
}
