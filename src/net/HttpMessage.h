// The parts of HTTP that are pure parsing: addresses and redirect targets,
// the response head, and chunked bodies. Plain C++ over byte strings and
// the shared read-ahead buffer, so it can be fuzzed on its own and used by
// a fetch on any thread.
#pragma once

#include <cstdint>
#include <string>

#include "stream/ReadAhead.h"

namespace http {

// Where a request goes. Text is 8-bit, one byte per character.
struct Target {
    bool tls = false;
    // As written (resolution and certificates ignore case); an IPv6
    // address without its brackets.
    std::string host;
    int32_t port = 80;
    std::string path = "/";  // request target: path and query, never a fragment

    int32_t DefaultPort() const { return tls ? 443 : 80; }
    // "host:port", "[::1]:port".
    std::string HostPort() const;
    // "host" or "host:port" when the port is not the default, for Host:.
    std::string Authority() const;
    // "http://host[:port]/path", for a request through a proxy.
    std::string Url() const;
    // "https://host:port/path", the form used to recognise a loop.
    std::string Text() const;
};

// A stream URL's protocol ("http" or "https", any case) and path
// ("host[:port][/path]", "[v6]:port/path") to a target. False with
// `failure` set for another protocol, an empty host, a bad port, a bad
// IPv6 address or a host with blanks or control characters in it. Blanks around the address are dropped; blanks and
// control characters inside the path travel percent-encoded (a line break
// must never reach the request head).
bool ParseTarget(const std::string& proto, const std::string& path, Target& out, std::string& failure);

// A Location header against the target that answered with it: absolute
// ("https://h/p"), scheme-relative ("//h/p"), absolute-path ("/p") or
// relative ("p", "../p", "?q"); dot segments are removed and a fragment is
// dropped. False for other schemes or malformed values.
bool ResolveLocation(const Target& base, const std::string& location, Target& out);

// Limits of what a response head may hold.
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr int32_t kMaxInterimHeads = 8;

struct Head {
    int32_t status = 0;
    std::string reason;
    // -1 when the head gave none.
    int64_t contentLength = -1;
    bool chunked = false;
    std::string location;
    // The values as sent ("" when absent); repeated Content-Encoding
    // headers are joined with ", ".
    std::string contentEncoding;
    std::string etag;
    std::string lastModified;
    std::string retryAfter;
    std::string date;
};

enum class HeadResult { Ok, Ended, TooLarge, TooManyInterim, Malformed, SourceFailed };

// Reads one final response head (at most kMaxInterimHeads interim 1xx
// heads are read past) from the buffer of a connection. Header lines end
// as every line does (LF, CR dropped); at most kMaxHeadBytes in all. A line
// that starts with a blank continues the header before it (a head that
// starts with one is refused), so it can never pass for a header of its own.
HeadResult ReadHead(ReadAhead& in, ByteSource& source, Head& head);

// An HTTP date (the fixed form "Sun, 06 Nov 1994 08:49:37 GMT", and the
// old "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994") to
// seconds since 1970 (UTC). False when it is none of them.
bool ParseHttpDate(const std::string& text, int64_t& unixSeconds);

// How long a Retry-After header asks to wait, in seconds from `nowUnix`
// (seconds, or a date, read against the answer's own Date when it has one
// so a skewed clock on either side does not matter); -1 when the head has
// none that can be read. Never negative otherwise.
int64_t RetryAfterSeconds(const Head& head, int64_t nowUnix);

// "404 Not Found": the status and its reason, cleaned for a message.
std::string StatusText(const Head& head);

// The text rules of heads, shared by the proxy settings' parser: ASCII
// lower case, and blanks (spaces and tabs) trimmed at both ends.
std::string Lowered(std::string text);
std::string Trimmed(const std::string& text);
// True when `text` begins with a URL scheme and its colon ("http:",
// "ms-settings:", and "c:" of a drive path too); `scheme` is then its name in
// lower case.
bool HasScheme(const std::string& text, std::string& scheme);
// Appends `c` as URLs escape a byte: "%" and two upper-case hex digits.
void AppendPercentEscape(std::string& out, unsigned char c);

// A chunked body as plain bytes: reads chunk sizes, data and the trailer
// from the connection's buffer. Fill gives 0 after the last chunk and its
// trailer, < 0 for a malformed chunk or a connection that ends early.
class ChunkedBody : public ByteSource {
public:
    ChunkedBody(ReadAhead& in, ByteSource& source) : _in(in), _source(source) {}
    int32_t Fill(uint8_t* buf, int32_t count) override;
    bool Malformed() const { return _malformed; }
    bool Failed() const { return _failed; }

private:
    // Reads the next chunk-size line (and, after the last chunk, the
    // trailer): 1 data follows, 0 the body is complete, -1 failure.
    int32_t NextChunk();
    int32_t ReadTrailer();
    int32_t Fail(bool malformed);

    ReadAhead& _in;
    ByteSource& _source;
    int64_t _left = 0;  // data bytes left in the current chunk
    bool _first = true;
    bool _done = false;
    bool _malformed = false;
    bool _failed = false;
};

}  // namespace http
