#pragma once
#include "delta/DeltaPlan.h"
#include "delta/Inflater.h"
#include "delta/KnownChunks.h"
#include "install/InstallScanner.h"
#include "install/Manifest.h"
#include "net/Ed25519.h"
#include "signing/KeyRotation.h"
#include "signing/ManifestSignature.h"
#include "support/XThread.h"
#include "update/ServerLink.h"
#include "update/UpdateLocation.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class DownloadQueue;
class HttpConnection;
class UpdaterListener;

/// Brings the installation in the current directory in line with the
/// version published at an update location, on its own thread: it fetches
/// "current.txt" and "checklist.txt", reads or scans the local manifest,
/// downloads each file whose digest differs as a zlib stream (verified by
/// size and MD5 before it replaces the installed file), stages the
/// launcher's own files in "tmp", deletes files no longer published and
/// writes the new local manifest.
///
/// Several files are in flight at once, each on a lane of its own (a thread
/// and a connection), while the listener hears of them one after the other
/// in manifest order; the first file in that order that fails decides the
/// run's error. A large file whose connection breaks keeps the compressed
/// bytes that arrived and continues from them, in a later attempt or a
/// later run. A run that fails or is cancelled writes a local manifest of
/// the files it put in place and, for the others, the entries of the old
/// one, which still describe them. A verified file whose destination another
/// program holds open stays beside it, and the next run puts it in place
/// without fetching it again.
///
/// With a public key (`requireSignature`) the published manifest is
/// accepted only with a good signature of that key, a serial not below the
/// last one accepted and an expiry not yet come; any other manifest ends the
/// run with 240 before a file is written or deleted. The key may have been
/// rotated since it was configured: the publication's key rotation record
/// ("checklist.keys", see KeyRotation.h) is followed from the key the
/// installation trusts, which it keeps in "checklist.trust". One object performs one
/// run at a time; it must be stopped (`stop`) before it is destroyed.
class Updater : public XThread {
public:
    /// Error codes passed to `onError`.
    enum : int32_t {
        readError = 32,
        writeError = 48,
        directoryError = 64,
        downloadError = 224,
        manifestError = 240,
        undefinedError = 256,
        cancelled = 3840,
        connectionError = 4096,
        inflateInitError = 2208,
        inflateInputError = 0x8B0,  // minus zlib's (negative) result
        inflateFinishError = 0x8C0, // minus zlib's (negative) result
        inflateEndError = 2256,
    };

    /// Pause after a failed download attempt.
    static constexpr uint32_t retryPauseMs = 3000;
    /// How long a verified file keeps trying to replace a destination that
    /// another program holds open, and its first pause (the pauses double).
    static constexpr uint32_t heldFileRetryMs = 10000;
    static constexpr uint32_t heldFileFirstPauseMs = 100;
    /// A connection that delivers no byte for this long fails the attempt.
    static constexpr uint32_t receiveTimeoutMs = 30000;
    /// Files downloaded at once (each over a connection of its own).
    static constexpr int defaultLanes = 2;
    /// Files of this download size and larger resume where a broken
    /// connection left them.
    static constexpr int64_t defaultResumeThreshold = int64_t(4) << 20;

    /// Waits `ms` milliseconds, or less once a stop is requested.
    using Pause = std::function<void(uint32_t ms)>;
    /// Seconds since 1970, for the expiry of signatures.
    using WallClock = std::function<int64_t()>;

    /// Largest published manifest checked against its signature (it is held
    /// in memory for the check).
    static constexpr size_t signedManifestLimit = ManifestLimits().bytes;
    /// Largest file a published manifest may list (1 TiB), so that no sum
    /// of sizes can overflow.
    static constexpr int64_t largestFile = int64_t(1) << 40;

    /// `location` is host[:port][/path].
    explicit Updater(const std::string& location);
    ~Updater() override;

