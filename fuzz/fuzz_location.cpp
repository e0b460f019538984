// Redirect targets and stream-URL paths from arbitrary bytes: whatever is
// accepted must be a request that cannot break a head (no blanks or
// control bytes, no fragment, no dot segments, a host), and resolving a
// result's own address again must give the same target.
#include <cstdio>
#include <string>

#include "FuzzCommon.h"
#include "net/HttpMessage.h"

namespace {

void CheckTarget(const http::Target& t) {
    FUZZ_CHECK(!t.host.empty());
    FUZZ_CHECK(t.port >= 1 && t.port <= 65535);
    FUZZ_CHECK(!t.path.empty() && t.path[0] == '/');
    for (unsigned char c : t.host + t.path) FUZZ_CHECK(c > 0x20 && c != 0x7F);
    FUZZ_CHECK(t.path.find('#') == std::string::npos);
    std::string path = t.path.substr(0, t.path.find('?')) + "/";
    FUZZ_CHECK(path.find("/./") == std::string::npos && path.find("/../") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    bool tls = data[0] & 1;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    http::Target base;
    std::string failure;
    FUZZ_CHECK(http::ParseTarget(tls ? "https" : "HTTP", "forum.example:8080/a/b/c?x=1", base, failure));

    http::Target parsed;
    if (http::ParseTarget(tls ? "https" : "http", text, parsed, failure)) {
        CheckTarget(parsed);
        FUZZ_CHECK(parsed.tls == tls);
    } else {
        FUZZ_CHECK(!failure.empty());
    }

    http::Target out;
    if (http::ResolveLocation(base, text, out)) {
        CheckTarget(out);
        http::Target again;
        FUZZ_CHECK(http::ResolveLocation(base, out.Text(), again));
        FUZZ_CHECK(again.Text() == out.Text());
        // Relative to itself, its own path names itself (a path that starts
        // with "//" would read as a host instead).
        if (out.path.compare(0, 2, "//") != 0)
            FUZZ_CHECK(http::ResolveLocation(out, out.path, again) && again.Text() == out.Text());
    }
    return 0;
}
