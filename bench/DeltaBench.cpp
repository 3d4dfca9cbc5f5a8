// Delta updates of a game archive over a link limited to 100 Mbit/s: one
// file of 250 MiB holding 2,000 assets (half media-like random bytes, half
// text, markup and numbers), and its next version with twenty assets
// rewritten in place, two inserted and one removed, so that every offset
// after the first insertion shifts. In one run it measures the bytes sent by
// the server and the time of:
//   - "moravo-tool update" of an installation holding version 1, from the
//     publication of version 2 (its chunk store, when the publisher wrote
//     one), and from a copy of it without "moravo-chunks" (whole files).
//     With the chunk store twice: version 1 copied in, so that the updater
//     must cut it again, and version 1 installed by the updater itself,
//     which recorded its chunks (the player's usual case, where the time
//     goal is read);
//   - zsync (control file made by zsyncmake, counted apart too);
//   - casync: the chunks version 2 adds to a store holding version 1, and
//     its index, at casync's default chunk size and at 1 MiB (bytes only).
// Every download goes from nginx on loopback through the bench's own proxy,
// whose token bucket, shared by all its connections, lets 12.5 MB/s through
// each way and counts the bytes. Prints the ratios beside their goals.
//   DeltaBench MORAVO_TOOL [--keep]    (--keep: the folder stays, to profile by hand)
// Needs nginx, zsync, casync and GNU time
// (apt-get install -y nginx zsync casync time). Works in a folder of the
// temporary directory (about 1.5 GiB), removed at the end.
//
// [SECTION] The archive and its next version
// [SECTION] The ways of updating
// [SECTION] The report
// (The throttling proxy is bench/ThrottledLink.h.)

#include "bench/BenchKit.h"
#include "bench/GameArchive.h"
#include "bench/ThrottledLink.h"
#include "delta/ChunkFormats.h"
#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "publish/PublicationVersions.h"

#include <zlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

namespace fs = std::filesystem;
using namespace benchkit;

namespace {

constexpr int assetCount = 2000;
constexpr int64_t archiveBytes = int64_t(250) << 20;
constexpr int rewrittenCount = 20;
constexpr uint64_t archiveSeed = 20260511;
// Where the next version removes an asset and inserts its two new ones.
constexpr int removedFrom = 1500;
constexpr int insertedAt[] = {400, 1200};
constexpr const char* archivePath = "data/world.pak";

constexpr double linkBytesPerSecond = 12.5e6; // 100 Mbit/s
constexpr uint32_t casyncLargeChunk = 1 << 20;

constexpr double bytesGoal = 1.35; // our bytes / the new content compressed
constexpr double speedGoal = 20;   // whole-file time / our time

double mib(int64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

bool run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// [SECTION] The archive and its next version

// Version 1: the archive's assets.
std::vector<Asset> firstVersion(std::mt19937_64& random) {
    return archiveAssets(random, assetCount, archiveBytes);
}

// Version 2 from version 1; `fresh` gets the assets whose bytes are new.
std::vector<Asset> nextVersion(std::vector<Asset> assets, std::mt19937_64& random,
                               std::vector<Asset>& fresh) {
    const int spacing = assetCount / rewrittenCount;
    std::set<size_t> rewritten;
    for (int k = 0; k < rewrittenCount; ++k) {
        // As many media assets rewritten as text ones.
        const size_t i = static_cast<size_t>(k * spacing) + (random() % (spacing / 2)) * 2 + k % 2;
        rewritten.insert(i);
        assets[i].seed = random();
        fresh.push_back(assets[i]);
    }
    size_t removed = removedFrom;
    while (rewritten.count(removed) != 0)
        ++removed;
    assets.erase(assets.begin() + static_cast<std::ptrdiff_t>(removed));
    int number = assetCount;
    for (int at : insertedAt) {
        const Asset added = makeAsset(random, number++, static_cast<uint32_t>(archiveBytes / assetCount));
        assets.insert(assets.begin() + at, added);
        fresh.push_back(added);
    }
    return assets;
}

// The new assets' bytes, and their size after zlib at level 9 in one stream.
int64_t packedNewContent(const std::vector<Asset>& fresh, int64_t& rawBytes) {
    std::string all, bytes;
    for (const Asset& asset : fresh) {
        assetBytes(asset, bytes);
        all += bytes;
    }
    rawBytes = static_cast<int64_t>(all.size());
    uLongf packedSize = compressBound(static_cast<uLong>(all.size()));
    std::vector<Bytef> packed(packedSize);
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(all.data()),
                  static_cast<uLong>(all.size()), Z_BEST_COMPRESSION) != Z_OK)
        return -1;
    return static_cast<int64_t>(packedSize);
}

