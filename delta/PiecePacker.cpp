#include "delta/PiecePacker.h"

#ifdef MORAVO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace {

#ifdef MORAVO_HAVE_LIBDEFLATE
// Pieces are packed once and fetched by every player: libdeflate's level 7
// packs them as tightly as zlib's level 9 in about two thirds of the time
// (its level 1 would save a few per cent of a publication's time for 1.5 %
// more bytes in every delta update).
constexpr int pieceLevel = 7;
#else
// Pieces are packed once and fetched by every player: zlib's tightest level.
constexpr int pieceLevel = 9;
#endif

} // namespace

#ifdef MORAVO_HAVE_LIBDEFLATE

struct PiecePacker::Engine {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(pieceLevel);
    ~Engine() { libdeflate_free_compressor(compressor); }
};

bool PiecePacker::pack(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    if (engine_->compressor == nullptr || size < 2)
        return false;
    out.resize(size);
    // Room for one byte less than the piece: libdeflate answers 0 when the
    // stream does not fit.
    const size_t length = libdeflate_zlib_compress(engine_->compressor, data, size, out.data(), size - 1);
    out.resize(length);
    return length > 0;
}

#else

struct PiecePacker::Engine {
    z_stream stream{};
    bool ready = deflateInit(&stream, pieceLevel) == Z_OK;
    ~Engine() {
        if (ready)
            deflateEnd(&stream);
    }
};

bool PiecePacker::pack(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    z_stream& z = engine_->stream;
    if (!engine_->ready || size < 2 || deflateReset(&z) != Z_OK)
        return false;
    out.resize(size);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(size - 1); // a stream that fills this is no smaller
    const bool ended = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(ended ? z.total_out : 0);
    return ended;
}

#endif

PiecePacker::PiecePacker() : engine_(std::make_unique<Engine>()) {}

PiecePacker::~PiecePacker() = default;
