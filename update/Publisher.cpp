#include "update/Publisher.h"

#include "net/Md5.h"
#include "platform/FileSystem.h"
#include "support/Workers.h"
#include "update/InstallScanner.h"
#include "update/Manifest.h"
#include "update/ManifestRules.h"
#include "update/PendingFile.h"
#include "update/SafePaths.h"

#ifdef MORAVO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
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

// A name that ends in a dot is never listed (the scanner takes it for "."
// or ".."), so it is looked for on its own: on Windows it would be another
// file, the one without the dot. Answers the first one's relative path.
std::string findDottedName(const InstallScanner& scanner, const std::string& directory) {
    std::vector<platform::DirectoryEntry> entries;
    platform::listDirectory(directory, entries);
    for (const platform::DirectoryEntry& entry : entries) {
        const std::string full = directory + entry.name;
        if (entry.name.back() == '.')
            return full.substr(static_cast<size_t>(scanner.prefixLength()));
        if (entry.kind == platform::FileKind::directory && !scanner.isExcluded(full)) {
            const std::string found = findDottedName(scanner, full + "/");
            if (!found.empty())
                return found;
        }
    }
    return std::string();
}

// Why the release cannot be published as it is (empty when it can): every
// name must be one a Windows player can install, since a release published
// anywhere is installed there.
std::string releaseNamesProblem(const InstallScanner& scanner, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (const char* problem = manifestPathProblem(path))
            return "cannot publish a file named '" + path + "': " + problem;
    }
    const std::string dotted = findDottedName(scanner, scanner.base());
    if (!dotted.empty())
        return "cannot publish a file named '" + dotted +
               "': " + platform::windowsNameProblem(dotted.substr(dotted.rfind('/') + 1));
    std::string first, second;
    if (findCaseTwins(paths, first, second))
        return "cannot publish both '" + first + "' and '" + second +
               "': their names differ only in letter case, and Windows takes them for one file";
    return std::string();
}

} // namespace

namespace {

// The zlib stream of a file read piece by piece, for files too large to hold.
int64_t deflateStreaming(std::ifstream& in, PendingFile& out, Md5& md5, int64_t& size) {
    DeflateStream stream;
    if (!stream.init(9))
        return -1;
    z_stream& z = *stream;
    static constexpr size_t blockSize = 64 * 1024;
    std::unique_ptr<char[]> input(new char[blockSize]);
    std::unique_ptr<char[]> output(new char[blockSize]);
    int64_t packed = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        in.read(input.get(), blockSize);
        const std::streamsize got = in.gcount();
        if (in.bad())
            return -1;
        md5.update(input.get(), static_cast<size_t>(got));
        size += got;
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
    return packed;
}

#ifdef MORAVO_HAVE_LIBDEFLATE
// libdeflate's level 8 compresses more tightly than zlib's level 9 on game
// data and on programs, and faster.
constexpr int libdeflateLevel = 8;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// The whole file in memory, compressed at once.
int64_t deflateWhole(std::ifstream& in, int64_t expected, PendingFile& out, Md5& md5, int64_t& size) {
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(libdeflateLevel));
    if (compressor == nullptr)
        return -1;
    std::string bytes(static_cast<size_t>(expected), '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (in.bad() || in.peek() != std::char_traits<char>::eof())
        return -1; // changed while it was read
    md5.update(bytes.data(), bytes.size());
    size = static_cast<int64_t>(bytes.size());
    std::string packed(libdeflate_zlib_compress_bound(compressor.get(), bytes.size()), '\0');
    const size_t length =
        libdeflate_zlib_compress(compressor.get(), bytes.data(), bytes.size(), &packed[0], packed.size());
    if (length == 0 || !out.write(packed.data(), length))
        return -1;
    return static_cast<int64_t>(length);
}
#endif

} // namespace

int64_t compressFile(const std::string& source, const std::string& destination, std::string& digest,
                     int64_t& size) {
    std::ifstream in(platform::filePath(source), std::ios::binary);
    if (!in)
        return -1;
    PendingFile out;
    if (!out.open(destination))
        return -1;
    Md5 md5;
    size = 0;
    int64_t packed = -1;
#ifdef MORAVO_HAVE_LIBDEFLATE
    std::error_code ec;
    const auto expected = fs::file_size(platform::filePath(source), ec);
    if (!ec && static_cast<int64_t>(expected) <= wholeFileLimit)
        packed = deflateWhole(in, static_cast<int64_t>(expected), out, md5, size);
    else
#endif
        packed = deflateStreaming(in, out, md5, size);
    if (packed < 0 || !out.commit())
        return -1;
    digest = md5.hexDigest();
    return packed;
}

