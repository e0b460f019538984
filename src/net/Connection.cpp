#include "net/Connection.h"

#include <algorithm>
#include <cstdio>

#include "net/Dial.h"
#include "net/HostLookup.h"
#include "net/HttpFetch.h"
#include "net/Proxy.h"

namespace net {

namespace {

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

std::string Connection::Peer() const { return _viaProxy ? "the proxy " + _proxy.HostPort() : _target.HostPort(); }

bool Connection::Open(const http::Target& target) {
    _target = target;
    std::string unusable;
    _viaProxy = ChooseProxy(target, platform::SystemProxySettings(), _proxy, unusable);
    if (!unusable.empty()) return Fail(unusable);
    const http::Target& peer = _viaProxy ? _proxy : _target;
    std::vector<platform::NetAddress> addresses;
    if (!Lookup(peer, addresses) || !Dial(peer, addresses)) return false;
    if (_viaProxy && _target.tls && !Tunnel()) return false;
    return !_target.tls || Handshake();
}

bool Connection::Lookup(const http::Target& peer, std::vector<platform::NetAddress>& addresses) {
    const std::string& host = peer.host;
    std::string whose = _viaProxy ? " of the proxy" : "";
    switch (LookupHost(host, _deadline, addresses)) {
        case LookupStatus::Found:
            return true;
        case LookupStatus::NotFound:
            return Fail("the host name " + host + whose + " could not be found");
        case LookupStatus::TimedOut:
            return Fail("looking up " + host + " took longer than " + SecondsText(_limits.deadlineMillis));
        case LookupStatus::Abandoned:
            return Fail("the program is ending");
        case LookupStatus::Busy:
            return Fail("the system's name resolver is not answering (" + std::to_string(kMaxPendingLookups) +
                        " look-ups are still waiting), so " + host + " was not looked up");
        case LookupStatus::NoThread:
            break;
    }
    return Fail("the system could not start a look-up of " + host + " (no thread to spare)");
}

bool Connection::Dial(const http::Target& peer, const std::vector<platform::NetAddress>& addresses) {
    Dialled d = DialAny(addresses, peer.port, _limits.connectMillis, _deadline);
    switch (d.outcome) {
        case Dialled::Outcome::Connected:
            _socket = d.socket;
            platform::SetSocketNoDelay(_socket, 1);
            return true;
        case Dialled::Outcome::Refused:
            return Fail("could not connect to " + Peer());
        case Dialled::Outcome::TimedOut:
            return Fail(Peer() + " did not accept the connection within " + SecondsText(_limits.connectMillis));
        case Dialled::Outcome::Deadline:
            return Fail("no answer from " + Peer() + " within " + SecondsText(_limits.deadlineMillis));
        case Dialled::Outcome::Abandoned:
            return Fail("the program is ending");
        case Dialled::Outcome::NoSocket:
            break;
    }
    return Fail("no network connection can be made (no socket)");
}

bool Connection::Tunnel() {
    std::string to = _target.HostPort();
    if (!Send("CONNECT " + to + " HTTP/1.1\r\nHost: " + to + "\r\nUser-Agent: " + UserAgent() + "\r\n\r\n")) return false;
    http::Head head;
    switch (http::ReadHead(_in, *this, head)) {
        case http::HeadResult::Ok:
            break;
        case http::HeadResult::SourceFailed:
            return false;
        case http::HeadResult::Ended:
            return Fail(Peer() + " closed the connection without an answer");
        default:
            return Fail("the answer of " + Peer() + " is not valid HTTP");
    }
    if (!CheckProxyAnswer(head)) return false;
    if (head.status < 200 || head.status > 299)
        return Fail(Peer() + " refused the connection to " + to + " (" + http::StatusText(head) + ")");
    // The server speaks only after the handshake has begun.
    if (_in.Buffered() > 0) return Fail(Peer() + " sent data of its own into the secure connection");
    return true;
}

bool Connection::CheckProxyAnswer(const http::Head& head) {
    if (!_viaProxy || head.status != 407) return true;
    return Fail(Peer() + " asks for credentials (" + http::StatusText(head) + "), which this program does not send");
}

bool Connection::Handshake() {
    _tls = platform::TlsClient::Create();
    if (!_tls) return Fail("secure (https) connections cannot be set up on this system");
    platform::TlsStatus status = _tls->Handshake(*this, _target.host);
    if (status == platform::TlsStatus::Ok) return true;
    // A wait that failed has said why already (time-out, deadline, end).
    return Fail(TlsFailure(status, _target.host, _tls->Detail()));
}

bool Connection::InTime() {
    if (FetchesAbandoned()) return Fail("the program is ending");
    if (MillisLeft(_deadline, 1) == 0) return Fail("the page did not arrive within " + SecondsText(_limits.deadlineMillis));
    return true;
}

bool Connection::WaitReadable() {
    auto idleEnd = Clock::now() + std::chrono::milliseconds(_limits.idleMillis);
    for (;;) {
        if (!InTime()) return false;
        auto idleLeft = std::chrono::duration_cast<std::chrono::milliseconds>(idleEnd - Clock::now()).count();
        if (idleLeft <= 0) return Fail(_target.host + " sent nothing for " + SecondsText(_limits.idleMillis));
        int32_t wait = MillisLeft(_deadline, static_cast<int32_t>(std::min<int64_t>(idleLeft, kSliceMillis)));
        if (wait == 0) continue;  // the deadline is now: InTime says so
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
    // Input that is there already needs no wait, which costs a system call
    // of its own (an expensive one under Wine); the deadline and the
    // program's end still hold for a sender that is always ahead.
    if (platform::PendingInput(_socket) > 0 ? !InTime() : !WaitReadable()) return -1;
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
