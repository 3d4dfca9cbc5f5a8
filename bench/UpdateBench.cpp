// A full update of 2,000 changed files (512 MiB installed) from nginx on
// loopback, measured in one run against curl fetching the same .zz files over
// one kept-alive connection, piped into an inflater that writes each stream
// to a file of its own. Also prints the peak resident memory of
// "moravo-tool update" beside curl's (and the inflater's). Each side runs
// RUNS times (5 by default), taking turns; the ratio is printed for the best
// and the median runs.
//   UpdateBench MORAVO_TOOL [RUNS]   (needs nginx, curl and GNU time)
// Works in a folder of the temporary directory, removed at the end.
// "UpdateBench --inflate DIR" is the inflater of the curl pipeline.

#include "bench/BenchKit.h"
#include "install/Manifest.h"
#include "net/UrlEscape.h"
#include "publish/PublicationVersions.h"
#include "publish/Publisher.h"

#include <zlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int fileCount = 2000;
constexpr int64_t totalBytes = int64_t(512) << 20;

using benchkit::readText;
using benchkit::readTime;
using benchkit::seconds;

uint16_t freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The inflater of the curl pipeline: concatenated zlib streams on standard
// input, each written to DIR/N.
int inflateStreams(const std::string& dir) {
    static constexpr size_t blockSize = 64 * 1024;
    std::unique_ptr<unsigned char[]> in(new unsigned char[blockSize]), out(new unsigned char[blockSize]);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return 1;
    int index = 0;
    std::FILE* file = nullptr;
    size_t got;
    while ((got = std::fread(in.get(), 1, blockSize, stdin)) > 0) {
        z.next_in = in.get();
        z.avail_in = static_cast<uInt>(got);
        while (z.avail_in > 0) {
            if (file == nullptr)
                file = std::fopen((dir + "/" + std::to_string(index++)).c_str(), "wb");
            z.next_out = out.get();
            z.avail_out = blockSize;
            int r = inflate(&z, Z_NO_FLUSH);
            if (r < 0 && r != Z_BUF_ERROR)
                return 2;
            std::fwrite(out.get(), 1, blockSize - z.avail_out, file);
            if (r == Z_STREAM_END) {
                std::fclose(file);
                file = nullptr;
                inflateReset(&z);
            }
        }
    }
    if (file != nullptr)
        std::fclose(file);
    inflateEnd(&z);
    return index == 0 ? 3 : 0;
}

// The bench's folders and what both sides fetch.
struct Setup {
    std::string tool, me, root;
    std::string release, out, install, fetched;
    // The folder of the version published (below `out`), which current.txt
    // names.
    std::string live;
    std::vector<std::string> paths;
    uint16_t port = 0;
};

// What the passes measured.
struct Results {
    benchkit::Runs ours, theirs;
    double oursPeak = 0, curlPeak = 0, inflaterPeak = 0;
    bool correct = true;
    int curlRc = 0, streams = 0;
};

// The installation holds an older version of every file, listed in its
// manifest, so that all 2,000 are downloaded and nothing is scanned.
void resetInstallation(const Setup& setup) {
    std::error_code ec;
    fs::remove_all(setup.install, ec);
    Manifest old;
    for (const std::string& path : setup.paths) {
        fs::create_directories((fs::path(setup.install) / path).parent_path());
        const std::string bytes = "old version of " + path;
        std::ofstream(fs::path(setup.install) / path, std::ios::binary) << bytes;
        old[path] = ManifestEntry{"00000000000000000000000000000000", static_cast<int32_t>(bytes.size()), 0};
    }
    writeManifest(setup.install + "/checklist.txt", old);
}

// Starts nginx serving the published folder on loopback; false after saying
// why when it does not start.
bool startNginx(const Setup& setup, const std::string& conf) {
    const std::string& root = setup.root;
    std::ofstream(conf) << "user root;\nworker_processes 1;\npid " << root << "/nginx.pid;\nerror_log "
                        << root
                        << "/nginx.err;\nevents { worker_connections 64; }\nhttp {\n  access_log off;\n"
                        << "  sendfile on;\n  tcp_nopush on;\n  keepalive_requests 100000;\n"
                        << "  client_body_temp_path " << root << "/cb;\n  proxy_temp_path " << root
                        << "/px;\n"
                        << "  fastcgi_temp_path " << root << "/fc;\n  uwsgi_temp_path " << root << "/uw;\n"
                        << "  scgi_temp_path " << root << "/sc;\n  types { }\n"
                        << "  default_type application/octet-stream;\n"
                        << "  server { listen 127.0.0.1:" << setup.port << "; root " << setup.out
                        << "; }\n}\n";
    if (std::system(("nginx -p '" + root + "' -c '" + conf + "'").c_str()) != 0) {
        std::fprintf(stderr, "nginx did not start (see %s/nginx.err)\n", root.c_str());
        return false;
    }
    return true;
}

// One pass of "moravo-tool update", its result checked.
void runOurs(const Setup& setup, Results& results) {
    resetInstallation(setup);
    const std::string ourTime = setup.root + "/ours.time";
    auto start = std::chrono::steady_clock::now();
    int rc = std::system(("/usr/bin/time -o '" + ourTime + "' -f '%e %M' '" + setup.tool + "' update '" +
                          setup.install + "' 127.0.0.1:" + std::to_string(setup.port) + " >'" + setup.root +
                          "/ours.log' 2>&1")
                             .c_str());
    results.ours.times.push_back(seconds(start));
    double elapsed = 0, peak = 0;
    readTime(ourTime, elapsed, peak);
    results.oursPeak = std::max(results.oursPeak, peak);
    bool& correct = results.correct;
    correct = correct && WIFEXITED(rc) && WEXITSTATUS(rc) == 0 &&
              readText(setup.install + "/checklist.txt") == readText(setup.live + "/checklist.txt");
    for (size_t i = 0; i < setup.paths.size() && correct; i += 97)
        correct =
            readText(setup.install + "/" + setup.paths[i]) == readText(setup.release + "/" + setup.paths[i]);
}