namespace {

// One file of the release: compressed, or kept when an earlier publication
// already serves the same bytes.
struct PublishTask {
    std::string path;
    int64_t size = 0;
    // The earlier publication's entry, when its .zz file is still there.
    const ManifestEntry* previous = nullptr;
    // Results.
    bool done = false;
    bool kept = false;
    std::string error;
    ManifestEntry entry;
};

// The tasks, claimed one at a time by the calling thread and by the
// helpers; shared so that a helper finishing late touches no freed memory.
struct PublishWork {
    std::string sourceDir, outDir;
    std::vector<PublishTask> tasks;
    std::vector<size_t> order; // largest files first, so that no big one comes last
    std::atomic<size_t> next{0};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable changed;
    // Made while folders of the output are created.
    std::mutex layout;

    // A helper's body: it works until no file is left or the run ends.
    void help() {
        while (doOne()) {
        }
    }

    bool doOne() {
        if (stopping)
            return false;
        const size_t claimed = next.fetch_add(1);
        if (claimed >= order.size())
            return false;
        PublishTask& task = tasks[order[claimed]];
        const std::string source = sourceDir + "/" + task.path;
        const std::string packedPath = outDir + "/" + task.path + ".zz";
        ManifestEntry entry;
        std::string error;
        bool kept = false;
        if (task.previous != nullptr) {
            std::string digest;
            int64_t size = 0;
            if (hashFile(source, digest, size) == 0 && digest == task.previous->hash &&
                size == task.previous->size) {
                entry = *task.previous;
                kept = true;
            }
        }
        if (!kept) {
            bool folders;
            {
                std::lock_guard<std::mutex> guard(layout);
                folders = makeParentDirectories(outDir, task.path);
            }
            int64_t size = 0;
            const int64_t packed = folders ? compressFile(source, packedPath, entry.hash, size) : -1;
            if (!folders)
                error = "cannot make the directories of " + packedPath;
            else if (packed < 0)
                error = "cannot compress " + task.path + " into " + packedPath;
            entry.size = size;
            entry.packedSize = packed;
        }
        std::lock_guard<std::mutex> guard(mutex);
        task.done = true;
        task.kept = kept;
        task.error = error;
        task.entry = entry;
        changed.notify_all();
        return true;
    }
};

int defaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

using FileAction = std::function<void(const char* action, const std::string& path)>;

// Why the folders cannot be used (empty when they can); makes the output
// folder when it is missing.
std::string foldersProblem(const std::string& sourceDir, const std::string& outDir) {
    std::error_code ec;
    if (platform::fileKind(sourceDir) != platform::FileKind::directory)
        return "the release folder " + sourceDir + " is not a directory";
    fs::create_directories(platform::filePath(outDir), ec);
    if (platform::fileKind(outDir) != platform::FileKind::directory)
        return "cannot make the output folder " + outDir;
    const fs::path source = fs::weakly_canonical(platform::filePath(sourceDir), ec);
    const fs::path out = fs::weakly_canonical(platform::filePath(outDir), ec);
    if (isInside(out, source) || isInside(source, out))
        return "the release and output folders must not contain one another";
    return std::string();
}

// The release's files, sorted; false (with the reason in `error`) when the
// release cannot be read or holds a name that cannot be published.
bool listRelease(const std::string& sourceDir, std::vector<std::string>& paths, std::string& error) {
    InstallScanner scanner(sourceDir, "checklist.txt");
    for (const std::string& pattern : builtInExcludes())
        scanner.addExclude(pattern);
    if (scanner.list(paths) < 0) {
        error = "cannot read the release (error " + std::to_string(InstallScanner::readFailed) + ")";
        return false;
    }
    std::sort(paths.begin(), paths.end());
    error = releaseNamesProblem(scanner, paths);
    return error.empty();
}

// The plan: a task per file, the earlier publication's entry where its .zz
// file is still there, and the order of work. Answers the release's size.
int64_t planWork(PublishWork& work, const std::vector<std::string>& paths, const Manifest& previous) {
    std::error_code ec;
    work.tasks.resize(paths.size());
    int64_t total = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        PublishTask& task = work.tasks[i];
        task.path = paths[i];
        const auto size = fs::file_size(platform::filePath(work.sourceDir + "/" + task.path), ec);
        task.size = ec ? 0 : static_cast<int64_t>(size);
        total += task.size;
        auto old = previous.find(task.path);
        const std::string packedPath = work.outDir + "/" + task.path + ".zz";
        if (old != previous.end() && old->second.size == task.size && old->second.packedSize > 0 &&
            platform::fileKind(packedPath) == platform::FileKind::file &&
            fs::file_size(platform::filePath(packedPath), ec) ==
                static_cast<uintmax_t>(old->second.packedSize) &&
            !ec)
            task.previous = &old->second;
        work.order.push_back(i);
    }
    std::stable_sort(work.order.begin(), work.order.end(),
                     [&](size_t a, size_t b) { return work.tasks[a].size > work.tasks[b].size; });
    return total;
}

