// One client connection of a fetch, plain TCP or TLS over it, in plain C++
// data only. Every wait (name look-up, connect, handshake, every receive)
// is bounded by the fetch's deadline and idle time-out, and ends within a
// moment once fetches are abandoned.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "net/HttpMessage.h"
#include "net/FetchLimits.h"
#include "platform/Socket.h"
#include "platform/Tls.h"
#include "stream/ReadAhead.h"

namespace net {

using Clock = std::chrono::steady_clock;

// "60 s", "0.4 s": a duration for a message.
std::string SecondsText(int32_t millis);

class Connection : public ByteSource, private platform::TlsTransport {
public:
    Connection(const FetchLimits& limits, Clock::time_point deadline);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Looks the host up, connects (trying each address in turn) and, for
    // https, makes the TLS handshake. False with Failure() set.
    bool Open(const http::Target& target);
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

    bool Lookup(std::vector<uint32_t>& ips);
    bool ConnectTo(uint32_t ip);
    bool Handshake();
    // Waits until the socket is readable; false with the failure set on
    // time-out, deadline or abandonment.
    bool WaitReadable();
    // Fails the connection (the first reason is the one kept).
    bool Fail(const std::string& why);
    // The time left before the deadline, at most `cap` ms; 0 once passed.
    int32_t MillisLeft(int32_t cap) const;

    FetchLimits _limits;
    Clock::time_point _deadline;
    http::Target _target;
    platform::SocketHandle _socket = platform::kNoSocket;
    std::unique_ptr<platform::TlsClient> _tls;
    ReadAhead _in{16 * 1024};
    std::string _failure;
};

}  // namespace net
