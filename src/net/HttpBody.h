// The body of a final answer as the page's own bytes: its framing undone
// (a length, chunked, or up to the close), then its content codings (gzip,
// deflate) undone while it streams, in memory that stays flat whatever the
// page's size. Plain C++ over the shared read-ahead buffer, like the head
// parser, so the layers can be fuzzed together.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/HttpMessage.h"
#include "stream/ReadAhead.h"

namespace http {

// A compressed page may inflate to this much at most; past it the page is
// refused, so a small answer cannot cost unbounded time.
constexpr int64_t kMaxInflatedBytes = int64_t(256) << 20;
// Codings stacked on one body at most.
constexpr size_t kMaxCodings = 4;

enum class Coding { Gzip, Deflate };

// A Content-Encoding value ("gzip", "x-gzip", "deflate", "identity", or a
// list of them, in the order they were applied) to the codings to undo.
// False with `unknown` set to the first coding that cannot be undone.
bool ParseCodings(const std::string& value, std::vector<Coding>& codings, std::string& unknown);

// Undoes one coding while the bytes stream through. An empty body is an
// empty page; data after the end of the compressed stream is ignored, but
// for gzip a further member is read on.
class Inflater : public ByteSource {
public:
    enum class Fault { None, Source, Invalid, Cut, TooLarge };

    Inflater(ByteSource& source, Coding coding);
    ~Inflater() override;
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    int32_t Fill(uint8_t* buf, int32_t count) override;
    Fault Failure() const { return _fault; }

private:
    struct Stream;
    // More input behind what is left; false at the end of the source.
    bool Refill();
    bool Start();
    int32_t Fail(Fault fault);
    // The end of the data: 0 when the stream was whole, else a cut.
    int32_t End(bool whole);

    ByteSource& _source;
    Coding _coding;
    std::unique_ptr<Stream> _z;
    std::unique_ptr<uint8_t[]> _in;
    int64_t _out = 0;
    bool _started = false;
    bool _sourceEnded = false;
    bool _streamEnded = false;  // one whole compressed stream has been read
    bool _trailing = false;     // what follows it is ignored
    bool _outPending = false;   // the last inflate filled its output: more may wait
    bool _done = false;
    Fault _fault = Fault::None;
};

// A plain body: `length` bytes, or (length < 0) everything up to the close.
class PlainBody : public ByteSource {
public:
    PlainBody(ReadAhead& in, ByteSource& source, int64_t length) : _in(in), _source(source), _length(length) {}
    int32_t Fill(uint8_t* buf, int32_t count) override;
    bool Failed() const { return _failed; }
    int64_t Received() const { return _received; }

private:
    ReadAhead& _in;
    ByteSource& _source;
    int64_t _length;
    int64_t _received = 0;
    bool _failed = false;
};

// The whole body of one answer: framing, then codings.
class Body : public ByteSource {
public:
    enum class Fault { None, Source, BadChunk, Cut, Invalid, CompressedCut, TooLarge };

    // False with `unknown` set when the answer is coded in a way that cannot
    // be undone.
    bool Start(const Head& head, ReadAhead& in, ByteSource& source, std::string& unknown);
    int32_t Fill(uint8_t* buf, int32_t count) override;
    // Why the last Fill failed: the framing's reason first, as a coding
    // fails too when the bytes under it stop.
    Fault Failure() const;
    // Bytes of the framed body so far (before decoding).
    int64_t Received() const { return _plain ? _plain->Received() : 0; }

private:
    ReadAhead* _in = nullptr;
    std::unique_ptr<ChunkedBody> _chunked;
    std::unique_ptr<PlainBody> _plain;
    std::vector<std::unique_ptr<Inflater>> _codings;
    ByteSource* _top = nullptr;
};

}  // namespace http