    /// Stages the launcher's own files in "tmp" instead of replacing them.
    void enableSelfFiles();
    /// Adds an exclude pattern (a line of "excludes.txt").
    void addExclude(const std::string& pattern);
    /// Accepts only manifests signed by this key, or by a key it was rotated
    /// to: the base64 of its 32 raw bytes (blanks around it are ignored). A
    /// key that cannot be read makes every run fail with 240; it never means
    /// unsigned.
    void requireSignature(const std::string& publicKey);
    bool signatureRequired() const { return signatureRequired_; }

    /// Prepares a run (`prepareUpdate`) and starts the thread. `listener` is
    /// not owned and must outlive the run; `delayMs` is waited before each
    /// download attempt; `maxAttempts` (0 or 1: one attempt) bounds the
    /// attempts per file. False when the thread could not be started.
    bool startUpdate(UpdaterListener* listener, uint32_t delayMs, int32_t maxAttempts);
    /// Everything `startUpdate` does except starting the thread, for a
    /// caller that then calls `run` on a thread of its own.
    void prepareUpdate(UpdaterListener* listener, uint32_t delayMs, int32_t maxAttempts);

    /// Asks the run to end at its next check and shuts the active connection
    /// down, so that a read from a silent server returns at once. Any thread.
    void requestStop() override;
    /// The run; every listener call is made from here.
    void run() override;

    /// Deletes installed files that the published manifest does not list,
    /// in the game's folders only (see `ObsoleteFiles`).
    bool removeObsolete = false;
    /// Scans the installation even when a local manifest exists (repair).
    bool ignoreLocalManifest = false;
    /// Puts a changed file that the publication's chunk store indexes
    /// together from its installed copy and the chunks it lacks; off, every
    /// changed file is downloaded whole.
    bool deltaUpdates = true;

    /// What the delta updates of the last run did: the files put together
    /// from chunks, the bytes fetched for them (indexes, chunk headers and
    /// pieces), the bytes taken from the installed copies, and how many of
    /// those copies were known by their record (not cut again).
    struct DeltaReport {
        int32_t files = 0;
        int64_t fetched = 0;
        int64_t reused = 0;
        int32_t knownCopies = 0;
    };
    DeltaReport deltaReport() const { return deltaReport_; }

    /// 0, or the first fatal error of the last run (read it once the run
    /// has ended).
    int32_t error() const { return error_; }
    /// Why the last run failed, in words, one line per cause (every refused
    /// entry of a published manifest, for instance): the server's status
    /// and the URL, the connection that could not be made and why, a
    /// location that cannot be one, what a file was expected to be and what
    /// arrived. Empty when the run did not fail, or when nothing beyond the
    /// code is known (a signature refused: `signatureRefusal`). The updater
    /// logs each line with its code; read them once the run has ended.
    const std::vector<std::string>& failureCauses() const { return failureCauses_; }
    /// Launcher files staged in "tmp" over the object's life.
    int32_t stagedCount() const { return stagedCount_; }
    const UpdateLocation& location() const { return location_; }

    /// Replaces the waits (the pause after a failed attempt and the delay
    /// before each attempt); tests record them instead of waiting.
    void setPause(Pause pause) { pause_ = std::move(pause); }
    /// Replaces the receive time-out of the update connections.
    void setReceiveTimeout(uint32_t ms);
    /// Where the proxy for the update server is found; none (the default):
    /// every connection is direct.
    void setProxies(std::shared_ptr<ProxyFinder> proxies);
    /// Files downloaded at once (1 or more).
    void setLanes(int lanes) { lanes_ = lanes < 1 ? 1 : lanes; }
    /// Files of this download size and larger resume (0: none does).
    void setResumeThreshold(int64_t bytes) { resumeThreshold_ = bytes; }
    /// The inflate engine (the fastest the build has by default); any other
    /// than the fastest also inflates small files as it does large ones.
    void setInflateEngine(Inflater::Engine engine) { engine_ = engine; }
    /// Replaces the clock that signature expiries are compared with.
    void setWallClock(WallClock clock) { wallClock_ = std::move(clock); }