// One pass of curl piped into the inflater.
void runCurl(const Setup& setup, Results& results) {
    std::error_code ec;
    fs::remove_all(setup.fetched, ec);
    fs::create_directories(setup.fetched);
    const std::string curlTime = setup.root + "/curl.time", inflaterTime = setup.root + "/inflater.time";
    auto start = std::chrono::steady_clock::now();
    results.curlRc |= std::system(("/usr/bin/time -o '" + curlTime + "' -f '%e %M' curl -s -f -K '" +
                                   setup.root + "/urls.txt' | /usr/bin/time -o '" + inflaterTime +
                                   "' -f '%e %M' '" + setup.me + "' --inflate '" + setup.fetched + "'")
                                      .c_str());
    results.theirs.times.push_back(seconds(start));
    double elapsed = 0, peak = 0;
    readTime(curlTime, elapsed, peak);
    results.curlPeak = std::max(results.curlPeak, peak);
    readTime(inflaterTime, elapsed, peak);
    results.inflaterPeak = std::max(results.inflaterPeak, peak);
    results.streams = 0;
    for (auto it = fs::directory_iterator(setup.fetched); it != fs::directory_iterator(); ++it)
        ++results.streams;
}

void printResults(const Results& results, const PublishReport& report) {
    const double mib = static_cast<double>(report.bytes) / (1 << 20);
    std::printf("moravo-tool update:  best %6.2f s  %6.1f MiB/s installed  peak RSS %5.1f MiB  %s\n",
                results.ours.best(), mib / results.ours.best(), results.oursPeak,
                results.correct ? "(files verified)" : "(WRONG RESULT)");
    std::printf("curl | inflater:     best %6.2f s  %6.1f MiB/s installed  peak RSS curl %5.1f MiB, inflater "
                "%5.1f MiB"
                "  (%d streams%s)\n",
                results.theirs.best(), mib / results.theirs.best(), results.curlPeak, results.inflaterPeak,
                results.streams, results.curlRc == 0 ? "" : ", curl failed");
    benchkit::printRatio("update vs curl | inflater (curl time / update time)", results.ours, results.theirs);
    std::printf("peak RSS: moravo-tool update %.1f MiB, curl %.1f MiB\n", results.oursPeak, results.curlPeak);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--inflate")
        return inflateStreams(argv[2]);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: UpdateBench MORAVO_TOOL [RUNS]\n");
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    Setup setup;
    setup.tool = fs::absolute(argv[1]).string();
    setup.me = fs::read_symlink("/proc/self/exe").string();
    const std::string root = setup.root = (fs::temp_directory_path() / "moravo-updatebench").string();
    std::error_code ec;
    fs::remove_all(root, ec);
    setup.release = root + "/release";
    setup.out = root + "/out";
    setup.install = root + "/install";
    setup.fetched = root + "/fetched";
    for (const std::string& dir : {setup.release, setup.out, setup.install, setup.fetched})
        fs::create_directories(dir);

    std::printf("making the release (%d files, 512 MiB) and publishing it...\n", fileCount);
    std::fflush(stdout);
    setup.paths = benchkit::makeRelease(setup.release, fileCount, totalBytes, 20260403);
    PublishReport report;
    auto publishStart = std::chrono::steady_clock::now();
    if (!publishRelease(setup.release, setup.out, report)) {
        std::fprintf(stderr, "publish failed: %s\n", report.error.c_str());
        return 1;
    }
    std::printf("published in %.1f s: %lld bytes, %lld packed (%.0f%%)\n", seconds(publishStart),
                static_cast<long long>(report.bytes), static_cast<long long>(report.packedBytes),
                100.0 * report.packedBytes / report.bytes);

    setup.port = freePort();
    const std::string conf = root + "/nginx.conf";
    if (!startNginx(setup, conf))
        return 1;
    const std::string base = "http://127.0.0.1:" + std::to_string(setup.port);
    // The page cache warm for both sides.
    setup.live = livePublicationFolder(setup.out);
    std::system(("find '" + setup.live + "' -name '*.zz' -exec cat {} + >/dev/null").c_str());
    {
        const std::string version = "/" + fs::relative(setup.live, setup.out).generic_string();
        std::ofstream urls(root + "/urls.txt");
        for (const std::string& path : setup.paths)
            urls << "url = \"" << base << urlEscape(version + "/" + path + ".zz") << "\"\n";
    }
    // Several passes each, taking turns, so that another program's burst on
    // the machine spoils neither side alone.
    Results results;
    for (int pass = 0; pass < runs; ++pass) {
        runOurs(setup, results);
        runCurl(setup, results);
    }
    std::system(("nginx -p '" + root + "' -c '" + conf + "' -s stop").c_str());
    printResults(results, report);
    // nginx removes its pid file as it ends.
    for (int i = 0; i < 100 && fs::exists(root + "/nginx.pid"); ++i)
        usleep(20000);
    fs::remove_all(root, ec);
    return results.correct && results.curlRc == 0 && results.streams == fileCount ? 0 : 1;
}
