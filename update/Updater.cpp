// Updater: one update run.
//   [1] construction and configuration
//   [2] stopping: the cancel flag, the connections
//   [3] the run, steps in order
//   [4] the location check, the local and the published manifest
//   [5] the downloads, reported in manifest order
//   [6] the deletion pass
// (The signature of the published manifest, the key rotations and what
// the installation keeps of them are in UpdaterSignature.cpp.)
#include "update/Updater.h"

#include "install/InstallScanner.h"
#include "install/ManifestRules.h"
#include "install/SafePaths.h"
#include "net/HttpConnection.h"
#include "net/UrlEscape.h"
#include "platform/Clock.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "signing/ManifestSignature.h"
#include "update/DownloadLane.h"
#include "update/DownloadQueue.h"
#include "update/Leftovers.h"
#include "update/UpdateLog.h"
#include "update/UpdaterListener.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

int32_t clamp32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The listener used when the caller gives none.
class SilentListener : public UpdaterListener {
public:
    void onStage(UpdateStage) override {}
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

} // namespace

// [1] construction and configuration -----------------------------------------

Updater::Updater(const std::string& location)
    : location_(parseUpdateLocation(location)), locationProblem_(updateLocationProblem(location)),
      link_(location_, receiveTimeoutMs, cancel_) {}

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
    configuredKey_.fromBase64(trimmed(publicKey));
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
    cancel_ = true;
    link_.abort();
    std::lock_guard<std::mutex> guard(downloadsMutex_);
    if (downloads_ != nullptr)
        downloads_->stop();
}

void Updater::setProxies(std::shared_ptr<ProxyFinder> proxies) {
    proxies_ = proxies;
    link_.setProxies(std::move(proxies));
}

void Updater::setReceiveTimeout(uint32_t ms) {
    receiveTimeout_ = ms;
    link_.setReceiveTimeout(ms);
}

// [3] the run -------------------------------------------------------------------

void Updater::endCancelled(const Manifest* partial) {
    listener_->onError(cancelled);
    if (partial != nullptr)
        writeLocalManifest(*partial);
    link_.drop();
}

bool Updater::writeLocalManifest(const Manifest& manifest) {
    // The manifest vouches for the files it lists, so their bytes must reach
    // the disk before it does: after a power cut a listed file is never
    // empty or half written.
    if (!unsynced_.empty() || !unsyncedEntries_.empty()) {
        if (!platform::syncFiles(installDir_, unsynced_, unsyncedEntries_))
            updateLog("update: cannot flush the installation's files to disk");
        unsynced_.clear();
        unsyncedEntries_.clear();
    }
    if (!writeManifest(localManifestPath_, manifest)) {
        updateLog("update: cannot write %s", localManifestPath_.c_str());
        return false;
    }
    recordAccepted();
    recordKnownChunks(manifest);
    return true;
}

void Updater::run() {
    if (listener_ == nullptr)
        listener_ = &silentListener;
    error_ = 0;
    failureCauses_.clear();
    if (!locationProblem_.empty())
        return fail(connectionError, {locationProblem_});
    if (!checkLocation())
        return;
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
    if (ok && !updateFiles())
        return;
    link_.drop();
    if (error_ == 0)
        listener_->onFinished(stagedCount_);
    else
        fail(error_, failureCauses_);
}

void Updater::fail(int32_t code, std::vector<std::string> causes) {
    error_ = code;
    failureCauses_ = std::move(causes);
    for (const std::string& cause : failureCauses_)
        updateLog("update: error %d: %s", code, cause.c_str());
    link_.drop();
    listener_->onError(code);
}

