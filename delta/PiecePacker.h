#pragma once
// Deflates the pieces of chunks for the chunk store, one after the other,
// with one compressor made once: for pieces of a few KiB, making a
// compressor costs about as much as using it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class PiecePacker {
public:
    PiecePacker();
    ~PiecePacker();
    PiecePacker(const PiecePacker&) = delete;
    PiecePacker& operator=(const PiecePacker&) = delete;

    /// Deflates `size` bytes into `out` as one zlib stream; false (and
    /// `out` undefined) when that stream would not be smaller than the
    /// bytes, which are then stored as they are. The same bytes give the
    /// same stream whatever was packed before.
    bool pack(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};
