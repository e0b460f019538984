#include "net/Connection.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace net {

namespace {

// Waits are cut into slices this long so that an abandoned fetch notices
// within a moment.
constexpr int32_t kSliceMillis = 100;

bool IsDottedLiteral(const std::string& host) {
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

std::string HostPort(const http::Target& t) { return t.host + ":" + std::to_string(t.port); }

std::string TlsFailure(platform::TlsStatus status, const std::string& host, const std::string& detail) {
    std::string why;
    switch (status) {
        case platform::TlsStatus::UnknownIssuer:
            return "the certificate of " + host + " is not trusted (unknown issuer)";
        case platform::TlsStatus::Expired:
            return "the certificate of " + host + " has expired or is not valid yet";
        case platform::TlsStatus::WrongHost:
            return "the certificate of " + host + " is for another host name";
        case platform::TlsStatus::OldProtocol:
            return host + " offers only old versions of TLS (older than 1.2)";
        case platform::TlsStatus::BadCertificate:
            why = "the certificate of " + host + " is not valid";
            break;
        case platform::TlsStatus::TransportFailed:
            why = "the connection to " + host + " broke off during the secure handshake";
            break;
        default:
            why = "the secure connection to " + host + " failed";
            break;
    }
    return detail.empty() ? why : why + " (" + detail + ")";
}

// The resolver cannot be interrupted, so it runs on a thread of its own
// and the fetch waits for it only as long as the deadline allows; a late
// answer is dropped with the shared state.
struct LookupState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    std::vector<uint32_t> ips;
};

}  // namespace

std::string SecondsText(int32_t millis) {
    char text[32];
    if (millis % 1000 == 0) std::snprintf(text, sizeof text, "%d s", millis / 1000);
    else std::snprintf(text, sizeof text, "%.1f s", millis / 1000.0);
    return text;
}

Connection::Connection(const FetchLimits& limits, Clock::time_point deadline) : _limits(limits), _deadline(deadline) {}

Connection::~Connection() {
    _tls.reset();
    if (_socket != platform::kNoSocket) platform::CloseSocket(_socket);
}

bool Connection::Fail(const std::string& why) {
    if (_failure.empty()) _failure = why;
    return false;
}

int32_t Connection::MillisLeft(int32_t cap) const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(_deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(left, cap));
}

bool Connection::Open(const http::Target& target) {
    _target = target;
    std::vector<uint32_t> ips;
    if (!Lookup(ips)) return false;
    for (uint32_t ip : ips) {
        if (ConnectTo(ip)) return !_target.tls || Handshake();
        // Only a refusal lets the next address be tried; a time-out or the
        // deadline has used up the time.
        if (!_failure.empty()) return false;
    }
    return Fail("could not connect to " + HostPort(_target));
}

