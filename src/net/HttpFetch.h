// One page fetch: a GET with "Connection: close", redirects followed, only
// a 2xx answer taken as the page, and then its body as plain bytes that end
// either with the whole body or with a failure. Plain C++ data only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/Connection.h"
#include "net/HttpMessage.h"
#include "stream/ReadAhead.h"

namespace net {

constexpr int32_t kMaxRedirects = 10;

// "VostleWatch/<version>", sent with every request.
std::string UserAgent();

class HttpFetch : public ByteSource {
public:
    explicit HttpFetch(const FetchLimits& limits);
    ~HttpFetch() override;

    // Fetches a stream URL's protocol and path (8-bit text) up to the body
    // of the final answer. False with Failure() set.
    bool Open(const std::string& proto, const std::string& path);
    // Bytes of the body: 0 once the whole body has come, < 0 when it
    // cannot (cut short, reset, time-out, deadline, a bad chunk).
    int32_t Fill(uint8_t* buf, int32_t count) override;

    // Lets the connection go; Fill reports the end (or the failure) from now on.
    void Close();

    const std::string& Failure() const { return _failure; }
    const http::Head& FinalHead() const { return _head; }

private:
    // One request to `target`, up to its head.
    bool Exchange(const http::Target& target);
    bool Fail(const std::string& why);
    // A body with a length, or one that runs to the close.
    int32_t FillPlain(uint8_t* buf, int32_t count);
    // Why the body stopped short.
    std::string BodyFailure() const;

    FetchLimits _limits;
    Clock::time_point _deadline;
    http::Target _target;
    http::Head _head;
    std::unique_ptr<Connection> _connection;
    std::unique_ptr<http::ChunkedBody> _chunked;
    int64_t _received = 0;
    bool _ended = false;
    std::string _failure;
};

}  // namespace net
