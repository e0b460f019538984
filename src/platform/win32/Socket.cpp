#include "platform/Socket.h"

#include "platform/SocketAddress.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Windows keeps socket handles within 32 significant bits, so the signed
// value the socket module carries converts back losslessly.
SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(static_cast<uintptr_t>(s)); }

bool Valid(SocketHandle s) { return s >= 0 && Sock(s) != INVALID_SOCKET; }

timeval* Limit(int32_t timeoutMillis, timeval& tv) {
    if (timeoutMillis < 0) return nullptr;
    tv.tv_sec = timeoutMillis / 1000;
    tv.tv_usec = (timeoutMillis % 1000) * 1000;
    return &tv;
}

void Fill(fd_set& set, const std::vector<SocketHandle>& list) {
    FD_ZERO(&set);
    for (SocketHandle h : list) {
        if (set.fd_count >= FD_SETSIZE) break;
        set.fd_array[set.fd_count++] = Sock(h);
    }
}

}  // namespace

bool StartSocketLibrary() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void StopSocketLibrary() { WSACleanup(); }

SocketHandle OpenSocket(bool stream) {
    SOCKET s = socket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP);
    if (s == INVALID_SOCKET) return kNoSocket;
    return static_cast<SocketHandle>(s);
}

SocketHandle OpenStreamSocket(bool v6) {
    SOCKET s = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kNoSocket;
    return static_cast<SocketHandle>(s);
}

bool CloseSocket(SocketHandle s) { return Valid(s) && closesocket(Sock(s)) == 0; }

int32_t SendSocket(SocketHandle s, const void* buf, int32_t count, int32_t flags) {
    if (!Valid(s) || count < 0) return -1;
    int n = send(Sock(s), static_cast<const char*>(buf), count, flags);
    return n == SOCKET_ERROR ? -1 : n;
}

int32_t RecvSocket(SocketHandle s, void* buf, int32_t count, int32_t flags) {
    if (!Valid(s) || count < 0) return -1;
    int n = recv(Sock(s), static_cast<char*>(buf), count, flags);
    return n == SOCKET_ERROR ? -1 : n;
}

bool BindSocket(SocketHandle s, const NetAddress& address, int32_t port) {
    if (!Valid(s)) return false;
    sockaddr_storage a;
    int length = SocketAddressOf(address, port, a);
    return bind(Sock(s), reinterpret_cast<sockaddr*>(&a), length) == 0;
}

bool SetSocketBlocking(SocketHandle s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return Valid(s) && ioctlsocket(Sock(s), FIONBIO, &nonBlocking) == 0;
}

int32_t BeginConnect(SocketHandle s, const NetAddress& address, int32_t port) {
    if (!SetSocketBlocking(s, false)) return -1;
    sockaddr_storage a;
    int length = SocketAddressOf(address, port, a);
    if (connect(Sock(s), reinterpret_cast<sockaddr*>(&a), length) == 0) {
        SetSocketBlocking(s, true);
        return 1;
    }
    if (WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    SetSocketBlocking(s, true);
    return -1;
}

// A failed attempt shows in the error set, a made one in the writable set.
int32_t WaitConnecting(const std::vector<SocketHandle>& s, int32_t timeoutMillis, std::vector<int32_t>& states) {
    states.assign(s.size(), 0);
    for (SocketHandle h : s)
        if (!Valid(h)) return -1;
    fd_set writable, failed;
    Fill(writable, s);
    Fill(failed, s);
    timeval tv;
    int r = select(0, nullptr, &writable, &failed, Limit(timeoutMillis, tv));
    if (r <= 0) return r < 0 ? -1 : 0;
    int32_t ended = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        bool made = FD_ISSET(Sock(s[i]), &writable), lost = FD_ISSET(Sock(s[i]), &failed);
        if (!made && !lost) continue;
        int err = 0;
        int len = sizeof err;
        bool ok = made && !lost &&
                  getsockopt(Sock(s[i]), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 && err == 0;
        states[i] = ok ? 1 : -1;
        SetSocketBlocking(s[i], true);
        ++ended;
    }
    return ended;
}

bool ListenSocket(SocketHandle s, int32_t backlog) { return Valid(s) && listen(Sock(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle s) {
    if (!Valid(s)) return kNoSocket;
    SOCKET a = accept(Sock(s), nullptr, nullptr);
    return a == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(a);
}

int32_t PendingInput(SocketHandle s) {
    u_long n = 0;
    if (!Valid(s) || ioctlsocket(Sock(s), FIONREAD, &n) != 0) return -1;
    return static_cast<int32_t>(std::min<u_long>(n, 0x7FFFFFFF));
}

void SetSocketNoDelay(SocketHandle s, int32_t enable) {
    if (Valid(s)) setsockopt(Sock(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&enable), sizeof enable);
}

void SetSocketReuseAddress(SocketHandle s) {
    BOOL on = TRUE;
    if (Valid(s)) setsockopt(Sock(s), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
}

void SetSocketReceiveTimeout(SocketHandle s, int32_t millis) {
    DWORD limit = millis < 0 ? 0 : static_cast<DWORD>(millis);
    if (Valid(s)) setsockopt(Sock(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

bool SocketName(SocketHandle s, bool peer, NetAddress& address, int32_t& port) {
    sockaddr_storage a{};
    int len = sizeof a;
    if (!Valid(s)) return false;
    int r = peer ? getpeername(Sock(s), reinterpret_cast<sockaddr*>(&a), &len)
                 : getsockname(Sock(s), reinterpret_cast<sockaddr*>(&a), &len);
    return r == 0 && AddressFromSocket(reinterpret_cast<sockaddr*>(&a), address, port);
}

int32_t WaitReadable(SocketHandle s, int32_t timeoutMillis) {
    if (!Valid(s)) return -1;
    fd_set readable;
    Fill(readable, {s});
    timeval tv;
    int r = select(0, &readable, nullptr, nullptr, Limit(timeoutMillis, tv));
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}

int32_t SelectSockets(std::vector<SocketHandle>& read, std::vector<SocketHandle>& write,
                      std::vector<SocketHandle>& error, int32_t timeoutMillis) {
    fd_set sets[3];
    std::vector<SocketHandle>* lists[3] = {&read, &write, &error};
    bool any = false;
    for (int l = 0; l < 3; ++l) {
        Fill(sets[l], *lists[l]);
        any = any || sets[l].fd_count > 0;
    }
    timeval tv;
    int r;
    if (!any) {
        // select() refuses three empty sets; an empty wait is a plain sleep.
        if (timeoutMillis < 0) return -1;
        Sleep(static_cast<DWORD>(timeoutMillis));
        r = 0;
    } else {
        r = select(0, &sets[0], &sets[1], &sets[2], Limit(timeoutMillis, tv));
    }
    if (r == SOCKET_ERROR) return -1;
    for (int l = 0; l < 3; ++l)
        for (SocketHandle& h : *lists[l])
            if (!FD_ISSET(Sock(h), &sets[l])) h = 0;
    return r;
}

bool LookupHostAddress(uint32_t ip, std::string& name) {
    u_long net = htonl(ip);
    hostent* h = gethostbyaddr(reinterpret_cast<const char*>(&net), 4, AF_INET);
    if (!h || !h->h_name) return false;
    name = h->h_name;
    return true;
}

}  // namespace platform
