#include "net/HttpFetch.h"

#include <set>

#include "runtime/Version.h"

namespace net {

namespace {

bool IsRedirect(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Answers that never carry a body, whatever their head says.
bool HasNoBody(int32_t status) { return status == 204 || status == 205 || status == 304; }

// A proxy is asked for the page by its whole address.
std::string Request(const http::Target& target, bool viaProxy) {
    return "GET " + (viaProxy ? target.Url() : target.path) + " HTTP/1.1\r\nHost: " + target.Authority() + "\r\nUser-Agent: " + UserAgent() +
           "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

}  // namespace

std::string UserAgent() { return std::string("VostleWatch/") + kProgramVersion; }

HttpFetch::HttpFetch(const FetchLimits& limits)
    : _limits(limits), _deadline(Clock::now() + std::chrono::milliseconds(limits.deadlineMillis)) {}

HttpFetch::~HttpFetch() = default;

bool HttpFetch::Fail(const std::string& why) {
    if (_failure.empty()) _failure = why;
    _ended = true;
    return false;
}

bool HttpFetch::Exchange(const http::Target& target) {
    _chunked.reset();
    _connection = std::make_unique<Connection>(_limits, _deadline);
    if (!_connection->Open(target) || !_connection->Send(Request(target, _connection->ViaProxy())))
        return Fail(_connection->Failure());
    switch (http::ReadHead(_connection->In(), *_connection, _head)) {
        case http::HeadResult::Ok:
            return _connection->CheckProxyAnswer(_head) || Fail(_connection->Failure());
        case http::HeadResult::SourceFailed:
            return Fail(_connection->Failure());
        case http::HeadResult::Ended:
            return Fail(target.host + " closed the connection without an answer");
        case http::HeadResult::TooLarge:
            return Fail("the answer of " + target.host + " has a head larger than 64 KB");
        case http::HeadResult::Malformed:
            break;
    }
    return Fail("the answer of " + target.host + " is not valid HTTP");
}

bool HttpFetch::Open(const std::string& proto, const std::string& path) {
    std::string failure;
    if (!http::ParseTarget(proto, path, _target, failure)) return Fail(failure);
    std::set<std::string> seen{_target.Text()};
    for (int32_t hops = 0;; ++hops) {
        if (!Exchange(_target)) return false;
        if (!IsRedirect(_head.status)) break;
        std::string answered = "the server answered " + http::StatusText(_head);
        if (_head.location.empty()) return Fail(answered + " without saying where to");
        http::Target next;
        if (!http::ResolveLocation(_target, _head.location, next))
            return Fail(answered + " and sent it to an address that is not http or https");
        if (!seen.insert(next.Text()).second) return Fail("the server's redirects go round in a loop");
        if (hops == kMaxRedirects) return Fail("the server redirected more than " + std::to_string(kMaxRedirects) + " times");
        _target = next;
    }
    if (_head.status < 200 || _head.status > 299) return Fail("the server answered " + http::StatusText(_head));
    if (HasNoBody(_head.status)) {
        _head.contentLength = 0;
        _head.chunked = false;
    }
    if (_head.chunked) _chunked = std::make_unique<http::ChunkedBody>(_connection->In(), *_connection);
    return true;
}

void HttpFetch::Close() {
    _ended = true;
    _connection.reset();
}

int32_t HttpFetch::Fill(uint8_t* buf, int32_t count) {
    if (_ended || !_connection) return _failure.empty() ? 0 : -1;
    int32_t n = _chunked ? _chunked->Fill(buf, count) : FillPlain(buf, count);
    if (n < 0) {
        Fail(BodyFailure());
        return -1;
    }
    if (n == 0) {
        _ended = true;
        _connection.reset();  // the whole body is here: let the server go
    }
    _received += n;
    return n;
}

int32_t HttpFetch::FillPlain(uint8_t* buf, int32_t count) {
    int64_t left = _head.contentLength < 0 ? count : _head.contentLength - _received;
    if (left == 0) return 0;
    int32_t n = _connection->In().Read(*_connection, buf, static_cast<int32_t>(std::min<int64_t>(count, left)));
    // Without a length the close ends the body; with one it comes too early.
    if (n == 0 && (_connection->In().SourceFailed() || _head.contentLength >= 0)) return -1;
    return n;
}

std::string HttpFetch::BodyFailure() const {
    if (!_connection->Failure().empty()) return _connection->Failure();
    if (_chunked && _chunked->Malformed()) return "the answer of " + _target.host + " has a bad chunked body";
    std::string cut = "the connection broke off before the whole page had arrived";
    if (_head.contentLength >= 0 && !_chunked)
        cut += " (" + std::to_string(_received) + " of " + std::to_string(_head.contentLength) + " bytes)";
    return cut;
}

}  // namespace net
