// Loopback helpers shared by the network tests: listeners on chosen
// 127.x.y.z addresses and a scriptable fake server that runs on its own
// thread, so the code under test can block on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
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
    explicit FullListener(int32_t ip, int32_t port = 0);
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
    FakeServer(const platform::NetAddress& address, int32_t port, Script script, bool readHead = true);
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

// A forward proxy on loopback for the names in `names` (which the client
// cannot resolve itself), each standing for a loopback address: "GET
// http://name:port/path" is passed on as "GET /path" and the answer
// relayed; "CONNECT name:port" is answered 200 and the bytes relayed both
// ways. With `refusal` set, every request gets that answer instead.
class FakeProxy {
public:
    FakeProxy(int32_t ip, std::map<std::string, int32_t> names, std::string refusal = "");
    bool Ok() const { return _server.Ok(); }
    int32_t Port() const { return _server.Port(); }
    std::string Address() const;  // "127.0.x.y:port"
    std::string LastHead() { return _server.LastHead(); }
    int Connections() const { return _server.Connections(); }

private:
    void Serve(platform::SocketHandle client, const std::string& head);

    std::map<std::string, int32_t> _names;
    std::string _refusal;
    int32_t _ip;
    FakeServer _server;
};

// Makes `proxy` ("host:port", or a whole setting natively) the user's proxy
// for http and https while it lives, with `bypass` as its exceptions:
// natively in the environment, on Windows in the user's Internet settings
// of the test's own prefix. Tests that use it, and tests that look names up
// (which a proxy set by another test process would take over), share the
// ctest lock "user-proxy".
class UseProxy {
public:
    UseProxy(const std::string& proxy, const std::string& bypass = "");
    ~UseProxy();
};

}  // namespace nettest

namespace nettest {
// Resident memory of this process in KiB, -1 when it cannot be read (the
// procfs file is reachable natively and under Wine).
int64_t ResidentKb();
}  // namespace nettest
