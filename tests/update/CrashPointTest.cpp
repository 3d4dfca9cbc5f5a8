// Crash points. A full update (files fetched whole, a file put together from
// chunks, a large file kept for resuming, the launcher's files staged and
// moved into place by hoplin, obsolete files and an obsolete folder's files
// removed) runs in a child process that the test stops at one of its file
// changes, as a kill would stop it; the run is cut at each change in turn.
// Each cut is tried twice: as a kill, and as a power cut, where the bytes
// of every file not yet flushed to the disk are dropped as well. After each
// cut the next run, with hoplin after it, must bring the installation to
// the release exactly, from the record the cut left and without a scan,
// with nothing of the player's lost and a record that vouches only for true
// bytes.
#include "tests/update/GameBytes.h"
#include "tests/update/UpdaterFixture.h"

#include "delta/ChunkFormats.h"
#include "hoplin/Completer.h"
#include "install/InstallScanner.h"
#include "platform/FileSync.h"
#include "publish/PublicationVersions.h"
#include "publish/Publisher.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace updatetest;
namespace fs = std::filesystem;

namespace {

// The child's record of its file changes: how many so far, the change to
// stop at, and for each file whose last bytes are not known to be on the
// disk, the size the disk holds for sure.
struct ChangeLog {
    std::mutex mutex;
    long long count = 0;
    long long cutAt = -1;
    int report = -1;
    std::map<std::string, int64_t> unflushed;
};
ChangeLog* changeLog = nullptr;

std::string fullPath(const std::string& path) {
    return fs::absolute(path).lexically_normal().string();
}

int64_t sizeOn(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<int64_t>(size);
}

// Tells the parent what a power cut would lose, and ends the process as a
// kill does: no buffer is flushed, no destructor runs.
[[noreturn]] void cut(const ChangeLog& log) {
    std::string text;
    for (const auto& [path, size] : log.unflushed)
        text += std::to_string(size) + " " + path + "\n";
    text += "cut\n";
    platform::writeAll(log.report, text.data(), text.size());
    _exit(0);
}

void observe(platform::FileChange change, const std::string& path, const std::string& other) {
    ChangeLog& log = *changeLog;
    std::lock_guard<std::mutex> guard(log.mutex);
    if (log.count++ == log.cutAt)
        cut(log);
    using platform::FileChange;
    const std::string file = fullPath(path);
    switch (change) {
    case FileChange::create:
        log.unflushed[file] = 0;
        break;
    case FileChange::write:
    case FileChange::truncate:
        // A file flushed so far has all its present bytes on the disk.
        log.unflushed.emplace(file, sizeOn(file));
        break;
    case FileChange::sync:
    case FileChange::remove:
        log.unflushed.erase(file);
        break;
    case FileChange::syncAll:
        // One flush of the whole file system on this system.
        log.unflushed.clear();
        break;
    case FileChange::replace: {
        const std::string to = fullPath(other);
        auto moved = log.unflushed.find(file);
        if (moved == log.unflushed.end()) {
            log.unflushed.erase(to);
        } else {
            log.unflushed[to] = moved->second;
            log.unflushed.erase(moved);
        }
        break;
    }
    default:
        break;
    }
}

// What one cut left and what the run after it found.
struct CutResult {
    bool reached = false;
    std::string problem;
};

class CrashPointTest : public UpdaterTest {
protected:
    void publishVersion(const std::map<std::string, std::string>& files) {
        fs::remove_all(release.path());
        fs::create_directories(release.path());
        target.clear();
        for (const auto& [path, bytes] : files) {
            testkit::writeFile(release.path() + "/" + path, bytes);
            target[path] = ManifestEntry{md5Of(bytes), static_cast<int64_t>(bytes.size()), 0};
        }
        PublishReport report;
        PublishOptions options;
        options.allowRemovals = true;
        ASSERT_TRUE(publishRelease(release.path(), published.path(), report, {}, options)) << report.error;
        server.putDirectory(livePublicationFolder(published.path()), "/rel");
    }
    void prepare(bool withDelta) {
        // The test keeps track of what reached the disk itself.
        platform::setDiskFlushesModelled(true);
        std::map<std::string, std::string> v1{
            {launcherProgram(), "launcher 1"}, {"readme.txt", "version 1\n"}, {"cfg/a.cfg", "a=1"},
            {"cfg/b.cfg", "b=1"},              {"big.bin", bytesOf(150000, 1)}};
        for (int i = 0; i < 6; ++i)
            v1["maps/m" + std::to_string(i)] = bytesOf(2000 + 300 * i, 10 + i);
        if (withDelta)
            v1["data/world.pak"] = gameBytes(static_cast<size_t>(chunkedFileThreshold) + 100000, 1);
        publishVersion(v1);
        install.write("saves/slot1.sav", "the player's");
        ASSERT_EQ(runUpdate(nullptr), "");
        fs::remove_all(pristine.path());
        fs::copy(".", pristine.path(), fs::copy_options::recursive);

        std::map<std::string, std::string> v2 = v1;
        v2[launcherProgram()] = "launcher 2";
        v2["readme.txt"] = "version 2\n";
        v2.erase("cfg/a.cfg");
        v2.erase("cfg/b.cfg");
        v2.erase("maps/m5");
        v2["big.bin"] = bytesOf(160000, 2);
        v2["maps/m0"] = bytesOf(2100, 30);
        v2["maps/m3"] = bytesOf(1900, 33);
        v2["new/deep/x.dat"] = bytesOf(4000, 40);
        if (withDelta) {
            std::string pak = v1["data/world.pak"];
            pak.replace(pak.size() - 30000, 8000, gameBytes(8000, 2));
            v2["data/world.pak"] = pak;
        }
        publishVersion(v2);
    }

