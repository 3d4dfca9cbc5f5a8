// hoplin watching the first start of the launcher it put in place, as the
// program runs on each system: a new launcher that confirms, one that
// cannot start and is undone, and a job left by a hoplin that was killed.
#include "install/Manifest.h"
#include "install/SelfUpdateJob.h"
#include "net/Md5.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "tests/hoplin/Scratch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace hoplintest;

namespace {

// Runs hoplin.exe in the scratch folder with no words ("launcher.exe",
// "tmp") and waits for the launcher it starts in the end to write its
// words: on Windows hoplin may end before that.
std::string runHoplin(const Scratch& dir) {
    platform::ChildProcess hoplin;
    platform::ChildOptions options;
    options.directory = dir.path();
    if (!hoplin.start(HOPLIN_EXE, {}, options))
        return "not started";
    EXPECT_EQ(hoplin.wait(60000), 0) << logText();
    const uint32_t start = platform::milliseconds();
    while (readFile("words.txt").empty() && platform::milliseconds() - start < 20000)
        platform::sleepMilliseconds(50);
    return readFile("words.txt");
}

std::string entry(const std::string& bytes, const std::string& path) {
    return Md5::hex(bytes) + " " + std::to_string(bytes.size()) + " 0 " + path + "\n";
}

void expectReverted(const std::string& log, const std::string& previousLauncher) {
    EXPECT_EQ(readFile("launcher.exe"), previousLauncher) << "the previous launcher is back";
    EXPECT_FALSE(fs::exists(previousFilesFolderName));
    SelfUpdateJob job;
    ASSERT_TRUE(readSelfUpdateJob(".", job)) << "kept for the launcher to tell the player";
    EXPECT_EQ(job.stage, JobStage::reverted);
    EXPECT_TRUE(job.files.empty());
    EXPECT_NE(log.find("Deshaciendo la actualizacion: el lanzador nuevo no se inicio\n"
                       "Restaurado launcher.exe\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("lanzando \"launcher.exe\" anterior\n"), std::string::npos) << log;
}

} // namespace

TEST(HoplinFirstStart, ANewLauncherThatConfirmsKeepsItsFilesAndTheCopiesGo) {
    Scratch dir;
    writeFile("launcher.exe", "the old launcher");
    fs::create_directories("tmp");
    fs::copy_file(RECORD_WORDS_EXE, "tmp/launcher.exe");
    EXPECT_EQ(runHoplin(dir), "launcher.exe\n-n\n");
    EXPECT_EQ(readFile("launcher.exe"), readFile(RECORD_WORDS_EXE));
    EXPECT_FALSE(fs::exists(selfUpdateJobFileName));
    EXPECT_FALSE(fs::exists(previousFilesFolderName));
    EXPECT_FALSE(fs::exists(startedFileName));
    const std::string log = logText();
    EXPECT_NE(log.find("Finalizado HOPLINDATE\n"
                       "Iniciando \"launcher.exe\" Intento - 1\n"
                       "Confirmado \"launcher.exe\"\n"),
              std::string::npos)
        << log;
}

TEST(HoplinFirstStart, ANewLauncherThatCrashesTwiceIsUndoneAndThePreviousOneStartsWithN) {
    Scratch dir;
    fs::copy_file(RECORD_WORDS_EXE, "launcher.exe");
    const std::string previous = readFile("launcher.exe");
    fs::create_directories("tmp/res");
    fs::copy_file(CRASH_AT_START_EXE, "tmp/launcher.exe");
    writeFile("tmp/res/new.dat", "a file the update adds");
    const std::string crasher = readFile("tmp/launcher.exe");
    writeFile("checklist.txt", entry("data", "data.pak") + entry(crasher, "launcher.exe") +
                                   entry("a file the update adds", "res/new.dat"));
    EXPECT_EQ(runHoplin(dir), "launcher.exe\n-n\n");
    EXPECT_EQ(readFile("crashes.txt"), "crash\ncrash\n") << "two starts";
    EXPECT_FALSE(fs::exists("res/new.dat"));
    EXPECT_EQ(readFile("checklist.txt"), entry("data", "data.pak"))
        << "the next update fetches the launcher's files again";
    const std::string log = logText();
    for (int attempt = 1; attempt <= 2; ++attempt)
        EXPECT_NE(log.find("#--Terminado sin confirmar \"launcher.exe\" codigo 3 Intento - " +
                           std::to_string(attempt) + "\n"),
                  std::string::npos)
            << log;
    EXPECT_NE(log.find("Quitado res/new.dat\n"), std::string::npos) << log;
    expectReverted(log, previous);
}

// hoplin was killed while it watched the first start (on Windows, the player
// closed its console): the next run counts that start and goes on.
TEST(HoplinFirstStart, AJobLeftByAKilledHoplinIsTakenUpByTheNextRun) {
    Scratch dir;
    fs::copy_file(CRASH_AT_START_EXE, "launcher.exe");
    fs::create_directories(previousFilesFolderName);
    fs::copy_file(RECORD_WORDS_EXE, std::string(previousFilesFolderName) + "/launcher.exe");
    SelfUpdateJob job;
    job.stage = JobStage::starting;
    job.starts = 1;
    job.token = "of-the-killed-run";
    job.files = {JobFile{"launcher.exe", true}};
    ASSERT_TRUE(writeSelfUpdateJob(".", job));
    EXPECT_EQ(runHoplin(dir), "launcher.exe\n-n\n");
    EXPECT_EQ(readFile("crashes.txt"), "crash\n") << "one start left";
    const std::string log = logText();
    EXPECT_NE(log.find("0 Arcvhivos en tmp\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Iniciando \"launcher.exe\" Intento - 2\n"), std::string::npos) << log;
    expectReverted(log, readFile(RECORD_WORDS_EXE));
}