// [SECTION] The ways of updating

struct Release {
    std::string v1File, v2File;
    ManifestEntry v1, v2;
    int64_t newBytes = 0, newPacked = 0;
};

struct Way {
    std::string name;
    int64_t bytes = 0;    // sent to the client
    int64_t requests = 0; // sent to the server
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

struct CasyncGrowth {
    std::string name;
    int64_t chunkBytes = 0;
    int64_t indexBytes = 0;
    bool ok = false;
    int64_t total() const { return chunkBytes + indexBytes; }
};

bool haveTools() {
    bool all = fs::exists("/usr/bin/time");
    for (const char* program : {"nginx", "zsync", "zsyncmake", "casync"})
        all = run(std::string("command -v ") + program + " >/dev/null 2>&1") && all;
    if (!all)
        std::fprintf(stderr, "DeltaBench needs nginx, zsync, casync and GNU time:\n"
                             "  apt-get install -y nginx zsync casync time\n");
    return all;
}

bool entryOf(const std::string& path, ManifestEntry& entry) {
    entry.packedSize = 0;
    return hashFile(path, entry.hash, entry.size) == 0;
}

bool makeArchives(const std::string& root, Release& release) {
    std::mt19937_64 random(archiveSeed);
    const std::vector<Asset> v1 = firstVersion(random);
    std::vector<Asset> fresh;
    const std::vector<Asset> v2 = nextVersion(v1, random, fresh);
    release.v1File = root + "/v1/" + archivePath;
    release.v2File = root + "/v2/" + archivePath;
    const int64_t v1Bytes = writeArchive(release.v1File, v1), v2Bytes = writeArchive(release.v2File, v2);
    release.newPacked = packedNewContent(fresh, release.newBytes);
    if (v1Bytes < 0 || v2Bytes < 0 || release.newPacked < 0 || !entryOf(release.v1File, release.v1) ||
        !entryOf(release.v2File, release.v2))
        return false;
    std::printf("archive: version 1 %lld bytes (%.1f MiB, %zu assets), version 2 %lld bytes (%zu assets: %d "
                "rewritten, %zu inserted, 1 removed)\n",
                static_cast<long long>(v1Bytes), mib(v1Bytes), v1.size(), static_cast<long long>(v2Bytes),
                v2.size(), rewrittenCount, fresh.size() - rewrittenCount);
    std::printf("new content: %lld bytes (%.2f MiB), zlib level 9: %lld bytes (%.2f MiB)\n",
                static_cast<long long>(release.newBytes), mib(release.newBytes),
                static_cast<long long>(release.newPacked), mib(release.newPacked));
    return true;
}

// The publication of version 2 in served/chunked; served/whole, the same
// without its chunk store (hard links); version 2 and its zsync control
// file in served/zsync.
bool preparePublications(const std::string& tool, const std::string& root, const Release& release,
                         int64_t& controlBytes) {
    const std::string served = root + "/served", chunked = served + "/chunked", whole = served + "/whole";
    const auto start = std::chrono::steady_clock::now();
    if (!run("'" + tool + "' publish '" + root + "/v2' '" + chunked + "' >'" + root + "/publish.log' 2>&1")) {
        std::fprintf(stderr, "publish failed (see %s/publish.log)\n", root.c_str());
        return false;
    }
    std::printf(
        "published version 2 in %.1f s: %s.zz %lld bytes; ", seconds(start), archivePath,
        static_cast<long long>(fs::file_size(livePublicationFolder(chunked) + "/" + archivePath + ".zz")));
    if (fs::is_directory(livePublicationFolder(chunked) + "/" + chunkStoreName))
        std::printf("with a chunk store\n");
    else
        std::printf("no chunk store: the first run below also updates the whole file\n");
    const auto previous = std::chrono::steady_clock::now();
    if (!run("'" + tool + "' publish '" + root + "/v1' '" + served + "/previous' >>'" + root +
             "/publish.log' 2>&1")) {
        std::fprintf(stderr, "publish failed (see %s/publish.log)\n", root.c_str());
        return false;
    }
    std::printf("published version 1 (for an installation the launcher made) in %.1f s\n", seconds(previous));
    fs::copy(chunked, whole, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    fs::remove_all(livePublicationFolder(whole) + "/" + chunkStoreName);

    const std::string zsyncDir = served + "/zsync";
    fs::create_directories(zsyncDir);
    fs::create_hard_link(release.v2File, zsyncDir + "/world.pak");
    if (!run("cd '" + zsyncDir + "' && zsyncmake -o world.pak.zsync -u world.pak world.pak >'" + root +
             "/zsyncmake.log' 2>&1")) {
        std::fprintf(stderr, "zsyncmake failed (see %s/zsyncmake.log)\n", root.c_str());
        return false;
    }
    controlBytes = static_cast<int64_t>(fs::file_size(zsyncDir + "/world.pak.zsync"));
    return true;
}

bool startNginx(const std::string& root, uint16_t& port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(probe);
    port = ntohs(address.sin_port);
    std::ofstream(root + "/nginx.conf")
        << "user root;\nworker_processes 1;\npid " << root << "/nginx.pid;\nerror_log " << root
        << "/nginx.err;\nevents { worker_connections 64; }\nhttp {\n  access_log off;\n"
        << "  sendfile on;\n  keepalive_requests 100000;\n"
        << "  client_body_temp_path " << root << "/cb;\n  proxy_temp_path " << root << "/px;\n"
        << "  fastcgi_temp_path " << root << "/fc;\n  uwsgi_temp_path " << root << "/uw;\n"
        << "  scgi_temp_path " << root << "/sc;\n  types { }\n  default_type application/octet-stream;\n"
        << "  server { listen 127.0.0.1:" << port << "; root " << root << "/served; }\n}\n";
    if (!run("nginx -p '" + root + "' -c '" + root + "/nginx.conf'")) {
        std::fprintf(stderr, "nginx did not start (see %s/nginx.err)\n", root.c_str());
        return false;
    }
    return true;
}

void stopNginx(const std::string& root) {
    run("nginx -p '" + root + "' -c '" + root + "/nginx.conf' -s stop 2>/dev/null");
    // nginx removes its pid file as it ends.
    for (int i = 0; i < 100 && fs::exists(root + "/nginx.pid"); ++i)
        usleep(20000);
}

// Runs `command` (its output sent to `log`) under GNU time, counting what
// crosses the link meanwhile.
Way timedWay(const std::string& name, const std::string& command, const std::string& log, ThrottledLink& link,
             const std::string& root) {
    Way way;
    way.name = name;
    // The set-up's writes reach the disk first, so that no way pays for
    // them in its own flush.
    run("sync");
    link.takeCounts(way.bytes, way.requests);
    const std::string timeFile = root + "/time.txt";
    const auto start = std::chrono::steady_clock::now();
    way.ok = run("/usr/bin/time -o '" + timeFile + "' -f '%e %M' " + command + " >'" + log + "' 2>&1");
    way.seconds = seconds(start);
    double elapsed = 0;
    readTime(timeFile, elapsed, way.peakMiB);
    link.takeCounts(way.bytes, way.requests);
    if (!way.ok)
        std::fprintf(stderr, "%s failed (see %s)\n", name.c_str(), log.c_str());
    return way;
}

bool sameFile(const std::string& path, const ManifestEntry& expected) {
    ManifestEntry got;
    return entryOf(path, got) && got.hash == expected.hash && got.size == expected.size;
}

// An installation holding version 1, updated from `publication`. Version 1
// is either copied in, its manifest saying so (nothing to scan, but the
// updater knows nothing of its chunks), or installed by the updater from
// the publication of version 1 at `server` (straight from the server, not
// timed), which records its chunks.
Way ourUpdate(const std::string& name, const std::string& tool, const std::string& publication,
              const Release& release, ThrottledLink& link, const std::string& root, uint16_t server = 0) {
    // Each way has an installation of its own, and nothing is deleted
    // before the runs end: on ext4 without a journal, files are slow to make
    // for a while after many were deleted, which would land on the next way.
    static int ways = 0;
    const std::string install = root + "/install" + std::to_string(++ways);
    std::error_code ec;
    if (server == 0) {
        fs::create_directories(fs::path(install + "/" + archivePath).parent_path());
        fs::copy_file(release.v1File, install + "/" + archivePath);
        writeManifest(install + "/checklist.txt", Manifest{{archivePath, release.v1}});
    } else if (!fs::create_directories(install, ec) ||
               !run("'" + tool + "' update '" + install + "' 127.0.0.1:" + std::to_string(server) +
                    "/previous >'" + root + "/previous.log' 2>&1")) {
        std::fprintf(stderr, "installing version 1 failed (see %s/previous.log)\n", root.c_str());
        return Way{name};
    }
    const std::string log = root + "/" + publication + (server == 0 ? "" : "-known") + ".log";
    Way way = timedWay(name,
                       "'" + tool + "' update '" + install + "' 127.0.0.1:" + std::to_string(link.port()) +
                           "/" + publication,
                       log, link, root);
    way.ok = way.ok && sameFile(install + "/" + archivePath, release.v2);
    return way;
}

// zsync writes beside its output and reads the control file from the
// server, in the folder it runs in.
Way zsyncUpdate(const Release& release, ThrottledLink& link, const std::string& root) {
    const std::string work = root + "/zsync-run";
    fs::create_directories(work);
    const fs::path previous = fs::current_path();
    fs::current_path(work);
    Way way = timedWay("zsync",
                       "zsync -q -i '" + release.v1File + "' -o world.pak http://127.0.0.1:" +
                           std::to_string(link.port()) + "/zsync/world.pak.zsync",
                       root + "/zsync.log", link, root);
    fs::current_path(previous);
    way.ok = way.ok && sameFile(work + "/world.pak", release.v2);
    std::error_code ec;
    fs::remove_all(work, ec);
    return way;
}

int64_t treeBytes(const std::string& dir) {
    int64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file(ec))
            total += static_cast<int64_t>(it->file_size(ec));
    }
    return total;
}

