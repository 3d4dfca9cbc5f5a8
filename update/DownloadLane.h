#pragma once
#include "delta/Inflater.h"
#include "install/PendingFile.h"
#include "install/ResumeFile.h"
#include "update/DownloadQueue.h"
#include "update/ServerLink.h"
#include "update/UpdateLocation.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class HttpConnection;
class ProxyFinder;
struct DeltaPlan;
class WriteBehind;
#ifdef MORAVO_HAVE_LIBDEFLATE
struct libdeflate_decompressor;
#endif

/// What every lane of a run needs to know.
struct DownloadSettings {
    std::string installDir;
    /// Empty: the launcher's own files are replaced in place like any other.
    std::string stagingDir;
    std::set<std::string> selfFiles;
    UpdateLocation location;
    /// Where the proxy for the server is found; none: direct connections.
    std::shared_ptr<ProxyFinder> proxies;
    uint32_t receiveTimeoutMs = 0;
    /// Waited before each attempt.
    uint32_t delayMs = 0;
    /// 0 and 1: one attempt per file.
    int32_t maxAttempts = 0;
    /// Files of this download size and larger keep their compressed bytes
    /// while incomplete and resume.
    int64_t resumeThreshold = 0;
    Inflater::Engine engine = Inflater::fastest();
    /// Small files are read whole and inflated at once, where the build has
    /// libdeflate (faster than any streaming inflater).
    bool wholeBodies = true;
};

/// One lane of a run's downloads, on a thread of its own: it claims files
/// from the queue in order and fetches each over its own connection to the
/// server (sending the next file's request before the current file is
/// finished), inflates, hashes, verifies and puts it in place, with the
/// attempts, pauses and codes of a single download. It never calls the
/// listener: what the listener must hear goes to the queue.
class DownloadLane {
public:
    /// Stands in for the lane's pauses (tests record them); empty, a pause
    /// lasts the given milliseconds, or less once the lane's file is
    /// abandoned or the run stops.
    using Pause = std::function<void(uint32_t ms)>;

    /// `cancel` (not owned) is the run's stop flag.
    DownloadLane(std::shared_ptr<DownloadQueue> queue, const DownloadSettings& settings,
                 const std::atomic<bool>& cancel, Pause pause);
    ~DownloadLane();
    DownloadLane(const DownloadLane&) = delete;
    DownloadLane& operator=(const DownloadLane&) = delete;

    /// The lane's connection, which may take over another's before the
    /// lane starts.
    ServerLink& link() { return link_; }
    /// Starts the lane on a thread that owns it; when no thread can be made,
    /// the lane does its work on the caller's thread before this returns.
    static void launch(std::unique_ptr<DownloadLane> lane);

private:
    enum class Outcome { success, failure, cancelled };

    // The download of one file, kept from attempt to attempt when the file
    // resumes.
    struct Transfer;
    // Where the compressed bytes of a pass come from.
    class Source;
    // The inflate of one pass into the write-behind's blocks.
    class Inflation;

