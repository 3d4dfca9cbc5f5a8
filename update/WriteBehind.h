#pragma once
#include <cstddef>
#include <memory>
#include <string>

class PendingFile;

/// Hashes (MD5) and writes a file's bytes on a second thread while the
/// caller produces the next block: two fixed blocks take turns, one being
/// filled, the other being hashed and written. Without a second thread (none
/// could be started) the work is done at once in `submit`. Used by one
/// producing thread.
class WriteBehind {
public:
    static constexpr size_t blockSize = 128 * 1024;

    WriteBehind();
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    /// Starts a file: its bytes go to `file` (not owned), the digest anew.
    void begin(PendingFile* file);
    /// The block to fill next (`blockSize` bytes).
    char* block() { return blocks_[current_].get(); }
    /// Hands over the first `length` bytes of `block()`; answers false once a
    /// write of this file has failed.
    bool submit(size_t length);
    /// Waits until every byte handed over is hashed and written; answers
    /// false when a write failed. `digest` gets the file's MD5 in hex.
    bool finish(std::string& digest);

private:
    struct Shared;
    static void worker(Shared& shared);

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<char[]> blocks_[2];
    int current_ = 0;
    bool threaded_ = false;
};