    /// Why the last run refused the published manifest's signature (none
    /// when it did not), and a sentence for the operator.
    SignatureProblem signatureProblem() const { return signatureProblem_; }
    const std::string& signatureRefusal() const { return signatureRefusal_; }
    /// The path of the file that keeps the serial accepted last.
    std::string serialPath() const { return installDir_ + "/" + serialFileName; }
    /// The path of the file that keeps the key trusted after the rotations
    /// followed.
    std::string trustPath() const { return installDir_ + "/" + trustedKeyFileName; }
    /// The key the last run checked the published manifest with, and its
    /// rotation (an empty key when it checked none).
    const TrustedKey& trustedKey() const { return trustedKey_; }

private:
    // The delta plans of the files to download that have one; counted into
    // `deltaReport_`.
    void planDeltas(const std::vector<const std::string*>& wanted);
    // The changed files whose indexes are worth fetching: large ones put in
    // place (not staged). `withCopy` gets those with an installed copy.
    std::vector<const std::string*> chunkable(const std::vector<const std::string*>& wanted,
                                              std::vector<bool>& withCopy) const;
    // Records the indexes of the files `installed` now lists as published,
    // and forgets what it no longer lists.
    void recordKnownChunks(const Manifest& installed);
    void countDownloads();

    // Follows current.txt; false when the run already ended (a relocation
    // that cannot be followed).
    bool checkLocation();
    // Ends the run with `code` and its causes (logged).
    void fail(int32_t code, std::vector<std::string> causes);
    // The scanner of the installation, with the run's excludes.
    InstallScanner scanner() const;
    // Steps 6 to 9; false when the run already ended (cancelled).
    bool updateFiles();
    bool readLocalManifest();
    bool fetchPublishedManifest();
    // Reads the published manifest's answer: into `bytes` (`tooLarge` when
    // it is over the limit) when it is signed, else straight into the
    // published manifest (`read`, `end`); false, with the run's error set,
    // when the body was cut short.
    bool receiveManifest(HttpConnection& connection, std::string& bytes, bool& tooLarge, bool& read,
                         ManifestEnd& end);
    // Why the published manifest just read is refused, a line per problem;
    // empty when it is not.
    std::vector<std::string> publishedProblems(bool read, ManifestEnd end) const;
    // The signature of the manifest just read (`bytes`); false, with the
    // run's error set, when it is refused or cannot be fetched.
    bool checkSignature(const std::string& manifestRequest, const std::string& bytes);
    // Fetches the key rotation record and sets `trustedKey_` to the key the
    // manifest must be signed with; false, with the run's error set, when
    // the record is refused or cannot be fetched.
    bool followKeyRotations();
    // A small published file: `read` (into `text`), `absent` (the server
    // answered `status`, not 200), `failed` (no answer, or cut short) or
    // `tooLarge` (over `limit` bytes).
    enum class Fetch { read, absent, failed, tooLarge };
    Fetch fetchSmall(const std::string& request, size_t limit, std::string& text, int& status);
    // Reads the rest of a body, at most `limit` bytes; false when there is
    // more.
    static bool readBody(std::istream& in, size_t limit, std::string& bytes);
    // Sets the run's refusal of the published manifest and its error (240).
    bool refuseSignature(SignatureProblem problem, const std::string& reason);
    // Keeps the serial of the accepted manifest, and the key it was
    // accepted with, once a new local manifest has been written.
    void recordAccepted();
    bool writeLocalManifest(const Manifest& manifest);
    void deleteObsolete();
    // Downloads `wanted` (published paths, in order) on the lanes and tells
    // the listener about each in turn. Answers how the run goes on; `done`
    // gets the files put in place.
    enum class Downloads { complete, failed, cancelled };
    Downloads download(const std::vector<const std::string*>& wanted, std::set<std::string>& done);
    // Starts up to `count` lanes on the queue; the first takes over the
    // run's connection.
    void startLanes(const std::shared_ptr<DownloadQueue>& queue, size_t count);
    // Tells the listener about the file at `index` until it is settled;
    // `seenTotal` is the compressed total last told.
    Downloads followFile(DownloadQueue& queue, size_t index, int64_t& seenTotal);
    // Adds the files the queue put in place to `done` and to the files to
    // flush.
    void collectDone(const DownloadQueue& queue, std::set<std::string>& done);
    // The local manifest of a run that ended early: what is known of every
    // published file (see the class comment).
    Manifest knownManifest(const std::set<std::string>& done) const;
    // The local manifest put in the old one's place before anything changes.
    Manifest interimRecord() const;
    // Adds to `record` the folders the installation owns that none of its
    // entries lies in.
    void addOwnedFolders(Manifest& record) const;
    // Writes `interimRecord()`; false (the run failed) when neither it can be
    // written nor the old record removed.
    bool writeInterimRecord();
    // Takes as current each published file the record does not vouch for
    // whose bytes are already the published ones.
    void recoverUnvouched();
    void endCancelled(const Manifest* partial);

