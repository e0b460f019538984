// Loopback helpers shared by the network tests: listeners on chosen
// 127.x.y.z addresses and a scriptable fake server that runs on its own
// thread, so the code under test can block on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/Socket.h"
#include "platform/Socket.h"

namespace nettest {

constexpr int32_t Ip(int a, int b, int c, int d) {
    return static_cast<int32_t>((uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d));
}

// A listening socket on ip:port (port 0 picks a free one), or the null object.
Ref<TSocket> ListenOn(int32_t ip, int32_t port, int32_t backlog = 8);

// A listener whose accept queue is full, so further connection attempts
// are neither accepted nor refused; it lets go of everything when destroyed.
class FullListener {
public:
    explicit FullListener(int32_t ip);
    ~FullListener();
    bool Ok() const { return !_listener.IsNull(); }
    int32_t Port() const { return _listener->LocalPort(); }
    platform::SocketHandle Handle() const { return _listener->SocketHandle(); }

private:
    Ref<TSocket> _listener;
    std::vector<Ref<TSocket>> _fillers;
};

// Raw helpers for the server side, which must not touch counted objects
// from another thread.
std::string RecvUntil(platform::SocketHandle s, const std::string& end, size_t limit = 1 << 20);
bool SendAll(platform::SocketHandle s, const std::string& data);

// Accepts connections on a listening address and hands each, on the server
// thread, to the script. The script gets the connected handle and the
// request head that was read (up to the first empty line, CR LF or LF LF);
// the connection is closed when the script returns.
class FakeServer {
public:
    using Script = std::function<void(platform::SocketHandle client, const std::string& head)>;

    // Reads the request head before calling the script unless readHead is false.
    FakeServer(int32_t ip, int32_t port, Script script, bool readHead = true);
    ~FakeServer();
    bool Ok() const { return _listen != platform::kNoSocket; }
    int32_t Port() const { return _port; }
    // The last request head the server read.
    std::string LastHead();
    int Connections() const { return _connections.load(); }

private:
    void Run();

    platform::SocketHandle _listen = platform::kNoSocket;
    int32_t _port = 0;
    Script _script;
    bool _readHead;
    std::atomic<bool> _stop{false};
    std::atomic<int> _connections{0};
    std::mutex _headLock;  // the head is written on the server thread
    std::string _lastHead;
    std::atomic<bool> _headReady{false};
    std::thread _thread;
};

}  // namespace nettest

namespace nettest {
// Resident memory of this process in KiB, -1 when it cannot be read (the
// procfs file is reachable natively and under Wine).
int64_t ResidentKb();
}  // namespace nettest