bool Updater::updateFiles() {
    listener_->onStage(UpdateStage::updating);
    if (!writeInterimRecord())
        return true;
    recoverUnvouched();
    std::vector<const std::string*> wanted;
    // What earlier runs left behind goes, but for what these downloads use.
    LeftoverRules leftovers{installDir_, stagingDir_, selfFiles_, resumeThreshold_, {}};
    for (const auto& [path, entry] : published_) {
        auto local = local_.find(path);
        if (local == local_.end() || local->second.hash != entry.hash) {
            wanted.push_back(&path);
            leftovers.wanted[path] = entry;
        }
    }
    removeLeftovers(leftovers);
    planDeltas(wanted);
    if (cancel_) {
        const Manifest known = knownManifest({});
        endCancelled(&known);
        return false;
    }
    countDownloads();
    std::set<std::string> done;
    const Downloads outcome = wanted.empty() ? Downloads::complete : download(wanted, done);
    if (outcome == Downloads::cancelled) {
        const Manifest known = knownManifest(done);
        endCancelled(&known);
        return false;
    }
    if (outcome == Downloads::failed) {
        if (error_ == 0)
            error_ = undefinedError;
        // The next run downloads only what still differs.
        writeLocalManifest(knownManifest(done));
        return true;
    }
    if (removeObsolete)
        deleteObsolete();
    // Every published file is current now, so the local manifest takes the
    // published values (packed sizes included). One that cannot be written
    // (a full disk, a read-only file) fails the run: the old one is gone
    // already, and the next run must scan the installation.
    if (!writeLocalManifest(published_)) {
        error_ = writeError;
        failureCauses_ = {"cannot write " + localManifestPath_};
    }
    return true;
}

// [4] location check and manifests ------------------------------------------

