// "moravo-tool publish" of a new game-like release of 200 MiB against
// "pigz -9 -z -p 2" compressing the same files, in the same run, several
// times taking turns. The release holds four archives of 8 to 64 MiB (120
// MiB of assets, half media-like random bytes and half text), which the
// publisher also cuts into its chunk store, beside 196 small files (80 MiB)
// below the chunking threshold. Prints the time ratio (best and median) and
// its goal, the processor time of both, the packed sizes of both, how many
// files were chunked and the store's size beside their .zz files, and the
// time of republishing the unchanged release. Needs pigz and GNU time.
//   PublishBench MORAVO_TOOL [RUNS]
// Works in a folder of the temporary directory (about 2 GiB with 5 runs),
// removed at the end. Each timed command starts after a sync, with no
// dirty pages of the other side's files left to write. Nothing is deleted
// between runs (each run publishes into a folder of its own and pigz's files
// are moved aside): on ext4 without a journal each new file is looked for
// past the inodes freed in the last minute (five, while their table is
// still unwritten), which the side making more files (the chunk store's)
// would pay for the benchmark's own cleaning.
#include "bench/BenchKit.h"
#include "bench/GameArchive.h"
#include "delta/ChunkFormats.h"
#include "publish/PublicationVersions.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace benchkit;

namespace {

// The largest archive, its assets' head lines counted, is just over the
// 64 MiB the publisher compresses in memory: both of its ways of making a
// .zz file are timed.
struct Archive {
    const char* path;
    int mib;
};
constexpr Archive archives[] = {
    {"data/world.pak", 64}, {"data/sounds.pak", 32}, {"data/interface.pak", 16}, {"data/intro.pak", 8}};
constexpr int smallFiles = 196;
constexpr int64_t smallBytes = int64_t(80) << 20;
constexpr int assetsPerMiB = 8; // assets of 128 KiB on average, as DeltaBench's
constexpr uint32_t releaseSeed = 20260404;

constexpr double speedGoal = 1.0; // pigz's time / ours, median runs

bool run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// One side's runs: the time each took, and the processor time (user and
// system, all threads) and peak memory GNU time measured.
struct Side {
    Runs wall, processor;
    double peakMiB = 0;
};

// Runs `command` under GNU time, which writes into `timeFile`.
bool timedRun(const std::string& command, const std::string& timeFile, Side& side) {
    run("sync");
    const auto start = std::chrono::steady_clock::now();
    const bool ok = run("/usr/bin/time -o '" + timeFile + "' -f '%e %M %U %S' " + command);
    side.wall.times.push_back(seconds(start));
    std::istringstream in(readText(timeFile));
    double elapsed = 0, kib = 0, user = 0, system = 0;
    if (in >> elapsed >> kib >> user >> system) {
        side.processor.times.push_back(user + system);
        side.peakMiB = std::max(side.peakMiB, kib / 1024);
    }
    return ok;
}

// The release's files; answers their relative paths, archives first.
std::vector<std::string> makeGameRelease(const std::string& dir) {
    std::mt19937_64 random(releaseSeed);
    std::vector<std::string> paths;
    for (const Archive& archive : archives) {
        const std::vector<Asset> assets =
            archiveAssets(random, archive.mib * assetsPerMiB, int64_t(archive.mib) << 20);
        if (writeArchive(dir + "/" + archive.path, assets) < 0)
            return {};
        paths.push_back(archive.path);
    }
    for (const std::string& path : makeRelease(dir, smallFiles, smallBytes, releaseSeed))
        paths.push_back(path);
    return paths;
}

int64_t sizeOfZz(const std::string& dir) {
    int64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".zz")
            total += static_cast<int64_t>(entry.file_size());
    }
    return total;
}

// What the publication's chunk store holds.
struct StoreSize {
    int chunkedFiles = 0;
    int64_t storeBytes = 0; // chunks, indexes and list
    int64_t zzBytes = 0;    // the .zz files of the chunked files
};

StoreSize chunkStoreSize(const std::string& out) {
    StoreSize size;
    const std::string store = out + "/" + chunkStoreName;
    if (!fs::is_directory(store))
        return size;
    for (const auto& entry : fs::recursive_directory_iterator(store)) {
        if (entry.is_regular_file())
            size.storeBytes += static_cast<int64_t>(entry.file_size());
    }
    // The list: a head line, then "<sha256> <path>" a line.
    std::istringstream list(readText(out + "/" + chunkListName));
    std::string line;
    std::getline(list, line);
    while (std::getline(list, line)) {
        if (line.size() <= 65)
            continue;
        ++size.chunkedFiles;
        std::error_code ec;
        const auto zz = fs::file_size(out + "/" + line.substr(65) + ".zz", ec);
        size.zzBytes += ec ? 0 : static_cast<int64_t>(zz);
    }
    return size;
}

