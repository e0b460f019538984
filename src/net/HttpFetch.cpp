#include "net/HttpFetch.h"

#include <ctime>
#include <set>

#include "runtime/Version.h"

namespace net {

namespace {

bool IsRedirect(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Answers that never carry a body, whatever their head says.
bool HasNoBody(int32_t status) { return status == 204 || status == 205 || status == 304; }

int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// "45 s", "5 min", "2 h 5 min": a wait for a message.
std::string WaitText(int64_t seconds) {
    if (seconds < 120) return std::to_string(seconds) + " s";
    int64_t minutes = (seconds + 59) / 60;
    if (minutes < 60) return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h" + (minutes % 60 ? " " + std::to_string(minutes % 60) + " min" : "");
}

// The local clock time `seconds` from now ("14:05:30").
std::string ClockTextIn(int64_t seconds) {
    std::time_t when = static_cast<std::time_t>(UnixNow() + seconds);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &when) != 0) return "later";
#else
    if (!localtime_r(&when, &local)) return "later";
#endif
    char text[16];
    return std::strftime(text, sizeof text, "%H:%M:%S", &local) ? text : "later";
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

std::string HttpFetch::Request(const http::Target& target) {
    std::string request = "GET " + target.path + " HTTP/1.1\r\nHost: " + target.Authority() +
                          "\r\nUser-Agent: " + UserAgent() + "\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\n";
    _asked = _conditional && RecallPage(target.Text(), _recalled);
    if (_asked && !_recalled.etag.empty()) request += "If-None-Match: " + _recalled.etag + "\r\n";
    if (_asked && !_recalled.lastModified.empty()) request += "If-Modified-Since: " + _recalled.lastModified + "\r\n";
    return request + "Connection: close\r\n\r\n";
}

bool HttpFetch::Exchange(const http::Target& target) {
    _body.reset();
    _connection.reset();  // one connection at a time, the old one gone first
    _connection = std::make_unique<Connection>(_limits, _deadline);
    if (!_connection->Open(target) || !_connection->Send(Request(target))) return Fail(_connection->Failure());
    std::string answer = "the answer of " + target.host;
    switch (http::ReadHead(_connection->In(), *_connection, _head)) {
        case http::HeadResult::Ok:
            return true;
        case http::HeadResult::SourceFailed:
            return Fail(_connection->Failure());
        case http::HeadResult::Ended:
            return Fail(target.host + " closed the connection without an answer");
        case http::HeadResult::TooLarge:
            return Fail(answer + " has a head larger than 64 KB");
        case http::HeadResult::TooManyInterim:
            return Fail(answer + " has more than " + std::to_string(http::kMaxInterimHeads) +
                        " interim (1xx) answers before its final one");
        case http::HeadResult::Malformed:
            break;
    }
    return Fail(answer + " is not valid HTTP");
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
    _notModified = _head.status == 304 && _asked;
    if (!_notModified && (_head.status < 200 || _head.status > 299)) return FailStatus();
    if (HasNoBody(_head.status)) {
        _head.contentLength = 0;
        _head.chunked = false;
        _head.contentEncoding.clear();
    }
    return StartBody();
}

bool HttpFetch::FailStatus() {
    std::string answered = "the server answered " + http::StatusText(_head);
    int64_t wait = _head.status == 429 || _head.status == 503 ? http::RetryAfterSeconds(_head, UnixNow()) : -1;
    if (wait <= 0) return Fail(answered);
    _retryAfter = std::min(wait, kMaxRetryAfterSeconds);
    return Fail(answered + " and asks to wait until " + ClockTextIn(_retryAfter) + " (" + WaitText(_retryAfter) + ")");
}

bool HttpFetch::StartBody() {
    _body = std::make_unique<http::Body>();
    std::string unknown;
    if (_body->Start(_head, _connection->In(), *_connection, unknown)) return true;
    return Fail("the answer of " + _target.host + " is compressed as \"" + unknown + "\", which cannot be read here");
}

void HttpFetch::Close() {
    _ended = true;
    _body.reset();
    _connection.reset();
}

int32_t HttpFetch::Fill(uint8_t* buf, int32_t count) {
    if (_ended || !_body) return _failure.empty() ? 0 : -1;
    int32_t n = _body->Fill(buf, count);
    if (n < 0) {
        Fail(BodyFailure());
        return -1;
    }
    if (n == 0) {
        _ended = true;
        _body.reset();
        _connection.reset();  // the whole body is here: let the server go
    }
    return n;
}

std::string HttpFetch::BodyFailure() const {
    if (!_connection->Failure().empty()) return _connection->Failure();
    std::string cut = "the connection broke off before the whole page had arrived";
    std::string answer = "the answer of " + _target.host;
    switch (_body->Failure()) {
        case http::Body::Fault::BadChunk:
            return answer + " has a bad chunked body";
        case http::Body::Fault::Invalid:
            return answer + " has compressed data that is not valid (" + _head.contentEncoding + ")";
        case http::Body::Fault::CompressedCut:
            return cut + " (its compressed data ends early)";
        case http::Body::Fault::TooLarge:
            return "the page of " + _target.host + " inflates to more than " +
                   std::to_string(http::kMaxInflatedBytes >> 20) + " MB";
        default:
            break;
    }
    if (_head.contentLength >= 0 && !_head.chunked)
        cut += " (" + std::to_string(_body->Received()) + " of " + std::to_string(_head.contentLength) + " bytes)";
    return cut;
}

}  // namespace net
