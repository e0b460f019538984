// One page fetch: a GET with "Connection: close", redirects followed, only
// a 2xx answer taken as the page, and then its body as plain bytes (framing
// and compression undone) that end either with the whole body or with a
// failure. Plain C++ data only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/Connection.h"
#include "net/HttpBody.h"
#include "net/HttpMessage.h"
#include "net/PageMemory.h"
#include "stream/ReadAhead.h"

namespace net {

constexpr int32_t kMaxRedirects = 10;
// The longest wait a server's Retry-After is granted.
constexpr int64_t kMaxRetryAfterSeconds = 6 * 3600;

// "VostleWatch/<version>", sent with every request.
std::string UserAgent();

class HttpFetch : public ByteSource {
public:
    explicit HttpFetch(const FetchLimits& limits);
    ~HttpFetch() override;

    // Asks with the validators remembered for the page (PageMemory), so an
    // unchanged page may come back as NotModified() with no body.
    void AskConditionally() { _conditional = true; }

    // Fetches a stream URL's protocol and path (8-bit text) up to the body
    // of the final answer. False with Failure() set.
    bool Open(const std::string& proto, const std::string& path);
    // Bytes of the body: 0 once the whole body has come, < 0 when it
    // cannot (cut short, reset, time-out, deadline, a bad chunk, bad or
    // cut compressed data).
    int32_t Fill(uint8_t* buf, int32_t count) override;

    // Lets the connection go; Fill reports the end (or the failure) from now on.
    void Close();

    const std::string& Failure() const { return _failure; }
    const http::Head& FinalHead() const { return _head; }
    // The server answered 304 to the remembered validators: Recalled() is
    // the page that stands.
    bool NotModified() const { return _notModified; }
    const RememberedPage& Recalled() const { return _recalled; }
    // The key the final page is remembered under.
    std::string PageKey() const { return _target.Text(); }
    // > 0: the server answered 429 or 503 and asked not to be asked again
    // for this long (capped).
    int64_t RetryAfter() const { return _retryAfter; }

private:
    // One request to `target`, up to its head.
    bool Exchange(const http::Target& target);
    std::string Request(const http::Target& target);
    bool Fail(const std::string& why);
    // A final answer other than 2xx (and not a 304 to our validators).
    bool FailStatus();
    bool StartBody();
    // Why the body stopped short.
    std::string BodyFailure() const;

    FetchLimits _limits;
    Clock::time_point _deadline;
    http::Target _target;
    http::Head _head;
    std::unique_ptr<Connection> _connection;
    std::unique_ptr<http::Body> _body;
    bool _conditional = false;
    bool _asked = false;  // the last request carried validators
    bool _notModified = false;
    RememberedPage _recalled;
    int64_t _retryAfter = 0;
    bool _ended = false;
    std::string _failure;
};

}  // namespace net