// Moves pigz's files out of the way of the next run into `aside`.
void setAside(const std::string& copy, const std::vector<std::string>& paths, const std::string& aside) {
    fs::create_directories(aside);
    std::error_code ec;
    for (size_t i = 0; i < paths.size(); ++i)
        fs::rename(copy + "/" + paths[i] + ".zz", aside + "/" + std::to_string(i) + ".zz", ec);
}

void printReport(const Side& ours, const Side& pigz, int64_t oursPacked, int64_t pigzPacked,
                 const StoreSize& store, size_t files) {
    printRatio("publish vs pigz -9 -z -p 2 (pigz time / publish time)", ours.wall, pigz.wall);
    std::printf("processor time (user + system), median: publish %.2f s, pigz %.2f s\n",
                ours.processor.median(), pigz.processor.median());
    std::printf("packed: publish %lld bytes, pigz %lld bytes (publish / pigz %.4f)\n",
                static_cast<long long>(oursPacked), static_cast<long long>(pigzPacked),
                static_cast<double>(oursPacked) / static_cast<double>(pigzPacked));
    std::printf("chunk store: %d of %zu files chunked; store %lld bytes beside their .zz %lld bytes "
                "(store / .zz %.4f)\n",
                store.chunkedFiles, files, static_cast<long long>(store.storeBytes),
                static_cast<long long>(store.zzBytes),
                store.zzBytes > 0 ? static_cast<double>(store.storeBytes) / static_cast<double>(store.zzBytes)
                                  : 0.0);
    const double median = pigz.wall.median() / ours.wall.median();
    std::printf("%-44s %7.3fx   goal >= %.1fx   %s\n", "pigz time / publish time (median, chunking on)",
                median, speedGoal,
                store.chunkedFiles > 0 && median >= speedGoal ? "goal reached" : "goal missed");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: PublishBench MORAVO_TOOL [RUNS]\n");
        return 2;
    }
    const std::string tool = fs::absolute(argv[1]).string();
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    // A folder of this process's own: two people benchmarking on one machine
    // must not remove each other's.
    const std::string root =
        (fs::temp_directory_path() / ("moravo-publishbench-" + std::to_string(getpid()))).string();
    std::error_code ec;
    fs::remove_all(root, ec);
    const std::string release = root + "/release", copy = root + "/pigz";
    std::printf("making the release (4 archives of 8 to 64 MiB and %d small files, 200 MiB)...\n",
                smallFiles);
    std::fflush(stdout);
    const std::vector<std::string> paths = makeGameRelease(release);
    if (paths.empty()) {
        std::fprintf(stderr, "cannot write the release in %s\n", release.c_str());
        return 1;
    }
    fs::copy(release, copy, fs::copy_options::recursive);
    std::string files;
    for (const std::string& path : paths)
        files += " '" + copy + "/" + path + "'";
    // The page cache warm for both sides.
    run("cat '" + release + "'/*/* '" + copy + "'/*/* >/dev/null");

    Side ours, pigz;
    int64_t oursPacked = 0, pigzPacked = 0;
    StoreSize store;
    bool ok = true;
    std::string out;
    for (int i = 0; i < runs && ok; ++i) {
        out = root + "/out" + std::to_string(i);
        ok = timedRun("'" + tool + "' publish '" + release + "' '" + out + "' >/dev/null", root + "/time",
                      ours);
        oursPacked = sizeOfZz(livePublicationFolder(out));
        store = chunkStoreSize(livePublicationFolder(out));

        ok = ok && timedRun("pigz -9 -z -p 2 -k -f" + files, root + "/time", pigz);
        pigzPacked = sizeOfZz(copy);
        setAside(copy, paths, root + "/pigz" + std::to_string(i));
    }
    auto start = std::chrono::steady_clock::now();
    ok = ok && run("'" + tool + "' publish '" + release + "' '" + out + "' >/dev/null");
    const double republish = seconds(start);
    fs::remove_all(root, ec);
    if (!ok) {
        std::fprintf(stderr, "a command failed\n");
        return 1;
    }
    printReport(ours, pigz, oursPacked, pigzPacked, store, paths.size());
    std::printf("peak RSS of publish: %.1f MiB; unchanged release republished in %.2f s\n", ours.peakMiB,
                republish);
    return 0;
}
