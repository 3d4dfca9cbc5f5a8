// hoplin: the moves with their retries, the log line by line, and the start
// of the launcher with "-n".
#include "hoplin/Completer.h"
#include "net/Md5.h"
#include "tests/common/Xvfb.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Scratch {
public:
    Scratch() {
        char name[] = "/tmp/moravo-hoplin-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path_ = name;
        previous_ = fs::current_path().string();
        fs::current_path(path_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(path_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

void write(const std::string& path, const std::string& bytes) {
    fs::path file(path);
    if (file.has_parent_path())
        fs::create_directories(file.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string enoent() {
    return std::to_string(ENOENT);
}

// A destination that cannot be replaced: a folder holding a file, which
// neither a deletion nor a rename can take away.
void block(const std::string& path) {
    write(path + "/held", "x");
}

} // namespace

TEST(Hoplin, TwoStagedFilesAreMovedAndLogged) {
    Scratch dir;
    write("tmp/launcher.exe", "new launcher");
    write("tmp/SDL.dll", "new library");
    write("launcher.exe", "old launcher");
    write("SDL.dll", "old library");
    std::vector<uint32_t> pauses;
    hoplin::Settings settings;
    settings.program = "/opt/game/launcher.exe";
    std::FILE* console = std::tmpfile();
    EXPECT_EQ(hoplin::completeUpdate(settings, console, [&](uint32_t ms) { pauses.push_back(ms); }), 2);
    EXPECT_EQ(read("hoplin.log"), "Iniciando HOPLINDATE\n"
                                  "2 Arcvhivos en tmp\n"
                                  "Borrado SDL.dll\n"
                                  "Moviendo tmp/SDL.dll a SDL.dll\n"
                                  "Borrado launcher.exe\n"
                                  "Moviendo tmp/launcher.exe a launcher.exe\n"
                                  "lanzando \"/opt/game/launcher.exe\"\n"
                                  "Finalizado HOPLINDATE\n");
    EXPECT_EQ(read("launcher.exe"), "new launcher");
    EXPECT_EQ(read("SDL.dll"), "new library");
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
    write("tmp/res/new/arialbd.ttf", "font");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no pause expected"; });
    EXPECT_EQ(read("hoplin.log"), "Iniciando HOPLINDATE\n"
                                  "1 Arcvhivos en tmp\n"
                                  "#--Error Borrando res/new/arialbd.ttf " +
                                      enoent() +
                                      " Reintento - 0\n"
                                      "Moviendo tmp/res/new/arialbd.ttf a res/new/arialbd.ttf\n"
                                      "lanzando \"launcher.exe\"\n"
                                      "Finalizado HOPLINDATE\n");
    EXPECT_EQ(read("res/new/arialbd.ttf"), "font");
}

TEST(Hoplin, ADestinationHeldForTwoAndAHalfSecondsIsReplacedOnAttemptThree) {
    Scratch dir;
    write("tmp/launcher.exe", "new");
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
    EXPECT_EQ(read("launcher.exe"), "new");
    std::istringstream log(read("hoplin.log"));
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
    write("checklist.txt", Md5::hex("new a") + " 5 0 a.dll\n" + Md5::hex("new b") + " 5 0 b.dll\n" +
                               Md5::hex("c") + " 1 0 c.dat\n");
    write("tmp/a.dll", "new a");
    write("tmp/b.dll", "new b");
    block("a.dll");
    std::vector<uint32_t> pauses;
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [&](uint32_t ms) { pauses.push_back(ms); }),
              1);
    EXPECT_EQ(pauses, std::vector<uint32_t>(4, 1000)); // five attempts, a second apart
    const std::string log = read("hoplin.log");
    EXPECT_NE(log.find("Reintento - 4\n"), std::string::npos);
    EXPECT_EQ(log.find("Reintento - 5"), std::string::npos);
    EXPECT_EQ(read("tmp/a.dll"), "new a");
    EXPECT_EQ(read("b.dll"), "new b");
    EXPECT_NE(log.find("lanzando"), std::string::npos);
    EXPECT_EQ(read("checklist.txt"), Md5::hex("new b") + " 5 0 b.dll\n" + Md5::hex("c") + " 1 0 c.dat\n")
        << "the file left behind is fetched again by the next update";
}

TEST(Hoplin, OnlyRegularFilesMoveAndNeverThroughALinkOutOfTheDirectory) {
    Scratch dir;
    char outsideName[] = "/tmp/moravo-hoplin-out-XXXXXX";
    ASSERT_NE(mkdtemp(outsideName), nullptr);
    const std::string outside = outsideName;
    write(outside + "/victim.txt", "precious");
    write("tmp/res/skin.png", "staged");
    write("tmp/plain.txt", "fine");
    fs::create_directory_symlink(outside, "res");
    fs::create_symlink(outside + "/victim.txt", "tmp/evil-link");
    fs::create_directory_symlink(outside, "tmp/evil-dir");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
    EXPECT_EQ(read(outside + "/victim.txt"), "precious");
    EXPECT_FALSE(fs::exists(outside + "/skin.png"));
    EXPECT_EQ(read("tmp/res/skin.png"), "staged");
    EXPECT_EQ(read("plain.txt"), "fine");
    EXPECT_FALSE(fs::exists("evil-link"));
    EXPECT_FALSE(fs::exists("evil-dir"));
    const std::string log = read("hoplin.log");
    EXPECT_NE(log.find("2 Arcvhivos en tmp\n"), std::string::npos);
    EXPECT_NE(log.find("#--Destino rechazado res/skin.png\n"), std::string::npos);
    fs::remove_all(outside);

    // A staging folder that is itself a link hands over nothing.
    Scratch second;
    char elsewhere[] = "/tmp/moravo-hoplin-out-XXXXXX";
    ASSERT_NE(mkdtemp(elsewhere), nullptr);
    write(std::string(elsewhere) + "/stolen.txt", "x");
    fs::create_directory_symlink(elsewhere, "tmp");
    hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {});
    EXPECT_TRUE(fs::exists(std::string(elsewhere) + "/stolen.txt"));
    EXPECT_NE(read("hoplin.log").find("0 Arcvhivos en tmp\n"), std::string::npos);
    fs::remove_all(elsewhere);
}

TEST(Hoplin, ASignedInstallationMovesOnlyTheStagedFilesThatMatchTheLocalManifest) {
    Scratch dir;
    const auto line = [](const std::string& bytes, const std::string& path, size_t size) {
        return Md5::hex(bytes) + " " + std::to_string(size) + " 0 " + path + "\n";
    };
    // What the updater verified and listed, and what lies staged now: one
    // file as listed, one swapped since, one of the wrong size, one unlisted.
    write("checklist.txt", line("new launcher", "MoravoTown", 12) + line("new library", "SDL.dll", 11) +
                               line("font", "res/arialbd.ttf", 99) + line("data", "data.pak", 4));
    write("checklist.serial", "1700000000\n");
    write("tmp/MoravoTown", "new launcher");
    write("tmp/SDL.dll", "evil library");
    write("tmp/res/arialbd.ttf", "font");
    write("tmp/unlisted.dll", "who put this here");
    write("SDL.dll", "old library");
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) { FAIL() << "no retry"; }), 1);
    EXPECT_EQ(read("hoplin.log"), "Iniciando HOPLINDATE\n"
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
    EXPECT_EQ(read("MoravoTown"), "new launcher");
    EXPECT_EQ(read("SDL.dll"), "old library");
    EXPECT_EQ(read("tmp/SDL.dll"), "evil library");
    EXPECT_EQ(read("tmp/res/arialbd.ttf"), "font");
    EXPECT_FALSE(fs::exists("res"));
    EXPECT_EQ(read("tmp/unlisted.dll"), "who put this here");
    EXPECT_EQ(read("checklist.txt"), line("new launcher", "MoravoTown", 12) + line("data", "data.pak", 4))
        << "the refused files are fetched again by the next update";

    // Without a local manifest nothing staged can be shown to be the
    // updater's: nothing moves.
    fs::remove("checklist.txt");
    write("tmp/MoravoTown", "new launcher");
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 0);
    EXPECT_NE(read("hoplin.log").find("#--Error Verificando MoravoTown\n"), std::string::npos);
}

