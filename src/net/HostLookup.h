// Host names to addresses within a fetch's deadline. The system's resolver
// cannot be interrupted, so a name is looked up on a thread of its own and
// the fetch waits only as long as its deadline allows. Fetches of the same
// name share one look-up, and the look-ups still waiting on the resolver
// are bounded, so a resolver that hangs cannot pile up threads. Plain C++
// data only; any thread may call it.
#pragma once

#include <string>
#include <vector>

#include "net/FetchLimits.h"
#include "platform/Socket.h"

namespace net {

// Look-ups that may wait on the system's resolver at once, the ones whose
// fetches gave up included.
constexpr int32_t kMaxPendingLookups = 16;

enum class LookupStatus {
    Found,
    NotFound,   // the resolver knows no address for the name
    TimedOut,   // the deadline passed first
    Abandoned,  // fetches were abandoned
    Busy,       // kMaxPendingLookups look-ups are still waiting
    NoThread,   // the system would not start a thread for it
};

// The addresses of `host` in the resolver's order (IPv4 and IPv6). A
// numeric address is taken as it is at once; every other name, whatever
// it looks like, goes to the resolver.
LookupStatus LookupHost(const std::string& host, Clock::time_point deadline, std::vector<platform::NetAddress>& out);

// The look-ups waiting on the resolver now.
int32_t PendingLookups();

}  // namespace net
