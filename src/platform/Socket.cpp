// The parts of the socket layer that are the same on every system.
#include "platform/Socket.h"

namespace platform {

bool ConnectSocket(SocketHandle s, uint32_t ip, int32_t port, int32_t timeoutMillis) {
    int32_t r = BeginConnect(s, ip, port);
    if (r == 0) r = WaitConnected(s, timeoutMillis);
    if (r == 0) SetSocketBlocking(s, true);
    return r == 1;
}

}  // namespace platform
