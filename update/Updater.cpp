// Updater: one update run.
//   [1] construction and configuration
//   [2] stopping: the cancel flag, the interruptible wait, the connection
//   [3] the run, steps in order
//   [4] the location check, the local and the published manifest
//   [5] download of one file with its attempts
//   [6] inflate and verification
//   [7] the deletion pass
//   [8] the signature of the published manifest and the accepted serial
#include "update/Updater.h"

#include "net/HttpConnection.h"
#include "net/InetAddress.h"
#include "net/UrlEscape.h"
#include "platform/Clock.h"
#include "platform/FileSync.h"
#include "update/InstallScanner.h"
#include "update/ManifestSignature.h"
#include "update/PendingFile.h"
#include "update/SafePaths.h"
#include "update/UpdateLog.h"
#include "update/UpdaterListener.h"
#include "update/WriteBehind.h"

#include <zlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace {

int32_t clamp32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The largest zlib stream of `size` bytes (at most `largestFile`): zlib's
// own bound for what its deflate can produce (compressBound, computed here
// in 64 bits), and a small margin for other deflaters' block layout.
int64_t compressedLimit(int64_t size) {
    const int64_t zlibBound = size + (size >> 12) + (size >> 14) + (size >> 25) + 13;
    return zlibBound + (size >> 10) + 4096;
}

bool isDigest(const std::string& text) {
    if (text.size() != 32)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// The listener used when the caller gives none.
class SilentListener : public UpdaterListener {
public:
    void onStage(int32_t) override {}
    void onScanBegin(int32_t) override {}
    void onScanStep(const std::string&) override {}
    void onDownloadBegin(int32_t, int32_t, int32_t, int32_t) override {}
    void onFinished(int32_t) override {}
    void onFileBegin(const std::string&, int32_t) override {}
    void onDeleting(const std::string&) override {}
    void onProgress(int32_t, int32_t) override {}
    void onFileProgress(int32_t) override {}
    void onError(int32_t) override {}
};

SilentListener silentListener;

// Reads the rest of a body, at most `limit` bytes; false when there is more.
bool readBody(std::istream& in, size_t limit, std::string& bytes) {
    bytes.clear();
    std::streambuf* body = in.rdbuf();
    if (body == nullptr)
        return true;
    char block[16 * 1024];
    for (;;) {
        const std::streamsize got = body->sgetn(block, sizeof block);
        if (got <= 0)
            return true;
        if (bytes.size() + static_cast<size_t>(got) > limit)
            return false;
        bytes.append(block, static_cast<size_t>(got));
    }
}

// A zlib inflate stream, ended when it goes out of scope.
class InflateStream {
public:
    InflateStream() = default;
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    ~InflateStream() {
        if (ready_)
            inflateEnd(&stream_);
    }

    // The version string is the one the launcher has always passed; zlib
    // accepts any 1.x version whose stream structure has the size given.
    bool init() {
        ready_ = inflateInit_(&stream_, "1.1.3", static_cast<int>(sizeof(z_stream))) == Z_OK;
        return ready_;
    }
    bool end() {
        ready_ = false;
        return inflateEnd(&stream_) == Z_OK;
    }
    z_stream& operator*() { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

} // namespace

// [1] construction and configuration -----------------------------------------

Updater::Updater(const std::string& location) : location_(parseUpdateLocation(location)) {}

Updater::~Updater() {
    // The owner stops the thread first; this only guards against an owner
    // that did not, since the thread would otherwise use a dead object.
    if (running()) {
        requestStop();
        while (running())
            platform::sleepMilliseconds(10);
    }
}

void Updater::enableSelfFiles() {
    stagingDir_ = "tmp";
    for (const std::string& name : selfFiles())
        selfFiles_.insert(name);
}

void Updater::addExclude(const std::string& pattern) {
    excludes_.insert(pattern);
}

void Updater::requireSignature(const std::string& publicKey) {
    signatureRequired_ = true;
    // A key that does not read stays empty, and an empty key refuses every
    // manifest.
    publicKey_.fromBase64(trimmed(publicKey));
}

void Updater::prepareUpdate(UpdaterListener* listener, uint32_t delayMs, int32_t maxAttempts) {
    cancel_ = false;
    listener_ = listener != nullptr ? listener : &silentListener;
    delayMs_ = delayMs;
    maxAttempts_ = maxAttempts;
    for (const std::string& pattern : builtInExcludes())
        excludes_.insert(pattern);
}

bool Updater::startUpdate(UpdaterListener* listener, uint32_t delayMs, int32_t maxAttempts) {
    prepareUpdate(listener, delayMs, maxAttempts);
    return start();
}

// [2] stopping ----------------------------------------------------------------

void Updater::requestStop() {
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        cancel_ = true;
    }
    stopRequested_.notify_all();
    std::lock_guard<std::mutex> guard(connectionMutex_);
    if (connection_ != nullptr)
        connection_->abort();
}

void Updater::wait(uint32_t ms) {
    if (pause_) {
        pause_(ms);
        return;
    }
    std::unique_lock<std::mutex> guard(stopMutex_);
    stopRequested_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return cancel_.load(); });
}

