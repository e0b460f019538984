// A connected TSocket as a TStream, the one-call client connection, and the
// "tcp::host[:port]" factory.
//
// Socket streams read ahead: one receive fetches whatever has arrived (up to
// the buffer's size), and Read, ReadLine and the block reads are served from
// it. Nothing else is observable: the same bytes and lines come out, Eof is
// never 1 while buffered bytes remain, and writes go to the socket at once.
//
// Neither connecting nor reading waits for ever: a client connection that
// is not made within 20 s fails, and a receive that sees no data for 30 s
// reads as the end of the connection (so Eof turns 1 and the stream
// closes). Everything runs on the main thread, and a silent server must not
// freeze the program.
#pragma once

#include <cstdint>
#include <memory>

#include "net/Socket.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class TSocketStream : public TStream {
public:
    // 1 once the stream is closed, or once the peer has closed (or the
    // receive time-out expired) and every byte has been read; in that case
    // the stream closes itself. With bytes buffered it answers at once;
    // otherwise it waits at most kSettleMillis, or, for a stream that ends
    // with the peer's close, until more bytes or the close arrive.
    int32_t Eof() override;
    // Closes the socket too when the stream was made with auto-close.
    int32_t Close() override;
    // At least one byte unless the connection has ended; 0 at the end, on
    // error, on time-out and after Close.
    int32_t Read(void* buf, int32_t count) override;
    // One send of the operating system; 0 on error and after Close.
    int32_t Write(const void* buf, int32_t count) override;
    // Same result as the byte-wise line reading, scanned in the buffer.
    String ReadLine() override;

    // The connection; the null object after Close.
    virtual Ref<TSocket> Socket();

    static Ref<TSocketStream> Create(const Ref<TSocket>& socket, int32_t autoClose);
    // Connects to the first address of `host`; the stream owns the socket.
    // The null object when the name does not resolve or the connection
    // cannot be made (refused, or not made in time).
    static Ref<TSocketStream> CreateClient(const String& host, int32_t port);

    // For a reply that the peer ends by closing (an HTTP/1.0 body): Eof then
    // waits for more bytes or the close, within the receive time-out, so a
    // slow close can never count as one more, empty line.
    void EndsWithPeerClose() { _endsWithClose = true; }

    // Bytes received but not yet read.
    int32_t Buffered() const { return _tail - _head; }
    // Read-ahead buffer size: fixed, whatever the peer sends.
    static constexpr int32_t kBufferSize = 256 * 1024;
    // How long Eof waits, with an empty buffer, for the peer's close to
    // follow its last bytes.
    static constexpr int32_t kSettleMillis = 20;

private:
    // One receive into the buffer; false at the end of the connection.
    bool Refill();

    Ref<TSocket> _socket;
    int32_t _autoClose = 0;
    std::unique_ptr<uint8_t[]> _buffer;
    int32_t _head = 0;
    int32_t _tail = 0;
    // One receive of at most `count` bytes within the receive time-out; 0
    // (and the connection ended for reading) at the end, on error or time-out.
    int32_t Receive(void* buf, int32_t count);

    // The connection has ended for reading: peer closed, error or time-out.
    bool _ended = false;
    // The receive time-out has been given to the socket.
    bool _timeoutSet = false;
    bool _endsWithClose = false;
};

class TSocketStreamFactory : public TStreamFactory {
public:
    // "tcp::host" connects to port 80, "tcp::host:port" to that port.
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

Ref<TSocketStream> WrapSocketStream(const Ref<TSocket>& socket, int32_t autoClose);
Ref<TSocket> StreamSocketOf(const Ref<TSocketStream>& stream);

// For tests only: shorter connect and receive time-outs (milliseconds;
// negative means no limit). Not a user option.
void SetSocketStreamTimeouts(int32_t connectMillis, int32_t receiveMillis);
void ResetSocketStreamTimeouts();

void InitSocketStream();
