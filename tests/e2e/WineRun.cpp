#include "tests/e2e/WineRun.h"

#include "tests/common/ToolRun.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A process this test is the parent of (Wine's processes become its
// children when theirs end), with its state letter and command line.
struct Adopted {
    pid_t pid;
    char state;
    std::string commandLine;
};

std::vector<Adopted> adopted() {
    std::vector<Adopted> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const std::string stat = testkit::readFile(entry.path().string() + "/stat");
        size_t close = stat.rfind(')');
        char state = 0;
        int parent = 0;
        if (close == std::string::npos ||
            std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) != 2 || parent != getpid())
            continue;
        std::string line = testkit::readFile(entry.path().string() + "/cmdline");
        for (char& c : line)
            if (c == '\0')
                c = ' ';
        found.push_back({pid_t(std::atoi(name.c_str())), state, line});
    }
    return found;
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

std::string WineRun::windowsBuild() {
    const char* build = std::getenv("MORAVO_WIN32_BUILD");
    return build != nullptr ? build : "";
}

void WineRun::SetUp() {
    if (windowsBuild().empty())
        GTEST_SKIP() << "no Windows build named in MORAVO_WIN32_BUILD";
    // The launcher makes its own choice of SDL drivers under Wine.
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_AUDIODRIVER");
    // Wine starts every Windows process apart from the one that asked for
    // it; as their subreaper this test learns how they end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ASSERT_NO_FATAL_FAILURE(PlayerRun::SetUp());
    if (IsSkipped())
        return;
    prefix_ = windowsBuild() + "/wine-player";
    // The prefix is made once, under a lock. A Wine server left by an
    // earlier run is ended: this run's server and desktop must take this
    // run's display. The run's server stays up until the end of the test
    // (one that ends a few seconds after its last program resets a program
    // starting at that moment).
    const std::string prepare =
        "exec 9>" + quoted(prefix_ + ".lock") + "; flock 9; [ -f " + quoted(prefix_ + "/system.reg") +
        " ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }; wineserver -k 2>/dev/null; wineserver -w; "
        "wineserver -p >/dev/null 2>&1 </dev/null 9>&-; true";
    testkit::Child maker;
    ASSERT_TRUE(maker.start("/bin/sh", {"-c", prepare}, wineEnvironment()));
    ASSERT_EQ(maker.wait(180000), 0) << "the Wine prefix " << prefix_ << " could not be made";
    // Nothing remembered from an earlier run.
    runWine({"reg", "delete", "HKCU\\SoftWare\\Moravo", "/f"});
}

void WineRun::TearDown() {
    PlayerRun::TearDown();
    if (prefix_.empty())
        return;
    testkit::Child stopper;
    if (stopper.start("/usr/bin/env", {"wineserver", "-k"}, wineEnvironment()))
        stopper.wait(20000);
    // The ended Windows processes are collected.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    bool left = true;
    while (left && std::chrono::steady_clock::now() < deadline) {
        left = false;
        for (const Adopted& child : adopted()) {
            if (child.pid == launcher.pid() || child.commandLine.rfind("Xvfb", 0) == 0)
                continue;
            left = true;
            if (child.state == 'Z')
                waitpid(child.pid, nullptr, WNOHANG);
        }
        if (left)
            pause(50);
    }
}

void WineRun::placeInstallation() {
    // Unpacked where players put games: a folder whose path holds blanks
    // and letters that no 8-bit code page but UTF-8 holds together (Cyrillic,
    // Japanese, Spanish), which every start, every file and every hand-off
    // has to carry whole.
    const std::string folder =
        scratch.path() + "/\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1"
                         "a"; // Игры ゲーム Peña
    std::filesystem::create_directories(folder);
    const std::string package = windowsBuild() + "/MoravoTown-demo-win32.zip";
    testkit::Child unpack;
    ASSERT_TRUE(unpack.start(MORAVO_CMAKE_COMMAND, {"-E", "tar", "xf", package}, {}, folder));
    ASSERT_EQ(unpack.wait(60000), 0) << "could not unpack " << package;
    install = folder + "/MoravoTown";
    operatorDir = folder + "/operator";
}

std::vector<std::string> WineRun::wineEnvironment() const {
    return {"WINEPREFIX=" + prefix_, "WINEDEBUG=-all",
            "WINEDLLOVERRIDES=mscoree,mshtml=", "DISPLAY=" + xvfb.display(), "MORAVO_DEMO_GAME_SECONDS=2"};
}

bool WineRun::launch(testkit::Child& child, const std::vector<std::string>& args) {
    std::vector<std::string> words = {"wine", install + "/MoravoTown.exe"};
    words.insert(words.end(), args.begin(), args.end());
    return child.start("/usr/bin/env", words, wineEnvironment(), install);
}

int WineRun::runWine(const std::vector<std::string>& args, std::string* out, const std::string& directory,
                     int timeoutMs) {
    const std::string output = scratch.path() + "/wine.out";
    std::string line = "exec wine";
    for (const std::string& word : args)
        line += " " + quoted(word);
    line += " >" + quoted(output) + " 2>/dev/null";
    testkit::Child child;
    if (!child.start("/bin/sh", {"-c", line}, wineEnvironment(), directory))
        return -1;
    int code = child.wait(timeoutMs);
    if (out != nullptr)
        *out = testkit::readFile(output);
    return code;
}

std::string WineRun::releaseFolder() const {
    return releaseOverride.empty() ? operatorDir + "/release-2" : releaseOverride;
}

void WineRun::publish(const std::string& www) {
    ASSERT_EQ(runWine({operatorDir + "/moravo-tool.exe", "publish", releaseFolder(), www}), 0);
}

std::string WineRun::storedValue(const std::string& name, const std::string& missing) {
    std::string out;
    if (runWine({"reg", "query", "HKCU\\SoftWare\\Moravo", "/v", name}, &out) != 0)
        return missing;
    // "    NAME    REG_SZ    VALUE", one line of the answer.
    const std::string type = "    REG_SZ    ";
    size_t at = out.find(type);
    if (at == std::string::npos)
        return missing;
    std::string value = out.substr(at + type.size());
    return value.substr(0, value.find_first_of("\r\n"));
}

int WineRun::waitForRelaunched(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pid_t relaunched = 0;
    while (relaunched == 0 && std::chrono::steady_clock::now() < deadline) {
        for (const Adopted& child : adopted())
            if (child.pid != launcher.pid() &&
                child.commandLine.find("MoravoTown.exe") != std::string::npos &&
                child.commandLine.find(" -n") != std::string::npos)
                relaunched = child.pid;
        if (relaunched == 0)
            pause(50);
    }
    if (relaunched == 0)
        return -1;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        pid_t ended = waitpid(relaunched, &status, WNOHANG);
        if (ended == relaunched)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2000;
        if (ended < 0)
            return -1;
        pause(20);
    }
    return -1000;
}

} // namespace e2e
