#include "NetTestSupport.h"

#include <chrono>
#include <cstdlib>

#if defined(_WIN32)
#include "platform/win32/Win32.h"
#endif

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

FullListener::FullListener(int32_t ip, int32_t port) : _listener(ListenOn(ip, port, 0)) {
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
    : FakeServer(platform::NetAddress::V4(static_cast<uint32_t>(ip)), port, std::move(script), readHead) {}

FakeServer::FakeServer(const platform::NetAddress& address, int32_t port, Script script, bool readHead)
    : _script(std::move(script)), _readHead(readHead) {
    platform::SocketHandle h = platform::OpenStreamSocket(address.v6);
    if (h == platform::kNoSocket) return;
    platform::SetSocketReuseAddress(h);
    if (!platform::BindSocket(h, address, port) || !platform::ListenSocket(h, 16)) {
        platform::CloseSocket(h);
        return;
    }
    platform::NetAddress bound;
    platform::SocketName(h, false, bound, _port);
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

namespace {

// Copies what either side sends to the other until one of them closes.
void Relay(platform::SocketHandle a, platform::SocketHandle b) {
    char buf[16384];
    for (;;) {
        std::vector<platform::SocketHandle> read{a, b}, none1, none2;
        if (platform::SelectSockets(read, none1, none2, 10000) <= 0) return;
        for (int i = 0; i < 2; ++i) {
            if (read[i] == 0) continue;
            int32_t n = platform::RecvSocket(read[i], buf, sizeof buf, 0);
            if (n <= 0 || !SendAll(i == 0 ? b : a, std::string(buf, static_cast<size_t>(n)))) return;
        }
    }
}

}  // namespace

FakeProxy::FakeProxy(int32_t ip, std::map<std::string, int32_t> names, std::string refusal)
    : _names(std::move(names)), _refusal(std::move(refusal)), _ip(ip),
      _server(ip, 0, [this](platform::SocketHandle c, const std::string& head) { Serve(c, head); }) {}

std::string FakeProxy::Address() const {
    uint32_t u = static_cast<uint32_t>(_ip);
    return std::to_string(u >> 24) + "." + std::to_string((u >> 16) & 255) + "." + std::to_string((u >> 8) & 255) + "." +
           std::to_string(u & 255) + ":" + std::to_string(Port());
}

void FakeProxy::Serve(platform::SocketHandle client, const std::string& head) {
    if (!_refusal.empty()) {
        SendAll(client, _refusal);
        return;
    }
    // "CONNECT name:port ..." or "GET http://name:port/path ...".
    bool tunnel = head.compare(0, 8, "CONNECT ") == 0;
    size_t start = tunnel ? 8 : head.find("://") + 3;
    size_t colon = head.find(':', start), end = head.find_first_of(tunnel ? " " : "/ ", colon);
    auto known = _names.find(head.substr(start, colon - start));
    platform::SocketHandle up = platform::OpenSocket(true);
    int32_t port = std::atoi(head.c_str() + colon + 1);
    if (known == _names.end() || !platform::ConnectSocket(up, static_cast<uint32_t>(known->second), port, 2000)) {
        SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    } else if (tunnel) {
        if (SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n")) Relay(client, up);
    } else if (SendAll(up, head.substr(0, 4) + head.substr(end))) {
        Relay(up, client);
    }
    platform::CloseSocket(up);
}

UseProxy::UseProxy(const std::string& proxy, const std::string& bypass) {
#if defined(_WIN32)
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr, 0,
                    KEY_SET_VALUE, nullptr, &key, nullptr);
    DWORD on = 1;
    std::wstring server(proxy.begin(), proxy.end()), except(bypass.begin(), bypass.end());
    RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
    RegSetValueExW(key, L"ProxyOverride", 0, REG_SZ, reinterpret_cast<const BYTE*>(except.c_str()),
                   static_cast<DWORD>((except.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
#else
    std::string setting = proxy.find("://") == std::string::npos ? "http://" + proxy : proxy;
    setenv("http_proxy", setting.c_str(), 1);
    setenv("https_proxy", setting.c_str(), 1);
    setenv("no_proxy", bypass.c_str(), 1);
#endif
}

UseProxy::~UseProxy() {
#if defined(_WIN32)
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
#else
    for (const char* name : {"http_proxy", "https_proxy", "no_proxy"}) unsetenv(name);
#endif
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
