#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class Md5;
class PendingFile;

/// Hashes (MD5) and writes a file's bytes on a second thread while the
/// caller produces the next block: two fixed blocks take turns, one being
/// filled, the other being hashed and written. Without a second thread (none
/// could be started) the work is done at once in `submit`. Used by one
/// producing thread.
class WriteBehind {
public:
    /// What a producer filling `block()` hands over at most: small enough
    /// that a file's progress moves several times a second on a slow link.
    static constexpr size_t blockSize = 128 * 1024;
    /// What `append` hands over at once: a file put together from bytes at
    /// hand goes as fast as its MD5, and smaller hand-overs showed (0.57 s
    /// instead of 0.70 s for a delta of a 250 MiB file).
    static constexpr size_t appendSize = 512 * 1024;
    /// Where the bytes go: false when they could not be written.
    using Sink = std::function<bool(const char* data, size_t length)>;

    WriteBehind();
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    /// Starts a file: its bytes go to `file` (not owned), the digest anew.
    void begin(PendingFile* file);
    /// Starts a file whose bytes go to `sink` (called on the second thread),
    /// the digest going on from `md5` (a fresh one when null).
    void begin(Sink sink, std::unique_ptr<Md5> md5);
    /// The block to fill next (`blockSize` bytes).
    char* block() { return blocks_[current_].get(); }
    /// Hands over the first `length` bytes of `block()`; answers false once a
    /// write of this file has failed.
    bool submit(size_t length);
    /// Copies `length` bytes into the blocks, handing over each one filled;
    /// `finish` hands over the last. Answers false once a block handed over
    /// finds that a write has failed.
    /// Not to be mixed with `block`/`submit` within a file.
    bool append(const char* data, size_t length);
    /// Waits until every byte handed over is hashed and written; answers
    /// false when a write failed. `digest` gets the file's MD5 in hex.
    bool finish(std::string& digest);

private:
    struct Shared;
    static void worker(Shared& shared);

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<char[]> blocks_[2];
    int current_ = 0;
    size_t filled_ = 0; // bytes of `block()` appended and not yet handed over
    bool threaded_ = false;
};
