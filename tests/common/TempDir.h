#pragma once
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace testkit {

/// A private scratch directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        std::random_device seed;
        std::mt19937_64 pick(seed());
        // A new name until one is free: the directory is made, never reused.
        for (int attempt = 0; attempt < 100 && !ec; ++attempt) {
            fs::path candidate = base / ("moravo-test-" + std::to_string(pick() % 1000000000000u));
            if (fs::create_directory(candidate, ec) && !ec) {
                path_ = candidate.generic_string();
                break;
            }
            ec.clear();
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }

    const std::string& path() const { return path_; }
    /// The path of `name` inside the directory.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    /// Writes `bytes` to the file `name` inside the directory (its folders
    /// made); answers its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string file = path_ + "/" + name;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::string path_;
};

/// Changes the current directory for the life of the object.
class ScopedDirectory {
public:
    explicit ScopedDirectory(const std::string& path) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ScopedDirectory(const ScopedDirectory&) = delete;
    ScopedDirectory& operator=(const ScopedDirectory&) = delete;
    ~ScopedDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }

private:
    std::filesystem::path old_;
};

/// The lines of the file at `path`, without their ends (Windows' C library
/// ends them with CR LF).
inline std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

/// Puts the file `from` at `to` as a link, or as a copy where the file
/// system has no links (Windows); false when neither could be made.
inline bool linkOrCopy(const std::string& from, const std::string& to) {
    std::error_code ec;
    std::filesystem::create_symlink(from, to, ec);
    if (ec) {
        ec.clear();
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    }
    return !ec;
}

} // namespace testkit