    // One whole update with hoplin after it, as the launcher runs them; ""
    // or what went wrong.
    std::string runUpdate(Recorder* listener, int lanes = 1) {
        Recorder quiet;
        Updater updater(location());
        updater.enableSelfFiles();
        updater.removeObsolete = true;
        updater.setLanes(lanes);
        updater.setResumeThreshold(60000);
        updater.setPause([](uint32_t) {});
        updater.prepareUpdate(listener != nullptr ? listener : &quiet, 0, 0);
        updater.run();
        if (updater.error() != 0)
            return "the update ended with " + std::to_string(updater.error());
        if (fs::exists("tmp") && !fs::is_empty("tmp")) {
            std::FILE* console = std::fopen("/dev/null", "w");
            hoplin::completeUpdate(hoplin::Settings{launcherProgram(), "tmp"}, console, [](uint32_t) {});
            std::fclose(console);
        }
        return "";
    }

    // The installation before the update. Its files are second names of the
    // kept copy's: the updater never writes into an installed file, it puts
    // a new one in its place (a write through one would show as a failed
    // cut after it).
    void restorePristine() {
        for (const auto& entry : fs::directory_iterator("."))
            fs::remove_all(entry.path());
        for (const auto& entry : fs::recursive_directory_iterator(pristine.path())) {
            const fs::path to = fs::relative(entry.path(), pristine.path());
            if (entry.is_directory())
                fs::create_directories(to);
            else
                fs::create_hard_link(entry.path(), to);
        }
    }

