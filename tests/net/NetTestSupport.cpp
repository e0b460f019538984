#include "NetTestSupport.h"

#include <chrono>

namespace nettest {

Ref<TSocket> ListenOn(int32_t ip, int32_t port, int32_t backlog) {
    platform::SocketHandle h = platform::OpenSocket(true);
    if (h == platform::kNoSocket) return nullptr;
    platform::SetSocketReuseAddress(h);
    if (!platform::BindSocket(h, static_cast<uint32_t>(ip), port) || !platform::ListenSocket(h, backlog)) {
        platform::CloseSocket(h);
        return nullptr;
    }
    return TSocket::Create(h, 1);
}

FullListener::FullListener(int32_t ip) : _listener(ListenOn(ip, 0, 0)) {
    if (!Ok()) return;
    for (int i = 0; i < 4; ++i) {
        Ref<TSocket> f = TSocket::CreateTCP();
        f->ConnectWithin(ip, _listener->LocalPort(), 200);
        _fillers.push_back(f);
    }
}

FullListener::~FullListener() {
    for (Ref<TSocket>& f : _fillers) f->Close();
    if (Ok()) _listener->Close();
}

std::string RecvUntil(platform::SocketHandle s, const std::string& end, size_t limit) {
    std::string got;
    char c;
    while (got.size() < limit) {
        if (platform::RecvSocket(s, &c, 1, 0) != 1) break;
        got += c;
        if (got.size() >= end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0) break;
    }
    return got;
}

bool SendAll(platform::SocketHandle s, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        int32_t n = platform::SendSocket(s, data.data() + done, static_cast<int32_t>(data.size() - done), 0);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

FakeServer::FakeServer(int32_t ip, int32_t port, Script script, bool readHead)
    : _script(std::move(script)), _readHead(readHead) {
    platform::SocketHandle h = platform::OpenSocket(true);
    if (h == platform::kNoSocket) return;
    platform::SetSocketReuseAddress(h);
    if (!platform::BindSocket(h, static_cast<uint32_t>(ip), port) || !platform::ListenSocket(h, 16)) {
        platform::CloseSocket(h);
        return;
    }
    uint32_t boundIp;
    platform::SocketName(h, false, boundIp, _port);
    _listen = h;
    _thread = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
    _stop = true;
    if (_thread.joinable()) _thread.join();
    if (_listen != platform::kNoSocket) platform::CloseSocket(_listen);
}

std::string FakeServer::LastHead() {
    // The head is stored before the script runs; the client has its answer
    // only after that, so a short wait covers a client that raced ahead.
    for (int i = 0; i < 200 && !_headReady; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::lock_guard<std::mutex> lock(_headLock);
    return _lastHead;
}

void FakeServer::Run() {
    while (!_stop) {
        if (platform::WaitReadable(_listen, 50) != 1) continue;
        platform::SocketHandle c = platform::AcceptSocket(_listen);
        if (c == platform::kNoSocket) continue;
        ++_connections;
        std::string head;
        if (_readHead) {
            head = RecvUntil(c, "\r\n\r\n");
            std::lock_guard<std::mutex> lock(_headLock);
            _lastHead = head;
            _headReady = true;
        }
        _script(c, head);
        platform::CloseSocket(c);
    }
}

}  // namespace nettest

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nettest {
int64_t ResidentKb() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    int64_t kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::strtoll(line + 6, nullptr, 10);
    std::fclose(f);
    return kb;
}
}  // namespace nettest
