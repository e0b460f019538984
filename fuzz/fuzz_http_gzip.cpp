// Compressed answers through every layer at once: the head parser, the
// body framing (a length, chunked, up to the close) and the decoders, fed in
// small pieces. The input either is a whole response, or describes one: a
// text, how to compress it (gzip, one or two members, zlib-wrapped or raw
// deflate), how to frame it, and where to cut or spoil it. The page that
// comes out must be what a whole-buffer inflate of the same bytes gives,
// and a failure exactly when that reference finds the data cut or invalid.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "FuzzCommon.h"
#include "FuzzSources.h"
#include "net/HttpBody.h"

namespace {

enum class Ref { Whole, Cut, Invalid };

bool ZlibHeader(const std::string& in) {
    auto a = static_cast<uint8_t>(in[0]), b = static_cast<uint8_t>(in[1]);
    return (a & 0x0F) == 8 && (a >> 4) <= 7 && (a * 256 + b) % 31 == 0;
}

// The reference: each stream inflated from the whole buffer in one go.
Ref Reference(const std::string& in, bool gzip, std::string& out) {
    size_t pos = 0;
    for (bool first = true;; first = false) {
        if (pos == in.size() && first) return Ref::Whole;  // no body at all
        bool member = in.size() - pos >= 2 && in[pos] == '\x1f' && in[pos + 1] == '\x8b';
        if (!first && (!gzip || !member)) return Ref::Whole;  // the rest is ignored
        z_stream z{};
        std::string rest = in.substr(pos);
        int bits = gzip ? 16 + MAX_WBITS : (rest.size() >= 2 && ZlibHeader(rest) ? MAX_WBITS : -MAX_WBITS);
        if (inflateInit2(&z, bits) != Z_OK) std::abort();
        z.next_in = reinterpret_cast<Bytef*>(rest.data());
        z.avail_in = static_cast<uInt>(rest.size());
        std::string buf(1 << 16, '\0');
        int r;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buf.data());
            z.avail_out = static_cast<uInt>(buf.size());
            r = inflate(&z, Z_FINISH);
            out.append(buf.data(), buf.size() - z.avail_out);
        } while (r == Z_BUF_ERROR && z.avail_out == 0);
        pos += rest.size() - z.avail_in;
        inflateEnd(&z);
        if (r == Z_DATA_ERROR || r == Z_NEED_DICT) return Ref::Invalid;
        if (r != Z_STREAM_END) return Ref::Cut;
    }
}

std::string Compress(const std::string& text, int bits, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    std::string out(deflateBound(&z, text.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

struct Outcome {
    bool headOk = false;
    bool whole = false;
    std::string page;
};

// The response through the layers, as the fetch runs them.
Outcome Decode(const std::string& response, int32_t piece) {
    Outcome o;
    ChoppySource source(reinterpret_cast<const uint8_t*>(response.data()), response.size(), piece);
    ReadAhead in(64);
    http::Head head;
    if (http::ReadHead(in, source, head) != http::HeadResult::Ok) return o;
    http::Body body;
    std::string unknown;
    if (!body.Start(head, in, source, unknown)) return o;
    o.headOk = true;
    uint8_t buf[89];
    int32_t n;
    while ((n = body.Fill(buf, sizeof buf)) > 0) {
        FUZZ_CHECK(n <= static_cast<int32_t>(sizeof buf));
        o.page.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        FUZZ_CHECK(static_cast<int64_t>(o.page.size()) <= http::kMaxInflatedBytes);
    }
    o.whole = n == 0;
    FUZZ_CHECK(o.whole == (body.Failure() == http::Body::Fault::None));
    FUZZ_CHECK(body.Fill(buf, sizeof buf) == n);  // the end stays the end
    return o;
}

// Frames `data` as chunked, with chunk sizes taken from `sizes`.
std::string Chunked(const std::string& data, const std::string& sizes) {
    std::string out;
    size_t pos = 0, k = 0;
    while (pos < data.size()) {
        size_t n = std::min<size_t>(data.size() - pos, 1 + (sizes.empty() ? 63 : static_cast<uint8_t>(sizes[k++ % sizes.size()]) % 64));
        char hex[16];
        std::snprintf(hex, sizeof hex, "%zx\r\n", n);
        out += hex + data.substr(pos, n) + "\r\n";
        pos += n;
    }
    return out + "0\r\n\r\n";
}

void Described(const uint8_t* data, size_t size, int32_t piece) {
    if (size < 8) return;
    uint8_t kind = data[0], framing = data[1] % 3, level = data[2] % 10;
    size_t cut = data[3] | (data[4] << 8), spoil = data[5] | (data[6] << 8);
    uint8_t flags = data[7];
    std::string text(reinterpret_cast<const char*>(data + 8), size - 8);
    std::string sizes = text.substr(0, 8);
    bool gzip = kind % 4 < 2;
    std::string coded = Compress(text, gzip ? 16 + MAX_WBITS : (kind % 4 == 2 ? MAX_WBITS : -MAX_WBITS), level);
    if (gzip && kind % 4 == 1) coded += Compress(text.substr(text.size() / 2), 16 + MAX_WBITS, level);  // two members
    if (flags & 1) coded += std::string(reinterpret_cast<const char*>(data), 4);  // bytes after the end
    if ((flags & 2) && !coded.empty()) coded[spoil % coded.size()] ^= static_cast<char>(1 + (flags >> 4));
    bool cutWire = (flags & 4) && !coded.empty();
    std::string wire = framing == 1 ? Chunked(coded, sizes) : coded;
    // A chunked body whose close comes once its last chunk's "0" is there
    // has lost nothing.
    if (cutWire && framing == 1 && cut % wire.size() >= wire.size() - 4) cutWire = false;
    if (cutWire) wire.resize(cut % wire.size());
    std::string head = "HTTP/1.1 200 OK\r\nContent-Encoding: " + std::string(gzip ? "gzip" : "deflate") + "\r\n";
    if (framing == 0) head += "Content-Length: " + std::to_string(coded.size()) + "\r\n";
    if (framing == 1) head += "Transfer-Encoding: chunked\r\n";
    Outcome got = Decode(head + "\r\n" + wire, piece);
    FUZZ_CHECK(got.headOk);

    std::string expected;
    // A cut in the framing is a failure whatever is left; up to the close,
    // the cut is all the data there is.
    Ref ref = Reference(framing == 2 ? wire : coded, gzip, expected);
    bool whole = ref == Ref::Whole && !(cutWire && framing != 2);
    FUZZ_CHECK(got.whole == whole);
    if (whole) FUZZ_CHECK(got.page == expected);
    else FUZZ_CHECK(expected.compare(0, got.page.size(), got.page) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int32_t piece = 1 + (data[0] & 15);
    if (data[0] & 0x80) {
        // Any bytes as a response: every path must end with a result.
        Decode(std::string(reinterpret_cast<const char*>(data + 1), size - 1), piece);
    } else {
        Described(data + 1, size - 1, piece);
    }
    return 0;
}
