// DownloadLane: the downloads of one lane.
//   [1] the lane's thread and its loop over the queue
//   [2] one file: its attempts, kept bytes and outcome
//   [3] inflate, verification and the next file's request
#include "update/DownloadLane.h"

#include "install/Manifest.h"
#include "install/SafePaths.h"
#include "install/WriteBehind.h"
#include "net/HttpConnection.h"
#include "net/StreamBuf.h"
#include "platform/FileSystem.h"
#include "support/Workers.h"
#include "update/UpdateLog.h"
#include "update/Updater.h"

#ifdef MORAVO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstring>

namespace {

// Compressed bytes read from the socket at a time: four areas of the stream
// buffer, read straight from the socket: few calls per file, and still
// progress often enough on a slow line.
constexpr size_t inputSize = 4 * INet::StreamBuf::areaSize;

// The largest zlib stream of `size` bytes (at most `largestFile`): zlib's
// own bound for what its deflate can produce (compressBound, computed here
// in 64 bits), and a small margin for other deflaters' block layout.
int64_t compressedLimit(int64_t size) {
    const int64_t zlibBound = size + (size >> 12) + (size >> 14) + (size >> 25) + 13;
    return zlibBound + (size >> 10) + 4096;
}

// The code of a body that ended before its zlib stream did.
constexpr int32_t cutShort = Updater::inflateFinishError - Inflater::bufferError;

} // namespace

struct DownloadLane::Transfer {
    explicit Transfer(Inflater::Engine engine) : inflater(engine) {}

    PendingFile out;
    Inflater inflater;
    ResumeFile kept;
    bool resumable = false;
    bool active = false;
    // The destination could be opened (a staged file's folder may not).
    bool destinationReady = true;
    bool inflaterReady = true;
    bool streamEnded = false;
    int64_t compressed = 0;
    int64_t written = 0;
    // Folders made for the file, removed unless it is put in place.
    std::vector<std::string> created;
};

// Reads compressed bytes: from the connection's body, from the bytes kept
// by an earlier attempt, or from a body already read into memory.
class DownloadLane::Source {
public:
    explicit Source(std::streambuf* body) : body_(body) {}
    explicit Source(ResumeFile* kept) : kept_(kept) {}
    Source(const char* bytes, size_t length) : bytes_(bytes), left_(length) {}
    size_t read(char* into, size_t length) {
        if (kept_ != nullptr)
            return kept_->read(into, length);
        if (bytes_ != nullptr) {
            const size_t take = std::min(length, left_);
            std::memcpy(into, bytes_, take);
            bytes_ += take;
            left_ -= take;
            return take;
        }
        const std::streamsize got = body_->sgetn(into, static_cast<std::streamsize>(length));
        return got > 0 ? static_cast<size_t>(got) : 0;
    }
    bool fromNetwork() const { return body_ != nullptr; }

private:
    std::streambuf* body_ = nullptr;
    ResumeFile* kept_ = nullptr;
    const char* bytes_ = nullptr;
    size_t left_ = 0;
};

#ifdef MORAVO_HAVE_LIBDEFLATE
void DownloadLane::DecompressorDeleter::operator()(libdeflate_decompressor* decompressor) const {
    libdeflate_free_decompressor(decompressor);
}
#endif

// [1] the lane's thread ----------------------------------------------------------

DownloadLane::DownloadLane(std::shared_ptr<DownloadQueue> queue, const DownloadSettings& settings,
                           const std::atomic<bool>& cancel, Pause pause)
    : queue_(std::move(queue)), settings_(settings), cancel_(cancel), wait_(std::move(pause)),
      link_(settings.location, settings.receiveTimeoutMs, cancel), writer_(std::make_unique<WriteBehind>()),
      input_(new char[inputSize]) {
    link_.setProxies(settings.proxies);
}

DownloadLane::~DownloadLane() = default;

void DownloadLane::launch(std::unique_ptr<DownloadLane> lane) {
    lane->queue_->laneStarted();
    // Without a thread of its own the lane works here. The thread's body is
    // the lane's one owner, and hands it to `run`.
    support::runOnThreadOrHere(
        [owner = std::shared_ptr<DownloadLane>(std::move(lane))]() mutable { run(std::move(owner)); });
}

