#include "net/SocketStream.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <string>

#include "runtime/Errors.h"
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
    if (_head < _tail) return 0;
    if (!_ended) {
        // The buffer is dry. A reply's last bytes and the peer's close arrive
        // a moment apart; reading ahead takes the bytes at once, so give the
        // close that moment to arrive before calling the connection idle.
        // Otherwise a page would now and then count one more (empty) line.
        int32_t ready = _socket->WaitReadable(_endsWithClose ? g_receiveTimeout : kSettleMillis);
        if (ready == 0 && !_endsWithClose) return 0;
        // Readable: data (which Refill takes without waiting) or the close.
        if (ready == 1 && Refill()) return 0;
    }
    // The connection is over: the socket is closed as the liveness test
    // closes it (honouring the socket's own auto-close), then the stream.
    _socket->Close();
    Close();
    return 1;
}

int32_t TSocketStream::Close() {
    if (_socket.IsNull()) return 0;
    if (_autoClose) _socket->Close();
    else if (_timeoutSet) platform::SetSocketReceiveTimeout(_socket->SocketHandle(), 0);  // hand it back as it came
    _socket = nullptr;
    _buffer.reset();
    _head = _tail = 0;
    return 0;
}

int32_t TSocketStream::Receive(void* buf, int32_t count) {
    if (_ended || _socket.IsNull()) return 0;
    // The operating system enforces the receive time-out, so a receive costs
    // one call (under Wine each call is expensive).
    if (!_timeoutSet) {
        platform::SetSocketReceiveTimeout(_socket->SocketHandle(), g_receiveTimeout);
        _timeoutSet = true;
    }
    int32_t n = _socket->Recv(buf, count, 0);
    if (n <= 0) {
        _ended = true;
        return 0;
    }
    return n;
}

bool TSocketStream::Refill() {
    _head = _tail = 0;
    if (_ended || _socket.IsNull()) return false;
    if (!_buffer) _buffer = std::make_unique<uint8_t[]>(kBufferSize);
    _tail = Receive(_buffer.get(), kBufferSize);
    return _tail > 0;
}

int32_t TSocketStream::Read(void* buf, int32_t count) {
    if (count <= 0 || _socket.IsNull()) return 0;
    if (_head == _tail) {
        // Big requests go straight to the caller's memory.
        if (count >= kBufferSize) return Receive(buf, count);
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

namespace {

// Line reading looks at every byte of a page, so the two loops below work 16
// bytes at a time where the processor allows.

bool Special(uint8_t b) { return b == 0x0A || b == 0x00 || b == 0x0D; }

// The first LF, NUL or CR in [p, end), or end.
const uint8_t* FindSpecial(const uint8_t* p, const uint8_t* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8(0x0A), cr = _mm_set1_epi8(0x0D), nul = _mm_setzero_si128();
    while (end - p >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, nul));
        int mask = _mm_movemask_epi8(hit);
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && !Special(*p)) ++p;
    return p;
}

// Bytes to code units of the same value.
void Widen(const uint8_t* p, size_t n, char16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i) out[i] = p[i];
}

// Bytes of [p, end) without their CR bytes.
void WidenWithoutCR(const uint8_t* p, const uint8_t* end, char16_t* out) {
    while (p < end) {
        auto cr = static_cast<const uint8_t*>(std::memchr(p, 0x0D, static_cast<size_t>(end - p)));
        const uint8_t* run = cr ? cr : end;
        Widen(p, static_cast<size_t>(run - p), out);
        out += run - p;
        p = cr ? cr + 1 : end;
    }
}

// Scans [p, end) for the line's terminator (LF or NUL): returns it, or end,
// and counts the CR bytes before it.
const uint8_t* ScanLine(const uint8_t* p, const uint8_t* end, size_t& crs) {
    for (;;) {
        p = FindSpecial(p, end);
        if (p == end || *p != 0x0D) return p;
        ++crs;
        ++p;
    }
}

}  // namespace

String TSocketStream::ReadLine() {
    // Bytes of a line that runs over the end of the buffer, CR already dropped.
    std::string carry;
    const uint8_t* p = nullptr;
    const uint8_t* stop = nullptr;
    size_t crs = 0;
    for (;;) {
        if (_head == _tail && !Refill()) break;
        p = _buffer.get() + _head;
        const uint8_t* end = _buffer.get() + _tail;
        crs = 0;
        stop = ScanLine(p, end, crs);
        if (stop < end) {
            _head = static_cast<int32_t>(stop + 1 - _buffer.get());
            break;
        }
        _head = _tail;
        size_t room = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - carry.size();
        if (static_cast<size_t>(end - p) - crs > room) RaiseRuntimeError("Line too long for a string");
        for (const uint8_t* q = p; q < end; ++q)
            if (*q != 0x0D) carry.push_back(static_cast<char>(*q));
        p = stop = nullptr;
        crs = 0;
    }
    // The terminated piece [p, stop) still lies in the buffer.
    size_t piece = static_cast<size_t>(stop - p) - crs;
    if (piece > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - carry.size())
        RaiseRuntimeError("Line too long for a string");
    int32_t length = static_cast<int32_t>(carry.size() + piece);
    return String::Build(length, [&](char16_t* out) {
        Widen(reinterpret_cast<const uint8_t*>(carry.data()), carry.size(), out);
        out += carry.size();
        if (crs == 0) Widen(p, piece, out);
        else WidenWithoutCR(p, stop, out);
    });
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
