#include "net/SocketStream.h"

#include <cstring>
#include <limits>
#include <string>

#include "runtime/Errors.h"
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
    if (_head < _tail) return 0;
    if (!_ended) {
        // The buffer is dry. A reply's last bytes and the peer's close arrive
        // a moment apart; reading ahead takes the bytes at once, so give the
        // close that moment to arrive before calling the connection idle.
        // Otherwise a page would now and then count one more (empty) line.
        int32_t ready = _socket->WaitReadable(kSettleMillis);
        if (ready == 0) return 0;
        // Readable: data (which Refill takes without waiting) or the close.
        if (ready == 1 && Refill()) return 0;
    }
    // The peer is gone: the socket is closed as the liveness test closes it
    // (honouring the socket's own auto-close), then the stream closes.
    if (_peerGone) _socket->Close();
    Close();
    return 1;
}

int32_t TSocketStream::Close() {
    if (_socket.IsNull()) return 0;
    if (_autoClose) _socket->Close();
    _socket = nullptr;
    _buffer.reset();
    _head = _tail = 0;
    return 0;
}

bool TSocketStream::Refill() {
    _head = _tail = 0;
    if (_ended || _socket.IsNull()) return false;
    if (_socket->WaitReadable(g_receiveTimeout) != 1) {
        _ended = true;
        return false;
    }
    if (!_buffer) _buffer = std::make_unique<uint8_t[]>(kBufferSize);
    int32_t n = _socket->Recv(_buffer.get(), kBufferSize, 0);
    if (n <= 0) {
        _ended = _peerGone = true;
        return false;
    }
    _tail = n;
    return true;
}

int32_t TSocketStream::Read(void* buf, int32_t count) {
    if (count <= 0 || _socket.IsNull()) return 0;
    if (_head == _tail) {
        // Big requests go straight to the caller's memory.
        if (count >= kBufferSize) {
            if (_ended) return 0;
            if (_socket->WaitReadable(g_receiveTimeout) != 1) {
                _ended = true;
                return 0;
            }
            int32_t n = _socket->Recv(buf, count, 0);
            if (n <= 0) _ended = _peerGone = true;
            return n < 0 ? 0 : n;
        }
        if (!Refill()) return 0;
    }
    int32_t n = std::min(count, _tail - _head);
    std::memcpy(buf, _buffer.get() + _head, static_cast<size_t>(n));
    _head += n;
    return n;
}

int32_t TSocketStream::Write(const void* buf, int32_t count) {
    if (count <= 0 || _socket.IsNull()) return 0;
    return _socket->Send(buf, count, 0);
}

String TSocketStream::ReadLine() {
    std::string line;
    for (;;) {
        if (_head == _tail && !Refill()) break;
        const uint8_t* p = _buffer.get() + _head;
        const uint8_t* end = _buffer.get() + _tail;
        const uint8_t* stop = p;
        while (stop < end && *stop != 0x0A && *stop != 0x00) ++stop;
        size_t room = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - line.size();
        if (static_cast<size_t>(stop - p) > room) RaiseRuntimeError("Line too long for a string");
        for (const uint8_t* q = p; q < stop; ++q)
            if (*q != 0x0D) line.push_back(static_cast<char>(*q));
        if (stop < end) {
            _head = static_cast<int32_t>(stop + 1 - _buffer.get());
            break;
        }
        _head = _tail;
    }
    return String::FromBytes8(line.data(), static_cast<int32_t>(line.size()));
}

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
