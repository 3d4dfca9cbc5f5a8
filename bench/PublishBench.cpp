// "moravo-tool publish" of a new release (200 files, 200 MiB of game-like
// data) against "pigz -9 -z -p 2" compressing the same files, in the same
// run, several times taking turns; prints the time ratio (best and median),
// the packed sizes of both and the time of republishing the unchanged
// release. Needs pigz and GNU time.
//   PublishBench MORAVO_TOOL [RUNS]
// Works in a folder of the temporary directory, removed at the end.
#include "bench/BenchKit.h"

#include <sys/wait.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace benchkit;

namespace {

int64_t sizeOfZz(const std::string& dir) {
    int64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".zz")
            total += static_cast<int64_t>(entry.file_size());
    }
    return total;
}

bool run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: PublishBench MORAVO_TOOL [RUNS]\n");
        return 2;
    }
    const std::string tool = fs::absolute(argv[1]).string();
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string root = (fs::temp_directory_path() / "moravo-publishbench").string();
    std::error_code ec;
    fs::remove_all(root, ec);
    const std::string release = root + "/release", copy = root + "/pigz", out = root + "/out";
    std::printf("making the release (200 files, 200 MiB)...\n");
    std::fflush(stdout);
    const std::vector<std::string> paths = makeRelease(release, 200, int64_t(200) << 20, 20260404);
    fs::copy(release, copy, fs::copy_options::recursive);
    std::string files;
    for (const std::string& path : paths)
        files += " '" + copy + "/" + path + "'";
    // The page cache warm for both sides.
    run("cat '" + release + "'/*/* '" + copy + "'/*/* >/dev/null");

    Runs ours, pigz;
    double peak = 0, elapsed = 0, kib = 0;
    int64_t oursPacked = 0, pigzPacked = 0;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        fs::remove_all(out, ec);
        auto start = std::chrono::steady_clock::now();
        ok = run("/usr/bin/time -o '" + root + "/time' -f '%e %M' '" + tool + "' publish '" + release +
                 "' '" + out + "' >/dev/null");
        ours.times.push_back(seconds(start));
        if (readTime(root + "/time", elapsed, kib))
            peak = std::max(peak, kib);
        oursPacked = sizeOfZz(out);

        start = std::chrono::steady_clock::now();
        ok = ok && run("pigz -9 -z -p 2 -k -f" + files);
        pigz.times.push_back(seconds(start));
        pigzPacked = sizeOfZz(copy);
        for (const std::string& path : paths)
            fs::remove(copy + "/" + path + ".zz", ec);
    }
    auto start = std::chrono::steady_clock::now();
    ok = ok && run("'" + tool + "' publish '" + release + "' '" + out + "' >/dev/null");
    const double republish = seconds(start);
    fs::remove_all(root, ec);
    if (!ok) {
        std::fprintf(stderr, "a command failed\n");
        return 1;
    }
    printRatio("publish vs pigz -9 -z -p 2 (pigz time / publish time)", ours, pigz);
    std::printf("packed: publish %lld bytes, pigz %lld bytes (publish / pigz %.4f)\n",
                static_cast<long long>(oursPacked), static_cast<long long>(pigzPacked),
                static_cast<double>(oursPacked) / static_cast<double>(pigzPacked));
    std::printf("peak RSS of publish: %.1f MiB; unchanged release republished in %.2f s\n", peak, republish);
    return 0;
}
