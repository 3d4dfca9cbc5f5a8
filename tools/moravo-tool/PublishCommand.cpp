// moravo-tool publish SRC_DIR OUT_DIR [--jobs N] [--no-chunks] [--sign
// PRIVATE_FILE [--expires DAYS]]: makes OUT_DIR servable by any static
// HTTP/1.1 server as the update location of the release in SRC_DIR,
// compressing N files at once (one per core by default) and cutting large
// files into the chunk store for delta updates (unless --no-chunks);
// signed, OUT_DIR/checklist.txt.sig is written after the manifest. On a
// terminal a progress line follows the work.
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/ConsoleListener.h"
#include "update/PublicationSigning.h"
#include "update/Publisher.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tool {

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: moravo-tool publish SRC_DIR OUT_DIR [--jobs N] [--no-chunks] [--sign PRIVATE_FILE "
                 "[--expires DAYS]]\n");
    return 2;
}

// The lines of the files done and, on a terminal, a progress line below
// them, redrawn at most ten times a second.
class PublishDisplay {
public:
    explicit PublishDisplay(bool terminal) : terminal_(terminal), start_(platform::milliseconds()) {}

    void line(const char* action, const std::string& path) {
        if (drawn_)
            std::fputs("\r\033[K", stdout);
        drawn_ = false;
        std::printf("%s %s\n", action, path.c_str());
    }
    void progress(int64_t done, int64_t total) {
        const uint32_t now = platform::milliseconds();
        if (!terminal_ || (drawn_ && done < total && static_cast<int32_t>(now - lastDraw_) < 100))
            return;
        lastDraw_ = now;
        drawn_ = true;
        std::printf("\r\033[K%s", progressLine(done, total, now - start_, 30).c_str());
        std::fflush(stdout);
    }
    void end() {
        if (drawn_)
            std::fputs("\r\033[K", stdout);
        drawn_ = false;
    }

private:
    bool terminal_;
    uint32_t start_;
    uint32_t lastDraw_ = 0;
    bool drawn_ = false;
};

struct PublishArguments {
    std::vector<std::string> positional;
    std::string keyFile;
    long expiresDays = 0;
    PublishOptions options;
};

// Reads the command's words; false, after saying why, when they are wrong.
bool readArguments(int argc, char** argv, PublishArguments& arguments) {
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--jobs" && i + 1 < argc) {
            char* end = nullptr;
            const long jobs = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || jobs < 1 || jobs > 256) {
                std::fprintf(stderr, "moravo-tool publish: --jobs takes a count from 1 to 256\n");
                return false;
            }
            arguments.options.jobs = static_cast<int>(jobs);
        } else if (word == "--no-chunks") {
            arguments.options.chunkStore = false;
        } else if (word == "--sign" && i + 1 < argc) {
            arguments.keyFile = argv[++i];
        } else if (word == "--expires" && i + 1 < argc) {
            char* end = nullptr;
            arguments.expiresDays = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || arguments.expiresDays < 1 ||
                arguments.expiresDays > 36500) {
                std::fprintf(stderr,
                             "moravo-tool publish: --expires takes a number of days from 1 to 36500\n");
                return false;
            }
        } else if (word.compare(0, 2, "--") == 0) {
            usage();
            return false;
        } else {
            arguments.positional.push_back(word);
        }
    }
    if (arguments.positional.size() != 2 || (arguments.expiresDays != 0 && arguments.keyFile.empty())) {
        usage();
        return false;
    }
    return true;
}

// What a publication that succeeded did.
void printReport(const PublishReport& report, const SignatureReport& signature, bool signedRelease,
                 const std::string& out) {
    std::printf("%d files, %lld bytes (%lld packed): %d compressed, %d unchanged, %d removed\n", report.files,
                static_cast<long long>(report.bytes), static_cast<long long>(report.packedBytes),
                report.compressed, report.kept, report.removed);
    const ChunkStoreGrowth& store = report.chunks;
    if (report.chunkedFiles > 0 || store.chunksPruned > 0)
        std::printf("chunk store: %d files in chunks; %llu chunks added (%llu bytes), %llu reused, %llu "
                    "pruned (%llu bytes)\n",
                    report.chunkedFiles, static_cast<unsigned long long>(store.chunksAdded),
                    static_cast<unsigned long long>(store.bytesAdded),
                    static_cast<unsigned long long>(store.chunksReused),
                    static_cast<unsigned long long>(store.chunksPruned),
                    static_cast<unsigned long long>(store.bytesPruned));
    if (signedRelease) {
        std::printf("signed: serial %lld", static_cast<long long>(signature.serial));
        if (signature.hasExpiry)
            std::printf(", expires %lld", static_cast<long long>(signature.expires));
        std::printf("\n");
        return;
    }
    std::error_code ec;
    if (std::filesystem::exists(platform::filePath(out + "/checklist.txt.sig"), ec))
        std::fprintf(stderr,
                     "moravo-tool publish: %s/checklist.txt.sig is left from a signed publication and does "
                     "not sign this one: launchers with a key will refuse it (publish with --sign)\n",
                     out.c_str());
}

} // namespace

int runPublish(int argc, char** argv) {
    PublishArguments arguments;
    if (!readArguments(argc, argv, arguments))
        return 2;
    const std::string& source = arguments.positional[0];
    const std::string& out = arguments.positional[1];
    const std::string& keyFile = arguments.keyFile;
    PublishOptions& options = arguments.options;

    PublishDisplay display(platform::isTerminal(stdout));
    auto onFile = [&](const char* action, const std::string& path) { display.line(action, path); };
    options.onProgress = [&](int64_t done, int64_t total) { display.progress(done, total); };
    PublishReport report;
    SignatureReport signature;
    const bool ok =
        keyFile.empty()
            ? publishRelease(source, out, report, onFile, options)
            : publishSignedRelease(source, out, keyFile, static_cast<int32_t>(arguments.expiresDays),
                                   platform::secondsSince1970(), report, signature, onFile, options);
    display.end();
    if (!ok) {
        std::fprintf(stderr, "moravo-tool publish: %s\n", report.error.c_str());
        return 1;
    }
    printReport(report, signature, !keyFile.empty(), out);
    return 0;
}

} // namespace tool
