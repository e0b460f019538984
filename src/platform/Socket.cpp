// The parts of the socket layer that are the same on every system.
#include "platform/Socket.h"

#include <algorithm>

#include "SocketSystem.h"

namespace platform {

bool ConnectSocket(SocketHandle s, uint32_t ip, int32_t port, int32_t timeoutMillis) {
    int32_t r = BeginConnect(s, ip, port);
    if (r == 0) r = WaitConnected(s, timeoutMillis);
    if (r == 0) SetSocketBlocking(s, true);
    return r == 1;
}

bool LookupHostIPv4(const std::string& name, std::vector<uint32_t>& ips) {
    ips.clear();
    // A name with a zero byte inside would be looked up as its prefix.
    if (name.find('\0') != std::string::npos) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    // A dotted literal is taken as it is, without asking a name server.
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) {
        hints.ai_flags = 0;
        found = nullptr;
        if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
    }
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in)) continue;
        uint32_t ip = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        if (std::find(ips.begin(), ips.end(), ip) == ips.end()) ips.push_back(ip);
    }
    freeaddrinfo(found);
    return !ips.empty();
}

}  // namespace platform