// A store holding version 1, then version 2 put into it: what it grew by.
CasyncGrowth casyncGrowth(const std::string& name, const std::string& option, const Release& release,
                          const std::string& root) {
    CasyncGrowth growth;
    growth.name = name;
    const std::string dir = root + "/casync", store = dir + "/store";
    fs::create_directories(dir);
    const std::string make = "casync make " + option + " --store='" + store + "' '" + dir + "/";
    const std::string log = " >>'" + root + "/casync.log' 2>&1";
    if (run(make + "v1.caibx' '" + release.v1File + "'" + log)) {
        const int64_t before = treeBytes(store);
        growth.ok = run(make + "v2.caibx' '" + release.v2File + "'" + log);
        growth.chunkBytes = treeBytes(store) - before;
        growth.indexBytes = growth.ok ? static_cast<int64_t>(fs::file_size(dir + "/v2.caibx")) : 0;
    }
    if (!growth.ok)
        std::fprintf(stderr, "casync failed (see %s/casync.log)\n", root.c_str());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return growth;
}

// [SECTION] The report

const char* verdict(bool reached) {
    return reached ? "goal reached" : "goal missed";
}

void printWays(const std::vector<Way>& ways, int64_t controlBytes, const std::vector<CasyncGrowth>& casync) {
    std::printf("\n%-40s %12s %9s %9s %10s %12s\n", "way (100 Mbit/s link)", "from server", "MiB", "time",
                "peak RSS", "to server");
    for (const Way& way : ways)
        std::printf("%-40s %12lld %9.2f %7.2f s %6.1f MiB %12lld  %s\n", way.name.c_str(),
                    static_cast<long long>(way.bytes), mib(way.bytes), way.seconds, way.peakMiB,
                    static_cast<long long>(way.requests), way.ok ? "(file verified)" : "(FAILED)");
    std::printf("  (zsync's control file: %lld bytes, %.2f MiB of its bytes from the server)\n",
                static_cast<long long>(controlBytes), mib(controlBytes));
    for (const CasyncGrowth& growth : casync)
        std::printf("%-40s %12lld %9.2f   (chunks added %lld + index %lld)%s\n",
                    ("casync, " + growth.name).c_str(), static_cast<long long>(growth.total()),
                    mib(growth.total()), static_cast<long long>(growth.chunkBytes),
                    static_cast<long long>(growth.indexBytes), growth.ok ? "" : " (FAILED)");
}