void DownloadLane::run(std::shared_ptr<DownloadLane> lane) {
    lane->work();
    // The lane's files and connection are closed before the run hears that
    // it ended; the queue outlives that call.
    std::shared_ptr<DownloadQueue> queue = lane->queue_;
    lane.reset();
    queue->laneEnded();
}

void DownloadLane::pause(size_t index, uint32_t ms) {
    if (wait_)
        wait_(ms);
    else
        queue_->pause(index, ms);
}

bool DownloadLane::stopped(size_t index) const {
    return cancel_ || queue_->abandoned(index);
}

void DownloadLane::work() {
    int64_t index = queue_->claim();
    while (index >= 0) {
        queue_->setLink(&link_, index);
        int64_t claimed = -1;
        if (stopped(static_cast<size_t>(index))) {
            queue_->finish(static_cast<size_t>(index), DownloadQueue::State::cancelled);
            // A request may have been sent ahead for it.
            link_.drop();
        } else {
            download(static_cast<size_t>(index), claimed);
        }
        index = claimed >= 0 ? claimed : queue_->claim();
    }
    queue_->removeLink(&link_);
    link_.drop();
}

// [2] one file ----------------------------------------------------------------------

void DownloadLane::download(size_t index, int64_t& claimed) {
    int32_t error = 0;
    if (const DeltaPlan* plan = queue_->delta(index)) {
        if (std::optional<Outcome> outcome = downloadDelta(index, *plan, error)) {
            queue_->finish(index, stateOf(*outcome), error, *outcome == Outcome::success && staged(index));
            return;
        }
        error = 0;
    }
    Transfer transfer(settings_.engine);
    const Outcome outcome = attempts(transfer, index, claimed, error);
    // Every byte handed to the writer is written before the file is dropped.
    std::string ignored;
    writer_->finish(ignored);
    if (outcome != Outcome::success) {
        transfer.out.discard();
        // Folders are made for the file but kept only once it is in place: a
        // run that fails or is cancelled leaves no empty folder behind.
        std::lock_guard<std::mutex> layout(queue_->layoutMutex());
        removeCreatedDirectories(transfer.created);
    }
    const bool placed = outcome == Outcome::success;
    queue_->finish(index, stateOf(outcome), error, placed && staged(index),
                   placed ? std::move(transfer.created) : std::vector<std::string>());
}

bool DownloadLane::startTransfer(Transfer& transfer, size_t index) {
    const std::string& path = queue_->path(index);
    const bool staged = !settings_.stagingDir.empty() && settings_.selfFiles.count(path) != 0;
    const std::string stagedPath = settings_.stagingDir + "/" + path;
    const std::string destination = settings_.installDir + "/" + (staged ? stagedPath : path);
    {
        std::lock_guard<std::mutex> layout(queue_->layoutMutex());
        // A staged file's folders that cannot be made fail each attempt with
        // 48 at its first write; a destination that cannot be opened fails
        // the file at once.
        transfer.destinationReady =
            !staged || makeParentDirectories(settings_.installDir, stagedPath, &transfer.created);
        if (transfer.destinationReady && !transfer.out.open(destination)) {
            updateLog("update: cannot open %s for writing", destination.c_str());
            return false;
        }
    }
    // A staged file takes the permissions of the installed file it will
    // replace.
    if (staged)
        transfer.out.setPermissionsFrom(settings_.installDir + "/" + path);
    transfer.out.setProgram(isLauncherProgram(path));
    transfer.inflaterReady = transfer.inflater.init();
    writer_->begin(&transfer.out);
    transfer.compressed = 0;
    transfer.written = 0;
    transfer.streamEnded = false;
    transfer.active = true;
    if (transfer.resumable && !transfer.kept.isOpen())
        transfer.kept.open(keptPath(path), queue_->entry(index));
    return true;
}

void DownloadLane::resetTransfer(Transfer& transfer, bool keepBytes) {
    std::string ignored;
    writer_->finish(ignored);
    transfer.out.discard();
    transfer.inflater.end();
    transfer.active = false;
    if (keepBytes)
        transfer.kept.close();
    else
        transfer.kept.remove();
}