bool Updater::checkLocation() {
    if (!link_.get(urlEscape(location_.basePath + "/current.txt"))) {
        // A plain "no such file" answer leaves the connection usable.
        HttpConnection* connection = link_.connection();
        if (connection == nullptr || connection->status == 0 || !connection->connected() ||
            !connection->keepAlive)
            link_.drop();
        return true;
    }
    HttpConnection* connection = link_.connection();
    std::streambuf& body = *connection->input().rdbuf();
    std::string line;
    while (line.size() < manifestLineLimit) {
        int c = body.sbumpc();
        if (c == std::char_traits<char>::eof() || c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    line = trimmed(line);
    // A line cut short could name another place: a failed fetch, never a move.
    if (connection->streamBuf().truncated()) {
        link_.drop();
        fail(connectionError, {"current.txt was cut short (" +
                               link_.url(urlEscape(location_.basePath + "/current.txt")) + ")"});
        return false;
    }
    if (connection->streamBuf().unreadBody() != 0 || !connection->keepAlive || !line.empty())
        link_.drop();
    if (line.empty())
        return true;
    updateLog("update: the files moved to %s", line.c_str());
    const std::string problem = updateLocationProblem(line);
    if (!problem.empty()) {
        fail(connectionError, {"current.txt moves the update: " + problem});
        return false;
    }
    location_ = relocatedUpdateLocation(location_, line);
    link_.setLocation(location_);
    return true;
}

bool Updater::readLocalManifest() {
    localManifestPath_ = installDir_ + "/" + manifestName_;
    local_.clear();
    localFromFile_ = false;
    if (!ignoreLocalManifest && platform::fileKind(localManifestPath_) == platform::FileKind::file) {
        listener_->onStage(UpdateStage::readingLocalManifest);
        std::ifstream in(platform::filePath(localManifestPath_), std::ios::binary);
        if (in && readManifest(in, local_)) {
            localFromFile_ = true;
            return true;
        }
        local_.clear();
    }
    listener_->onStage(UpdateStage::checkingInstallation);
    InstallScanner scanner = this->scanner();
    scanner.setStopFlag(&cancel_);
    if (!scanner.scan(local_, listener_)) {
        error_ = scanner.error();
        return false;
    }
    return true;
}

bool Updater::fetchPublishedManifest() {
    listener_->onStage(UpdateStage::fetchingManifest);
    published_.clear();
    signatureProblem_ = SignatureProblem::none;
    signatureRefusal_.clear();
    acceptedSerial_ = -1;
    trustedKey_ = TrustedKey();
    // Fails closed: a key that cannot be read never means unsigned.
    if (signatureRequired_ && !configuredKey_.valid())
        return refuseSignature(SignatureProblem::malformedKey,
                               std::string(signatureProblemText(SignatureProblem::malformedKey)) +
                                   ": the configured public key is not the base64 of 32 bytes");
    const std::string request = urlEscape(location_.basePath + "/" + manifestName_);
    if (!link_.get(request)) {
        if (!link_.failure().empty())
            failureCauses_ = {link_.failure()};
        link_.drop();
        error_ = connectionError;
        return false;
    }
    ManifestEnd end = ManifestEnd::complete;
    bool read = false;
    std::string bytes;
    bool tooLarge = false;
    if (!receiveManifest(*link_.connection(), bytes, tooLarge, read, end))
        return false;
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
    std::vector<std::string> problems = publishedProblems(read, end);
    if (!problems.empty()) {
        updateLog("update: the published manifest is refused: %d %s", static_cast<int>(problems.size()),
                  problems.size() == 1 ? "problem" : "problems");
        for (std::string& problem : problems)
            problem = "the published manifest is refused: " + problem;
        failureCauses_ = std::move(problems);
        published_.clear();
        error_ = manifestError;
        return false;
    }
    // Where letter case does not tell files apart, an installed file listed
    // under another case is the published file itself.
    spellAsPublished(local_, published_);
    // A scan skipped the excluded files; those the publication lists are
    // checked as any other published file, so that one that is current is
    // not fetched again.
    if (!localFromFile_)
        addExcludedPublished(local_, published_, scanner(), &cancel_);
    return true;
}

bool Updater::receiveManifest(HttpConnection& connection, std::string& bytes, bool& tooLarge, bool& read,
                              ManifestEnd& end) {
    // Signed, the manifest is checked as the exact bytes received before a
    // line of it is used; unsigned, it is read straight off the connection.
    if (signatureRequired_)
        tooLarge = !readBody(connection.input(), signedManifestLimit, bytes);
    else
        read = readManifest(connection.input(), published_, &end);
    if (connection.streamBuf().truncated()) {
        // A manifest cut short would make every file it no longer lists look
        // obsolete: it is a failed fetch, never a short manifest.
        failureCauses_ = {"the published manifest was cut short (" +
                          link_.url(urlEscape(location_.basePath + "/" + manifestName_)) + ")"};
        link_.drop();
        error_ = connectionError;
        return false;
    }
    if (connection.streamBuf().unreadBody() != 0 || !connection.keepAlive)
        link_.drop();
    return true;
}

std::vector<std::string> Updater::publishedProblems(bool read, ManifestEnd end) const {
    if (end == ManifestEnd::tooLarge)
        return {"more bytes or entries than a manifest may have"};
    if (!read || end == ManifestEnd::cutLine)
        return {"a malformed or over-long line"};
    if (published_.empty())
        return {"no entry (the whole installation would be obsolete)"};
    return publishedEntriesProblems(published_, largestFile);
}

// [5] the downloads ---------------------------------------------------------------

Updater::Downloads Updater::download(const std::vector<const std::string*>& wanted,
                                     std::set<std::string>& done) {
    std::vector<DownloadQueue::Job> jobs(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        jobs[i].path = *wanted[i];
        jobs[i].entry = published_.at(*wanted[i]);
        auto delta = deltas_.find(jobs[i].path);
        if (delta != deltas_.end())
            jobs[i].delta = delta->second;
    }
    auto queue = std::make_shared<DownloadQueue>(std::move(jobs));
    {
        std::lock_guard<std::mutex> guard(downloadsMutex_);
        downloads_ = queue;
    }
    // A stop requested before the queue existed reached no lane.
    if (cancel_)
        queue->stop();
    startLanes(queue, std::min(static_cast<size_t>(lanes_), wanted.size()));

    // The listener hears of one file after the other, in manifest order,
    // whichever lane fetches it: a later file that ended first waits here.
    Downloads outcome = Downloads::complete;
    int64_t seenTotal = 0;
    for (size_t index = 0; index < queue->size() && outcome == Downloads::complete; ++index) {
        if (cancel_) {
            outcome = Downloads::cancelled;
            break;
        }
        outcome = followFile(*queue, index, seenTotal);
    }
    // Lanes still busy (after a failure or a stop) end before the local
    // manifest is written, so that it names every file put in place.
    queue->stop();
    queue->waitForLanes();
    {
        std::lock_guard<std::mutex> guard(downloadsMutex_);
        downloads_.reset();
    }
    collectDone(*queue, done);
    return outcome;
}

void Updater::startLanes(const std::shared_ptr<DownloadQueue>& queue, size_t count) {
    DownloadSettings settings;
    settings.installDir = installDir_;
    settings.stagingDir = stagingDir_;
    settings.selfFiles = selfFiles_;
    settings.location = location_;
    settings.proxies = proxies_;
    settings.receiveTimeoutMs = receiveTimeout_;
    settings.delayMs = delayMs_;
    settings.maxAttempts = maxAttempts_;
    settings.resumeThreshold = resumeThreshold_;
    settings.engine = engine_;
    settings.wholeBodies = engine_ == Inflater::fastest();
    for (size_t i = 0; i < count; ++i) {
        // A lane's pause ends early when its file is abandoned, not only
        // when the run stops; a test's own pause stands in for both.
        DownloadLane::Pause pause;
        if (pause_)
            pause = pause_;
        auto lane = std::make_unique<DownloadLane>(queue, settings, cancel_, std::move(pause));
        // The run's own connection goes on in the first lane.
        if (i == 0)
            lane->link().takeConnection(link_);
        DownloadLane::launch(std::move(lane));
    }
}

Updater::Downloads Updater::followFile(DownloadQueue& queue, size_t index, int64_t& seenTotal) {
    listener_->onFileBegin(queue.path(index), clamp32(queue.entry(index).size));
    size_t seenErrors = 0;
    int64_t seenWritten = 0;
    for (;;) {
        if (cancel_)
            return Downloads::cancelled;
        // The progress of the lanes is polled as well as signalled, so
        // that no wake-up is needed per block.
        const DownloadQueue::View view = queue.watch(index, seenErrors, seenWritten, seenTotal, 50);
        for (int32_t code : view.newErrors)
            listener_->onError(code);
        seenErrors += view.newErrors.size();
        if (view.written != seenWritten || view.totalCompressed != seenTotal) {
            seenWritten = view.written;
            seenTotal = view.totalCompressed;
            listener_->onProgress(clamp32(view.totalCompressed), clamp32(view.totalWritten));
            listener_->onFileProgress(clamp32(view.written));
        }
        if (view.state == DownloadQueue::State::done)
            return Downloads::complete;
        if (view.state == DownloadQueue::State::failed) {
            error_ = view.error;
            if (!view.cause.empty())
                failureCauses_ = {view.cause};
            return Downloads::failed;
        }
        if (view.state == DownloadQueue::State::cancelled)
            return Downloads::cancelled;
    }
}

void Updater::collectDone(const DownloadQueue& queue, std::set<std::string>& done) {
    for (size_t index = 0; index < queue.size(); ++index) {
        if (queue.state(index) != DownloadQueue::State::done)
            continue;
        const std::string& path = queue.path(index);
        done.insert(path);
        if (queue.delta(index) != nullptr)
            deltaReport_.fetched += queue.fetched(index);
        if (queue.staged(index))
            ++stagedCount_;
        unsynced_.push_back(installDir_ + "/" + (queue.staged(index) ? stagingDir_ + "/" + path : path));
        // A folder made for the file is a new entry of its parent.
        for (const std::string& folder : queue.madeFolders(index))
            unsyncedEntries_.push_back(folder);
    }
}

// [6] the deletion pass ---------------------------------------------------------

InstallScanner Updater::scanner() const {
    InstallScanner scanner(installDir_, manifestName_);
    for (const std::string& pattern : excludes_)
        scanner.addExclude(pattern);
    return scanner;
}

void Updater::deleteObsolete() {
    InstallScanner scanner = this->scanner();
    std::vector<std::string> files;
    if (scanner.list(files) < 0)
        updateLog("update: part of the installation could not be listed");
    // Only the previous manifest that was read tells the game's folders: one
    // made by a scan lists the player's files too.
    const ObsoleteFiles obsolete(published_, localFromFile_ ? &local_ : nullptr);
    for (const std::string& path : files) {
        // Nothing below the staging directory, nor anything whose name merely
        // starts with its name, is ever deleted; without a staging directory
        // nothing is.
        if (path.compare(0, stagingDir_.size(), stagingDir_) == 0)
            continue;
        // Nor is a published file, one in a folder of the player's, or one
        // reached through a link or junction made since the listing.
        if (!obsolete.isObsolete(path) || !parentDirectoriesInside(installDir_, path))
            continue;
        listener_->onDeleting(path);
        if (platform::removeFile(installDir_ + "/" + path))
            unsyncedEntries_.push_back(installDir_ + "/" + path);
    }
}
