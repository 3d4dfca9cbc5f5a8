// moravo-tool publish SRC_DIR OUT_DIR [--jobs N] [--no-chunks] [--keep N]
// [--allow-removals] [--with-client-config] [--sign PRIVATE_FILE
// [--rotate-from OLD_PRIVATE_FILE] [--expires DAYS] | --unsigned]:
// makes OUT_DIR servable by any static HTTP/1.1 server as the update
// location of the release in SRC_DIR: a new version is built beside the
// live one, compressing N files at once (one per core by default) and
// cutting large files into the chunk store for delta updates (unless
// --no-chunks), signed when asked (the key rotation record checklist.keys
// carried on; with --rotate-from, an entry signed by the old key hands the
// signing over to the new one), checked, and then made live in one step;
// the --keep newest versions stay served. One publisher at a time per
// OUT_DIR. An empty release, one that removes more than half of the
// published files, and an unsigned publication over a signed one are
// refused unless the flag says so. On a terminal a progress line follows
// the work.
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "publish/PublicationLock.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "publish/Publisher.h"
#include "signing/KeyRotation.h"
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/ConsoleListener.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace tool {

namespace {

int usage() {
    std::fprintf(
        stderr,
        "usage: moravo-tool publish SRC_DIR OUT_DIR [--jobs N] [--no-chunks] [--keep N] [--allow-removals] "
        "[--with-client-config]\n"
        "       [--sign PRIVATE_FILE [--rotate-from OLD_PRIVATE_FILE] [--expires DAYS] | --unsigned]\n");
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
    std::string rotateFromFile;
    long expiresDays = 0;
    bool unsignedAllowed = false;
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
        } else if (word == "--keep" && i + 1 < argc) {
            char* end = nullptr;
            const long keep = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || keep < 1 || keep > maximumKeptVersions) {
                std::fprintf(stderr, "moravo-tool publish: --keep takes a count of versions from 1 to %d\n",
                             maximumKeptVersions);
                return false;
            }
            arguments.options.keep = static_cast<int32_t>(keep);
        } else if (word == "--no-chunks") {
            arguments.options.chunkStore = false;
        } else if (word == "--allow-removals") {
            arguments.options.allowRemovals = true;
        } else if (word == "--with-client-config") {
            arguments.options.clientConfig = true;
        } else if (word == "--unsigned") {
            arguments.unsignedAllowed = true;
        } else if (word == "--sign" && i + 1 < argc) {
            arguments.keyFile = argv[++i];
        } else if (word == "--rotate-from" && i + 1 < argc) {
            arguments.rotateFromFile = argv[++i];
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
    if (arguments.positional.size() != 2 ||
        ((arguments.expiresDays != 0 || !arguments.rotateFromFile.empty()) && arguments.keyFile.empty()) ||
        (arguments.unsignedAllowed && !arguments.keyFile.empty())) {
        usage();
        return false;
    }
    return true;
}

// What a publication that succeeded did.
void printReport(const PublishReport& report, const SignatureReport& signature, bool signedRelease) {
    std::printf("live: %s", report.version.c_str());
    if (report.retired > 0)
        std::printf(" (%d older version%s removed)", report.retired, report.retired > 1 ? "s" : "");
    std::printf("\n");
    if (report.unfinished > 0)
        std::printf("removed %d unfinished version%s of an earlier publish that failed\n", report.unfinished,
                    report.unfinished > 1 ? "s" : "");
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
        if (signature.rotation > 0)
            std::printf("key rotation %lld: the signing key takes over from the key of rotation %lld (%s)\n",
                        static_cast<long long>(signature.rotation),
                        static_cast<long long>(signature.rotation - 1), rotationRecordName);
        std::printf("signed: serial %lld", static_cast<long long>(signature.serial));
        if (signature.hasExpiry)
            std::printf(", expires %lld", static_cast<long long>(signature.expires));
        std::printf("\n");
        return;
    }
}

// The signature of the live publication in `out`, which launchers with its
// key expect; empty when there is none.
std::string earlierSignature(const std::string& out) {
    const std::string path = livePublicationFolder(out) + "/checklist.txt.sig";
    return platform::fileKind(path) == platform::FileKind::missing ? std::string() : path;
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

    const std::string earlier = keyFile.empty() ? earlierSignature(out) : std::string();
    if (!earlier.empty() && !arguments.unsignedAllowed) {
        std::fprintf(stderr,
                     "moravo-tool publish: %s is signed (%s): launchers with its key refuse an unsigned "
                     "publication; give --sign with the key, or --unsigned to publish it unsigned\n",
                     out.c_str(), earlier.c_str());
        return 1;
    }
    std::string lockError;
    const std::unique_ptr<platform::FileLock> lock =
        lockPublication(out, platform::secondsSince1970(), lockError);
    if (lock == nullptr) {
        std::fprintf(stderr, "moravo-tool publish: %s\n", lockError.c_str());
        return 1;
    }

    PublishDisplay display(platform::isTerminal(stdout));
    auto onFile = [&](const char* action, const std::string& path) { display.line(action, path); };
    options.onProgress = [&](int64_t done, int64_t total) { display.progress(done, total); };
    PublishReport report;
    SignatureReport signature;
    const bool ok = keyFile.empty() ? publishRelease(source, out, report, onFile, options)
                                    : publishSignedRelease(source, out, keyFile,
                                                           static_cast<int32_t>(arguments.expiresDays),
                                                           platform::secondsSince1970(), report, signature,
                                                           onFile, options, arguments.rotateFromFile);
    display.end();
    for (const auto& left : report.leftOut)
        std::printf("left out %s: %s\n", left.first.c_str(), left.second.c_str());
    if (!ok) {
        std::fprintf(stderr, "moravo-tool publish: %s\n", report.error.c_str());
        return 1;
    }
    printReport(report, signature, !keyFile.empty());
    return 0;
}

} // namespace tool