    // The body of the lane's thread: the lane ends before the run hears it.
    static void run(std::shared_ptr<DownloadLane> lane);
    void work();
    // Downloads one claimed file and tells the queue how it ended; `claimed`
    // gets the next file when its request was sent ahead.
    void download(size_t index, int64_t& claimed);
    static DownloadQueue::State stateOf(Outcome outcome);
    // Whether the file goes to the staging folder.
    bool staged(size_t index) const;
    // The file's attempts, with the pauses and the limit of the retry
    // policy; `error` gets the last attempt's code.
    Outcome attempts(Transfer& transfer, size_t index, int64_t& claimed, int32_t& error);
    // Opens the transfer when it is not open, replaying the bytes kept by
    // an earlier attempt or run; an answer when that settles the file.
    std::optional<Outcome> openTransfer(Transfer& transfer, size_t index, int32_t& error);
    // One attempt's request and body (none when every byte was kept):
    // `error` gets its code, 0 when the file is whole, and `keepTransfer`
    // whether the next attempt goes on from the bytes kept; an answer when
    // the run was cancelled.
    std::optional<Outcome> fetch(Transfer& transfer, size_t index, const std::string& remote,
                                 int64_t& claimed, int32_t& error, bool& keepTransfer);
    // Opens the file anew (and the kept bytes, for a resumable one);
    // false when it cannot be opened.
    bool startTransfer(Transfer& transfer, size_t index);
    // Drops what the transfer wrote; `keepBytes` keeps the compressed bytes
    // for a later attempt or run.
    void resetTransfer(Transfer& transfer, bool keepBytes);
    // Reads and inflates a body whose head was answered.
    int32_t receive(Transfer& transfer, size_t index, HttpConnection& connection, int64_t& claimed);
#ifdef MORAVO_HAVE_LIBDEFLATE
    // Largest file read and inflated whole.
    static constexpr int64_t wholeBodyLimit = 512 * 1024;
    // `receive` for a small file: the body read whole and inflated at once;
    // a body that does not inflate so goes through `pump` for its code.
    int32_t receiveWhole(Transfer& transfer, size_t index, HttpConnection& connection, int64_t& claimed);
    struct DecompressorDeleter {
        void operator()(libdeflate_decompressor* decompressor) const;
    };
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor_;
    std::string wholeIn_, wholeOut_;
#endif
    // Puts the verified file `out` in place (`finish` and rename): an
    // answer when that settles the file, none when its bytes could not all
    // be written (`error` 48; another attempt may follow). `kept` holds the
    // file's compressed bytes, no longer needed once it is settled.
    std::optional<Outcome> putInPlace(PendingFile& out, ResumeFile& kept, size_t index, int32_t& error);
    // A file an earlier run verified but could not put in place (its
    // destination was held) is put in place now without being fetched; no
    // answer when there is none.
    std::optional<Outcome> installVerified(PendingFile& out, size_t index, int32_t& error);
    // Puts the file together from its installed copy and the chunk store as
    // `plan` says, verifies it and puts it in place; no answer when it is to
    // be downloaded whole instead.
    std::optional<Outcome> downloadDelta(size_t index, const DeltaPlan& plan, int32_t& error);
    // How a delta ended: `result` the assembler's, `verified` whether the
    // file has its published size and digest.
    std::optional<Outcome> finishDelta(size_t index, int32_t result, bool verified, int32_t& error);
    // Renames the finished file over its destination, trying again while
    // the destination is held; a destination still held keeps the file for
    // the next run and fails it with 48.
    Outcome settle(PendingFile& out, ResumeFile* kept, size_t index, int32_t& error);
    // The full path a file is written to (below the staging folder for the
    // launcher's own files).
    std::string destinationPath(const std::string& path) const;
    // Inflates the bytes kept by an earlier attempt or run; 0, or a code
    // when they cannot be used (the transfer then starts over).
    int32_t replayKept(Transfer& transfer, size_t index);
    // Inflates what `source` gives; with `toTheEnd`, an input that ends
    // before the zlib stream does is an error.
    int32_t pump(Transfer& transfer, size_t index, Source& source, bool toTheEnd);
    // `pump`'s first part: reads and inflates until the input or the zlib
    // stream ends.
    int32_t inflateInput(Inflation& inflation, size_t index, Source& source);
    // After the whole stream: sends the next file's request (on
    // `connection`, when given), waits for the written bytes and checks the
    // file against its entry.
    int32_t complete(Transfer& transfer, size_t index, HttpConnection* connection, int64_t& claimed);
    // The next job's request, sent while this file is finished.
    void sendNextRequest(HttpConnection& connection, int64_t& claimed);
    std::string remotePath(const std::string& path) const;
    // Says why the current attempt failed (in the log, and as the cause the
    // queue keeps) and answers `code`.
    int32_t fail(int32_t code, const std::string& cause);
    // `fail` for what `pump` answered, when it is an inflate error of the
    // file of `index`; any other result is answered as it is.
    int32_t inflateFailure(size_t index, int32_t result, const Transfer& transfer);
    // Where the compressed bytes of an incomplete file are kept.
    std::string keptPath(const std::string& path) const;
    bool resumable(const ManifestEntry& entry) const;
    bool stopped(size_t index) const;
    // Waits `ms`, or less once the file of `index` is abandoned.
    void pause(size_t index, uint32_t ms);

    std::shared_ptr<DownloadQueue> queue_;
    DownloadSettings settings_;
    const std::atomic<bool>& cancel_;
    Pause wait_;
    ServerLink link_;
    std::unique_ptr<WriteBehind> writer_;
    // Compressed input (`inputSize` bytes).
    std::unique_ptr<char[]> input_;
    // Why the current attempt failed, in words; empty when not known.
    std::string cause_;
};