int32_t DownloadLane::replayKept(Transfer& transfer, size_t index) {
    const ManifestEntry& entry = queue_->entry(index);
    if (transfer.kept.kept() > compressedLimit(entry.size))
        return Updater::downloadError;
    Source source(&transfer.kept);
    const int32_t result = pump(transfer, index, source, false);
    if (result == 0 && transfer.compressed != transfer.kept.kept())
        return Updater::readError;
    return result;
}

DownloadLane::Outcome DownloadLane::attempts(Transfer& transfer, size_t index, int64_t& claimed,
                                             int32_t& error) {
    const std::string& path = queue_->path(index);
    const ManifestEntry& entry = queue_->entry(index);
    const std::string remote = remotePath(path);
    {
        std::lock_guard<std::mutex> layout(queue_->layoutMutex());
        if (!makeParentDirectories(settings_.installDir, path, &transfer.created)) {
            updateLog("update: cannot make the directories of %s", path.c_str());
            error = Updater::directoryError;
            return Outcome::failure;
        }
    }
    if (std::optional<Outcome> settled = installVerified(transfer.out, index, error))
        return *settled;
    transfer.resumable = resumable(entry);
    int32_t attempt = 0;
    for (;;) {
        if (error != 0) {
            pause(index, Updater::retryPauseMs);
            error = 0;
        }
        if (stopped(index)) {
            resetTransfer(transfer, true);
            return Outcome::cancelled;
        }
        if (std::optional<Outcome> settled = openTransfer(transfer, index, error))
            return *settled;
        queue_->progress(index, transfer.compressed, transfer.written);
        if (settings_.delayMs != 0)
            pause(index, settings_.delayMs);
        bool keepTransfer = transfer.resumable;
        if (std::optional<Outcome> settled = fetch(transfer, index, remote, claimed, error, keepTransfer))
            return *settled;
        if (error == 0) {
            if (std::optional<Outcome> settled = putInPlace(transfer.out, transfer.kept, index, error))
                return *settled;
        }
        if (error == Updater::cancelled) {
            error = 0;
            resetTransfer(transfer, true);
            return Outcome::cancelled;
        }
        queue_->attemptFailed(index, error, cause_);
        ++attempt;
        if (!keepTransfer)
            resetTransfer(transfer, false);
        if (attempt >= settings_.maxAttempts) {
            resetTransfer(transfer, keepTransfer);
            return Outcome::failure;
        }
    }
}

std::optional<DownloadLane::Outcome> DownloadLane::openTransfer(Transfer& transfer, size_t index,
                                                                int32_t& error) {
    if (transfer.active)
        return std::nullopt;
    if (!startTransfer(transfer, index)) {
        error = Updater::writeError;
        transfer.kept.close();
        return Outcome::failure;
    }
    if (transfer.kept.kept() <= 0)
        return std::nullopt;
    const int32_t replayed = replayKept(transfer, index);
    if (replayed == Updater::cancelled) {
        resetTransfer(transfer, true);
        return Outcome::cancelled;
    }
    if (replayed != 0) {
        updateLog("update: the bytes kept for %s cannot be used; it starts over",
                  queue_->path(index).c_str());
        resetTransfer(transfer, false);
        if (!startTransfer(transfer, index)) {
            error = Updater::writeError;
            return Outcome::failure;
        }
    }
    return std::nullopt;
}

