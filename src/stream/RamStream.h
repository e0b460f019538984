// Streams over fixed memory ranges (embedded "incbin" data) and the
// byte-order swapping wrapper ("bigendian").
#pragma once

#include <cstdint>

#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class TRamStream : public TStream {
public:
    int32_t Pos() override { return _pos; }
    int32_t Size() override { return _size; }
    // Clamped to 0 .. size.
    int32_t Seek(int32_t pos) override;
    // 0 when not readable / writeable; writes are cut short at the fixed end.
    int32_t Read(void* buf, int32_t count) override;
    int32_t Write(const void* buf, int32_t count) override;

    // The range is not owned; it must outlive the stream.
    static Ref<TRamStream> Create(uint8_t* buf, int32_t size, int32_t readable, int32_t writeable);

private:
    int32_t _pos = 0;
    int32_t _size = 0;
    uint8_t* _buf = nullptr;
    int32_t _read = 0;
    int32_t _write = 0;
};

// "incbin::name" for reading embedded data; never writeable.
class TRamStreamFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

// The embedded data registry: 1 when added, 0 when the name is already there.
// The data must live for the whole run. Names compare case-sensitively.
int32_t RegisterIncbin(const String& name, const uint8_t* data, int32_t length);
// false when no such name is registered.
bool FindIncbin(const String& name, const uint8_t*& data, int32_t& length);

// Typed values in big-endian order over the wrapped stream; bytes, lines and
// strings pass through unchanged.
class TXEndianStream : public TStreamWrapper {
public:
    int32_t ReadShort() override;
    int32_t WriteShort(int32_t n) override;
    int32_t ReadInt() override;
    int32_t WriteInt(int32_t n) override;
    int64_t ReadLong() override;
    int32_t WriteLong(int64_t n) override;
    float ReadFloat() override;
    int32_t WriteFloat(float n) override;
    double ReadDouble() override;
    int32_t WriteDouble(double n) override;

    virtual void Swap2(void* p);
    virtual void Swap4(void* p);
    virtual void Swap8(void* p);

    // The null object for the null object.
    static Ref<TXEndianStream> Create(const Ref<TStream>& stream);
    static Ref<TStream> BigEndian(const Ref<TStream>& stream);
    // The stream itself: the native order is already little-endian.
    static Ref<TStream> LittleEndian(const Ref<TStream>& stream);
};

// "bigendian::..." and "littleendian::...".
class TXEndianStreamFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

Ref<TStream> WrapBigEndian(const Ref<TStream>& stream);
Ref<TStream> WrapLittleEndian(const Ref<TStream>& stream);

// Module initialiser of the RAM and endian streams (creates their factories,
// RAM first).
void InitRamStream();
