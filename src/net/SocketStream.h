// A connected TSocket as a TStream, the one-call client connection, and the
// "tcp::host[:port]" factory.
//
// Socket streams read ahead through the shared read-ahead buffer: one
// receive fetches whatever has arrived, and Read, ReadLine and the block
// reads are served from it. Nothing of it can be seen from outside: the
// same bytes and lines come out, Eof is never 1 while buffered bytes
// remain, writes go to the socket at once, and bytes read ahead but not
// taken go back to the socket when a stream without auto-close is closed.
//
// Neither connecting nor reading waits for ever: a client connection that
// is not made within 20 s fails, and a receive that sees no data for 30 s
// reads as the end of the connection (so Eof turns 1 and the stream
// closes).
#pragma once

#include <cstdint>
#include <string>

#include "net/Socket.h"
#include "stream/ReadAhead.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class TSocketStream : public TStream, private ByteSource {
public:
    // 1 once the stream is closed, or once the peer has closed (or the
    // receive time-out expired) and every byte has been read; in that case
    // the stream closes itself. Never waits: an idle connection is not at
    // its end.
    int32_t Eof() override;
    // Closes the socket too when the stream was made with auto-close;
    // otherwise hands the socket back with every byte not yet read.
    int32_t Close() override;
    // At least one byte unless the connection has ended; 0 at the end, on
    // error, on time-out and after Close.
    int32_t Read(void* buf, int32_t count) override;
    // One send of the operating system; 0 on error and after Close.
    int32_t Write(const void* buf, int32_t count) override;
    // A line longer than 4 MiB comes back as its first 4 MiB; the rest of
    // it is read past (ReadAhead::ReadStreamLine).
    String ReadLine() override;
    int32_t SkipLine() override;

    // The connection; the null object after Close.
    virtual Ref<TSocket> Socket();

    static Ref<TSocketStream> Create(const Ref<TSocket>& socket, int32_t autoClose);
    // Connects to the first address of `host`; the stream owns the socket.
    // The null object when the name does not resolve or the connection
    // cannot be made (refused, or not made in time).
    static Ref<TSocketStream> CreateClient(const String& host, int32_t port);

    // Bytes received but not yet read.
    int32_t Buffered() const { return _in.Buffered(); }
    // Read-ahead buffer size: fixed, whatever the peer sends.
    static constexpr int32_t kBufferSize = ReadAhead::kDefaultCapacity;

private:
    // One receive within the receive time-out; 0 at the end, on error or
    // on time-out.
    int32_t Fill(uint8_t* buf, int32_t count) override;

    Ref<TSocket> _socket;
    int32_t _autoClose = 0;
    ReadAhead _in;
    std::string _line;
    // The receive time-out has been given to the socket.
    bool _timeoutSet = false;
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