std::optional<DownloadLane::Outcome> DownloadLane::fetch(Transfer& transfer, size_t index,
                                                         const std::string& remote, int64_t& claimed,
                                                         int32_t& error, bool& keepTransfer) {
    cause_.clear();
    if (transfer.streamEnded) {
        // Every byte was kept by an earlier run: nothing to fetch.
        error = complete(transfer, index, nullptr, claimed);
        keepTransfer = false;
        return std::nullopt;
    }
    if (!link_.get(remote, transfer.compressed > 0 ? transfer.compressed : -1)) {
        const HttpConnection* failed = link_.connection();
        const bool answered = failed != nullptr && failed->status != 0;
        link_.drop();
        if (cancel_) {
            resetTransfer(transfer, true);
            return Outcome::cancelled;
        }
        cause_ = link_.failure();
        if (answered)
            updateLog("update: %s", cause_.c_str());
        error = Updater::downloadError;
        // A server that refuses the rest of a file (its file may have
        // changed under the same entry) gets asked for all of it next.
        keepTransfer = transfer.resumable && !(answered && transfer.compressed > 0);
        return std::nullopt;
    }
    HttpConnection& connection = *link_.connection();
    error = receive(transfer, index, connection, claimed);
    // A body that stopped coming (a cut connection, a time-out) is
    // continued by the next attempt from the bytes kept; any other
    // failure starts over.
    keepTransfer = transfer.resumable && transfer.kept.isOpen() && error == cutShort &&
                   connection.streamBuf().truncated();
    if (error == 0) {
        // Bytes left after the end of the zlib stream would be read
        // as the next response: the connection is not reused.
        if (link_.sentAhead().empty() && connection.streamBuf().unreadBody() != 0)
            link_.drop();
        else if (!connection.keepAlive)
            link_.drop();
    } else {
        // The connection may be dead or mid-body: the next attempt
        // starts on a new one.
        link_.drop();
    }
    return std::nullopt;
}

// [3] inflate and verification --------------------------------------------------

int32_t DownloadLane::receive(Transfer& transfer, size_t index, HttpConnection& connection,
                              int64_t& claimed) {
    const ManifestEntry& entry = queue_->entry(index);
    if (connection.status == 206 && connection.rangeStart != transfer.compressed)
        return fail(Updater::downloadError,
                    "the server answered other bytes of " + queue_->path(index) + ".zz than those asked for");
    if (connection.status == 200 && transfer.compressed > 0) {
        // The server sends the whole file again: it starts over.
        resetTransfer(transfer, false);
        if (!startTransfer(transfer, index))
            return Updater::writeError;
    }
    // The packed size is only a progress figure; what bounds the body is the
    // most any zlib stream of the file's size can take.
    const int64_t inputLimit = compressedLimit(entry.size);
    if (connection.contentLength > static_cast<uint64_t>(inputLimit - transfer.compressed))
        return fail(Updater::downloadError, std::to_string(connection.contentLength) +
                                                " compressed bytes offered for " + queue_->path(index) +
                                                ", a file of " + std::to_string(entry.size) + " bytes");
    if (!transfer.destinationReady)
        return Updater::writeError;
    if (!transfer.inflaterReady)
        return Updater::inflateInitError;
#ifdef MORAVO_HAVE_LIBDEFLATE
    if (settings_.wholeBodies && !transfer.resumable && transfer.compressed == 0 &&
        entry.size <= wholeBodyLimit)
        return receiveWhole(transfer, index, connection, claimed);
#endif
    Source source(connection.input().rdbuf());
    const int32_t result = pump(transfer, index, source, true);
    if (result != 0)
        return inflateFailure(index, result, transfer);
    return complete(transfer, index, &connection, claimed);
}

#ifdef MORAVO_HAVE_LIBDEFLATE
int32_t DownloadLane::receiveWhole(Transfer& transfer, size_t index, HttpConnection& connection,
                                   int64_t& claimed) {
    const ManifestEntry& entry = queue_->entry(index);
    if (decompressor_ == nullptr)
        decompressor_.reset(libdeflate_alloc_decompressor());
    wholeIn_.resize(static_cast<size_t>(connection.contentLength));
    const std::streamsize got =
        connection.input().rdbuf()->sgetn(&wholeIn_[0], static_cast<std::streamsize>(wholeIn_.size()));
    const size_t length = got > 0 ? static_cast<size_t>(got) : 0;
    queue_->progress(index, static_cast<int64_t>(length), 0);
    if (stopped(index))
        return Updater::cancelled;
    wholeOut_.resize(static_cast<size_t>(entry.size));
    size_t used = 0, produced = 0;
    const bool inflated =
        decompressor_ != nullptr &&
        libdeflate_zlib_decompress_ex(decompressor_.get(), wholeIn_.data(), length, &wholeOut_[0],
                                      wholeOut_.size(), &used, &produced) == LIBDEFLATE_SUCCESS;
    if (!inflated) {
        // The streaming inflater reads the same bytes, so that the failure
        // gets the code it always had.
        Source source(wholeIn_.data(), length);
        const int32_t result = pump(transfer, index, source, true);
        return result != 0 ? inflateFailure(index, result, transfer)
                           : complete(transfer, index, &connection, claimed);
    }
    transfer.compressed = static_cast<int64_t>(length);
    for (size_t at = 0; at < produced; at += WriteBehind::blockSize) {
        const size_t piece = std::min(WriteBehind::blockSize, produced - at);
        std::memcpy(writer_->block(), wholeOut_.data() + at, piece);
        if (!writer_->submit(piece))
            return Updater::writeError;
        transfer.written += static_cast<int64_t>(piece);
    }
    transfer.streamEnded = true;
    return complete(transfer, index, &connection, claimed);
}
#endif

