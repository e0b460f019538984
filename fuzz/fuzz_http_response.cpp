// Arbitrary bytes as an HTTP response, served in small pieces: the head
// parser and the chunked decoder must end every input with a result, never
// read past it, and decode well-formed chunked bodies exactly as a plain
// byte-by-byte reading of the chunk rules does.
#include <algorithm>
#include <cstdio>
#include <string>

#include "FuzzCommon.h"
#include "FuzzSources.h"
#include "net/HttpMessage.h"

namespace {

// A direct reading of the chunk rules over the whole input: sizes in hex
// (extensions after ';' or a blank), data, an empty line after each chunk,
// a zero chunk, then trailer lines up to an empty one (or the end).
// False when the input is not a whole chunked body.
bool ReferenceChunked(const std::string& in, std::string& out) {
    size_t p = 0, raw = 0;
    auto line = [&](std::string& text) {
        if (p >= in.size()) return false;
        text.clear();
        size_t start = p;
        while (p < in.size() && in[p] != '\n' && in[p] != '\0') {
            if (in[p] != '\r') text += in[p];
            ++p;
        }
        raw = p - start;
        if (p < in.size()) ++p;
        return true;
    };
    std::string text;
    for (bool first = true;; first = false) {
        if (!first && (!line(text) || !text.empty() || raw > 4096)) return false;
        if (!line(text) || raw > 4096) return false;
        size_t digits = 0;
        uint64_t size = 0;
        while (digits < text.size() && std::isxdigit(static_cast<unsigned char>(text[digits]))) {
            if (size > (uint64_t(1) << 56)) return false;
            size = size * 16 + std::stoul(text.substr(digits, 1), nullptr, 16);
            ++digits;
        }
        if (digits == 0 || (digits < text.size() && text[digits] != ';' && text[digits] != ' ' && text[digits] != '\t'))
            return false;
        if (size == 0) break;
        if (size > in.size() - p) return false;
        out.append(in, p, size);
        p += size;
    }
    size_t budget = http::kMaxHeadBytes;
    while (line(text)) {
        size_t term = p > 0 && (in[p - 1] == '\n' || in[p - 1] == '\0') && raw < p ? 1 : 0;
        if (raw > budget) return false;
        budget -= std::min(budget, raw + term);
        if (text.empty()) break;
        if (budget == 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int32_t chunk = 1 + (data[0] & 15);
    data++;
    size--;

    // The head, then whatever body it announces.
    {
        ChoppySource source(data, size, chunk);
        ReadAhead in(64);
        http::Head head;
        http::HeadResult r = http::ReadHead(in, source, head);
        if (r == http::HeadResult::Ok) {
            FUZZ_CHECK(head.status >= 200 && head.status <= 999);
            FUZZ_CHECK(head.contentLength >= -1);
            http::ChunkedBody chunked(in, source);
            uint8_t buf[97];
            size_t body = 0;
            for (int32_t n; (n = head.chunked ? chunked.Fill(buf, sizeof buf) : in.Read(source, buf, sizeof buf)) > 0;) {
                FUZZ_CHECK(n <= static_cast<int32_t>(sizeof buf));
                body += static_cast<size_t>(n);
                FUZZ_CHECK(body <= size);
            }
        }
    }

    // The same bytes as a chunked body on their own, against the reference.
    {
        ChoppySource source(data, size, chunk);
        ReadAhead in(64);
        http::ChunkedBody chunked(in, source);
        std::string decoded;
        uint8_t buf[61];
        int32_t n;
        while ((n = chunked.Fill(buf, sizeof buf)) > 0) decoded.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        std::string expected;
        bool whole = ReferenceChunked(std::string(reinterpret_cast<const char*>(data), size), expected);
        FUZZ_CHECK(whole == (n == 0));
        if (whole) FUZZ_CHECK(decoded == expected);
        FUZZ_CHECK(chunked.Fill(buf, sizeof buf) == n);  // the end stays the end
    }
    return 0;
}
