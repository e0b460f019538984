// The parts of the socket layer that are the same on every system.
#include "platform/Socket.h"

#include <algorithm>
#include <cstring>

#include "SocketAddress.h"

namespace platform {

NetAddress NetAddress::V4(uint32_t hostOrder) {
    NetAddress a;
    for (int i = 0; i < 4; ++i) a.bytes[i] = static_cast<uint8_t>(hostOrder >> (24 - 8 * i));
    return a;
}

uint32_t NetAddress::V4HostOrder() const {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
}

int SocketAddressOf(const NetAddress& a, int32_t port, sockaddr_storage& out) {
    std::memset(&out, 0, sizeof out);
    if (a.v6) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&out);
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&six->sin6_addr, a.bytes.data(), 16);
        six->sin6_scope_id = a.scope;
        return sizeof(sockaddr_in6);
    }
    auto* four = reinterpret_cast<sockaddr_in*>(&out);
    four->sin_family = AF_INET;
    four->sin_port = htons(static_cast<uint16_t>(port));
    std::memcpy(&four->sin_addr, a.bytes.data(), 4);
    return sizeof(sockaddr_in);
}

bool AddressFromSocket(const sockaddr* in, NetAddress& a, int32_t& port) {
    a = NetAddress{};
    if (in->sa_family == AF_INET6) {
        auto* six = reinterpret_cast<const sockaddr_in6*>(in);
        a.v6 = true;
        std::memcpy(a.bytes.data(), &six->sin6_addr, 16);
        a.scope = six->sin6_scope_id;
        port = ntohs(six->sin6_port);
        return true;
    }
    if (in->sa_family != AF_INET) return false;
    auto* four = reinterpret_cast<const sockaddr_in*>(in);
    std::memcpy(a.bytes.data(), &four->sin_addr, 4);
    port = ntohs(four->sin_port);
    return true;
}

std::string AddressText(const NetAddress& a) {
    sockaddr_storage s;
    int length = SocketAddressOf(a, 0, s);
    char text[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&s), length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return "?";
    return text;
}

namespace {

// The addresses getaddrinfo gives for `name`, duplicates dropped (one per
// socket type would otherwise come back).
bool Resolve(const std::string& name, int family, int flags, std::vector<NetAddress>& out) {
    out.clear();
    // A name with a zero byte inside would be looked up as its prefix.
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
    for (addrinfo* a = found; a; a = a->ai_next) {
        NetAddress address;
        int32_t port;
        if (a->ai_addr && AddressFromSocket(a->ai_addr, address, port) &&
            std::find(out.begin(), out.end(), address) == out.end())
            out.push_back(address);
    }
    freeaddrinfo(found);
    return !out.empty();
}

}  // namespace

bool ParseNumericAddress(const std::string& text, NetAddress& out) {
    std::vector<NetAddress> found;
    if (!Resolve(text, AF_UNSPEC, AI_NUMERICHOST, found)) return false;
    out = found[0];
    return true;
}

bool LookupHostAddresses(const std::string& name, std::vector<NetAddress>& out) {
    NetAddress literal;
    if (ParseNumericAddress(name, literal)) {
        out = {literal};
        return true;
    }
    return Resolve(name, AF_UNSPEC, 0, out);
}

bool LookupHostIPv4(const std::string& name, std::vector<uint32_t>& ips) {
    ips.clear();
    std::vector<NetAddress> found;
    // A dotted literal is taken as it is, without asking a name server.
    if (!Resolve(name, AF_INET, AI_NUMERICHOST, found) && !Resolve(name, AF_INET, 0, found)) return false;
    for (const NetAddress& a : found) ips.push_back(a.V4HostOrder());
    return true;
}

bool BindSocket(SocketHandle s, uint32_t ip, int32_t port) { return BindSocket(s, NetAddress::V4(ip), port); }

int32_t BeginConnect(SocketHandle s, uint32_t ip, int32_t port) { return BeginConnect(s, NetAddress::V4(ip), port); }

int32_t WaitConnected(SocketHandle s, int32_t timeoutMillis) {
    std::vector<int32_t> states;
    int32_t r = WaitConnecting({s}, timeoutMillis, states);
    return r < 0 ? -1 : states[0];
}

bool ConnectSocket(SocketHandle s, uint32_t ip, int32_t port, int32_t timeoutMillis) {
    int32_t r = BeginConnect(s, ip, port);
    if (r == 0) r = WaitConnected(s, timeoutMillis);
    if (r == 0) SetSocketBlocking(s, true);
    return r == 1;
}

bool SocketName(SocketHandle s, bool peer, uint32_t& ip, int32_t& port) {
    NetAddress a;
    if (!SocketName(s, peer, a, port) || a.v6) return false;
    ip = a.V4HostOrder();
    return true;
}

}  // namespace platform
