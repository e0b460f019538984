// The byte stream interface every source and sink of bytes implements: raw
// primitives (Read/Write) that may transfer less than asked, exact-length
// block transfers that raise stream exceptions, little-endian typed values and
// 8-bit text lines, plus the forwarding base for streams that wrap another.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/Object.h"
#include "runtime/String.h"

// Stream exceptions derive from the root object, not from TVostleException,
// so a handler for runtime errors does not swallow them.
class TStreamException : public Object {};

class TStreamReadException : public TStreamException {
public:
    String ToString() const override;
};

class TStreamWriteException : public TStreamException {
public:
    String ToString() const override;
};

// Root of all streams. Positions and counts are 32-bit.
class TIO : public Object {
public:
    // 1 when Pos() equals Size().
    virtual int32_t Eof();
    // -1: not seekable, position unknown.
    virtual int32_t Pos();
    virtual int32_t Size();
    // -1 unless overridden; otherwise the new position.
    virtual int32_t Seek(int32_t pos);
    virtual int32_t Flush();
    virtual int32_t Close();
    // At most `count` bytes; the number transferred, 0 when nothing could be.
    // The defaults raise "Stream is not readable" / "Stream is not writeable".
    virtual int32_t Read(void* buf, int32_t count);
    virtual int32_t Write(const void* buf, int32_t count);
};

class TStream : public TIO {
public:
    // Exactly `count` bytes or TStreamReadException / TStreamWriteException.
    virtual int32_t ReadBytes(void* buf, int32_t count);
    virtual int32_t WriteBytes(const void* buf, int32_t count);
    virtual int32_t SkipBytes(int32_t count);
    virtual int32_t ReadByte();
    virtual int32_t WriteByte(int32_t n);
    virtual int32_t ReadShort();
    virtual int32_t WriteShort(int32_t n);
    virtual int32_t ReadInt();
    virtual int32_t WriteInt(int32_t n);
    virtual int64_t ReadLong();
    virtual int32_t WriteLong(int64_t n);
    virtual float ReadFloat();
    virtual int32_t WriteFloat(float n);
    virtual double ReadDouble();
    virtual int32_t WriteDouble(double n);
    // One 8-bit line: LF or 0x00 ends it, CR is dropped anywhere. Never
    // raises at end of data.
    virtual String ReadLine();
    // Reads past one line as ReadLine would, keeping nothing, so a line of
    // any length costs no memory. 1 when a byte was left to read, else 0.
    virtual int32_t SkipLine();
    // The 8-bit text and CR LF; 1 on success, 0 on a short write. Never raises.
    virtual int32_t WriteLine(const String& str);
    virtual String ReadString(int32_t length);
    virtual int32_t WriteString(const String& str);
    // Raise the plain texts "Unable to read object" / "Unable to write object".
    virtual Ref<Object> ReadObject();
    virtual int32_t WriteObject(const Ref<Object>& obj);
};

// Forwards everything except the block loops and the long values, which run
// the inherited versions through this wrapper's own Read and Write.
// Releasing the wrapper drops its reference; it never closes the inner stream.
class TStreamWrapper : public TStream {
public:
    int32_t Eof() override;
    int32_t Pos() override;
    int32_t Size() override;
    int32_t Seek(int32_t pos) override;
    int32_t Flush() override;
    int32_t Close() override;
    int32_t Read(void* buf, int32_t count) override;
    int32_t Write(const void* buf, int32_t count) override;
    int32_t ReadByte() override;
    int32_t WriteByte(int32_t n) override;
    int32_t ReadShort() override;
    int32_t WriteShort(int32_t n) override;
    int32_t ReadInt() override;
    int32_t WriteInt(int32_t n) override;
    float ReadFloat() override;
    int32_t WriteFloat(float n) override;
    double ReadDouble() override;
    int32_t WriteDouble(double n) override;
    String ReadLine() override;
    int32_t SkipLine() override;
    int32_t WriteLine(const String& str) override;
    String ReadString(int32_t length) override;
    int32_t WriteString(const String& str) override;
    Ref<Object> ReadObject() override;
    int32_t WriteObject(const Ref<Object>& obj) override;

    virtual int32_t SetStream(const Ref<TStream>& stream);
    const Ref<TStream>& WrappedStream() const { return _stream; }

protected:
    Ref<TStream> _stream;
};

// A wrapper whose Close detaches the inner stream instead of closing it; handed
// out when a stream is opened from an already open stream.
class TStreamStream : public TStreamWrapper {
public:
    int32_t Close() override;
    static Ref<TStreamStream> Create(const Ref<TStream>& stream);
};

// Module-level wrappers: the stream must not be the null object.
int32_t Eof(const Ref<TStream>& stream);
int32_t PosOfStream(const Ref<TStream>& stream);
int32_t SizeOfStream(const Ref<TStream>& stream);
int32_t SeekInStream(const Ref<TStream>& stream, int32_t pos);
int32_t FlushAnyStream(const Ref<TStream>& stream);
int32_t CloseAnyStream(const Ref<TStream>& stream);
int32_t ReadByte(const Ref<TStream>& stream);
int32_t ReadShort(const Ref<TStream>& stream);
int32_t ReadInt(const Ref<TStream>& stream);
int64_t ReadLong(const Ref<TStream>& stream);
float ReadFloat(const Ref<TStream>& stream);
double ReadDouble(const Ref<TStream>& stream);
int32_t WriteByte(const Ref<TStream>& stream, int32_t n);
int32_t WriteShort(const Ref<TStream>& stream, int32_t n);
int32_t WriteInt(const Ref<TStream>& stream, int32_t n);
int32_t WriteLong(const Ref<TStream>& stream, int64_t n);
int32_t WriteFloat(const Ref<TStream>& stream, float n);
int32_t WriteDouble(const Ref<TStream>& stream, double n);
String ReadString(const Ref<TStream>& stream, int32_t length);
int32_t WriteString(const Ref<TStream>& stream, const String& str);
String ReadLine(const Ref<TStream>& stream);
int32_t WriteLine(const Ref<TStream>& stream, const String& str);
// Copies until the source reports Eof. A source whose Read delivers nothing
// while its Eof still says 0 has been cut short: TStreamReadException, after
// what did arrive has been written.
int32_t PumpStream(const Ref<TStream>& fromStream, const Ref<TStream>& toStream, int32_t bufSize = 4096);
// Copies exactly `count` bytes; an early end raises TStreamReadException.
int32_t PumpBytes(const Ref<TStream>& fromStream, const Ref<TStream>& toStream, int32_t count,
                  int32_t bufSize = 4096);

// One Read of a loop that runs until Eof: at most `count` (> 0) bytes, 0 when
// the source has ended. Nothing delivered while Eof still says 0 means the
// source was cut short (a file truncated under it, standard input at its end,
// a stream that never reports its end): TStreamReadException, so that a loop
// neither spins for ever nor passes a short copy off as whole.
int32_t ReadUntilEof(TStream& stream, void* buf, int32_t count);
// Reads until Eof, appending to `bytes` (which may hold the source's first
// bytes already); a source cut short raises as in ReadUntilEof. Resources
// beyond the 32-bit byte count are refused.
void ReadToEnd(TStream& stream, std::vector<uint8_t>& bytes);

// Module initialiser of the stream interface (also sets up the factory chain).
void InitStream();