HttpConnection* Updater::ensureConnection() {
    if (connection_ != nullptr)
        return connection_.get();
    InetAddress address(location_.host.c_str(), static_cast<uint16_t>(location_.port));
    auto made = std::make_unique<HttpConnection>(address, nullptr, location_.host, receiveTimeout_);
    if (!made->connected()) {
        updateLog("update: cannot connect to %s:%d", location_.host.c_str(), location_.port);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(connectionMutex_);
    connection_ = std::move(made);
    // A stop requested while connecting found no connection to shut down.
    if (cancel_)
        connection_->abort();
    return connection_.get();
}

bool Updater::get(const std::string& path) {
    if (!prefetched_.empty()) {
        const bool sent = prefetched_ == path && connection_ != nullptr;
        prefetched_.clear();
        if (sent) {
            connection_->status = 0;
            if (connection_->readResponseHead())
                return true;
            if (cancel_ || connection_->status != 0)
                return false;
            // Closed by the server before it answered: once more, anew.
            dropConnection();
            HttpConnection* fresh = ensureConnection();
            if (fresh == nullptr)
                return false;
            ++requestsOnConnection_;
            return fresh->sendGet(location_.host, path);
        }
        // A request whose answer would be read as the next one's.
        dropConnection();
    }
    HttpConnection* connection = ensureConnection();
    if (connection == nullptr)
        return false;
    const bool reused = requestsOnConnection_ > 0;
    ++requestsOnConnection_;
    connection->status = 0; // stays 0 unless an answer's head arrives
    if (connection->sendGet(location_.host, path))
        return true;
    // A kept-alive connection that the server has closed in the meantime
    // fails before any byte of an answer: the request goes once more on a
    // new connection, which is no failed attempt.
    if (reused && !cancel_ && connection->status == 0) {
        dropConnection();
        connection = ensureConnection();
        if (connection == nullptr)
            return false;
        ++requestsOnConnection_;
        return connection->sendGet(location_.host, path);
    }
    return false;
}

void Updater::dropConnection() {
    std::unique_ptr<HttpConnection> old;
    {
        std::lock_guard<std::mutex> guard(connectionMutex_);
        old = std::move(connection_);
    }
    requestsOnConnection_ = 0;
    prefetched_.clear();
}

// [3] the run -------------------------------------------------------------------

void Updater::endCancelled(const Manifest* partial) {
    listener_->onError(cancelled);
    if (partial != nullptr)
        writeLocalManifest(*partial);
    dropConnection();
}

bool Updater::writeLocalManifest(const Manifest& manifest) {
    // The manifest vouches for the files it lists, so their bytes must reach
    // the disk before it does: after a power cut a listed file is never
    // empty or half written.
    if (unsynced_) {
        if (!platform::syncFileSystemOf(installDir_))
            updateLog("update: cannot flush the installation's files to disk");
        unsynced_ = false;
    }
    if (!writeManifest(localManifestPath_, manifest)) {
        updateLog("update: cannot write %s", localManifestPath_.c_str());
        return false;
    }
    recordSerial();
    return true;
}

void Updater::run() {
    if (listener_ == nullptr)
        listener_ = &silentListener;
    error_ = 0;
    checkLocation();
    bool ok = readLocalManifest();
    // A failure that a stop request caused (a scan cut short, a connection
    // shut down) is reported as the cancellation it is.
    if (cancel_)
        return endCancelled(nullptr);
    if (ok) {
        ok = fetchPublishedManifest();
        if (cancel_)
            return endCancelled(nullptr);
    }
    if (ok) {
        writer_ = std::make_unique<WriteBehind>();
        const bool ended = !updateFiles();
        writer_.reset();
        if (ended)
            return;
    }
    dropConnection();
    if (error_ == 0)
        listener_->onFinished(stagedCount_);
    else
        listener_->onError(error_);
}

bool Updater::updateFiles() {
    listener_->onStage(6);
    std::error_code ec;
    fs::remove(localManifestPath_, ec);
    totalDownload_ = totalSize_ = neededDownload_ = neededSize_ = doneDownload_ = doneSize_ = 0;
    for (const auto& [path, entry] : published_) {
        totalDownload_ += downloadSize(entry);
        totalSize_ += entry.size;
        auto local = local_.find(path);
        if (local == local_.end() || local->second.hash != entry.hash) {
            neededDownload_ += downloadSize(entry);
            neededSize_ += entry.size;
        }
    }
    listener_->onDownloadBegin(clamp32(totalDownload_), clamp32(totalSize_), clamp32(neededDownload_),
                               clamp32(neededSize_));

    // The files to download, in order, so that each download knows the next.
    std::vector<const std::string*> wanted;
    for (const auto& [path, entry] : published_) {
        auto local = local_.find(path);
        if (local == local_.end() || local->second.hash != entry.hash)
            wanted.push_back(&path);
    }
    size_t nextWanted = 0;

    Manifest fresh;
    for (const auto& [path, entry] : published_) {
        if (cancel_) {
            endCancelled(&fresh);
            return false;
        }
        auto local = local_.find(path);
        if (local != local_.end() && local->second.hash == entry.hash) {
            fresh[path] = local->second;
            continue;
        }
        listener_->onFileBegin(path, clamp32(entry.size));
        ++nextWanted;
        Outcome outcome = download(path, entry, nextWanted < wanted.size() ? wanted[nextWanted] : nullptr);
        if (outcome == Outcome::cancelled) {
            endCancelled(&fresh);
            return false;
        }
        if (outcome == Outcome::failure) {
            if (error_ == 0)
                error_ = undefinedError;
            // The files before this one are current: the next run starts here.
            writeLocalManifest(fresh);
            return true;
        }
        if (connection_ != nullptr && !connection_->keepAlive)
            dropConnection();
        fresh[path] = entry;
    }
    if (removeObsolete)
        deleteObsolete();
    // Every published file is current now, so the local manifest takes the
    // published values (packed sizes included).
    writeLocalManifest(published_);
    return true;
}

// [4] location check and manifests ------------------------------------------

void Updater::checkLocation() {
    if (!get(urlEscape(location_.basePath + "/current.txt"))) {
        // A plain "no such file" answer leaves the connection usable.
        if (connection_ == nullptr || connection_->status == 0 || !connection_->connected() ||
            !connection_->keepAlive)
            dropConnection();
        return;
    }
    HttpConnection* connection = connection_.get();
    std::streambuf& body = *connection->input().rdbuf();
    std::string line;
    while (line.size() < manifestLineLimit) {
        int c = body.sbumpc();
        if (c == std::char_traits<char>::eof() || c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    line = trimmed(line);
    if (connection->streamBuf().unreadBody() != 0 || !connection->keepAlive || !line.empty())
        dropConnection();
    if (!line.empty()) {
        updateLog("update: the files moved to %s", line.c_str());
        location_ = parseUpdateLocation(line);
    }
}

bool Updater::readLocalManifest() {
    localManifestPath_ = installDir_ + "/" + manifestName_;
    local_.clear();
    std::error_code ec;
    if (!ignoreLocalManifest && fs::symlink_status(localManifestPath_, ec).type() == fs::file_type::regular) {
        listener_->onStage(3);
        std::ifstream in(localManifestPath_, std::ios::binary);
        if (in && readManifest(in, local_))
            return true;
        local_.clear();
    }
    listener_->onStage(4);
    InstallScanner scanner(installDir_, manifestName_);
    for (const std::string& pattern : excludes_)
        scanner.addExclude(pattern);
    scanner.setStopFlag(&cancel_);
    if (!scanner.scan(local_, listener_)) {
        error_ = scanner.error();
        return false;
    }
    return true;
}

bool Updater::fetchPublishedManifest() {
    listener_->onStage(5);
    published_.clear();
    signatureProblem_ = SignatureProblem::none;
    signatureRefusal_.clear();
    acceptedSerial_ = -1;
    if (signatureRequired_ && !publicKey_.valid()) {
        // Fails closed: a key that cannot be read never means unsigned.
        signatureProblem_ = SignatureProblem::malformedKey;
        signatureRefusal_ = std::string(signatureProblemText(signatureProblem_)) +
                            ": the configured public key is not the base64 of 32 bytes";
        updateLog("update: the published manifest is refused: %s", signatureRefusal_.c_str());
        error_ = manifestError;
        return false;
    }
    const std::string request = urlEscape(location_.basePath + "/" + manifestName_);
    if (!get(request)) {
        dropConnection();
        error_ = connectionError;
        return false;
    }
    HttpConnection* connection = connection_.get();
    ManifestEnd end = ManifestEnd::complete;
    bool read = false;
    // Signed, the manifest is checked as the exact bytes received before a
    // line of it is used; unsigned, it is read straight off the connection.
    std::string bytes;
    bool tooLarge = false;
    if (signatureRequired_) {
        tooLarge = !readBody(connection->input(), signedManifestLimit, bytes);
    } else {
        read = readManifest(connection->input(), published_, &end);
    }
    if (connection->streamBuf().truncated()) {
        // A manifest cut short would make every file it no longer lists look
        // obsolete: it is a failed fetch, never a short manifest.
        updateLog("update: the published manifest was cut short");
        dropConnection();
        error_ = connectionError;
        return false;
    }
    if (connection->streamBuf().unreadBody() != 0 || !connection->keepAlive)
        dropConnection();
    if (signatureRequired_) {
        if (tooLarge) {
            updateLog("update: the published manifest is refused: over %llu bytes",
                      static_cast<unsigned long long>(signedManifestLimit));
            error_ = manifestError;
            return false;
        }
        if (!checkSignature(request, bytes))
            return false;
        std::istringstream in(bytes);
        read = readManifest(in, published_, &end);
    }
    const char* problem = nullptr;
    if (end == ManifestEnd::tooLarge)
        problem = "more bytes or entries than a manifest may have";
    else if (!read || end == ManifestEnd::cutLine)
        problem = "a malformed or over-long line";
    else if (published_.empty())
        problem = "no entry (the whole installation would be obsolete)";
    for (const auto& [path, entry] : published_) {
        if (problem != nullptr)
            break;
        // The paths come from the network: one that could name a file outside
        // the installation refuses the whole manifest before anything is
        // written or deleted.
        if (!isSafeManifestPath(path))
            problem = "a path that leaves the installation";
        else if (!isDigest(entry.hash))
            problem = "a digest that is not 32 hex digits";
        else if (entry.size > largestFile || entry.packedSize > largestFile)
            problem = "a file larger than 1 TiB";
    }
    if (problem != nullptr) {
        updateLog("update: the published manifest is refused: %s", problem);
        published_.clear();
        error_ = manifestError;
        return false;
    }
    return true;
}

// [5] download of one file ------------------------------------------------------

std::string Updater::remotePath(const std::string& path) const {
    return urlEscape(location_.basePath + "/" + path + ".zz");
}

Updater::Outcome Updater::download(const std::string& path, const ManifestEntry& entry,
                                   const std::string* next) {
    // Folders are made for the file but kept only once it is in place: a
    // run that fails or is cancelled leaves no empty folder behind.
    std::vector<std::string> createdDirectories;
    const Outcome outcome = attemptDownload(path, entry, next, createdDirectories);
    if (outcome != Outcome::success)
        removeCreatedDirectories(createdDirectories);
    return outcome;
}

Updater::Outcome Updater::attemptDownload(const std::string& path, const ManifestEntry& entry,
                                          const std::string* next, std::vector<std::string>& created) {
    const std::string remote = remotePath(path);
    if (!makeParentDirectories(installDir_, path, &created)) {
        updateLog("update: cannot make the directories of %s", path.c_str());
        error_ = directoryError;
        return Outcome::failure;
    }
    const bool staged = !stagingDir_.empty() && selfFiles_.count(path) != 0;
    const std::string stagedPath = stagingDir_ + "/" + path;
    const std::string destination = installDir_ + "/" + (staged ? stagedPath : path);
    const int64_t startDownload = doneDownload_, startSize = doneSize_;
    int32_t attempts = 0;
    for (;;) {
        doneDownload_ = startDownload;
        doneSize_ = startSize;
        if (error_ != 0) {
            wait(retryPauseMs);
            error_ = 0;
        }
        if (cancel_)
            return Outcome::cancelled;
        PendingFile out;
        const bool destinationReady = !staged || makeParentDirectories(installDir_, stagedPath, &created);
        if (destinationReady && !out.open(destination)) {
            updateLog("update: cannot open %s for writing", destination.c_str());
            error_ = writeError;
            return Outcome::failure;
        }
        // A staged file takes the permissions of the installed file it will
        // replace.
        if (staged)
            out.setPermissionsFrom(installDir_ + "/" + path);
        out.setProgram(isLauncherProgram(path));
        if (delayMs_ != 0)
            wait(delayMs_);
        if (!get(remote)) {
            dropConnection();
            if (cancel_)
                return Outcome::cancelled;
            error_ = downloadError;
            listener_->onError(error_);
            ++attempts;
        } else {
            HttpConnection* connection = connection_.get();
            int64_t compressed = 0, written = 0;
            error_ = destinationReady ? inflateBody(*connection, entry, out, next, compressed, written)
                                      : writeError;
            if (error_ == 0 && !out.commit()) {
                updateLog("update: cannot put %s in place", destination.c_str());
                error_ = writeError;
            }
            if (error_ == 0) {
                unsynced_ = true;
                doneDownload_ += compressed;
                doneSize_ += written;
                if (staged)
                    ++stagedCount_;
                // Bytes left after the end of the zlib stream would be read
                // as the next response: the connection is not reused.
                if (prefetched_.empty() && connection->streamBuf().unreadBody() != 0)
                    dropConnection();
            } else if (error_ == cancelled) {
                error_ = 0;
                dropConnection();
                return Outcome::cancelled;
            } else {
                // The connection may be dead or mid-body: the next attempt
                // starts on a new one.
                dropConnection();
                listener_->onError(error_);
                ++attempts;
            }
        }
        if (error_ == 0)
            return Outcome::success;
        if (attempts >= maxAttempts_)
            return Outcome::failure;
    }
}

// [6] inflate and verification --------------------------------------------------

void Updater::reportProgress(int64_t compressed, int64_t written) {
    listener_->onProgress(clamp32(doneDownload_ + compressed), clamp32(doneSize_ + written));
    listener_->onFileProgress(clamp32(written));
}

int32_t Updater::inflateBody(HttpConnection& connection, const ManifestEntry& entry, PendingFile& out,
                             const std::string* next, int64_t& compressed, int64_t& written) {
    compressed = 0;
    written = 0;
    // The packed size is only a progress figure; what bounds the body is the
    // most any zlib stream of the file's size can take.
    const int64_t inputLimit = compressedLimit(entry.size);
    if (connection.contentLength > static_cast<uint64_t>(inputLimit)) {
        updateLog("update: %llu compressed bytes offered for a file of %lld bytes",
                  static_cast<unsigned long long>(connection.contentLength),
                  static_cast<long long>(entry.size));
        return downloadError;
    }
    std::streambuf& body = *connection.input().rdbuf();
    InflateStream stream;
    if (!stream.init())
        return inflateInitError;
    z_stream& z = *stream;
    // The inflated bytes are hashed and written behind, while the next block
    // is inflated; `finish` below waits for them on every way out.
    WriteBehind& writer = *writer_;
    writer.begin(&out);
    int32_t result = 0;
    bool inputEnded = false;
    bool streamEnded = false;
    z.next_out = reinterpret_cast<Bytef*>(writer.block());
    z.avail_out = WriteBehind::blockSize;

    // Output beyond the published size stops the inflate at once: a small
    // body must not be able to fill the disk.
    auto checkSize = [&]() -> int32_t {
        if (written + static_cast<int64_t>(WriteBehind::blockSize - z.avail_out) <= entry.size)
            return 0;
        updateLog("update: the file inflates beyond its %lld bytes", static_cast<long long>(entry.size));
        return downloadError;
    };
    // Hands the filled part of the output block over.
    auto drain = [&]() -> int32_t {
        const size_t produced = WriteBehind::blockSize - z.avail_out;
        if (produced > 0) {
            if (!writer.submit(produced))
                return writeError;
            written += static_cast<int64_t>(produced);
        }
        z.next_out = reinterpret_cast<Bytef*>(writer.block());
        z.avail_out = WriteBehind::blockSize;
        return 0;
    };

    while (!inputEnded && !streamEnded) {
        reportProgress(compressed, written);
        if (cancel_) {
            result = cancelled;
            break;
        }
        if (z.avail_in == 0) {
            const std::streamsize got = body.sgetn(inBuffer_, sizeof inBuffer_);
            if (got < static_cast<std::streamsize>(sizeof inBuffer_))
                inputEnded = true;
            if (got <= 0)
                continue;
            compressed += got;
            z.next_in = reinterpret_cast<Bytef*>(inBuffer_);
            z.avail_in = static_cast<uInt>(got);
        }
        int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_NEED_DICT)
            r = Z_DATA_ERROR; // a preset dictionary is never published
        if (r < 0) {
            result = inflateInputError - r;
            break;
        }
        streamEnded = r == Z_STREAM_END;
        if ((result = checkSize()) != 0)
            break;
        if ((z.avail_out == 0 || streamEnded) && (result = drain()) != 0)
            break;
    }
    // Input that ended before the zlib stream did: what zlib still holds is
    // taken out; a stream cut short ends in an error, never a short file.
    while (result == 0 && !streamEnded) {
        reportProgress(compressed, written);
        if (cancel_) {
            result = cancelled;
            break;
        }
        int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_NEED_DICT)
            r = Z_DATA_ERROR;
        if (r < 0) {
            result = inflateFinishError - r;
            break;
        }
        streamEnded = r == Z_STREAM_END;
        if ((result = checkSize()) == 0)
            result = drain();
    }
    if (result == 0)
        result = drain();
    // The whole body is read: the next file's request goes out now, so that
    // the server answers it while this file is finished and put in place.
    // (Not with a delay before each attempt, which comes before the request.)
    if (result == 0 && next != nullptr && delayMs_ == 0 && connection.keepAlive &&
        connection.streamBuf().unreadBody() == 0) {
        const std::string nextRemote = remotePath(*next);
        if (connection.sendGetRequest(location_.host, nextRemote))
            prefetched_ = nextRemote;
    }
    std::string digest;
    if (!writer.finish(digest) && result == 0)
        result = writeError;
    reportProgress(compressed, written);
    if (!stream.end() && result == 0)
        result = inflateEndError;
    if (result == 0 && (written != entry.size || entry.hash != digest)) {
        updateLog("update: the file does not match its published size and digest");
        result = downloadError;
    }
    return result;
}

// [7] the deletion pass ---------------------------------------------------------

void Updater::deleteObsolete() {
    InstallScanner scanner(installDir_, manifestName_);
    for (const std::string& pattern : excludes_)
        scanner.addExclude(pattern);
    std::vector<std::string> files;
    if (scanner.list(files) < 0)
        updateLog("update: part of the installation could not be listed");
    for (const std::string& path : files) {
        // Nothing below the staging directory, nor anything whose name merely
        // starts with its name, is ever deleted; without a staging directory
        // nothing is.
        if (path.compare(0, stagingDir_.size(), stagingDir_) == 0)
            continue;
        if (published_.count(path) != 0)
            continue;
        listener_->onDeleting(path);
        std::error_code ec;
        fs::remove(installDir_ + "/" + path, ec);
    }
}

// [8] the signature and the accepted serial ------------------------------------

bool Updater::checkSignature(const std::string& manifestRequest, const std::string& bytes) {
    auto refuse = [&](SignatureProblem problem, const std::string& reason) {
        signatureProblem_ = problem;
        signatureRefusal_ = reason;
        updateLog("update: the published manifest is refused: %s", reason.c_str());
        error_ = manifestError;
        return false;
    };
    const std::string request = manifestRequest + signatureSuffix;
    if (!get(request)) {
        // An answer other than 200 means there is no signature; no answer
        // at all is a failed connection, as for the manifest.
        const bool answered = connection_ != nullptr && connection_->status != 0;
        const int status = answered ? connection_->status : 0;
        dropConnection();
        if (!answered) {
            error_ = connectionError;
            return false;
        }
        return refuse(SignatureProblem::missing,
                      std::string(signatureProblemText(SignatureProblem::missing)) +
                          ": the server answered " + std::to_string(status) + " for " + request);
    }
    HttpConnection* connection = connection_.get();
    std::string text;
    const bool fits = readBody(connection->input(), signatureFileLimit, text);
    if (connection->streamBuf().truncated()) {
        updateLog("update: the signature of the published manifest was cut short");
        dropConnection();
        error_ = connectionError;
        return false;
    }
    if (!fits || connection->streamBuf().unreadBody() != 0 || !connection->keepAlive)
        dropConnection();
    if (!fits)
        return refuse(SignatureProblem::malformedFile,
                      std::string(signatureProblemText(SignatureProblem::malformedFile)) + ": over " +
                          std::to_string(signatureFileLimit) + " bytes");

    int64_t lastSerial = 0;
    storedSerialState_ = readAcceptedSerial(serialPath(), storedSerial_);
    if (storedSerialState_ == SerialState::read)
        lastSerial = storedSerial_;
    else if (storedSerialState_ == SerialState::unreadable)
        // The file is only ever replaced whole, so this is damage from
        // outside; refusing every update for it would strand the player.
        updateLog("update: %s cannot be read; no serial is known", serialPath().c_str());
    const int64_t now = wallClock_ ? wallClock_() : platform::secondsSince1970();
    ManifestSignature signature;
    std::string reason;
    const SignatureProblem problem =
        checkManifestSignature(text, bytes, publicKey_, lastSerial, now, &signature, &reason);
    if (problem != SignatureProblem::none)
        return refuse(problem, reason);
    acceptedSerial_ = signature.serial;
    return true;
}

void Updater::recordSerial() {
    if (!signatureRequired_ || acceptedSerial_ < 0)
        return;
    if (storedSerialState_ == SerialState::read && storedSerial_ == acceptedSerial_)
        return;
    if (!writeAcceptedSerial(serialPath(), acceptedSerial_)) {
        updateLog("update: cannot write %s", serialPath().c_str());
        return;
    }
    storedSerialState_ = SerialState::read;
    storedSerial_ = acceptedSerial_;
}
