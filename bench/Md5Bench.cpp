// Throughput of the launcher's MD5 against the openssl command on the same
// file, measured in one run: both hash one 256 MiB file of random bytes, each
// the best of three passes, with the file already in the page cache.
//   Md5Bench [file]    (without a file, one is made in the temporary folder)

#include "net/Md5.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t fileSize = size_t(256) << 20;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool makeFile(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(20260401);
    std::vector<uint64_t> block(1 << 17);
    for (size_t written = 0; written < fileSize; written += block.size() * 8) {
        for (auto& word : block)
            word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 8));
    }
    return static_cast<bool>(out);
}

std::string hashOurs(const std::string& path, double& elapsed) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return {};
    std::vector<char> buffer(1 << 16);
    auto start = std::chrono::steady_clock::now();
    Md5 md5;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        md5.update(buffer.data(), got);
    std::string digest = md5.hexDigest();
    elapsed = seconds(start);
    std::fclose(file);
    return digest;
}

std::string hashOpenssl(const std::string& path, double& elapsed) {
    const std::string command = "openssl dgst -md5 -r '" + path + "'";
    auto start = std::chrono::steady_clock::now();
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    char line[512] = {};
    std::string digest;
    if (std::fgets(line, sizeof line, pipe) != nullptr)
        digest.assign(line, std::min<size_t>(32, std::char_traits<char>::length(line)));
    int rc = pclose(pipe);
    elapsed = seconds(start);
    return rc == 0 ? digest : std::string();
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    bool made = false;
    if (argc > 1) {
        path = argv[1];
    } else {
        path = (std::filesystem::temp_directory_path() / "moravo-md5bench.bin").string();
        std::printf("making %s (256 MiB of random bytes)\n", path.c_str());
        if (!makeFile(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        made = true;
    }
    const double mebibytes = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);

    double ours = 1e9, theirs = 1e9;
    std::string ourDigest, theirDigest;
    double warmUp = 0;
    hashOurs(path, warmUp); // brings the file into the page cache
    for (int pass = 0; pass < 3; ++pass) {
        double t = 0;
        ourDigest = hashOurs(path, t);
        ours = std::min(ours, t);
        theirDigest = hashOpenssl(path, t);
        theirs = std::min(theirs, t);
    }
    if (made)
        std::filesystem::remove(path);
    if (theirDigest.empty()) {
        std::fprintf(stderr, "openssl dgst -md5 did not run\n");
        return 1;
    }
    std::printf("ours:    %s  %8.1f MiB/s\n", ourDigest.c_str(), mebibytes / ours);
    std::printf("openssl: %s  %8.1f MiB/s\n", theirDigest.c_str(), mebibytes / theirs);
    if (ourDigest != theirDigest) {
        std::fprintf(stderr, "the digests differ\n");
        return 1;
    }
    std::printf("ratio (ours / openssl): %.3f\n", theirs / ours);
    return 0;
}