void printRatios(const Release& release, const Way& ours, const Way& known, const Way& whole,
                 const Way& zsync, const std::vector<CasyncGrowth>& casync) {
    const auto ratio = [](int64_t a, int64_t b) { return static_cast<double>(a) / static_cast<double>(b); };
    std::printf("\n");
    const double packedShare = ratio(ours.bytes, release.newPacked);
    std::printf("%-44s %8.3f   goal <= %.2f   %s\n", "our bytes / new content compressed (zlib -9)",
                packedShare, bytesGoal, verdict(ours.ok && packedShare <= bytesGoal));
    std::printf("%-44s %8.3f\n", "our bytes / zsync's", ratio(ours.bytes, zsync.bytes));
    for (const CasyncGrowth& growth : casync)
        std::printf("%-44s %8.3f\n", ("our bytes / casync's, " + growth.name).c_str(),
                    ratio(ours.bytes, growth.total()));
    // The player's usual case is an installation the launcher made, whose
    // chunks it recorded: the goal is read there.
    std::printf("%-44s %7.2fx\n", "whole-file time / our time, copy unknown", whole.seconds / ours.seconds);
    const double speedup = whole.seconds / known.seconds;
    std::printf("%-44s %7.2fx   goal >= %.0fx    %s\n", "whole-file time / our time, copy known", speedup,
                speedGoal, verdict(known.ok && whole.ok && speedup >= speedGoal));
}

} // namespace

