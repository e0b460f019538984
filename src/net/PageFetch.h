// Fetching a watched page and counting its lines, in plain C++ data only:
// no framework object is created, copied or released on the way, so page
// checks may run on worker threads. The framework's "http" and "https"
// streams are built on the same fetch engine.
#pragma once

#include <cstdint>
#include <string>

#include "net/FetchLimits.h"

namespace net {

struct PageLines {
    bool ok = false;
    // The number of lines by ReadLine's rule (LF or 0x00 ends a line, a
    // last line without an end counts), of the whole body of a 2xx answer.
    int32_t lines = 0;
    // Why the fetch failed, as a phrase that fits after "Could not add
    // NAME: " (e.g. "the server answered 404 Not Found"); 8-bit text, one
    // byte per character. Empty when ok.
    std::string failure;
    // > 0 when the server asked (429 or 503 with Retry-After) not to be
    // asked again for this many seconds; at most 6 hours. The failure
    // says until when and why.
    int32_t waitSeconds = 0;
};

// Fetches a stream URL ("http::host[:port][/path]" or "https::..."; 8-bit
// text, one byte per code unit; the protocol is case-insensitive) with
// redirects followed, and counts the lines of the page, decompressed. Never
// raises; every failure (look-up, refusal, time-out, deadline, TLS, status
// other than 2xx, a body cut short, bad compressed data) comes back as
// ok == false with a reason. The request is conditional when the page's
// validators are remembered (PageMemory.h): a 304 answer gives the line
// count remembered with them.
PageLines CountPageLines(const std::string& streamUrl);
PageLines CountPageLines(const std::string& streamUrl, const FetchLimits& limits);

// The host a stream URL's page is fetched from, lower-cased; "" when the
// URL names none. Fetches of one host are kept to kFetchesPerHost at once.
std::string PageHost(const std::string& streamUrl);
constexpr int32_t kFetchesPerHost = 2;

}  // namespace net
