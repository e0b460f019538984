#include "net/Socket.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Socket.h"
#include "runtime/Program.h"
#include "runtime/SystemBindings.h"

String TSocketException::ToString() const { return "Internal socket error"; }

int32_t TSocket::Send(const void* buf, int32_t count, int32_t flags) {
    if (_socket < 0) return 0;
    int32_t n = platform::SendSocket(_socket, buf, count, flags);
    return n < 0 ? 0 : n;
}

int32_t TSocket::Recv(void* buf, int32_t count, int32_t flags) {
    if (_socket < 0) return 0;
    if (!_unread.empty()) return TakeUnread(buf, count);
    int32_t n = platform::RecvSocket(_socket, buf, count, flags);
    return n < 0 ? 0 : n;
}

int32_t TSocket::Close() {
    if (_socket < 0) return 0;
    if (_autoClose) platform::CloseSocket(_socket);
    _unread.clear();
    _socket = -1;
    _localIp = _localPort = _remoteIp = _remotePort = -1;
    return 0;
}

int32_t TSocket::Connected() {
    if (_socket < 0) return 0;
    if (!_unread.empty() || platform::WaitReadable(_socket, 0) != 1) return 1;
    if (ReadAvail() != 0) return 1;
    Close();
    return 0;
}

namespace {
// The wire holds 16 bits; a larger number must not wrap onto another port.
bool ValidPort(int32_t port) { return port >= 0 && port <= 65535; }
}  // namespace

int32_t TSocket::Bind(int32_t port) {
    if (_socket < 0 || !ValidPort(port) || !platform::BindSocket(_socket, 0, port)) return 0;
    UpdateLocalName();
    return 1;
}

int32_t TSocket::Connect(int32_t ip, int32_t port) { return ConnectWithin(ip, port, -1); }

int32_t TSocket::ConnectWithin(int32_t ip, int32_t port, int32_t timeoutMillis) {
    if (_socket < 0 || !ValidPort(port) || !platform::ConnectSocket(_socket, static_cast<uint32_t>(ip), port, timeoutMillis)) return 0;
    UpdateLocalName();
    UpdateRemoteName();
    return 1;
}

int32_t TSocket::Listen(int32_t backlog) {
    return _socket >= 0 && platform::ListenSocket(_socket, backlog) ? 1 : 0;
}

Ref<TSocket> TSocket::Accept(int32_t timeout) {
    if (_socket < 0 || platform::WaitReadable(_socket, timeout) != 1) return nullptr;
    Handle h = platform::AcceptSocket(_socket);
    if (h == platform::kNoSocket) return nullptr;
    return Create(h, 1);
}

int32_t TSocket::ReadAvail() {
    if (_socket < 0) return 0;
    int64_t n = std::max(platform::PendingInput(_socket), 0) + static_cast<int64_t>(_unread.size());
    return static_cast<int32_t>(std::min<int64_t>(n, 0x7FFFFFFF));
}

int32_t TSocket::SetTCPNoDelay(int32_t enable) {
    if (_socket >= 0) platform::SetSocketNoDelay(_socket, enable);
    return 0;
}

int32_t TSocket::WaitReadable(int32_t timeoutMillis) {
    if (_socket < 0) return -1;
    if (!_unread.empty()) return 1;
    return platform::WaitReadable(_socket, timeoutMillis);
}

void TSocket::Unread(std::string bytes) {
    if (_socket >= 0) _unread.insert(0, bytes);
}

int32_t TSocket::TakeUnread(void* buf, int32_t count) {
    int32_t n = static_cast<int32_t>(std::min<size_t>(_unread.size(), count < 0 ? 0 : static_cast<size_t>(count)));
    std::memcpy(buf, _unread.data(), static_cast<size_t>(n));
    _unread.erase(0, static_cast<size_t>(n));
    return n;
}

int32_t TSocket::UpdateLocalName() {
    uint32_t ip = 0;
    int32_t port = 0;
    if (_socket < 0 || !platform::SocketName(_socket, false, ip, port)) ip = 0, port = 0;
    _localIp = static_cast<int32_t>(ip);
    _localPort = port;
    return 0;
}

int32_t TSocket::UpdateRemoteName() {
    uint32_t ip = 0;
    int32_t port = 0;
    if (_socket < 0 || !platform::SocketName(_socket, true, ip, port)) ip = 0, port = 0;
    _remoteIp = static_cast<int32_t>(ip);
    _remotePort = port;
    return 0;
}

