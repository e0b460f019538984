// Connecting to a host with several addresses (IPv4 and IPv6), in the
// order the resolver gave them: an attempt that is not answered within a
// moment gets company from the next address, a refused one makes way for
// the next at once, and the first attempt that connects wins. Each attempt
// has its own time-out; the fetch's deadline bounds them all. Plain C++
// data only.
#pragma once

#include <vector>

#include "net/FetchLimits.h"
#include "platform/Socket.h"

namespace net {

// How long an attempt runs alone before the next address is tried beside it.
constexpr int32_t kStaggerMillis = 250;

struct Dialled {
    enum class Outcome { Connected, Refused, TimedOut, Deadline, Abandoned, NoSocket };
    Outcome outcome = Outcome::Refused;
    // The connected, blocking socket; the caller owns it. kNoSocket unless
    // connected.
    platform::SocketHandle socket = platform::kNoSocket;
};

// Refused: every address refused (or could not be reached); TimedOut: at
// least one attempt ran out of its `attemptMillis` and none connected;
// NoSocket: no socket could be made for any address.
Dialled DialAny(const std::vector<platform::NetAddress>& addresses, int32_t port, int32_t attemptMillis,
                Clock::time_point deadline);

}  // namespace net
