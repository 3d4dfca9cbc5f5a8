#include "platform/Process.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

// A program that writes the file it was started from (a script sees its
// path, not argument zero) and then each of its words, one a line, to
// "words.txt" in the current directory.
const char* const kRecorder =
    "#!/bin/sh\n"
    "{ printf '%s\\n' \"$0\"; for w in \"$@\"; do printf '%s\\n' \"$w\"; done; } > words.txt\n";

struct Folders {
    testkit::TempDir temp;
    std::string work = temp / "work";
    std::string bin = temp / "bin";
    Folders() {
        testkit::writeFile(work + "/.keep", "");
        testkit::writeFile(bin + "/hoplin", kRecorder, 0755);
    }
};

// Runs `body` in a forked child in `directory` and answers the child's exit
// status; the child never returns into the test framework.
template <typename Body> int inChild(const std::string& directory, Body body) {
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(directory.c_str()) != 0)
            _exit(98);
        body();
        _exit(99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(FindProgram, CurrentDirectoryBeforePathAndPathsAsTheyStand) {
    Folders f;
    testkit::ScopedEnv path("PATH", ("/nonexistent:" + f.bin).c_str());
    testkit::ScopedDirectory here(f.work);
    EXPECT_EQ(findProgram("hoplin"), f.bin + "/hoplin");
    EXPECT_EQ(findOnPath("hoplin"), f.bin + "/hoplin");
    EXPECT_EQ(localProgram("hoplin"), "") << "a hand-off never takes a program from PATH";

    testkit::writeFile(f.work + "/hoplin", kRecorder, 0755);
    EXPECT_EQ(findProgram("hoplin"), "./hoplin");
    EXPECT_EQ(localProgram("hoplin"), "./hoplin");
    EXPECT_EQ(findOnPath("hoplin"), f.bin + "/hoplin") << "a shell lookup skips the current directory";

    testkit::writeFile(f.work + "/notes", "not a program", 0644);
    EXPECT_EQ(findProgram("notes"), "");
    EXPECT_EQ(findProgram(f.bin + "/hoplin"), f.bin + "/hoplin");
    EXPECT_EQ(findProgram(f.bin + "/missing"), "");
    EXPECT_EQ(findProgram(""), "");
}

TEST(ReplaceProcess, RunsTheCurrentDirectoryCopyWithTheWordsUnquoted) {
    Folders f;
    testkit::writeFile(f.work + "/hoplin", kRecorder, 0755);
    testkit::ScopedEnv path("PATH", f.bin.c_str());
    int status = inChild(f.work, [] {
        replaceProcess("hoplin", {"/opt/Moravo Town/MoravoTown", "tmp", "say \"hi\""});
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testkit::readFile(f.work + "/words.txt"),
              "./hoplin\n/opt/Moravo Town/MoravoTown\ntmp\nsay \"hi\"\n");
}

TEST(ReplaceProcess, FlushesBufferedOutputFirst) {
    Folders f;
    testkit::writeFile(f.work + "/hoplin", kRecorder, 0755);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    int status = inChild(f.work, [&] {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        fputs("Completando la Actualizacion\n", stdout); // fully buffered on a pipe
        replaceProcess("hoplin", {"./MoravoTown", "-n"});
    });
    close(pipeEnds[1]);
    char buffer[128] = {};
    ssize_t got = read(pipeEnds[0], buffer, sizeof buffer - 1);
    close(pipeEnds[0]);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "Completando la Actualizacion\n");
    EXPECT_EQ(testkit::readFile(f.work + "/words.txt"), "./hoplin\n./MoravoTown\n-n\n");
}

// [mend] A bare name was once looked for along PATH when the current
// directory had none: another program of that name could be started.
TEST(ReplaceProcess, AnswersFalseWithTheReasonWhenNothingCanBeRun) {
    Folders f;
    testkit::ScopedEnv path("PATH", f.bin.c_str());
    testkit::ScopedDirectory here(f.work);
    StartFailure failure;
    EXPECT_FALSE(replaceProcess("hoplin", {"x"}, &failure)) << "only on PATH";
    EXPECT_EQ(failure.problem, StartProblem::missing);
    EXPECT_EQ(failure.code, ENOENT);
    EXPECT_FALSE(failure.text.empty());

    testkit::writeFile(f.work + "/notes", "not a program", 0644);
    EXPECT_FALSE(replaceProcess("notes", {}, &failure));
    EXPECT_EQ(failure.problem, StartProblem::accessDenied);
    testkit::writeFile(f.work + "/garbage",
                       "\x7f"
                       "ELF and nothing more",
                       0755);
    EXPECT_FALSE(replaceProcess("./garbage", {}, &failure));
    EXPECT_EQ(failure.problem, StartProblem::notAProgram);
    EXPECT_FALSE(replaceProcess(f.work, {}, &failure)) << "a folder";
    EXPECT_EQ(failure.problem, StartProblem::accessDenied);
}

// Nothing the process opened crosses an exec or a start but the standard
// files: a descriptor left inheritable (as one opened without O_CLOEXEC by
// any library is) does not reach the program.
TEST(ReplaceProcess, OnlyTheStandardFilesReachTheNextProgram) {
    Folders f;
    constexpr int kStray = 50;
    testkit::writeFile(f.work + "/probe",
                       "#!/bin/sh\nif [ -e /proc/$$/fd/50 ]; then echo open; else echo closed; fi > fd.txt\n",
                       0755);
    const int file = open((f.work + "/probe").c_str(), O_RDONLY);
    ASSERT_GE(file, 0);
    ASSERT_EQ(dup2(file, kStray), kStray);
    close(file);

    EXPECT_EQ(inChild(f.work, [] { replaceProcess("probe", {}); }), 0);
    EXPECT_EQ(testkit::readFile(f.work + "/fd.txt"), "closed\n");
    EXPECT_NE(fcntl(kStray, F_GETFD), -1) << "still open here";

    testkit::ScopedDirectory here(f.work);
    std::remove("fd.txt");
    EXPECT_EQ(runAndWait("./probe", {}), 0);
    EXPECT_EQ(testkit::readFile(f.work + "/fd.txt"), "closed\n");
    close(kStray);
}

TEST(RunAndWait, PumpsUntilTheProgramEndsAndAnswersItsStatus) {
    Folders f;
    // The program waits until the pump has run at least once.
    testkit::writeFile(f.work + "/dxsetup",
                       "#!/bin/sh\ni=0\nwhile [ ! -e pumped ]; do sleep 0.01; i=$((i+1)); [ $i -lt 500 ] || "
                       "exit 9; done\nprintf '%s|' \"$@\" > words.txt\nexit 3\n",
                       0755);
    testkit::ScopedDirectory here(f.work);
    int pumps = 0;
    int status = runAndWait(
        "dxsetup", {"a b", ""},
        [&] {
            if (pumps++ == 0)
                testkit::writeFile(f.work + "/pumped", "");
        },
        1);
    EXPECT_EQ(status, 3);
    EXPECT_GE(pumps, 1);
    EXPECT_EQ(testkit::readFile(f.work + "/words.txt"), "a b||");
}

TEST(RunAndWait, FailuresAndSignalsAreTold) {
    Folders f;
    testkit::ScopedDirectory here(f.work);
    testkit::ScopedEnv path("PATH", f.bin.c_str());
    EXPECT_EQ(runAndWait("DirectX/dxsetup.exe", {}), kRunNotStarted);
    testkit::writeFile(f.work + "/killed", "#!/bin/sh\nkill -9 $$\n", 0755);
    EXPECT_EQ(runAndWait("./killed", {}, [] {}), kRunAbnormalEnd);
    testkit::writeFile(f.work + "/quick", "#!/bin/sh\nexit 0\n", 0755);
    EXPECT_EQ(runAndWait("quick", {}), 0) << "without a pump it simply waits";
}