TEST(Hoplin, SettingsDefaultsAndQuotedWords) {
    const char* none[] = {"hoplin"};
    hoplin::Settings s = hoplin::readSettings(1, none);
    EXPECT_EQ(s.program, "launcher.exe");
    EXPECT_EQ(s.staging, "tmp");
    const char* quoted[] = {"hoplin", "\"/opt/game/MoravoTown\"", "\"tmp\""};
    s = hoplin::readSettings(3, quoted);
    EXPECT_EQ(s.program, "/opt/game/MoravoTown");
    EXPECT_EQ(s.staging, "tmp");
    const char* plain[] = {"hoplin", "./MoravoTown", "stage dir"};
    s = hoplin::readSettings(3, plain);
    EXPECT_EQ(s.program, "./MoravoTown");
    EXPECT_EQ(s.staging, "stage dir");

    // No staging folder at all: nothing to move, straight to the launch.
    Scratch dir;
    EXPECT_EQ(hoplin::completeUpdate(hoplin::Settings(), nullptr, [](uint32_t) {}), 0);
    EXPECT_EQ(read("hoplin.log"), "Iniciando HOPLINDATE\n0 Arcvhivos en tmp\nlanzando \"launcher.exe\"\n"
                                  "Finalizado HOPLINDATE\n");
}

