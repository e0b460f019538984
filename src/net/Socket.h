// One IPv4 socket, host-name resolution and address formatting. Addresses
// are host-order 32-bit integers whose most significant byte is the first
// octet of the dotted form; ports are plain integers. Every operation blocks
// and reports failure through its result (0, or the null object); none
// raises.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Object.h"
#include "runtime/String.h"

// Offered to callers that want to raise a socket failure; no socket
// operation raises it.
class TSocketException : public Object {
public:
    String ToString() const override;
};

class TSocket : public Object {
public:
    // The operating-system handle, as the socket library gives it out.
    using Handle = intptr_t;

    virtual int32_t Send(const void* buf, int32_t count, int32_t flags);
    // Blocks until at least one byte arrives or the peer closes; 0 at the
    // connection's end or on error.
    virtual int32_t Recv(void* buf, int32_t count, int32_t flags);
    virtual int32_t Close();
    // 1 while the connection is open (even idle); 0 once the peer's close has
    // arrived and everything before it was read, and then the socket is
    // closed. Never waits.
    virtual int32_t Connected();
    virtual int32_t Bind(int32_t port);
    virtual int32_t Connect(int32_t ip, int32_t port);
    virtual int32_t Listen(int32_t backlog);
    // Waits up to `timeout` ms (negative: no limit) for a client.
    virtual Ref<TSocket> Accept(int32_t timeout);
    virtual int32_t ReadAvail();
    virtual int32_t SetTCPNoDelay(int32_t enable);
    // Windows socket handles have 32 significant bits, so the handle fits
    // the 32-bit interface; negative once closed.
    int32_t Socket() const { return static_cast<int32_t>(_socket); }
    Handle SocketHandle() const { return _socket; }
    int32_t LocalIp() const { return _localIp; }
    int32_t LocalPort() const { return _localPort; }
    int32_t RemoteIp() const { return _remoteIp; }
    int32_t RemotePort() const { return _remotePort; }
    int32_t UpdateLocalName();
    int32_t UpdateRemoteName();

    static Ref<TSocket> Create(Handle handle, int32_t autoClose);
    static Ref<TSocket> CreateUDP();
    static Ref<TSocket> CreateTCP();

    // Connect that gives up after `timeoutMillis` (negative: no limit), for
    // callers on the main thread that must not freeze on a silent peer.
    int32_t ConnectWithin(int32_t ip, int32_t port, int32_t timeoutMillis);
    // Waits up to `timeoutMillis` for input or the peer's close: 1 ready,
    // 0 time-out, -1 closed socket or failure.
    int32_t WaitReadable(int32_t timeoutMillis);
    // Bytes a stream read ahead but nobody took: they come first from the
    // next Recv, so closing a stream over the socket loses nothing.
    void Unread(std::string bytes);

private:
    int32_t TakeUnread(void* buf, int32_t count);

    Handle _socket = 0;
    std::string _unread;
    int32_t _autoClose = 0;
    int32_t _localIp = 0;
    int32_t _localPort = 0;
    int32_t _remoteIp = 0;
    int32_t _remotePort = 0;
};

// Readiness wait over handle lists (at most 64 distinct handles each, the
// rest are not waited for). Afterwards every handle that is not ready is 0;
// the result is the number of ready handles, negative on failure.
int32_t SelectSockets(std::vector<TSocket::Handle>& read, std::vector<TSocket::Handle>& write,
                      std::vector<TSocket::Handle>& error, int32_t timeout);

Ref<TSocket> OpenTCPSocket();
Ref<TSocket> OpenUDPSocket();
void SockClose(const Ref<TSocket>& s);
int32_t SockBind(const Ref<TSocket>& s, int32_t port);
int32_t SockConnect(const Ref<TSocket>& s, int32_t ip, int32_t port);
int32_t SockListen(const Ref<TSocket>& s, int32_t backlog);
Ref<TSocket> SockAccept(const Ref<TSocket>& s, int32_t timeout);
int32_t SockConnected(const Ref<TSocket>& s);
int32_t SockReadAvail(const Ref<TSocket>& s);
int32_t SockLocalIp(const Ref<TSocket>& s);
int32_t SockLocalPort(const Ref<TSocket>& s);
int32_t SockRemoteIp(const Ref<TSocket>& s);
int32_t SockRemotePort(const Ref<TSocket>& s);

// Every IPv4 address of a host name, in the order the resolver lists them;
// empty when the name does not resolve.
std::vector<int32_t> ResolveHostIps(const String& host);
// One address of a host name; 0 for none.
int32_t ResolveHostIp(const String& host, int32_t index = 0);
// Official name of an address; empty when the lookup fails.
String LookupHostName(int32_t ip);
String FormatDottedIp(int32_t ip);

void InitSockets();