    // Runs the update in a child stopped at change `at` (-1: never) and
    // answers what a kill there leaves; with `powerCut`, the unflushed
    // bytes are dropped too. `changes` gets the count of a whole run.
    CutResult cutAt(long long at, bool powerCut, long long* changes = nullptr) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return {false, "no pipe"};
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            changeLog = new ChangeLog;
            changeLog->cutAt = at;
            changeLog->report = pipeEnds[1];
            platform::setFileChangeObserver(observe);
            const std::string problem = runUpdate(nullptr);
            const std::string end = "end " + std::to_string(changeLog->count) + " " + problem + "\n";
            platform::writeAll(pipeEnds[1], end.data(), end.size());
            _exit(0);
        }
        close(pipeEnds[1]);
        std::string told;
        char block[4096];
        for (ssize_t got; (got = read(pipeEnds[0], block, sizeof block)) > 0;)
            told.append(block, static_cast<size_t>(got));
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        CutResult result;
        std::istringstream lines(told);
        for (std::string line; std::getline(lines, line);) {
            if (line == "cut") {
                result.reached = true;
            } else if (line.compare(0, 4, "end ") == 0) {
                std::istringstream words(line.substr(4));
                long long count = 0;
                words >> count;
                if (changes != nullptr)
                    *changes = count;
                std::getline(words, result.problem);
                if (!result.problem.empty() && result.problem[0] == ' ')
                    result.problem.erase(0, 1);
            } else if (powerCut) {
                const size_t space = line.find(' ');
                const int64_t kept = std::stoll(line.substr(0, space));
                const std::string path = line.substr(space + 1);
                std::error_code ec;
                if (fs::is_regular_file(fs::symlink_status(path, ec)) && sizeOn(path) > kept)
                    fs::resize_file(path, static_cast<uintmax_t>(kept), ec);
            }
        }
        return result;
    }

    // What is wrong with the installation after the run that follows a cut.
    std::string checkRecovery() {
        Recorder heard;
        const std::string failed = runUpdate(&heard);
        if (!failed.empty())
            return failed;
        if (heard.count("stage " + std::to_string(static_cast<int>(UpdateStage::checkingInstallation))) != 0)
            return "the installation was scanned";
        for (const auto& [path, entry] : target) {
            std::string digest;
            int64_t size = 0;
            if (hashFile(path, digest, size) != 0 || digest != entry.hash || size != entry.size)
                return path + " is not the release's";
        }
        if (readFile("saves/slot1.sav") != "the player's")
            return "the player's file was lost";
        const Manifest record = localManifest();
        for (const auto& [path, entry] : record) {
            if (!isFolderRecord(path) && (target.count(path) == 0 || target.at(path).hash != entry.hash))
                return "the record vouches for " + path;
        }
        for (const auto& entry : fs::recursive_directory_iterator(".")) {
            const std::string path = entry.path().lexically_relative(".").generic_string();
            if (!entry.is_regular_file() || target.count(path) != 0 || path == "saves/slot1.sav" ||
                path == "hoplin.log" || path.compare(0, 10, "checklist.") == 0)
                continue;
            return "left behind: " + path;
        }
        return "";
    }

    // Every cut of a whole run (or, past `most`, a seeded sample of them),
    // each as a kill and as a power cut; the figures go to the test's log.
    void cutEverywhere(long long most) {
        restorePristine();
        long long changes = 0;
        const CutResult whole = cutAt(-1, false, &changes);
        ASSERT_EQ(whole.problem, "");
        ASSERT_FALSE(whole.reached);
        ASSERT_GT(changes, 20);
        std::vector<long long> points;
        for (long long at = 0; at < changes; ++at)
            points.push_back(at);
        if (static_cast<long long>(points.size()) > most) {
            std::mt19937 random(20261209);
            std::shuffle(points.begin(), points.end(), random);
            points.resize(static_cast<size_t>(most));
        }
        const auto start = std::chrono::steady_clock::now();
        int tried = 0, failures = 0;
        for (long long at : points) {
            for (bool powerCut : {false, true}) {
                restorePristine();
                const CutResult left = cutAt(at, powerCut);
                const std::string problem = left.reached ? checkRecovery() : "the run ended before the cut";
                ++tried;
                if (!problem.empty() && ++failures <= 5)
                    ADD_FAILURE() << (powerCut ? "power cut" : "kill") << " at change " << at << " of "
                                  << changes << ": " << problem;
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%lld changes in a whole run; %d cuts tried in %.1f s, %d failed\n", changes, tried, seconds,
                    failures);
        RecordProperty("cuts", tried);
    }

    void TearDown() override { platform::setDiskFlushesModelled(false); }

    TempDir release, published, pristine;
    // The release's files.
    Manifest target;
};

} // namespace

TEST_F(CrashPointTest, AfterACutAtAnyFileChangeTheNextRunEndsWithTheReleaseExactly) {
    prepare(false);
    cutEverywhere(1000000);
}

// Each cut here costs a large file's hashing and cutting twice over; with
// MORAVO_CRASH_CUTS=N a seeded sample of N changes is cut instead of all.
TEST_F(CrashPointTest, AFilePutTogetherFromChunksSurvivesACutAtAnyChange) {
    prepare(true);
    const char* most = std::getenv("MORAVO_CRASH_CUTS");
    const long long sample = most != nullptr ? std::atoll(most) : 0;
    cutEverywhere(sample > 0 ? sample : 1000000);
}
