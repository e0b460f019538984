// Socket calls of the operating system, in the plain terms the socket
// module needs: handles as intptr_t (-1 for none), IPv4 addresses and ports
// as host-order integers, failures as results. The fetch engine also uses
// the calls that take a NetAddress, which may be IPv4 or IPv6. Nothing here
// knows framework types.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

// An IPv4 or IPv6 address, its bytes in network order (IPv4 in the first
// four).
struct NetAddress {
    bool v6 = false;
    std::array<uint8_t, 16> bytes{};
    uint32_t scope = 0;  // the IPv6 zone (interface) index, 0 for none

    static NetAddress V4(uint32_t hostOrder);
    uint32_t V4HostOrder() const;
    bool operator==(const NetAddress&) const = default;
};

// "127.0.0.1", "::1".
std::string AddressText(const NetAddress& a);
// A numeric address (IPv4 as the resolver reads it, IPv6 without
// brackets); false for anything else. Never asks a name server.
bool ParseNumericAddress(const std::string& text, NetAddress& out);
// Every address of a host name, IPv4 and IPv6 (A and AAAA records),
// through the thread-safe resolver, in its order; false when the name does
// not resolve. Blocks as long as the resolver does.
bool LookupHostAddresses(const std::string& name, std::vector<NetAddress>& out);

// Starts the socket library (version 1.1 on Windows; nothing to do
// elsewhere) and stops it again.
bool StartSocketLibrary();
void StopSocketLibrary();

// A new IPv4 stream (TCP) or datagram (UDP) socket, or kNoSocket.
SocketHandle OpenSocket(bool stream);
// A new stream socket for IPv6 (v6) or IPv4 addresses, or kNoSocket.
SocketHandle OpenStreamSocket(bool v6);
bool CloseSocket(SocketHandle s);

// Bytes transferred, or -1 on error; RecvSocket gives 0 at connection end.
// A send to a peer that has gone reports an error, it never ends the process.
int32_t SendSocket(SocketHandle s, const void* buf, int32_t count, int32_t flags);
int32_t RecvSocket(SocketHandle s, void* buf, int32_t count, int32_t flags);

bool BindSocket(SocketHandle s, uint32_t ip, int32_t port);
bool BindSocket(SocketHandle s, const NetAddress& a, int32_t port);
// Waits at most `timeoutMillis` for the connection (negative: no limit). The
// socket is left blocking afterwards either way.
bool ConnectSocket(SocketHandle s, uint32_t ip, int32_t port, int32_t timeoutMillis);
// The same in two steps, for callers that wait in slices: BeginConnect
// starts the attempt without waiting (1 connected, 0 under way, -1 failed);
// WaitConnected waits up to `timeoutMillis` (negative: no limit) for an
// attempt under way (1 connected, 0 still under way, -1 failed). The socket
// is blocking again once the attempt has ended; one still under way stays
// non-blocking until SetSocketBlocking or its close.
int32_t BeginConnect(SocketHandle s, uint32_t ip, int32_t port);
int32_t BeginConnect(SocketHandle s, const NetAddress& a, int32_t port);
int32_t WaitConnected(SocketHandle s, int32_t timeoutMillis);
// The same wait over several attempts at once: `states` gets one entry per
// socket, 1 connected, -1 failed, 0 still under way. The result is the
// number of attempts that ended, 0 on time-out, -1 when the wait failed.
int32_t WaitConnecting(const std::vector<SocketHandle>& s, int32_t timeoutMillis, std::vector<int32_t>& states);
bool SetSocketBlocking(SocketHandle s, bool blocking);
bool ListenSocket(SocketHandle s, int32_t backlog);
// Accepts without asking for the peer address; kNoSocket on failure.
SocketHandle AcceptSocket(SocketHandle s);
// Pending input in bytes, -1 on error.
int32_t PendingInput(SocketHandle s);
void SetSocketNoDelay(SocketHandle s, int32_t enable);
// Lets a listening address be bound again at once after a close (tests and
// benchmark servers that restart on the same port).
void SetSocketReuseAddress(SocketHandle s);
// A receive that sees no data for `millis` fails (as an error) instead of
// waiting on; 0 or negative: no limit.
void SetSocketReceiveTimeout(SocketHandle s, int32_t millis);
// Local (peer == false) or remote address of the socket; the first form
// fails for sockets that are not IPv4.
bool SocketName(SocketHandle s, bool peer, uint32_t& ip, int32_t& port);
bool SocketName(SocketHandle s, bool peer, NetAddress& a, int32_t& port);

// Waits for one handle to become readable: 1 readable (data, end or error
// pending), 0 time-out, -1 failure. Negative time-out: no limit.
int32_t WaitReadable(SocketHandle s, int32_t timeoutMillis);
// Readiness of three handle lists; each list must already hold distinct
// handles. Handles that are not ready are replaced by 0. Returns the number
// of ready handles, negative on failure.
int32_t SelectSockets(std::vector<SocketHandle>& read, std::vector<SocketHandle>& write,
                      std::vector<SocketHandle>& error, int32_t timeoutMillis);

// The IPv4 addresses of a host name through the thread-safe resolver, in
// its order; false when the name does not resolve. A dotted IPv4 literal
// gives itself without a lookup.
bool LookupHostIPv4(const std::string& name, std::vector<uint32_t>& ips);
// Host-by-address lookup: the official name, false when it fails.
bool LookupHostAddress(uint32_t ip, std::string& name);

}  // namespace platform
