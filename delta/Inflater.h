#pragma once
#include <cstddef>
#include <memory>

/// Inflates one zlib stream. Whatever library does the work, the answers are
/// zlib's result codes (`ok`, `streamEnd`, or zlib's negative codes), so that
/// the updater's error codes do not depend on it. Built with ISA-L, its
/// inflate is the faster engine; zlib is always there.
class Inflater {
public:
    enum class Engine { zlib, isal };
    /// zlib's result codes.
    static constexpr int ok = 0;
    static constexpr int streamEnd = 1;
    static constexpr int dataError = -3;
    static constexpr int bufferError = -5;

    /// True when the build has ISA-L's inflate.
    static bool isalAvailable();
    /// ISA-L's when the build has it, else zlib's.
    static Engine fastest();

    explicit Inflater(Engine engine = fastest());
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    Engine engine() const { return engine_; }
    /// Starts a new stream (the previous one, if any, is ended first). False
    /// when the engine could not be initialised.
    bool init();
    /// Inflates from the input into the output, moving both pointers and
    /// counts on as zlib does. Answers `ok` after progress, `streamEnd` once
    /// the whole stream and its check are through, `bufferError` when no
    /// progress was possible (no input left before the end of the stream),
    /// or another negative zlib code. A stream that asks for a preset
    /// dictionary is a data error, since none is ever published.
    int inflate(const unsigned char*& in, size_t& inLength, unsigned char*& out, size_t& outLength);
    /// Ends the stream; false when the engine reports a failure.
    bool end();

private:
    struct State;
    Engine engine_;
    std::unique_ptr<State> state_;
};
