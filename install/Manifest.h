#pragma once
#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

/// One file of a manifest.
struct ManifestEntry {
    /// MD5 digest of the file, 32 lower-case hexadecimal characters.
    std::string hash;
    /// Length of the installed file in bytes.
    int64_t size = 0;
    /// Length of its compressed form on the update server; 0 when unknown.
    int64_t packedSize = 0;

    bool operator==(const ManifestEntry& other) const {
        return hash == other.hash && size == other.size && packedSize == other.packedSize;
    }
    bool operator!=(const ManifestEntry& other) const { return !(*this == other); }
};

/// Relative path ('/' separated, compared byte-wise) to its entry. Iteration,
/// writing and the update order all follow the key order.
using Manifest = std::map<std::string, ManifestEntry>;

/// Bytes to fetch for an entry: its packed size, or its size when that is 0.
inline int64_t downloadSize(const ManifestEntry& entry) {
    return entry.packedSize != 0 ? entry.packedSize : entry.size;
}

/// Longest manifest line kept, without its line ending.
constexpr size_t manifestLineLimit = 499;

/// Bounds of one manifest read, so that a stream without end (a hostile or
/// broken server) cannot take all memory.
struct ManifestLimits {
    /// Largest manifest in bytes.
    uint64_t bytes = 64u << 20;
    /// Most lines (entries) read.
    size_t entries = 200000;
};

/// How a manifest read ended.
enum class ManifestEnd {
    complete, ///< the end of the stream, or a line missing a field
    cutLine,  ///< a line longer than `manifestLineLimit`
    tooLarge, ///< more bytes or lines than the limits allow
};

/// Reads "hash size packedSize path" lines into `manifest` (a repeated path
/// keeps the last line). A byte-order mark before the first line is
/// skipped, and digests are kept in lower case. Answers false at the first
/// line that lacks one of the four fields or whose digest is not 32 hex
/// digits, and when the limits are passed; entries read before stay.
/// Reading ends with true at the end of the stream or at a line longer than
/// `manifestLineLimit`; `end`, when given, tells what ended it.
bool readManifest(std::istream& in, Manifest& manifest, ManifestEnd* end = nullptr,
                  const ManifestLimits& limits = ManifestLimits());

/// Writes the manifest, one line per entry in key order, so that no reader
/// ever sees half of it: the lines go to a temporary file beside `path`,
/// which is flushed to the disk and then renamed over `path`. False when the
/// file cannot be written (nothing at `path` changes then).
bool writeManifest(const std::string& path, const Manifest& manifest);

/// A line of the local manifest whose path ends in "/" records a folder
/// the installation owns rather than a file ("cfg/"; "/" for the
/// installation's top): files in it that a release no longer publishes are
/// obsolete, even while no listed file lies in it. Its digest is this one
/// and its sizes 0, so that the line reads as any other; no file has such
/// a path, and readers of the files' entries skip it.
constexpr const char* folderRecordDigest = "00000000000000000000000000000000";
inline bool isFolderRecord(const std::string& path) {
    return !path.empty() && path.back() == '/';
}
/// The folder of the manifest path `path` ("" at the installation's top;
/// "cfg" for "cfg/a.cfg" and for the folder line "cfg/").
inline std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
/// The record of the folder `folder` ("" for the top).
inline std::string folderRecordPath(const std::string& folder) {
    return folder + "/";
}

/// Why `path` cannot be a path of a published manifest, or null when it
/// can. A path must name a file inside the installation (not empty,
/// relative, no drive letter, no backslash, no component that is empty, "."
/// or "..", no NUL or other control character), by a name that Windows
/// holds as a plain file (no device name, colon, forbidden character, or
/// trailing dot or blank in any component) and that is not one of the
/// updater's own working names ("*.moravo-part", "*.moravo-resume",
/// "*.moravo-delta", "checklist.serial", "checklist.handoff", and the self
/// update's "checklist.job", "checklist.previous" and "checklist.started"),
/// in any letter case. The publisher and the updater
/// both apply it, on every system. The answer is a static text; `kind` (may
/// be null) gets which of the three rules refused the path. A backslash is a
/// folder separator on Windows: it leaves the installation when a part it
/// separates is "." or ".." (or it starts the path), and is otherwise a
/// character Windows forbids in names, as a colon is (a drive letter too).
enum class PathProblemKind { none, leavesInstallation, windowsName, workingName };
const char* manifestPathProblem(const std::string& path, PathProblemKind* kind = nullptr);

/// True when `manifestPathProblem` finds nothing. Paths of a published
/// manifest come from the network and must pass this test.
bool isSafeManifestPath(const std::string& path);

/// The text between the first and last character that is not a blank, tab,
/// carriage return or line feed.
std::string trimmed(const std::string& text);

/// The file beside the local manifest that keeps the serial of the last
/// signed manifest the installation accepted. Like the manifest itself it is
/// never scanned, deleted or published.
constexpr const char* serialFileName = "checklist.serial";
/// The file beside the local manifest that keeps the key the installation
/// trusts after following the publication's key rotations (see
/// KeyRotation.h). Never scanned, deleted or published either.
constexpr const char* trustedKeyFileName = "checklist.trust";
/// The launcher's connection file at the installation's root: never
/// deleted as obsolete, and published only when the operator says so.
constexpr const char* clientConfigName = "ZEP_client.xml";

/// Suffix of the file a delta update puts a file together in, beside its
/// destination: it survives an interrupted run, whose chunks the next run
/// keeps.
constexpr const char* deltaFileSuffix = ".moravo-delta";

/// True for an MD5 digest as the manifests spell it: 32 lower-case hex
/// digits.
bool isManifestDigest(const std::string& text);

/// The file beside the local manifest that updaters lock so that only one
/// at a time changes the installation (see InstallationLock.h). Never
/// scanned, deleted or published either.
constexpr const char* lockFileName = "checklist.lock";

/// The file beside the local manifest where the updater keeps the chunk
/// indexes of the large files it put in place (see KnownChunks.h).
constexpr const char* knownChunksFileName = "checklist.chunks";

/// The file beside the local manifest that remembers a hand-off to the
/// self-update completer that could not start (see HandOffRecord.h). Never
/// scanned, deleted or published either.
constexpr const char* handOffFileName = "checklist.handoff";

/// The names beside the local manifest that a self-update of the launcher's
/// own files keeps until the new launcher has shown that it starts (see
/// SelfUpdateJob.h): the job's record, the folder of the files it replaced,
/// and the new launcher's confirmation. Never scanned, deleted or published
/// either.
constexpr const char* selfUpdateJobFileName = "checklist.job";
constexpr const char* previousFilesFolderName = "checklist.previous";
constexpr const char* startedFileName = "checklist.started";

/// Patterns every update excludes, in the order they are added.
const std::vector<std::string>& builtInExcludes();

/// The launcher's own files, which cannot be replaced while it runs: the
/// updater stages them in "tmp" for the self-update completer.
const std::vector<std::string>& selfFiles();

/// True for the launcher's own programs among the self files, which must
/// stay executable when they are replaced.
bool isLauncherProgram(const std::string& path);

/// The patterns of an "excludes.txt" stream: one per line, lines of at most
/// 255 characters, trimmed, empty lines skipped.
std::vector<std::string> readExcludeLines(std::istream& in);
