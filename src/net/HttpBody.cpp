#include "net/HttpBody.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace http {

namespace {

constexpr int32_t kInputBytes = 16 * 1024;

std::string LoweredTrimmed(const std::string& text) {
    size_t a = text.find_first_not_of(" \t"), b = text.find_last_not_of(" \t");
    std::string out = a == std::string::npos ? "" : text.substr(a, b - a + 1);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Servers send "deflate" both as the zlib format and as raw deflate data;
// the zlib format starts with a header whose two bytes say so.
bool IsZlibHeader(uint8_t a, uint8_t b) { return (a & 0x0F) == 8 && (a >> 4) <= 7 && (a * 256 + b) % 31 == 0; }

}  // namespace

bool ParseCodings(const std::string& value, std::vector<Coding>& codings, std::string& unknown) {
    codings.clear();
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = std::min(value.find(',', start), value.size());
        std::string name = LoweredTrimmed(value.substr(start, comma - start));
        start = comma + 1;
        if (name.empty() || name == "identity") continue;
        if (name == "gzip" || name == "x-gzip") codings.push_back(Coding::Gzip);
        else if (name == "deflate") codings.push_back(Coding::Deflate);
        else unknown = name.substr(0, 40);
        if (!unknown.empty()) return false;
    }
    if (codings.size() > kMaxCodings) {
        unknown = "more than " + std::to_string(kMaxCodings) + " codings";
        return false;
    }
    return true;
}

struct Inflater::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

Inflater::Inflater(ByteSource& source, Coding coding)
    : _source(source), _coding(coding), _z(std::make_unique<Stream>()), _in(std::make_unique<uint8_t[]>(kInputBytes)) {}

Inflater::~Inflater() = default;

int32_t Inflater::Fail(Fault fault) {
    _fault = fault;
    _done = true;
    return -1;
}

bool Inflater::Refill() {
    z_stream& z = _z->z;
    if (z.avail_in > 0) std::memmove(_in.get(), z.next_in, z.avail_in);
    z.next_in = _in.get();
    while (!_sourceEnded && z.avail_in < static_cast<uInt>(kInputBytes)) {
        int32_t n = _source.Fill(_in.get() + z.avail_in, kInputBytes - static_cast<int32_t>(z.avail_in));
        if (n < 0) return false;
        if (n == 0) {
            _sourceEnded = true;
            break;
        }
        z.avail_in += static_cast<uInt>(std::min(n, kInputBytes - static_cast<int32_t>(z.avail_in)));
        _started = true;
        if (z.avail_in >= 2) break;  // enough to tell the formats apart
    }
    return true;
}

bool Inflater::Start() {
    z_stream& z = _z->z;
    int bits = 16 + MAX_WBITS;  // gzip
    if (_coding == Coding::Deflate) bits = z.avail_in >= 2 && IsZlibHeader(z.next_in[0], z.next_in[1]) ? MAX_WBITS : -MAX_WBITS;
    int r = _z->open ? inflateReset2(&z, bits) : inflateInit2(&z, bits);
    if (r == Z_MEM_ERROR) throw std::bad_alloc();
    _z->open = r == Z_OK;
    return _z->open;
}

int32_t Inflater::Fill(uint8_t* buf, int32_t count) {
    if (_done) return _fault == Fault::None ? 0 : -1;
    z_stream& z = _z->z;
    for (;;) {
        bool between = !_z->open || _streamEnded;  // before a stream (or a gzip member)
        bool hungry = z.avail_in == 0 || (between && z.avail_in < 2);
        if (hungry && !_outPending && !_sourceEnded && !Refill()) return Fail(Fault::Source);
        if (_trailing) {
            z.avail_in = 0;  // past the end of the compressed data: dropped unread
            if (!_sourceEnded) continue;
        }
        if (between) {
            // Nothing at all is an empty page.
            if (z.avail_in == 0 || _trailing) return End(_streamEnded || !_started);
            bool member = z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B;
            if (_streamEnded && (_coding != Coding::Gzip || !member)) {
                _trailing = true;
                continue;
            }
            if (!Start()) return Fail(Fault::Invalid);
            _streamEnded = false;
        }
        z.next_out = buf;
        z.avail_out = static_cast<uInt>(count);
        int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_MEM_ERROR) throw std::bad_alloc();
        if (r != Z_OK && r != Z_BUF_ERROR && r != Z_STREAM_END) return Fail(Fault::Invalid);
        _streamEnded = r == Z_STREAM_END;
        _outPending = !_streamEnded && z.avail_out == 0;
        int32_t produced = count - static_cast<int32_t>(z.avail_out);
        _out += produced;
        if (_out > kMaxInflatedBytes) return Fail(Fault::TooLarge);
        if (produced > 0) return produced;
        // A stream that stops before its end is a cut page.
        if (!_streamEnded && z.avail_in == 0 && _sourceEnded) return Fail(Fault::Cut);
    }
}

int32_t Inflater::End(bool whole) {
    if (!whole) return Fail(Fault::Cut);
    _done = true;
    return 0;
}

int32_t PlainBody::Fill(uint8_t* buf, int32_t count) {
    if (_failed) return -1;
    int64_t left = _length < 0 ? count : _length - _received;
    if (left == 0) return 0;
    int32_t n = _in.Read(_source, buf, static_cast<int32_t>(std::min<int64_t>(count, left)));
    // Without a length the close ends the body; with one it comes too early.
    if (n == 0 && (_in.SourceFailed() || _length >= 0)) {
        _failed = true;
        return -1;
    }
    _received += n;
    return n;
}

bool Body::Start(const Head& head, ReadAhead& in, ByteSource& source, std::string& unknown) {
    _in = &in;
    std::vector<Coding> codings;
    if (!ParseCodings(head.contentEncoding, codings, unknown)) return false;
    if (head.chunked) {
        _chunked = std::make_unique<ChunkedBody>(in, source);
        _top = _chunked.get();
    } else {
        _plain = std::make_unique<PlainBody>(in, source, head.contentLength);
        _top = _plain.get();
    }
    // The last coding applied is the first to undo.
    for (auto c = codings.rbegin(); c != codings.rend(); ++c) {
        _codings.push_back(std::make_unique<Inflater>(*_top, *c));
        _top = _codings.back().get();
    }
    return true;
}

int32_t Body::Fill(uint8_t* buf, int32_t count) { return _top ? _top->Fill(buf, count) : 0; }

Body::Fault Body::Failure() const {
    bool framingFailed = _chunked ? _chunked->Failed() : _plain && _plain->Failed();
    if (framingFailed) {
        if (_chunked && _chunked->Malformed()) return Fault::BadChunk;
        return _in->SourceFailed() ? Fault::Source : Fault::Cut;
    }
    for (const auto& coding : _codings) {
        switch (coding->Failure()) {
            case Inflater::Fault::Invalid: return Fault::Invalid;
            case Inflater::Fault::Cut: return Fault::CompressedCut;
            case Inflater::Fault::TooLarge: return Fault::TooLarge;
            default: break;
        }
    }
    return Fault::None;
}

}  // namespace http
