#include "delta/Inflater.h"

#include <zlib.h>
#ifdef MORAVO_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <cstdint>

struct Inflater::State {
    z_stream zlib{};
    bool zlibReady = false;
#ifdef MORAVO_HAVE_ISAL
    inflate_state isal{};
    bool isalFinished = false;
#endif
};

bool Inflater::isalAvailable() {
#ifdef MORAVO_HAVE_ISAL
    return true;
#else
    return false;
#endif
}

Inflater::Engine Inflater::fastest() {
    return isalAvailable() ? Engine::isal : Engine::zlib;
}

Inflater::Inflater(Engine engine) : engine_(isalAvailable() ? engine : Engine::zlib) {}

Inflater::~Inflater() {
    end();
}

bool Inflater::init() {
    end();
    state_ = std::make_unique<State>();
#ifdef MORAVO_HAVE_ISAL
    if (engine_ == Engine::isal) {
        isal_inflate_init(&state_->isal);
        // The zlib header and the Adler-32 of the output are checked too.
        state_->isal.crc_flag = ISAL_ZLIB;
        return true;
    }
#endif
    // The version string is the one the launcher has always passed; zlib
    // accepts any 1.x version whose stream structure has the size given.
    state_->zlibReady = inflateInit_(&state_->zlib, "1.1.3", static_cast<int>(sizeof(z_stream))) == Z_OK;
    return state_->zlibReady;
}

int Inflater::inflate(const unsigned char*& in, size_t& inLength, unsigned char*& out, size_t& outLength) {
    if (state_ == nullptr)
        return Z_STREAM_ERROR;
    // Both engines take 32-bit counts; the caller's blocks are far smaller.
    const uint32_t inCount = static_cast<uint32_t>(std::min<size_t>(inLength, UINT32_MAX));
    const uint32_t outCount = static_cast<uint32_t>(std::min<size_t>(outLength, UINT32_MAX));
#ifdef MORAVO_HAVE_ISAL
    if (engine_ == Engine::isal) {
        inflate_state& s = state_->isal;
        if (state_->isalFinished)
            return Z_STREAM_END;
        s.next_in = const_cast<uint8_t*>(in);
        s.avail_in = inCount;
        s.next_out = out;
        s.avail_out = outCount;
        const int r = isal_inflate(&s);
        const size_t used = inCount - s.avail_in, produced = outCount - s.avail_out;
        in += used;
        inLength -= used;
        out += produced;
        outLength -= produced;
        if (r != ISAL_DECOMP_OK)
            return Z_DATA_ERROR; // a bad block, symbol, distance, header or check; or a dictionary
        if (s.block_state == ISAL_BLOCK_FINISH) {
            state_->isalFinished = true;
            return Z_STREAM_END;
        }
        // As zlib: a call that could do nothing is a buffer error.
        return used == 0 && produced == 0 ? Z_BUF_ERROR : Z_OK;
    }
#endif
    z_stream& z = state_->zlib;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = inCount;
    z.next_out = out;
    z.avail_out = outCount;
    int r = ::inflate(&z, Z_NO_FLUSH);
    const size_t used = inCount - z.avail_in, produced = outCount - z.avail_out;
    in += used;
    inLength -= used;
    out += produced;
    outLength -= produced;
    if (r == Z_NEED_DICT)
        r = Z_DATA_ERROR; // a preset dictionary is never published
    return r;
}

bool Inflater::end() {
    if (state_ == nullptr)
        return true;
    bool ended = true;
    if (state_->zlibReady)
        ended = inflateEnd(&state_->zlib) == Z_OK;
    state_.reset();
    return ended;
}
