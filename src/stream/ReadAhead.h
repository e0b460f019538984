// The one line reader: the rule for what ends a line, and the read-ahead
// buffer with its line scanner that every byte stream reading lines shares
// (socket streams, HTTP and HTTPS bodies, the HTTP head parser, the
// watcher's line counting).
//
// Plain C++ only (no framework objects), so a page fetch on a worker thread
// may use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lines {

// A line ends at LF or at a 0x00 byte, or at the end of the data; every CR
// is dropped wherever it stands. A last line without an end still counts
// when any byte of it (even a CR) was there.
constexpr bool EndsLine(uint8_t b) { return b == 0x0A || b == 0x00; }
constexpr bool Dropped(uint8_t b) { return b == 0x0D; }

// The first byte of [p, end) that ends a line, or end.
const uint8_t* FindLineEnd(const uint8_t* p, const uint8_t* end);
// The number of bytes in [p, end) that end a line.
size_t CountLineEnds(const uint8_t* p, const uint8_t* end);
// Appends [p, end) without its CR bytes.
void AppendWithoutCR(std::string& out, const uint8_t* p, const uint8_t* end);
// Bytes to code units of the same value.
void Widen(const uint8_t* p, size_t n, char16_t* out);

}  // namespace lines

// Where a read-ahead buffer gets its bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `count` bytes into `buf`: > 0 received, 0 the end of the data,
    // < 0 a failure (the source keeps what failed). Blocks until one of them.
    virtual int32_t Fill(uint8_t* buf, int32_t count) = 0;
};

class ReadAhead {
public:
    static constexpr int32_t kDefaultCapacity = 256 * 1024;
    explicit ReadAhead(int32_t capacity = kDefaultCapacity) : _capacity(capacity) {}

    // Bytes held and not yet taken.
    int32_t Buffered() const { return _tail - _head; }
    // The source has reported its end (0) or a failure (< 0); only the
    // buffered bytes remain.
    bool SourceEnded() const { return _ended; }
    bool SourceFailed() const { return _failed; }

    // True when at least one byte is buffered, asking the source once when
    // none is; false at the end of the data or on failure.
    bool More(ByteSource& source);
    // Up to `count` bytes; 0 at the end or on failure. Large reads with an
    // empty buffer go straight from the source to `buf`.
    int32_t Read(ByteSource& source, void* buf, int32_t count);

    // The next line (its bytes without CR) appended to `line`. 1 a line
    // was read, 0 nothing was left, -1 the line runs on for more than
    // `limit` bytes (then its first `limit` bytes are consumed and kept,
    // without their CRs).
    // `consumed`, when given, receives the bytes taken, CRs and the end
    // included.
    int32_t ReadLine(ByteSource& source, std::string& line, size_t limit, size_t* consumed = nullptr);
    // ReadLine for the stream API (ReadLine of socket and HTTP streams): a
    // line longer than kMaxStreamLine bytes keeps its first kMaxStreamLine
    // bytes (CRs counted) and the rest of it is read past unkept, so memory
    // stays bounded and a loop that counts lines still counts right. 1 a
    // line was read (perhaps cut), 0 nothing was left.
    static constexpr size_t kMaxStreamLine = size_t(4) << 20;
    int32_t ReadStreamLine(ByteSource& source, std::string& line);
    // Skips one line, keeping nothing; false when nothing was left.
    bool SkipLine(ByteSource& source);
    // Skips every line to the end of the data and returns how many there
    // were, i.e. how many ReadLine calls would have found a line.
    int64_t CountLines(ByteSource& source);

    // Drops whatever is buffered and gives it to the caller first.
    std::string TakeBuffered();
    // Frees the buffer (it comes back on the next read).
    void Release();

private:
    bool Refill(ByteSource& source);

    int32_t _capacity;
    std::unique_ptr<uint8_t[]> _buffer;
    int32_t _head = 0;
    int32_t _tail = 0;
    bool _ended = false;
    bool _failed = false;
};