// The tasks finished and not yet told, marked as told now; waits for one
// when there is none.
std::vector<size_t> takeFinished(PublishWork& work, std::vector<bool>& told, bool wait) {
    std::unique_lock<std::mutex> guard(work.mutex);
    const size_t count = work.tasks.size();
    if (wait) {
        work.changed.wait(guard, [&] {
            for (size_t i = 0; i < count; ++i) {
                if (work.tasks[i].done && !told[i])
                    return true;
            }
            return false;
        });
    }
    std::vector<size_t> finished;
    for (size_t i = 0; i < count; ++i) {
        if (work.tasks[i].done && !told[i]) {
            told[i] = true;
            finished.push_back(i);
        }
    }
    return finished;
}

// Compresses every file, on the calling thread and on `jobs` - 1 helpers;
// the calling thread tells between files what finished (in the order the
// files finish). Answers the first failure, empty when there is none.
std::string compressAll(const std::shared_ptr<PublishWork>& work, int jobs, int64_t total,
                        const FileAction& onFile, const PublishOptions& options) {
    const size_t count = work->tasks.size();
    support::HelperGroup helpers;
    helpers.start(count == 0 ? 0 : static_cast<int>(std::min(static_cast<size_t>(jobs - 1), count - 1)),
                  [work] { work->help(); });
    std::vector<bool> told(count, false);
    int64_t doneBytes = 0;
    size_t doneCount = 0;
    std::string failure;
    while (doneCount < count && failure.empty()) {
        const bool worked = work->doOne();
        for (size_t i : takeFinished(*work, told, !worked)) {
            const PublishTask& task = work->tasks[i];
            ++doneCount;
            doneBytes += task.size;
            if (!task.error.empty()) {
                if (failure.empty())
                    failure = task.error;
                continue;
            }
            if (!task.kept && onFile)
                onFile("compressed", task.path);
        }
        if (options.onProgress)
            options.onProgress(doneBytes, total);
    }
    // Helpers still busy end before the folder is used.
    work->stopping = true;
    helpers.join();
    return failure;
}

// The new manifest, counted into `report`.
Manifest releaseManifest(const std::vector<PublishTask>& tasks, PublishReport& report) {
    Manifest release;
    for (const PublishTask& task : tasks) {
        release[task.path] = task.entry;
        ++report.files;
        report.bytes += task.entry.size;
        report.packedBytes += task.entry.packedSize;
        if (task.kept)
            ++report.kept;
        else
            ++report.compressed;
    }
    return release;
}

// Removes the .zz files the release no longer names and the working files
// left behind, then the folders that hold nothing any more.
void pruneOutput(const std::string& outDir, const Manifest& release, PublishReport& report,
                 const FileAction& onFile) {
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
        if (platform::removeFile(outDir + "/" + path) && endsWith(path, ".zz")) {
            ++report.removed;
            if (onFile)
                onFile("removed", path);
        }
    }
    removeEmptyDirectories(platform::filePath(outDir));
}

} // namespace

bool publishRelease(const std::string& sourceDir, const std::string& outDir, PublishReport& report,
                    const FileAction& onFile, const PublishOptions& options) {
    report = PublishReport();
    report.error = foldersProblem(sourceDir, outDir);
    if (!report.error.empty())
        return false;
    std::vector<std::string> paths;
    if (!listRelease(sourceDir, paths, report.error))
        return false;

    Manifest previous;
    const std::string manifestPath = outDir + "/checklist.txt";
    {
        std::ifstream in(platform::filePath(manifestPath), std::ios::binary);
        if (in && !readManifest(in, previous))
            previous.clear();
    }
    auto work = std::make_shared<PublishWork>();
    work->sourceDir = sourceDir;
    work->outDir = outDir;
    const int64_t total = planWork(*work, paths, previous);
    const int jobs = options.jobs > 0 ? options.jobs : defaultJobs();
    report.error = compressAll(work, jobs, total, onFile, options);
    if (!report.error.empty())
        return false;

    const Manifest release = releaseManifest(work->tasks, report);
    if (!writeManifest(manifestPath, release)) {
        report.error = "cannot write " + manifestPath;
        return false;
    }
    const std::string current = outDir + "/current.txt";
    if (platform::fileKind(current) == platform::FileKind::missing)
        std::ofstream(platform::filePath(current), std::ios::binary);
    // Only now that the new manifest is served are the old files removed.
    pruneOutput(outDir, release, report, onFile);
    return true;
}
