// Conversions between NetAddress and the system's socket addresses, shared
// by the socket code of every system. Only platform/ includes this (it
// needs the system's socket declarations, SocketSystem.h).
#pragma once

#include "SocketSystem.h"
#include "platform/Socket.h"

namespace platform {

// Fills `out` for a connect or bind; the result is the address's length.
int SocketAddressOf(const NetAddress& a, int32_t port, sockaddr_storage& out);
// False for families other than IPv4 and IPv6.
bool AddressFromSocket(const sockaddr* in, NetAddress& a, int32_t& port);

}  // namespace platform
