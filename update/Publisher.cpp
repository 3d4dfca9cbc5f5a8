#include "update/Publisher.h"

#include "net/Md5.h"
#include "update/InstallScanner.h"
#include "update/Manifest.h"
#include "update/PendingFile.h"
#include "update/SafePaths.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

class DeflateStream {
public:
    DeflateStream() = default;
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    ~DeflateStream() {
        if (ready_)
            deflateEnd(&stream_);
    }
    bool init(int level) {
        ready_ = deflateInit(&stream_, level) == Z_OK;
        return ready_;
    }
    z_stream& operator*() { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isInside(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty())
            continue;
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

// Removes the directories below `root` that hold nothing any more, deepest
// first; `root` itself stays.
void removeEmptyDirectories(const fs::path& root) {
    std::vector<fs::path> directories;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->symlink_status(ec).type() == fs::file_type::directory)
            directories.push_back(it->path());
    }
    std::sort(directories.begin(), directories.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    for (const fs::path& directory : directories) {
        if (fs::is_empty(directory, ec) && !ec)
            fs::remove(directory, ec);
    }
}

} // namespace

int64_t compressFile(const std::string& source, const std::string& destination, int level,
                     std::string& digest) {
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return -1;
    PendingFile out;
    if (!out.open(destination))
        return -1;
    DeflateStream stream;
    if (!stream.init(level))
        return -1;
    z_stream& z = *stream;
    static constexpr size_t blockSize = 64 * 1024;
    std::unique_ptr<char[]> input(new char[blockSize]);
    std::unique_ptr<char[]> output(new char[blockSize]);
    Md5 md5;
    int64_t packed = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        in.read(input.get(), blockSize);
        const std::streamsize got = in.gcount();
        if (in.bad())
            return -1;
        md5.update(input.get(), static_cast<size_t>(got));
        flush = in.eof() ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(input.get());
        z.avail_in = static_cast<uInt>(got);
        do {
            z.next_out = reinterpret_cast<Bytef*>(output.get());
            z.avail_out = blockSize;
            if (deflate(&z, flush) == Z_STREAM_ERROR)
                return -1;
            const size_t produced = blockSize - z.avail_out;
            if (!out.write(output.get(), produced))
                return -1;
            packed += static_cast<int64_t>(produced);
        } while (z.avail_out == 0);
    }
    if (!out.commit())
        return -1;
    digest = md5.hexDigest();
    return packed;
}

bool publishRelease(const std::string& sourceDir, const std::string& outDir, PublishReport& report,
                    const std::function<void(const char* action, const std::string& path)>& onFile) {
    report = PublishReport();
    std::error_code ec;
    if (fs::symlink_status(sourceDir, ec).type() != fs::file_type::directory) {
        report.error = "the release folder " + sourceDir + " is not a directory";
        return false;
    }
    fs::create_directories(outDir, ec);
    if (fs::symlink_status(outDir, ec).type() != fs::file_type::directory) {
        report.error = "cannot make the output folder " + outDir;
        return false;
    }
    const fs::path source = fs::weakly_canonical(sourceDir, ec);
    const fs::path out = fs::weakly_canonical(outDir, ec);
    if (isInside(out, source) || isInside(source, out)) {
        report.error = "the release and output folders must not contain one another";
        return false;
    }

    InstallScanner scanner(sourceDir, "checklist.txt");
    for (const std::string& pattern : builtInExcludes())
        scanner.addExclude(pattern);
    Manifest release;
    if (!scanner.scan(release, nullptr)) {
        report.error = "cannot read the release (error " + std::to_string(scanner.error()) + ")";
        return false;
    }
    for (const auto& [path, entry] : release) {
        if (!isSafeManifestPath(path)) {
            report.error = "cannot publish a file named '" + path + "'";
            return false;
        }
    }

    Manifest previous;
    const std::string manifestPath = outDir + "/checklist.txt";
    {
        std::ifstream in(manifestPath, std::ios::binary);
        if (in && !readManifest(in, previous))
            previous.clear();
    }

    for (auto& [path, entry] : release) {
        const std::string packedPath = outDir + "/" + path + ".zz";
        auto old = previous.find(path);
        if (old != previous.end() && old->second.hash == entry.hash && old->second.size == entry.size &&
            old->second.packedSize > 0 &&
            fs::symlink_status(packedPath, ec).type() == fs::file_type::regular &&
            fs::file_size(packedPath, ec) == static_cast<uintmax_t>(old->second.packedSize) && !ec) {
            entry.packedSize = old->second.packedSize;
            ++report.kept;
        } else {
            if (!makeParentDirectories(outDir, path)) {
                report.error = "cannot make the directories of " + packedPath;
                return false;
            }
            std::string digest;
            int64_t packed = compressFile(sourceDir + "/" + path, packedPath, 9, digest);
            if (packed < 0) {
                report.error = "cannot compress " + path + " into " + packedPath;
                return false;
            }
            if (digest != entry.hash) {
                report.error = path + " changed while it was published; run again";
                return false;
            }
            entry.packedSize = packed;
            ++report.compressed;
            if (onFile)
                onFile("compressed", path);
        }
        ++report.files;
        report.bytes += entry.size;
        report.packedBytes += entry.packedSize;
    }

    if (!writeManifest(manifestPath, release)) {
        report.error = "cannot write " + manifestPath;
        return false;
    }
    const std::string current = outDir + "/current.txt";
    if (fs::symlink_status(current, ec).type() == fs::file_type::not_found)
        std::ofstream(current, std::ios::binary);

    // Only now that the new manifest is served are the old files removed.
    std::vector<std::string> served;
    InstallScanner(outDir).list(served);
    for (const std::string& path : served) {
        bool stale = false;
        if (endsWith(path, ".zz"))
            stale = release.count(path.substr(0, path.size() - 3)) == 0;
        else if (endsWith(path, PendingFile::suffix))
            stale = true;
        if (!stale)
            continue;
        if (fs::remove(outDir + "/" + path, ec) && endsWith(path, ".zz")) {
            ++report.removed;
            if (onFile)
                onFile("removed", path);
        }
    }
    removeEmptyDirectories(outDir);
    return true;
}
