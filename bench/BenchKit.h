#pragma once
// What the update benchmarks share: game-like release data, timing with
// best and median of several runs, and GNU time's peak memory.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace benchkit {

inline double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Game-like data: blocks of random bytes (already compressed assets) mixed
// with blocks of text and tables, which compress well.
inline void fillBlock(std::mt19937_64& random, std::string& block) {
    static const char* words[] = {"sprite", "mesh",   "texture", "0.000", "1.25", "level",
                                  "npc",    "dialog", "quest",   "item",  "=",    ";",
                                  "\n",     "  ",     "{",       "}",     "true", "false"};
    block.clear();
    if (random() % 10 < 4) {
        while (block.size() < 4096) {
            uint64_t word = random();
            block.append(reinterpret_cast<const char*>(&word), 8);
        }
    } else {
        while (block.size() < 4096) {
            block += words[random() % (sizeof words / sizeof *words)];
            block += ' ';
        }
    }
    block.resize(4096);
}

/// Writes `count` files of `total` bytes in all (sizes varying about
/// tenfold) below `dir`, in 25 folders; answers their relative paths.
inline std::vector<std::string> makeRelease(const std::string& dir, int count, int64_t total, uint32_t seed) {
    namespace fs = std::filesystem;
    std::mt19937_64 random(seed);
    std::vector<double> weights(static_cast<size_t>(count));
    double sum = 0;
    for (double& w : weights)
        sum += (w = 0.1 + static_cast<double>(random() % 1000) / 500.0);
    std::vector<std::string> paths;
    std::string block;
    int64_t left = total;
    for (int i = 0; i < count; ++i) {
        int64_t size = i + 1 == count ? left : static_cast<int64_t>(total * weights[i] / sum);
        left -= size;
        const std::string path = "data" + std::to_string(i % 25) + "/asset" + std::to_string(i) + ".pak";
        fs::create_directories((fs::path(dir) / path).parent_path());
        std::ofstream out(fs::path(dir) / path, std::ios::binary);
        while (size > 0) {
            fillBlock(random, block);
            const int64_t piece = std::min<int64_t>(size, 4096);
            out.write(block.data(), piece);
            size -= piece;
        }
        paths.push_back(path);
    }
    return paths;
}

/// GNU time's "%e %M": elapsed seconds and peak resident kibibytes.
inline bool readTime(const std::string& path, double& elapsed, double& peakMiB) {
    std::istringstream in(readText(path));
    double kib = 0;
    if (!(in >> elapsed >> kib))
        return false;
    peakMiB = kib / 1024;
    return true;
}

/// Times of one side over several runs.
struct Runs {
    std::vector<double> times;
    double best() const { return times.empty() ? 0 : *std::min_element(times.begin(), times.end()); }
    double median() const {
        if (times.empty())
            return 0;
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

/// Prints "what: ratio best B (peer P / ours O s), median M" where a ratio
/// above 1 means ours is faster.
inline void printRatio(const char* what, const Runs& ours, const Runs& peer) {
    std::printf("%s: best %.3f (%.2f s / %.2f s), median %.3f (%.2f s / %.2f s), %zu runs each\n", what,
                peer.best() / ours.best(), peer.best(), ours.best(), peer.median() / ours.median(),
                peer.median(), ours.median(), ours.times.size());
}

} // namespace benchkit