TEST(Hoplin, TheProgramMovesTheFilesThenBecomesTheLauncherWithDashN) {
    // The real program in a child process: no arguments, so "tmp" and
    // "launcher.exe"; the launcher here records the words it was given.
    Scratch dir;
    fs::copy_file(MORAVO_BINARY_DIR "/tests/hoplin/hoplin_record_words", "launcher.exe");
    write("tmp/data/new.txt", "moved");
    testkit::Child child;
    ASSERT_TRUE(child.start(MORAVO_BINARY_DIR "/hoplin/hoplin", {}, {}, dir.path()));
    EXPECT_EQ(child.wait(10000), 0);
    EXPECT_EQ(read("words.txt"), "launcher.exe\n-n\n");
    EXPECT_EQ(read("data/new.txt"), "moved");

    // The launcher's own path, in quotes as the launcher passes it.
    fs::rename("launcher.exe", "MoravoTown");
    fs::remove("words.txt");
    testkit::Child named;
    ASSERT_TRUE(named.start(MORAVO_BINARY_DIR "/hoplin/hoplin",
                            {"\"" + dir.path() + "/MoravoTown\"", "\"tmp\""}, {}, dir.path()));
    EXPECT_EQ(named.wait(10000), 0);
    EXPECT_EQ(read("words.txt"), dir.path() + "/MoravoTown\n-n\n");
    EXPECT_NE(read("hoplin.log").find("lanzando \"" + dir.path() + "/MoravoTown\"\n"), std::string::npos);

    // A launcher that cannot be started: hoplin says why in its log (and on
    // standard error) and ends with 1.
    write("plain", "not a program");
    for (const auto& [program, why] :
         {std::pair<std::string, std::string>{"no-such-launcher", "no such program"},
          {"./plain", "the file is not an executable program"}}) {
        testkit::Child failed;
        ASSERT_TRUE(failed.start(MORAVO_BINARY_DIR "/hoplin/hoplin", {program}, {}, dir.path()));
        EXPECT_EQ(failed.wait(10000), 1) << program;
        EXPECT_NE(read("hoplin.log").find("#--Error lanzando \"" + program + "\": " + why + "\n"),
                  std::string::npos)
            << read("hoplin.log");
    }
}

// [mend] Each file replaces the installed one in a single step: killed at any
// moment, hoplin leaves every installed file old or new, never missing, and
// a second run completes the update. The moved file keeps the staged file's
// permissions.
TEST(Hoplin, KilledBetweenItsStepsItLeavesEveryInstalledFileOldOrNew) {
    const std::map<std::string, std::pair<std::string, std::string>> files = {
        {"MoravoTown", {"old launcher", "new launcher"}}, {"res/arialbd.ttf", {"old font", "new font"}}};
    auto oldOrNew = [&](const std::string& path) {
        const std::string now = read(path);
        return now == files.at(path).first || now == files.at(path).second;
    };
    for (int killAt = 1; killAt <= 2; ++killAt) {
        Scratch dir;
        for (const auto& [path, versions] : files) {
            write(path, versions.first);
            write("tmp/" + path, versions.second);
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
            EXPECT_EQ(read(path), versions.second);
        EXPECT_EQ(fs::status("MoravoTown").permissions() & fs::perms::all, fs::perms(0750));
    }
}
