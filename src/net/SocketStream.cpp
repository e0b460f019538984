#include "net/SocketStream.h"

#include <string>

#include "platform/Socket.h"
#include "runtime/Program.h"

namespace {

constexpr int32_t kConnectTimeout = 20000;
constexpr int32_t kReceiveTimeout = 30000;
int32_t g_connectTimeout = kConnectTimeout;
int32_t g_receiveTimeout = kReceiveTimeout;

}  // namespace

void SetSocketStreamTimeouts(int32_t connectMillis, int32_t receiveMillis) {
    g_connectTimeout = connectMillis;
    g_receiveTimeout = receiveMillis;
}

void ResetSocketStreamTimeouts() { SetSocketStreamTimeouts(kConnectTimeout, kReceiveTimeout); }

int32_t TSocketStream::Eof() {
    if (_socket.IsNull()) return 1;
    if (_in.Buffered() > 0) return 0;
    // Nothing buffered: the connection is idle unless something (bytes or
    // the close) has arrived, which one receive then takes without waiting.
    if (!_in.SourceEnded() && _socket->WaitReadable(0) == 0) return 0;
    if (_in.More(*this)) return 0;
    // The connection is over: the socket is closed as the liveness test
    // closes it (honouring the socket's own auto-close), then the stream.
    _socket->Close();
    Close();
    return 1;
}

int32_t TSocketStream::Close() {
    if (_socket.IsNull()) return 0;
    if (_autoClose) {
        _socket->Close();
    } else {
        if (_timeoutSet) platform::SetSocketReceiveTimeout(_socket->SocketHandle(), 0);  // hand it back as it came
        _socket->Unread(_in.TakeBuffered());
    }
    _socket = nullptr;
    _in.Release();
    return 0;
}

int32_t TSocketStream::Fill(uint8_t* buf, int32_t count) {
    if (_socket.IsNull()) return 0;
    // The operating system enforces the receive time-out, so a receive costs
    // one call (under Wine each call is expensive).
    if (!_timeoutSet) {
        platform::SetSocketReceiveTimeout(_socket->SocketHandle(), g_receiveTimeout);
        _timeoutSet = true;
    }
    return _socket->Recv(buf, count, 0);
}

int32_t TSocketStream::Read(void* buf, int32_t count) {
    if (count <= 0 || _socket.IsNull()) return 0;
    return _in.Read(*this, buf, count);
}

int32_t TSocketStream::Write(const void* buf, int32_t count) {
    if (count <= 0 || _socket.IsNull()) return 0;
    return _socket->Send(buf, count, 0);
}

String TSocketStream::ReadLine() {
    if (_socket.IsNull()) return String();
    _line.clear();
    _in.ReadStreamLine(*this, _line);
    return String::FromBytes8(_line.data(), static_cast<int32_t>(_line.size()));
}

int32_t TSocketStream::SkipLine() { return !_socket.IsNull() && _in.SkipLine(*this) ? 1 : 0; }

Ref<TSocket> TSocketStream::Socket() { return _socket; }

Ref<TSocketStream> TSocketStream::Create(const Ref<TSocket>& socket, int32_t autoClose) {
    Ref<TSocketStream> s = New<TSocketStream>();
    s->_socket = socket;
    s->_autoClose = autoClose;
    return s;
}

Ref<TSocketStream> TSocketStream::CreateClient(const String& host, int32_t port) {
    int32_t ip = ResolveHostIp(host, 0);
    if (ip == 0) return nullptr;
    Ref<TSocket> socket = TSocket::CreateTCP();
    if (socket.IsNull()) return nullptr;
    if (socket->ConnectWithin(ip, port, g_connectTimeout)) return Create(socket, 1);
    socket->Close();
    return nullptr;
}

Ref<TStream> TSocketStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path,
                                                int32_t, int32_t) {
    if (proto != String("tcp")) return nullptr;
    int32_t colon = path.IndexOf(":");
    if (colon >= 0) return TSocketStream::CreateClient(path.Slice(0, colon), path.Slice(colon + 1, path.Length()).ParseInt());
    return TSocketStream::CreateClient(path, 80);
}

Ref<TSocketStream> WrapSocketStream(const Ref<TSocket>& socket, int32_t autoClose) {
    return TSocketStream::Create(socket, autoClose);
}

Ref<TSocket> StreamSocketOf(const Ref<TSocketStream>& stream) { return stream->Socket(); }

void InitSocketStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    InitSockets();
    New<TSocketStreamFactory>();
    RecordModuleInit("socket streams");
}
