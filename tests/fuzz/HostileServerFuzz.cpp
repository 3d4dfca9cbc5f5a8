// Plays a scripted hostile update server (HostileServer.h) against the real
// updater, in-process, over loopback, in a scratch installation
// (ScratchInstallation.h). The input is the script: its options line lays
// the installation out and sets the updater up, its records are the
// server's files and how each request of them is answered. The seeds are a
// real publication of version 2 of the scratch game, made by the publisher
// (tests/fuzz/make-hostile-seeds).
//
// After every run, whatever the server did:
// - nothing outside the installation changed, nor appeared beside it, links
//   of the installation that lead out included;
// - the player's file is there unchanged (unless a manifest of the script
//   names the player's folder, which makes it one of the game's);
// - every file the installation's checklist.txt lists and that exists has
//   the listed size and MD5;
// - the run held at most `heapLimit` of heap beyond what was held before it
//   (HeapWatch.h), and ended within `runLimitMs`.
//
// Options (letters, anywhere in the options line):
//   b  the 4 MiB file installed and listed (delta updates reach it)
//   L  no checklist.txt in the installation (the updater scans)
//   i  the updater ignores checklist.txt (repair)
//   o  obsolete files are deleted
//   d  no delta updates
//   s  the launcher's files are staged in "tmp"
//   r  files of 64 bytes and more resume (else 4 MiB)
//   a  two attempts per file
//   2  two lanes
// A record named "+PATH" is a leftover of an earlier run, written into the
// installation before the run (only the updater's working names:
// ScratchInstallation.h).
#include "tests/fuzz/HeapWatch.h"
#include "tests/fuzz/HostileServer.h"
#include "tests/fuzz/ScratchInstallation.h"
#include "update/Updater.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr char basePath[] = "/rel";
// What one run may hold beyond what was held when it began: the updater's
// own buffers (its read-ahead takes up to 32 MiB) with room to spare, and
// well below a flood (HostileServer.h) kept whole.
constexpr int64_t heapLimit = int64_t(256) << 20;
constexpr uint32_t receiveTimeoutMs = 50;
constexpr int64_t smallResumeThreshold = 64;
// A run that takes this long is stuck (stalls cost `receiveTimeoutMs`).
constexpr uint32_t runLimitMs = 20000;

// Stops the process when a run takes over `runLimitMs`.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::unique_lock<std::mutex> guard(mutex_);
              for (;;) {
                  if (armed_) {
                      if (changed_.wait_until(guard, deadline_) == std::cv_status::timeout && armed_) {
                          std::fprintf(stderr, "==updater_hostile== a run took over %u ms\n", runLimitMs);
                          std::abort();
                      }
                  } else {
                      changed_.wait(guard);
                  }
              }
          }) {
        thread_.detach();
    }
    void arm() {
        std::lock_guard<std::mutex> guard(mutex_);
        armed_ = true;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(runLimitMs);
        changed_.notify_all();
    }
    void disarm() {
        std::lock_guard<std::mutex> guard(mutex_);
        armed_ = false;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

struct World {
    hostile::ScratchInstallation installation;
    hostile::HostileServer server{basePath};
    // Never destroyed: its thread waits on it to the end.
    Watchdog& watchdog = *new Watchdog;
    std::string home = fs::current_path().string();
};

World* world = nullptr;

void endWorld() {
    delete world;
    world = nullptr;
}

// The updater works in the current folder, so each run changes into the
// installation; paths given to libFuzzer (corpus folders, where findings
// go) are made absolute first, so that they never land there.
void absolutePaths(int* argc, char*** argv) {
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.assign(*argv, *argv + *argc);
    for (size_t i = 1; i < texts.size(); ++i) {
        std::string& text = texts[i];
        for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-merge_control_file="}) {
            const size_t length = std::char_traits<char>::length(flag);
            if (text.compare(0, length, flag) == 0 && text.size() > length && text[length] != '/')
                text = flag + fs::absolute(text.substr(length)).string();
        }
        if (!text.empty() && text[0] != '-' && text[0] != '/')
            text = fs::absolute(text).string();
    }
    pointers.clear();
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    *argv = pointers.data();
}

// Whether a manifest of the script names the player's folder (in any
// letter case), which makes it a folder of the game's.
bool namesPlayerFolder(const hostile::Script& script) {
    std::string folder = hostile::ScratchInstallation::playerFolder();
    for (const auto& [name, file] : script.files) {
        if (name.find("checklist") == std::string::npos)
            continue;
        std::string lower = file.body;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.find(folder) != std::string::npos)
            return true;
    }
    return false;
}

bool has(const std::string& options, char letter) {
    return options.find(letter) != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The seed script's question: version 1's files, written to a folder.
    if (const char* to = std::getenv("MORAVO_HOSTILE_INSTALL_TO")) {
        for (const auto& [path, bytes] : hostile::ScratchInstallation::gameFiles()) {
            fs::create_directories(fs::path(std::string(to) + "/" + path).parent_path());
            std::ofstream(std::string(to) + "/" + path, std::ios::binary) << bytes;
        }
        std::exit(0);
    }
    absolutePaths(argc, argv);
    hostile::HeapWatch::install(heapLimit);
    world = new World;
    std::atexit(endWorld);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hostile::Script script = hostile::readScript(std::string(reinterpret_cast<const char*>(data), size));
    const std::string options = script.options;
    hostile::Layout layout;
    layout.bigFile = has(options, 'b');
    layout.localManifest = !has(options, 'L');
    for (const auto& [name, file] : script.files)
        if (name.size() > 1 && name[0] == '+')
            layout.leftovers[name.substr(1)] = file.body;
    const bool playerMayGo = namesPlayerFolder(script);
    // MORAVO_HOSTILE_VERBOSE=1 tells how each run ended (to read a seed or a
    // finding).
    static const bool verbose = std::getenv("MORAVO_HOSTILE_VERBOSE") != nullptr;
    world->installation.reset(layout);
    world->server.play(std::move(script));

    fs::current_path(world->installation.installDir());
    hostile::HeapWatch::begin();
    world->watchdog.arm();
    {
        Updater updater("127.0.0.1:" + std::to_string(world->server.port()) + basePath);
        updater.setPause([](uint32_t) {});
        updater.setReceiveTimeout(receiveTimeoutMs);
        updater.setLanes(has(options, '2') ? 2 : 1);
        updater.setResumeThreshold(has(options, 'r') ? smallResumeThreshold
                                                     : Updater::defaultResumeThreshold);
        updater.ignoreLocalManifest = has(options, 'i');
        updater.removeObsolete = has(options, 'o');
        updater.deltaUpdates = !has(options, 'd');
        if (has(options, 's'))
            updater.enableSelfFiles();
        updater.prepareUpdate(nullptr, 0, has(options, 'a') ? 2 : 1);
        updater.run();
        if (verbose) {
            std::fprintf(stderr,
                         "updater_hostile: error %d, %d requests, %d files put together from chunks\n",
                         updater.error(), world->server.requests(), updater.deltaReport().files);
            for (const std::string& cause : updater.failureCauses())
                std::fprintf(stderr, "    %s\n", cause.c_str());
        }
    }
    world->server.endRun();
    world->watchdog.disarm();
    hostile::HeapWatch::end();
    fs::current_path(world->home);

    world->installation.checkOutside();
    if (!playerMayGo)
        world->installation.checkPlayer();
    world->installation.checkRecord(has(options, 's'));
    return 0;
}
