// What the launcher costs while it waits for the player, under Xvfb: its
// processor use while idling in each scene over 10 s (a share of one core),
// the time from its start to its first drawn frame, and its peak resident
// memory; measured in the same run for an empty SDL program that only opens
// a 640 x 480 window and flips it at the launcher's period.
//   IdleBench                  (needs Xvfb and python3 for the dev server)
//   IdleBench --empty PERIOD   the empty program itself
// The launcher runs in a copy of the demo installation of this build, made
// in a folder of the temporary directory and removed at the end.
//
// Processor time is read from /proc for every thread of the process (the
// X server's own share is shown beside it); the first frame is the first
// moment the middle of the window is no longer the X server's black.
#include "tests/common/TempDir.h"
#include "tests/common/ToolRun.h"
#include "tests/common/X11Client.h"
#include "tests/common/Xvfb.h"
#include "tests/e2e/DevServer.h"
#include "tests/e2e/Widgets.h"

#include <SDL.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPeriodMs = 100; // the demo's "tick", the default
constexpr int kIdleSeconds = 10;

// The empty program: a window cleared and flipped once a period.
int emptyProgram(int period) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Surface* screen = SDL_SetVideoMode(640, 480, 0, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (screen == nullptr)
        return 1;
    SDL_WM_SetCaption("empty", nullptr);
    Uint32 colour = SDL_MapRGB(screen->format, 0x80, 0xFF, 0x50);
    for (bool quit = false; !quit;) {
        Uint32 start = SDL_GetTicks();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            quit = quit || event.type == SDL_QUIT;
        SDL_FillRect(screen, nullptr, colour);
        SDL_Flip(screen);
        Uint32 spent = SDL_GetTicks() - start;
        if (spent < Uint32(period))
            SDL_Delay(Uint32(period) - spent);
    }
    SDL_Quit();
    return 0;
}

// Processor time of every thread of a process so far, in seconds.
double cpuSeconds(int pid) {
    double total = 0;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr)
        return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long onCpu = 0;
        if (stat >> onCpu)
            total += double(onCpu) / 1e9;
    }
    closedir(dir);
    return total;
}

// Peak resident memory in MiB.
double peakMiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

int pidOf(const char* program) {
    std::string name(program);
    DIR* dir = opendir("/proc");
    int found = 0;
    while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        int pid = std::atoi(entry->d_name);
        std::ifstream cmdline("/proc/" + std::string(entry->d_name) + "/cmdline");
        std::string first;
        if (pid > 0 && std::getline(cmdline, first, '\0') && fs::path(first).filename() == name)
            found = pid; // the newest wins: ours was started last
    }
    if (dir != nullptr)
        closedir(dir);
    return found;
}

struct Idle {
    double own = 0;    // share of one core, in percent
    double server = 0; // the X server's, in percent
};

Idle idle(int pid, int serverPid, int seconds) {
    double own0 = cpuSeconds(pid), server0 = cpuSeconds(serverPid);
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return {100 * (cpuSeconds(pid) - own0) / wall, 100 * (cpuSeconds(serverPid) - server0) / wall};
}

class Bench {
public:
    bool setUp();
    // Starts `program` and answers the milliseconds until the middle of its
    // window shows `frame` (any colour but black when empty), -1 for never.
    double start(testkit::Child& child, const std::string& program, const std::vector<std::string>& args,
                 const std::string& directory, const std::vector<uint8_t>& frame = {});
    // The colour the middle of a program's window settles on.
    std::vector<uint8_t> settledColour(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& directory, const char* title);
    void click(const e2e::Rect& r) {
        x.click(192 + r.cx(), 144 + r.cy());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    void stop(testkit::Child& child, const char* title) {
        if (unsigned long window = x.findWindow(title))
            x.requestClose(window);
        if (child.wait(10000) == -1000) {
            child.kill();
            child.wait(5000);
        }
    }

    testkit::Xvfb xvfb;
    testkit::X11Client x;
    testkit::TempDir scratch;
    std::string install;
    e2e::Widgets widgets;
    e2e::DevServer server;
    std::vector<std::string> env;
    int serverPid = 0;
};

bool Bench::setUp() {
    if (!xvfb.start(1024, 768, 24) || !x.connect(xvfb.display())) {
        std::fprintf(stderr, "IdleBench: no X server: %s\n", xvfb.error().c_str());
        return false;
    }
    serverPid = pidOf("Xvfb");
    install = scratch.path() + "/install";
    fs::copy(MORAVO_BINARY_DIR "/demo/install", install, fs::copy_options::recursive);
    testkit::ToolRun layout = testkit::runTool(scratch, {"widgets", install});
    if (layout.code != 0 || !widgets.parse(layout.out)) {
        std::fprintf(stderr, "IdleBench: moravo-tool widgets failed: %s\n", layout.err.c_str());
        return false;
    }
    // The login is answered late, so that the wait scene lasts; no update
    // is published, so that the main scene rests on its error.
    e2e::DevServer::Options options;
    options.loginDelay = kIdleSeconds + 8;
    if (!server.start(scratch.path(), options)) {
        std::fprintf(stderr, "IdleBench: the dev server did not start\n");
        return false;
    }
    std::string port = std::to_string(server.port());
    scratch.write("install/ZEP_client.xml", "<ZEP><server address=\"127.0.0.1\" port=\"" + port +
                                                "\" ssl=\"0\"/><update url=\"127.0.0.1:" + port +
                                                "/updates\"/></ZEP>");
    env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
           "SDL_VIDEO_CENTERED=1", "XDG_CONFIG_HOME=" + scratch.path() + "/home"};
    return true;
}

