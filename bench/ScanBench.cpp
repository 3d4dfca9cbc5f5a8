// Scan of an installation against md5sum over the same files, measured in
// one run: 2,000 files, 1 GiB in all, already in the page cache. Each side
// is timed three times and its best pass counts; the scan is also timed on
// one thread, for comparison.
//   ScanBench [dir]    (without a folder, one is made in the temporary
//                       folder and removed at the end)

#include "install/InstallScanner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int fileCount = 2000;
constexpr int64_t totalBytes = int64_t(1) << 30;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool makeInstallation(const std::string& dir) {
    std::mt19937_64 random(20260402);
    std::vector<double> weights(fileCount);
    double sum = 0;
    for (double& w : weights)
        sum += (w = 0.1 + static_cast<double>(random() % 1000) / 500.0);
    std::vector<uint64_t> block(1 << 14);
    int64_t left = totalBytes;
    for (int i = 0; i < fileCount; ++i) {
        int64_t size = i + 1 == fileCount ? left : static_cast<int64_t>(totalBytes * weights[i] / sum);
        left -= size;
        const fs::path path =
            fs::path(dir) / ("d" + std::to_string(i % 40)) / ("file" + std::to_string(i) + ".dat");
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        while (size > 0) {
            for (auto& word : block)
                word = random();
            const int64_t piece = std::min<int64_t>(size, static_cast<int64_t>(block.size() * 8));
            out.write(reinterpret_cast<const char*>(block.data()), piece);
            size -= piece;
        }
        if (!out)
            return false;
    }
    return true;
}

bool scan(const std::string& dir, int helpers, Manifest& manifest, double& elapsed) {
    InstallScanner scanner(dir);
    if (helpers >= 0)
        scanner.setHelperThreads(helpers);
    auto start = std::chrono::steady_clock::now();
    bool ok = scanner.scan(manifest, nullptr);
    elapsed = seconds(start);
    return ok;
}

// md5sum over every file, as one would check an installation by hand.
bool md5sum(const std::string& dir, std::map<std::string, std::string>& digests, double& elapsed) {
    const std::string command = "cd '" + dir + "' && find . -type f -print0 | xargs -0 md5sum";
    auto start = std::chrono::steady_clock::now();
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        if (text.size() > 34 && text.back() == '\n')
            digests[text.substr(34, text.size() - 35)] = text.substr(0, 32);
    }
    int rc = pclose(pipe);
    elapsed = seconds(start);
    return rc == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir;
    bool made = false;
    if (argc > 1) {
        dir = argv[1];
    } else {
        dir = (fs::temp_directory_path() / "moravo-scanbench").string();
        fs::remove_all(dir);
        std::printf("making %s (%d files, 1 GiB of random bytes)\n", dir.c_str(), fileCount);
        if (!makeInstallation(dir)) {
            std::fprintf(stderr, "cannot write %s\n", dir.c_str());
            return 1;
        }
        made = true;
    }
    Manifest manifest;
    std::map<std::string, std::string> digests;
    double t = 0, ours = 1e9, single = 1e9, theirs = 1e9;
    md5sum(dir, digests, t); // brings the files into the page cache
    for (int pass = 0; pass < 3; ++pass) {
        Manifest m;
        if (!scan(dir, -1, m, t)) {
            std::fprintf(stderr, "the scan failed\n");
            return 1;
        }
        ours = std::min(ours, t);
        manifest = std::move(m);
        Manifest one;
        scan(dir, 0, one, t);
        single = std::min(single, t);
        digests.clear();
        if (!md5sum(dir, digests, t)) {
            std::fprintf(stderr, "md5sum did not run\n");
            return 1;
        }
        theirs = std::min(theirs, t);
    }
    if (made)
        fs::remove_all(dir);
    size_t agree = 0;
    for (const auto& [path, entry] : manifest)
        agree += digests["./" + path] == entry.hash;
    double mebibytes = 0;
    for (const auto& [path, entry] : manifest)
        mebibytes += entry.size / 1048576.0;
    std::printf("files: %zu, %.0f MiB; digests agreeing with md5sum: %zu\n", manifest.size(), mebibytes,
                agree);
    std::printf("scan (all cores):  %6.3f s  %7.1f MiB/s\n", ours, mebibytes / ours);
    std::printf("scan (one thread): %6.3f s  %7.1f MiB/s\n", single, mebibytes / single);
    std::printf("md5sum:            %6.3f s  %7.1f MiB/s\n", theirs, mebibytes / theirs);
    if (agree != manifest.size()) {
        std::fprintf(stderr, "the digests differ\n");
        return 1;
    }
    std::printf("ratio (md5sum time / scan time): %.3f (one thread: %.3f)\n", theirs / ours, theirs / single);
    return 0;
}
