#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace testkit {

/// A private scratch directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/moravo-test-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path_ = name;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }

    const std::string& path() const { return path_; }
    /// Writes `bytes` to the file `name` inside the directory; answers its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string file = path_ + "/" + name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::string path_;
};

} // namespace testkit
