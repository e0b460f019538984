#include "platform/Socket.h"

#include "platform/SocketAddress.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {

namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

bool Valid(SocketHandle s) { return s >= 0 && s <= INT32_MAX; }

// poll() restarted after signals, with the remaining time kept.
int PollFor(pollfd* fds, nfds_t n, int32_t timeoutMillis) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMillis < 0 ? 0 : timeoutMillis);
    for (;;) {
        int wait = -1;
        if (timeoutMillis >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            wait = left.count() < 0 ? 0 : static_cast<int>(left.count());
        }
        int r = poll(fds, n, wait);
        if (r >= 0 || errno != EINTR) return r;
    }
}

}  // namespace

bool StartSocketLibrary() { return true; }
void StopSocketLibrary() {}

SocketHandle OpenSocket(bool stream) {
    int fd = socket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, 0);
    return fd < 0 ? kNoSocket : fd;
}

SocketHandle OpenStreamSocket(bool v6) {
    int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    return fd < 0 ? kNoSocket : fd;
}

bool CloseSocket(SocketHandle s) { return Valid(s) && close(Fd(s)) == 0; }

int32_t SendSocket(SocketHandle s, const void* buf, int32_t count, int32_t flags) {
    if (!Valid(s) || count < 0) return -1;
    for (;;) {
        ssize_t n = send(Fd(s), buf, static_cast<size_t>(count), flags | MSG_NOSIGNAL);
        if (n >= 0) return static_cast<int32_t>(n);
        if (errno != EINTR) return -1;
    }
}

int32_t RecvSocket(SocketHandle s, void* buf, int32_t count, int32_t flags) {
    if (!Valid(s) || count < 0) return -1;
    for (;;) {
        ssize_t n = recv(Fd(s), buf, static_cast<size_t>(count), flags);
        if (n >= 0) return static_cast<int32_t>(n);
        if (errno != EINTR) return -1;
    }
}

bool BindSocket(SocketHandle s, const NetAddress& address, int32_t port) {
    if (!Valid(s)) return false;
    sockaddr_storage a;
    socklen_t length = static_cast<socklen_t>(SocketAddressOf(address, port, a));
    return bind(Fd(s), reinterpret_cast<sockaddr*>(&a), length) == 0;
}

bool SetSocketBlocking(SocketHandle s, bool blocking) {
    int flags = Valid(s) ? fcntl(Fd(s), F_GETFL) : -1;
    if (flags < 0) return false;
    int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return wanted == flags || fcntl(Fd(s), F_SETFL, wanted) == 0;
}

int32_t BeginConnect(SocketHandle s, const NetAddress& address, int32_t port) {
    if (!SetSocketBlocking(s, false)) return -1;
    sockaddr_storage a;
    socklen_t length = static_cast<socklen_t>(SocketAddressOf(address, port, a));
    if (connect(Fd(s), reinterpret_cast<sockaddr*>(&a), length) == 0) {
        SetSocketBlocking(s, true);
        return 1;
    }
    // A signal during connect leaves the attempt going on in the
    // background, exactly as a non-blocking start does.
    if (errno == EINPROGRESS || errno == EINTR) return 0;
    SetSocketBlocking(s, true);
    return -1;
}

int32_t WaitConnecting(const std::vector<SocketHandle>& s, int32_t timeoutMillis, std::vector<int32_t>& states) {
    states.assign(s.size(), 0);
    std::vector<pollfd> fds;
    for (SocketHandle h : s) {
        if (!Valid(h)) return -1;
        fds.push_back(pollfd{Fd(h), POLLOUT, 0});
    }
    int r = PollFor(fds.data(), fds.size(), timeoutMillis);
    if (r <= 0) return r < 0 ? -1 : 0;
    int32_t ended = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (fds[i].revents == 0) continue;
        int err = 0;
        socklen_t len = sizeof err;
        bool ok = getsockopt(Fd(s[i]), SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0 && !(fds[i].revents & POLLNVAL);
        states[i] = ok ? 1 : -1;
        SetSocketBlocking(s[i], true);
        ++ended;
    }
    return ended;
}

bool ListenSocket(SocketHandle s, int32_t backlog) { return Valid(s) && listen(Fd(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle s) {
    if (!Valid(s)) return kNoSocket;
    for (;;) {
        int fd = accept(Fd(s), nullptr, nullptr);
        if (fd >= 0) return fd;
        if (errno != EINTR) return kNoSocket;
    }
}

int32_t PendingInput(SocketHandle s) {
    int n = 0;
    if (!Valid(s) || ioctl(Fd(s), FIONREAD, &n) != 0) return -1;
    return n;
}

void SetSocketNoDelay(SocketHandle s, int32_t enable) {
    if (Valid(s)) setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &enable, sizeof enable);
}

void SetSocketReuseAddress(SocketHandle s) {
    int on = 1;
    if (Valid(s)) setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

void SetSocketReceiveTimeout(SocketHandle s, int32_t millis) {
    if (millis < 0) millis = 0;
    timeval tv{millis / 1000, (millis % 1000) * 1000};
    if (Valid(s)) setsockopt(Fd(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

bool SocketName(SocketHandle s, bool peer, NetAddress& address, int32_t& port) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (!Valid(s)) return false;
    int r = peer ? getpeername(Fd(s), reinterpret_cast<sockaddr*>(&a), &len)
                 : getsockname(Fd(s), reinterpret_cast<sockaddr*>(&a), &len);
    return r == 0 && AddressFromSocket(reinterpret_cast<sockaddr*>(&a), address, port);
}

int32_t WaitReadable(SocketHandle s, int32_t timeoutMillis) {
    if (!Valid(s)) return -1;
    pollfd p{Fd(s), POLLIN, 0};
    int r = PollFor(&p, 1, timeoutMillis);
    if (r < 0) return -1;
    if (r == 0) return 0;
    return (p.revents & POLLNVAL) ? -1 : 1;
}

// poll() rather than select(): descriptors above FD_SETSIZE stay safe.
int32_t SelectSockets(std::vector<SocketHandle>& read, std::vector<SocketHandle>& write,
                      std::vector<SocketHandle>& error, int32_t timeoutMillis) {
    std::vector<pollfd> fds;
    std::vector<SocketHandle>* lists[3] = {&read, &write, &error};
    // Nothing to wait for and no limit would never return.
    if (read.empty() && write.empty() && error.empty() && timeoutMillis < 0) return -1;
    const short wanted[3] = {POLLIN, POLLOUT, POLLPRI};
    for (int l = 0; l < 3; ++l) {
        for (SocketHandle h : *lists[l]) {
            if (!Valid(h)) return -1;
            fds.push_back(pollfd{Fd(h), wanted[l], 0});
        }
    }
    int r = PollFor(fds.data(), fds.size(), timeoutMillis);
    if (r < 0) return -1;
    int32_t ready = 0;
    size_t k = 0;
    for (int l = 0; l < 3; ++l) {
        for (SocketHandle& h : *lists[l]) {
            short got = fds[k++].revents;
            if (got & POLLNVAL) return -1;
            // Readable includes the peer's close and errors, as select() says.
            short accept = l == 0 ? short(POLLIN | POLLHUP | POLLERR) : l == 1 ? short(POLLOUT | POLLERR) : short(POLLPRI);
            if (got & accept) ++ready;
            else h = 0;
        }
    }
    return ready;
}

bool LookupHostAddress(uint32_t ip, std::string& name) {
    uint32_t net = htonl(ip);
    hostent* h = gethostbyaddr(&net, 4, AF_INET);
    if (!h || !h->h_name) return false;
    name = h->h_name;
    return true;
}

}  // namespace platform