// The inflate of one pass: the compressed bytes not yet taken and the part
// of the write-behind's block still free. The inflated bytes are hashed and
// written behind, while the next block is inflated.
class DownloadLane::Inflation {
public:
    Inflation(Transfer& transfer, const std::string& path, int64_t size, WriteBehind& writer,
              std::string& cause)
        : transfer_(transfer), path_(path), size_(size), writer_(writer), cause_(cause),
          next_(reinterpret_cast<unsigned char*>(writer.block())) {}

    Transfer& transfer() { return transfer_; }
    bool hasInput() const { return inLength_ > 0; }
    bool full() const { return room_ == 0; }
    void take(const char* bytes, size_t length) {
        in_ = reinterpret_cast<const unsigned char*>(bytes);
        inLength_ = length;
    }

    // Inflates what it can; an inflater's failure is `base` plus its code.
    int32_t inflate(int32_t base) {
        const int r = transfer_.inflater.inflate(in_, inLength_, next_, room_);
        if (r < 0)
            return base - r;
        transfer_.streamEnded = r == Inflater::streamEnd;
        return checkSize();
    }

    // Hands the filled part of the output block over.
    int32_t drain() {
        const size_t produced = WriteBehind::blockSize - room_;
        if (produced > 0) {
            if (!writer_.submit(produced))
                return Updater::writeError;
            transfer_.written += static_cast<int64_t>(produced);
        }
        next_ = reinterpret_cast<unsigned char*>(writer_.block());
        room_ = WriteBehind::blockSize;
        return 0;
    }

private:
    // Output beyond the published size stops the inflate at once: a small
    // body must not be able to fill the disk.
    int32_t checkSize() {
        if (transfer_.written + static_cast<int64_t>(WriteBehind::blockSize - room_) <= size_)
            return 0;
        cause_ = path_ + " inflates beyond its published size (" + std::to_string(size_) + " bytes)";
        updateLog("update: %s", cause_.c_str());
        return Updater::downloadError;
    }

    Transfer& transfer_;
    const std::string& path_;
    const int64_t size_;
    WriteBehind& writer_;
    std::string& cause_;
    unsigned char* next_;
    size_t room_ = WriteBehind::blockSize;
    const unsigned char* in_ = nullptr;
    size_t inLength_ = 0;
};

int32_t DownloadLane::pump(Transfer& transfer, size_t index, Source& source, bool toTheEnd) {
    Inflation inflation(transfer, queue_->path(index), queue_->entry(index).size, *writer_, cause_);
    int32_t result = inflateInput(inflation, index, source);
    if (!toTheEnd) {
        // Kept bytes: everything read is inflated, and the stream goes on
        // with the bytes of the network.
        while (result == 0 && !transfer.streamEnded && inflation.hasInput()) {
            if ((result = inflation.inflate(Updater::inflateFinishError)) == 0)
                result = inflation.drain();
        }
    }
    // Input that ended before the zlib stream did: what the inflater still
    // holds is taken out; a stream cut short ends in an error, never a short
    // file.
    while (toTheEnd && result == 0 && !transfer.streamEnded) {
        queue_->progress(index, transfer.compressed, transfer.written);
        if (stopped(index)) {
            result = Updater::cancelled;
            break;
        }
        if ((result = inflation.inflate(Updater::inflateFinishError)) == 0)
            result = inflation.drain();
    }
    // What was inflated before a body was cut belongs to the file too when
    // the next attempt continues it.
    if (result == 0 || result == cutShort) {
        const int32_t drained = inflation.drain();
        if (result == 0)
            result = drained;
    }
    return result;
}