double Bench::start(testkit::Child& child, const std::string& program, const std::vector<std::string>& args,
                    const std::string& directory, const std::vector<uint8_t>& frame) {
    // The middle of the window, where both programs draw at once.
    const int cx = 512, cy = 384;
    testkit::Capture dot;
    auto began = Clock::now();
    if (!child.start(program, args, env, directory))
        return -1;
    while (Clock::now() - began < std::chrono::seconds(20) && child.alive()) {
        bool shown = x.capture(cx, cy, 1, 1, dot) &&
                     (frame.empty() ? (dot.rgb[0] | dot.rgb[1] | dot.rgb[2]) != 0 : dot.rgb == frame);
        if (shown)
            return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return -1;
}

std::vector<uint8_t> Bench::settledColour(const std::string& program, const std::vector<std::string>& args,
                                          const std::string& directory, const char* title) {
    testkit::Child child;
    start(child, program, args, directory);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    testkit::Capture dot;
    x.capture(512, 384, 1, 1, dot);
    stop(child, title);
    return dot.rgb;
}

double best(std::vector<double> runs) {
    runs.erase(std::remove(runs.begin(), runs.end(), -1.0), runs.end());
    return runs.empty() ? -1 : *std::min_element(runs.begin(), runs.end());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--empty")
        return emptyProgram(std::atoi(argv[2]));
    if (argc != 1) {
        std::fprintf(stderr, "usage: IdleBench\n");
        return 2;
    }
    Bench bench;
    if (!bench.setUp())
        return 1;
    const std::string self = fs::canonical("/proc/self/exe").string();
    const std::string launcher = bench.install + "/MoravoTown";

    // Start-up: the best of three starts of each, until the middle of the
    // window shows what its first frame draws there (learnt from a first
    // start: neither program changes it from frame to frame).
    const std::vector<std::string> emptyArgs = {"--empty", std::to_string(kPeriodMs)};
    std::vector<uint8_t> emptyFrame = bench.settledColour(self, emptyArgs, "", "empty");
    std::vector<uint8_t> launcherFrame = bench.settledColour(launcher, {}, bench.install, "Moravo Town");
    std::vector<double> launcherStarts, emptyStarts;
    for (int run = 0; run < 3; ++run) {
        testkit::Child empty;
        emptyStarts.push_back(bench.start(empty, self, emptyArgs, "", emptyFrame));
        bench.stop(empty, "empty");
        testkit::Child l;
        launcherStarts.push_back(bench.start(l, launcher, {}, bench.install, launcherFrame));
        bench.stop(l, "Moravo Town");
    }

    // The empty program at rest.
    testkit::Child empty;
    bench.start(empty, self, {"--empty", std::to_string(kPeriodMs)}, "");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Idle emptyIdle = idle(empty.pid(), bench.serverPid, kIdleSeconds);
    double emptyPeak = peakMiB(empty.pid());
    bench.stop(empty, "empty");

    // The launcher, scene after scene.
    testkit::Child l;
    bench.start(l, launcher, {}, bench.install);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    struct Scene {
        const char* name;
        Idle cost;
    };
    std::vector<Scene> scenes;
    scenes.push_back({"login", idle(l.pid(), bench.serverPid, kIdleSeconds)});
    bench.click(bench.widgets.nth("login", "EditWidget", 0));
    bench.x.typeText("600123456");
    bench.click(bench.widgets.nth("login", "EditWidget", 1));
    bench.x.typeText("moravo");
    bench.click(bench.widgets.byId("login", 1010));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    scenes.push_back({"wait", idle(l.pid(), bench.serverPid, kIdleSeconds)});
    bench.server.waitForLog("loginlauncher Res=0", 20000);
    bench.server.waitForLog("GET /updates/checklist.txt", 10000);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    scenes.push_back({"main", idle(l.pid(), bench.serverPid, kIdleSeconds)});
    // The custom preset, then its settings window.
    bench.click(bench.widgets.byId("main", 1008));
    e2e::Rect menu = bench.widgets.nth("popup", "ListWidget", 0);
    bench.click(e2e::Rect{menu.x, menu.y + 2 + 5 * 22, menu.w, 22});
    bench.click(bench.widgets.byId("main-custom", 1003));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    scenes.push_back({"settings", idle(l.pid(), bench.serverPid, kIdleSeconds)});
    double launcherPeak = peakMiB(l.pid());
    bench.stop(l, "Moravo Town");

    std::printf("IdleBench: %d ms period, %d s in each scene, under Xvfb (X server's share in brackets)\n\n",
                kPeriodMs, kIdleSeconds);
    std::printf("%-28s %16s %20s\n", "", "MoravoTown", "empty SDL program");
    std::printf("%-28s %16.0f %20.0f\n", "start to first frame (ms)", best(launcherStarts),
                best(emptyStarts));
    for (const Scene& s : scenes)
        std::printf("%-28s %8.2f [%5.2f] %12.2f [%5.2f]\n",
                    (std::string("idle CPU, ") + s.name + " (%)").c_str(), s.cost.own, s.cost.server,
                    emptyIdle.own, emptyIdle.server);
    std::printf("%-28s %16.1f %20.1f\n", "peak resident memory (MiB)", launcherPeak, emptyPeak);
    std::printf("\naims: idle CPU below 2 %%, first frame below 300 ms, peak memory below 60 MiB\n");
    return 0;
}