    std::atomic<bool> cancel_{false};
    UpdateLocation location_;
    // Why the location given cannot be one; empty when it can.
    std::string locationProblem_;
    std::vector<std::string> failureCauses_;
    std::string installDir_ = ".";
    // The files (full paths) put in place since the disk was last asked to
    // keep them, and the other entries changed meanwhile: files removed,
    // folders made.
    std::vector<std::string> unsynced_;
    std::vector<std::string> unsyncedEntries_;
    std::string manifestName_ = "checklist.txt";
    std::string localManifestPath_;
    std::string stagingDir_;
    int32_t error_ = 0;
    std::set<std::string> excludes_;
    std::set<std::string> selfFiles_;
    int32_t stagedCount_ = 0;
    UpdaterListener* listener_ = nullptr;
    int64_t totalDownload_ = 0, totalSize_ = 0, neededDownload_ = 0, neededSize_ = 0;
    int64_t doneDownload_ = 0, doneSize_ = 0;
    int32_t maxAttempts_ = 0;
    uint32_t delayMs_ = 0;
    Manifest local_;
    // `local_` is the manifest the installation had (not a scan).
    bool localFromFile_ = false;
    Manifest published_;
    std::map<std::string, std::shared_ptr<const DeltaPlan>> deltas_;
    DeltaReport deltaReport_;
    // The indexes of the installation's large files as they were put in
    // place, and those of the published files fetched by this run.
    KnownChunks knownChunks_;
    std::map<std::string, ChunkIndex> publishedIndexes_;

    bool signatureRequired_ = false;
    Ed25519PublicKey configuredKey_;
    // The key this run checks signatures with, and what the installation
    // kept of the rotations (`keptState_` as read by this run).
    TrustedKey trustedKey_;
    KeptState keptState_ = KeptState::missing;
    KeptTrust kept_;
    WallClock wallClock_;
    SignatureProblem signatureProblem_ = SignatureProblem::none;
    std::string signatureRefusal_;
    // The serial of the manifest accepted by this run, -1 before one is;
    // the serial file's value when this run read it.
    int64_t acceptedSerial_ = -1;
    SerialState storedSerialState_ = SerialState::missing;
    int64_t storedSerial_ = 0;

    // The connection of the run's own requests (location, manifest and
    // signature); the lanes have theirs.
    ServerLink link_;
    // The downloads under way, for `requestStop`.
    std::shared_ptr<DownloadQueue> downloads_;
    std::mutex downloadsMutex_;

    Pause pause_;
    uint32_t receiveTimeout_ = receiveTimeoutMs;
    std::shared_ptr<ProxyFinder> proxies_;
    int lanes_ = defaultLanes;
    int64_t resumeThreshold_ = defaultResumeThreshold;
    Inflater::Engine engine_ = Inflater::fastest();
};