bool Connection::Lookup(std::vector<uint32_t>& ips) {
    if (IsDottedLiteral(_target.host)) {
        if (platform::LookupHostIPv4(_target.host, ips)) return true;
        return Fail("the host name " + _target.host + " could not be found");
    }
    auto state = std::make_shared<LookupState>();
    std::thread([state, host = _target.host] {
        std::vector<uint32_t> found;
        bool ok = platform::LookupHostIPv4(host, found);
        std::lock_guard<std::mutex> lock(state->mutex);
        state->found = ok;
        state->ips = std::move(found);
        state->finished = true;
        state->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->finished) {
        if (FetchesAbandoned()) return Fail("the program is ending");
        int32_t wait = MillisLeft(kSliceMillis);
        if (wait == 0) return Fail("looking up " + _target.host + " took longer than " + SecondsText(_limits.deadlineMillis));
        state->done.wait_for(lock, std::chrono::milliseconds(wait));
    }
    if (!state->found) return Fail("the host name " + _target.host + " could not be found");
    ips = std::move(state->ips);
    return true;
}

bool Connection::ConnectTo(uint32_t ip) {
    if (_socket != platform::kNoSocket) platform::CloseSocket(_socket);
    _socket = platform::OpenSocket(true);
    if (_socket == platform::kNoSocket) return Fail("no network connection can be made (no socket)");
    int32_t r = platform::BeginConnect(_socket, ip, _target.port);
    auto limit = Clock::now() + std::chrono::milliseconds(_limits.connectMillis);
    while (r == 0) {
        if (FetchesAbandoned()) return Fail("the program is ending");
        auto connectLeft = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
        if (connectLeft <= 0)
            return Fail(HostPort(_target) + " did not accept the connection within " + SecondsText(_limits.connectMillis));
        int32_t wait = MillisLeft(static_cast<int32_t>(std::min<int64_t>(connectLeft, kSliceMillis)));
        if (wait == 0) return Fail("no answer from " + HostPort(_target) + " within " + SecondsText(_limits.deadlineMillis));
        r = platform::WaitConnected(_socket, wait);
    }
    if (r < 0) {
        platform::CloseSocket(_socket);
        _socket = platform::kNoSocket;
        return false;  // refused: the caller may try the next address
    }
    platform::SetSocketNoDelay(_socket, 1);
    return true;
}

bool Connection::Handshake() {
    _tls = platform::TlsClient::Create();
    if (!_tls) return Fail("secure (https) connections cannot be set up on this system");
    platform::TlsStatus status = _tls->Handshake(*this, _target.host);
    if (status == platform::TlsStatus::Ok) return true;
    // A wait that failed has said why already (time-out, deadline, end).
    return Fail(TlsFailure(status, _target.host, _tls->Detail()));
}

bool Connection::WaitReadable() {
    auto idleEnd = Clock::now() + std::chrono::milliseconds(_limits.idleMillis);
    for (;;) {
        if (FetchesAbandoned()) return Fail("the program is ending");
        auto idleLeft = std::chrono::duration_cast<std::chrono::milliseconds>(idleEnd - Clock::now()).count();
        if (idleLeft <= 0) return Fail(_target.host + " sent nothing for " + SecondsText(_limits.idleMillis));
        int32_t wait = MillisLeft(static_cast<int32_t>(std::min<int64_t>(idleLeft, kSliceMillis)));
        if (wait == 0) return Fail("the page did not arrive within " + SecondsText(_limits.deadlineMillis));
        int32_t r = platform::WaitReadable(_socket, wait);
        if (r == 1) return true;
        if (r < 0) return Fail("the connection to " + _target.host + " failed");
    }
}

bool Connection::SendAll(const void* buf, int32_t count) {
    auto p = static_cast<const uint8_t*>(buf);
    while (count > 0) {
        if (FetchesAbandoned()) return Fail("the program is ending");
        int32_t n = platform::SendSocket(_socket, p, count, 0);
        if (n <= 0) return Fail("the connection to " + _target.host + " broke off");
        p += n;
        count -= n;
    }
    return true;
}

int32_t Connection::Recv(void* buf, int32_t count) {
    if (!WaitReadable()) return -1;
    int32_t n = platform::RecvSocket(_socket, buf, count, 0);
    if (n < 0) Fail("the connection to " + _target.host + " broke off");
    return n;
}

bool Connection::Send(const std::string& bytes) {
    auto count = static_cast<int32_t>(bytes.size());
    if (!_tls) return SendAll(bytes.data(), count);
    return _tls->Write(bytes.data(), count) || Fail("the secure connection to " + _target.host + " failed");
}

int32_t Connection::Fill(uint8_t* buf, int32_t count) {
    if (!_failure.empty()) return -1;
    if (!_tls) return Recv(buf, count);
    int32_t n = _tls->Read(buf, count);
    if (n < 0) Fail(TlsFailure(platform::TlsStatus::Failed, _target.host, _tls->Detail()));
    return n;
}

}  // namespace net