Ref<TSocket> TSocket::Create(Handle handle, int32_t autoClose) {
    if (handle < 0) return nullptr;
    Ref<TSocket> s = New<TSocket>();
    s->_socket = handle;
    s->_autoClose = autoClose;
    s->UpdateLocalName();
    s->UpdateRemoteName();
    return s;
}

Ref<TSocket> TSocket::CreateUDP() {
    Handle h = platform::OpenSocket(false);
    return h == platform::kNoSocket ? nullptr : Create(h, 1);
}

Ref<TSocket> TSocket::CreateTCP() {
    Handle h = platform::OpenSocket(true);
    return h == platform::kNoSocket ? nullptr : Create(h, 1);
}

int32_t SelectSockets(std::vector<TSocket::Handle>& read, std::vector<TSocket::Handle>& write,
                      std::vector<TSocket::Handle>& error, int32_t timeout) {
    constexpr size_t kMaxHandles = 64;
    std::vector<platform::SocketHandle> sets[3];
    std::vector<TSocket::Handle>* lists[3] = {&read, &write, &error};
    for (int l = 0; l < 3; ++l) {
        for (TSocket::Handle h : *lists[l]) {
            if (sets[l].size() == kMaxHandles) break;
            if (std::find(sets[l].begin(), sets[l].end(), h) == sets[l].end()) sets[l].push_back(h);
        }
    }
    int32_t ready = platform::SelectSockets(sets[0], sets[1], sets[2], timeout);
    if (ready < 0) return ready;
    for (int l = 0; l < 3; ++l) {
        for (TSocket::Handle& h : *lists[l]) {
            if (std::find(sets[l].begin(), sets[l].end(), h) == sets[l].end() || h == 0) h = 0;
        }
    }
    return ready;
}

Ref<TSocket> OpenTCPSocket() { return TSocket::CreateTCP(); }
Ref<TSocket> OpenUDPSocket() { return TSocket::CreateUDP(); }
void SockClose(const Ref<TSocket>& s) { s->Close(); }
int32_t SockBind(const Ref<TSocket>& s, int32_t port) { return s->Bind(port); }
int32_t SockConnect(const Ref<TSocket>& s, int32_t ip, int32_t port) { return s->Connect(ip, port); }
int32_t SockListen(const Ref<TSocket>& s, int32_t backlog) { return s->Listen(backlog); }
Ref<TSocket> SockAccept(const Ref<TSocket>& s, int32_t timeout) { return s->Accept(timeout); }
int32_t SockConnected(const Ref<TSocket>& s) { return s->Connected(); }
int32_t SockReadAvail(const Ref<TSocket>& s) { return s->ReadAvail(); }
int32_t SockLocalIp(const Ref<TSocket>& s) { return s->LocalIp(); }
int32_t SockLocalPort(const Ref<TSocket>& s) { return s->LocalPort(); }
int32_t SockRemoteIp(const Ref<TSocket>& s) { return s->RemoteIp(); }
int32_t SockRemotePort(const Ref<TSocket>& s) { return s->RemotePort(); }

std::vector<int32_t> ResolveHostIps(const String& host) {
    std::vector<uint32_t> ips;
    if (!platform::LookupHostIPv4(host.ToBytes8(), ips)) return {};
    return std::vector<int32_t>(ips.begin(), ips.end());
}

int32_t ResolveHostIp(const String& host, int32_t index) {
    if (index < 0) return 0;
    std::vector<int32_t> ips = ResolveHostIps(host);
    return static_cast<size_t>(index) < ips.size() ? ips[static_cast<size_t>(index)] : 0;
}

String LookupHostName(int32_t ip) {
    std::string name;
    if (!platform::LookupHostAddress(static_cast<uint32_t>(ip), name)) return String();
    return String::FromBytes8(name.data(), static_cast<int32_t>(name.size()));
}

String FormatDottedIp(int32_t ip) {
    uint32_t u = static_cast<uint32_t>(ip);
    std::string text = std::to_string(u >> 24) + "." + std::to_string((u >> 16) & 255) + "." +
                       std::to_string((u >> 8) & 255) + "." + std::to_string(u & 255);
    return String(text.c_str());
}

void InitSockets() {
    static bool done = false;
    if (done) return;
    done = true;
    InitSystemBindings();
    RecordModuleInit("sockets");
}