int32_t DownloadLane::inflateInput(Inflation& inflation, size_t index, Source& source) {
    Transfer& transfer = inflation.transfer();
    bool inputEnded = false;
    int32_t result = 0;
    while (!inputEnded && !transfer.streamEnded) {
        queue_->progress(index, transfer.compressed, transfer.written);
        if (stopped(index))
            return Updater::cancelled;
        if (!inflation.hasInput()) {
            const size_t got = source.read(input_.get(), inputSize);
            if (got < inputSize)
                inputEnded = true;
            if (got == 0)
                continue;
            if (source.fromNetwork())
                transfer.kept.append(input_.get(), got);
            transfer.compressed += static_cast<int64_t>(got);
            inflation.take(input_.get(), got);
        }
        if ((result = inflation.inflate(Updater::inflateInputError)) != 0)
            return result;
        if ((inflation.full() || transfer.streamEnded) && (result = inflation.drain()) != 0)
            return result;
    }
    return result;
}

int32_t DownloadLane::complete(Transfer& transfer, size_t index, HttpConnection* connection,
                               int64_t& claimed) {
    const ManifestEntry& entry = queue_->entry(index);
    // The whole body is read: the next file's request goes out now, so that
    // the server answers it while this file is finished and put in place.
    if (connection != nullptr)
        sendNextRequest(*connection, claimed);
    int32_t result = 0;
    std::string digest;
    if (!writer_->finish(digest))
        result = Updater::writeError;
    queue_->progress(index, transfer.compressed, transfer.written);
    if (!transfer.inflater.end() && result == 0)
        result = Updater::inflateEndError;
    if (result == 0 && (transfer.written != entry.size || entry.hash != digest))
        result = fail(Updater::downloadError,
                      queue_->path(index) + " does not match its published size and digest: expected " +
                          std::to_string(entry.size) + " bytes with MD5 " + entry.hash + ", got " +
                          std::to_string(transfer.written) + " bytes with MD5 " + digest);
    return result;
}

int32_t DownloadLane::fail(int32_t code, const std::string& cause) {
    cause_ = cause;
    updateLog("update: %s", cause.c_str());
    return code;
}

int32_t DownloadLane::inflateFailure(size_t index, int32_t result, const Transfer& transfer) {
    const std::string stream = queue_->path(index) + ".zz";
    const std::string arrived = std::to_string(transfer.compressed) + " compressed bytes";
    if (result == cutShort)
        return fail(result,
                    "the answer for " + stream + " ended before its zlib stream did (" + arrived + ")");
    const bool input = result > Updater::inflateInputError && result < Updater::inflateFinishError;
    const bool finish = result > Updater::inflateFinishError && result < Updater::inflateEndError;
    if (!input && !finish)
        return result;
    const int zlib = (input ? Updater::inflateInputError : Updater::inflateFinishError) - result;
    return fail(result, stream + " does not inflate: " +
                            (zlib == Inflater::dataError ? std::string("damaged data") : "zlib error") +
                            " (" + std::to_string(zlib) + ") within the first " + arrived);
}

void DownloadLane::sendNextRequest(HttpConnection& connection, int64_t& claimed) {
    // Not with a delay before each attempt, which comes before the request.
    if (settings_.delayMs != 0 || !connection.keepAlive || connection.streamBuf().unreadBody() != 0)
        return;
    if (claimed < 0)
        claimed = queue_->claim();
    if (claimed < 0)
        return;
    // A file with bytes kept from an earlier run asks only for the rest,
    // which is known once its kept bytes are read.
    const std::string& path = queue_->path(static_cast<size_t>(claimed));
    // A file put together from chunks makes its own requests.
    if (queue_->delta(static_cast<size_t>(claimed)) != nullptr)
        return;
    if (resumable(queue_->entry(static_cast<size_t>(claimed))) &&
        platform::fileKind(keptPath(path)) != platform::FileKind::missing)
        return;
    // Nor is a file asked for that an earlier run verified and kept.
    if (platform::fileKind(destinationPath(path) + PendingFile::suffix) != platform::FileKind::missing)
        return;
    link_.sendAhead(remotePath(path));
}
