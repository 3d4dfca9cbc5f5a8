#pragma once
#include "net/Ed25519.h"
#include "net/StreamBuf.h"
#include "support/XThread.h"
#include "update/Manifest.h"
#include "update/ManifestSignature.h"
#include "update/UpdateLocation.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class HttpConnection;
class PendingFile;
class UpdaterListener;
class WriteBehind;

/// Brings the installation in the current directory in line with the
/// version published at an update location, on its own thread: it fetches
/// "current.txt" and "checklist.txt", reads or scans the local manifest,
/// downloads each file whose digest differs as a zlib stream (verified by
/// size and MD5 before it replaces the installed file), stages the
/// launcher's own files in "tmp", deletes files no longer published and
/// writes the new local manifest. With a public key (`requireSignature`) the
/// published manifest is accepted only with a good signature of that key, a
/// serial not below the last one accepted and an expiry not yet come; any
/// other manifest ends the run with 240 before a file is written or deleted.
/// One object performs one run at a time; it must be stopped (`stop`)
/// before it is destroyed.
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
    /// A connection that delivers no byte for this long fails the attempt.
    static constexpr uint32_t receiveTimeoutMs = 30000;

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
    /// Accepts only manifests signed by this key: the base64 of its 32 raw
    /// bytes (blanks around it are ignored). A key that cannot be read makes
    /// every run fail with 240; it never means unsigned.
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

    /// Deletes installed files that the published manifest does not list.
    bool removeObsolete = false;
    /// Scans the installation even when a local manifest exists (repair).
    bool ignoreLocalManifest = false;

    /// 0, or the first fatal error of the last run (read it once the run
    /// has ended).
    int32_t error() const { return error_; }
    /// Launcher files staged in "tmp" over the object's life.
    int32_t stagedCount() const { return stagedCount_; }
    const UpdateLocation& location() const { return location_; }

    /// Replaces the waits (the pause after a failed attempt and the delay
    /// before each attempt); tests record them instead of waiting.
    void setPause(Pause pause) { pause_ = std::move(pause); }
    /// Replaces the receive time-out of the update connection.
    void setReceiveTimeout(uint32_t ms) { receiveTimeout_ = ms; }
    /// Replaces the clock that signature expiries are compared with.
    void setWallClock(WallClock clock) { wallClock_ = std::move(clock); }

    /// Why the last run refused the published manifest's signature (none
    /// when it did not), and a sentence for the operator.
    SignatureProblem signatureProblem() const { return signatureProblem_; }
    const std::string& signatureRefusal() const { return signatureRefusal_; }
    /// The path of the file that keeps the serial accepted last.
    std::string serialPath() const { return installDir_ + "/" + serialFileName; }

private:
    enum class Outcome { success, failure, cancelled };

    void checkLocation();
    // Steps 6 to 9; false when the run already ended (cancelled).
    bool updateFiles();
    bool readLocalManifest();
    bool fetchPublishedManifest();
    // The signature of the manifest just read (`bytes`); false, with the
    // run's error set, when it is refused or cannot be fetched.
    bool checkSignature(const std::string& manifestRequest, const std::string& bytes);
    // Keeps the serial of the accepted manifest once a new local manifest
    // has been written.
    void recordSerial();
    bool writeLocalManifest(const Manifest& manifest);
    void deleteObsolete();
    // `next`: the file downloaded after this one, if any, whose request may
    // be sent as soon as this body has been read.
    Outcome download(const std::string& path, const ManifestEntry& entry, const std::string* next);
    // The attempts of `download`; `created` gets the folders made for it.
    Outcome attemptDownload(const std::string& path, const ManifestEntry& entry, const std::string* next,
                            std::vector<std::string>& created);
    int32_t inflateBody(HttpConnection& connection, const ManifestEntry& entry, PendingFile& out,
                        const std::string* next, int64_t& compressed, int64_t& written);
    std::string remotePath(const std::string& path) const;
    void reportProgress(int64_t compressed, int64_t written);
    void endCancelled(const Manifest* partial);

    HttpConnection* ensureConnection();
    // GET on the connection in use (made when there is none); true for 200.
    bool get(const std::string& path);
    void dropConnection();
    void wait(uint32_t ms);

    std::atomic<bool> cancel_{false};
    UpdateLocation location_;
    std::string installDir_ = ".";
    // Files were put in place since the disk was last asked to keep them.
    bool unsynced_ = false;
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
    Manifest published_;

    bool signatureRequired_ = false;
    Ed25519PublicKey publicKey_;
    WallClock wallClock_;
    SignatureProblem signatureProblem_ = SignatureProblem::none;
    std::string signatureRefusal_;
    // The serial of the manifest accepted by this run, -1 before one is;
    // the serial file's value when this run read it.
    int64_t acceptedSerial_ = -1;
    SerialState storedSerialState_ = SerialState::missing;
    int64_t storedSerial_ = 0;

    // The connection in use. Only the updater's thread changes it, always
    // under the mutex, so that `requestStop` can shut it down safely.
    std::unique_ptr<HttpConnection> connection_;
    std::mutex connectionMutex_;
    int requestsOnConnection_ = 0;
    // The request path of a GET already sent on the connection whose answer
    // has not been read yet; empty when none.
    std::string prefetched_;

    std::mutex stopMutex_;
    std::condition_variable stopRequested_;
    Pause pause_;
    uint32_t receiveTimeout_ = receiveTimeoutMs;

    // Compressed input of the inflate step; the inflated output goes to the
    // blocks of the write-behind, which lives for the download part of a run.
    // Four areas of the stream buffer, read straight from the socket: few
    // calls per file, and still progress often enough on a slow line.
    char inBuffer_[4 * INet::StreamBuf::areaSize];
    std::unique_ptr<WriteBehind> writer_;
};
