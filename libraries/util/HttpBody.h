#pragma once
// How the body of an HTTP reply is delimited, read from its header, and a
// reader that takes the body's bytes as they arrive: it undoes the chunked
// transfer coding and tells whether the body arrived whole.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Receives the bytes of the body itself, without any framing.
using BodySink = std::function<void(const char*, size_t)>;

struct BodyFraming {
    enum class Kind {
        UntilClose,  // no length given: the body is whatever comes before the close
        Length,      // a Content-Length of `length` bytes
        Chunked,     // chunked is the last transfer coding (any Content-Length is ignored)
        Invalid,     // a Content-Length that is not one plain decimal number
    };
    Kind kind = Kind::UntilClose;
    unsigned long long length = 0;  // Length: the declared byte count
    std::string fault;              // Invalid: the Content-Length values as sent

    // header: the reply up to its empty line, status line first. Field names
    // are matched in any case; a Content-Length may repeat one value.
    static BodyFraming of(std::string_view header);
};

// Decodes a chunked body handed over in pieces of any size. Sizes are hex,
// extensions and trailers are skipped; every line is bounded, so hostile
// input can neither grow memory nor go unnoticed.
class ChunkedDecoder {
public:
    static constexpr size_t kMaxSizeLineBytes = 4096;
    static constexpr size_t kMaxTrailerBytes = 65536;

    // Passes the data of each chunk to sink; returns how many bytes it used,
    // fewer than size only once the body is complete or broken.
    size_t decode(const char* data, size_t size, const BodySink& sink);

    bool complete() const { return step_ == Step::Done; }
    bool sawLastChunk() const { return step_ == Step::Trailers || step_ == Step::Done; }
    bool broken() const { return !fault_.empty(); }
    const std::string& fault() const { return fault_; }

private:
    enum class Step { SizeLine, Data, DataCR, DataLF, Trailers, Done };
    // Reads the size line just ended and moves to its chunk.
    void startChunk();

    Step step_ = Step::SizeLine;
    std::string line_;                  // the size line so far, without its LF
    unsigned long long dataLeft_ = 0;   // bytes of the current chunk still to come
    size_t trailerBytes_ = 0;
    size_t trailerLineBytes_ = 0;
    std::string fault_;
};

// One reply body as it arrives, read as its framing says.
class BodyReader {
public:
    enum class Outcome { Whole, Short, Faulty };

    explicit BodyReader(BodyFraming framing) : framing_(std::move(framing)) {}

    // Takes received body bytes and passes the body's own bytes to sink.
    // False once no more bytes are wanted: the framing is faulty, or the
    // chunked body is complete.
    bool take(const char* data, size_t size, const BodySink& sink);
    // Short: the connection ended before the body did; Faulty: the length
    // or the chunk framing cannot be read.
    Outcome outcome() const;
    // Logs why the outcome is not Whole.
    void logProblem() const;

private:
    BodyFraming framing_;
    ChunkedDecoder chunked_;
    unsigned long long received_ = 0;  // body bytes as received, framing included
};