int main(int argc, char** argv) {
    const bool keep = argc == 3 && std::string(argv[2]) == "--keep";
    if (argc != 2 && !keep) {
        std::fprintf(stderr, "usage: DeltaBench MORAVO_TOOL [--keep]\n");
        return 2;
    }
    if (!haveTools())
        return 2;
    const std::string tool = fs::absolute(argv[1]).string();
    const std::string root = (fs::temp_directory_path() / "moravo-deltabench").string();
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root);
    std::printf("making the archive and its next version...\n");
    std::fflush(stdout);
    Release release;
    int64_t controlBytes = 0;
    uint16_t serverPort = 0;
    if (!makeArchives(root, release) || !preparePublications(tool, root, release, controlBytes) ||
        !startNginx(root, serverPort))
        return 1;

    std::printf("downloads through a proxy limited to %.1f MB/s each way, shared by all connections...\n",
                linkBytesPerSecond / 1e6);
    std::fflush(stdout);
    std::vector<Way> ways;
    {
        ThrottledLink link(serverPort, linkBytesPerSecond);
        if (link.start()) {
            ways.push_back(
                ourUpdate("moravo-tool update, chunks, copy unknown", tool, "chunked", release, link, root));
            ways.push_back(ourUpdate("moravo-tool update, chunks, copy known", tool, "chunked", release, link,
                                     root, serverPort));
            ways.push_back(
                ourUpdate("moravo-tool update, whole file (.zz)", tool, "whole", release, link, root));
            ways.push_back(zsyncUpdate(release, link, root));
        }
    }
    stopNginx(root);
    if (ways.size() != 4) {
        std::fprintf(stderr, "the proxy could not listen\n");
        return 1;
    }
    const std::vector<CasyncGrowth> casync = {
        casyncGrowth("default chunks", "", release, root),
        casyncGrowth("1 MiB chunks", "--chunk-size=" + std::to_string(casyncLargeChunk), release, root)};

    printWays(ways, controlBytes, casync);
    printRatios(release, ways[0], ways[1], ways[2], ways[3], casync);
    bool ok = true;
    for (const Way& way : ways)
        ok = ok && way.ok;
    for (const CasyncGrowth& growth : casync)
        ok = ok && growth.ok;
    if (ok && !keep)
        fs::remove_all(root, ec);
    else
        std::fprintf(stderr, "files and logs kept in %s\n", root.c_str());
    return ok ? 0 : 1;
}
