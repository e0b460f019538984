// One client connection of a fetch, plain TCP or TLS over it, straight to
// the page's host or through the proxy the user's settings name for it, in
// plain C++ data only. Every wait (name look-up, connect, proxy, handshake,
// every receive) is bounded by the fetch's deadline and idle time-out, and
// ends within a moment once fetches are abandoned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/FetchLimits.h"
#include "net/HttpMessage.h"
#include "platform/Socket.h"
#include "platform/Tls.h"
#include "stream/ReadAhead.h"

namespace net {

// "60 s", "0.4 s": a duration for a message.
std::string SecondsText(int32_t millis);

class Connection : public ByteSource, private platform::TlsTransport {
public:
    Connection(const FetchLimits& limits, Clock::time_point deadline);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Looks the host (or the proxy) up, connects to the first of its
    // addresses that answers and, for https, makes the TLS handshake with
    // the page's host (through a CONNECT tunnel when there is a proxy).
    // False with Failure() set.
    bool Open(const http::Target& target);
    // Plain http through a proxy: requests name the whole address.
    bool ViaProxy() const { return _viaProxy && !_target.tls; }
    // False, with Failure() set, when `head` is the proxy's own refusal
    // (it asks for credentials) rather than the page's answer.
    bool CheckProxyAnswer(const http::Head& head);
    // Sends every byte (plain or encrypted).
    bool Send(const std::string& bytes);
    // Received bytes (decrypted for https): > 0, 0 at the peer's orderly
    // end, < 0 on failure with Failure() set.
    int32_t Fill(uint8_t* buf, int32_t count) override;

    // The connection's read-ahead, where heads and chunks are parsed.
    ReadAhead& In() { return _in; }
    // Why the connection failed; empty while it has not.
    const std::string& Failure() const { return _failure; }

private:
    // The raw socket side, also the TLS session's transport.
    bool SendAll(const void* buf, int32_t count) override;
    int32_t Recv(void* buf, int32_t count) override;

    bool Lookup(const http::Target& peer, std::vector<platform::NetAddress>& addresses);
    bool Dial(const http::Target& peer, const std::vector<platform::NetAddress>& addresses);
    // CONNECT through the proxy to the page's host.
    bool Tunnel();
    bool Handshake();
    // Waits until the socket is readable; false with the failure set on
    // time-out, deadline or abandonment.
    // False, with the reason, once the deadline has passed or the program
    // is ending.
    bool InTime();
    bool WaitReadable();
    // Fails the connection (the first reason is the one kept).
    bool Fail(const std::string& why);
    // "127.0.0.1:80", or "the proxy 10.0.0.1:3128".
    std::string Peer() const;

    FetchLimits _limits;
    Clock::time_point _deadline;
    http::Target _target;
    http::Target _proxy;
    bool _viaProxy = false;
    platform::SocketHandle _socket = platform::kNoSocket;
    std::unique_ptr<platform::TlsClient> _tls;
    ReadAhead _in{16 * 1024};
    std::string _failure;
};

}  // namespace net
