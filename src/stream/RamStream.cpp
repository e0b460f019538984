#include "stream/RamStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/Program.h"
#include "stream/Bank.h"
#include "stream/Endian.h"

// ---- TRamStream ----

int32_t TRamStream::Seek(int32_t pos) {
    _pos = pos < 0 ? 0 : pos > _size ? _size : pos;
    return _pos;
}

int32_t TRamStream::Read(void* buf, int32_t count) {
    if (count <= 0 || !_read) return 0;
    if (count > _size - _pos) count = _size - _pos;
    if (count <= 0) return 0;
    std::memcpy(buf, _buf + _pos, static_cast<size_t>(count));
    _pos += count;
    return count;
}

int32_t TRamStream::Write(const void* buf, int32_t count) {
    if (count <= 0 || !_write) return 0;
    if (count > _size - _pos) count = _size - _pos;
    if (count <= 0) return 0;
    std::memcpy(_buf + _pos, buf, static_cast<size_t>(count));
    _pos += count;
    return count;
}

Ref<TRamStream> TRamStream::Create(uint8_t* buf, int32_t size, int32_t readable, int32_t writeable) {
    Ref<TRamStream> s = New<TRamStream>();
    s->_buf = buf;
    s->_size = size < 0 ? 0 : size;
    s->_read = readable ? 1 : 0;
    s->_write = writeable ? 1 : 0;
    return s;
}

// ---- embedded data registry ----

namespace {

struct IncbinEntry {
    String name;
    const uint8_t* data;
    int32_t length;
};

std::vector<IncbinEntry>& Incbins() {
    static std::vector<IncbinEntry> entries;  // newest last; searched from the back
    return entries;
}

}  // namespace

int32_t RegisterIncbin(const String& name, const uint8_t* data, int32_t length) {
    const uint8_t* d;
    int32_t n;
    if (FindIncbin(name, d, n)) return 0;
    Incbins().push_back({name, data, length < 0 ? 0 : length});
    return 1;
}

bool FindIncbin(const String& name, const uint8_t*& data, int32_t& length) {
    auto& entries = Incbins();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->name.View() == name.View()) {
            data = it->data;
            length = it->length;
            return true;
        }
    }
    return false;
}

Ref<TStream> TRamStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path,
                                             int32_t readable, int32_t writeable) {
    if (proto != "incbin" || writeable) return Ref<TStream>();
    const uint8_t* data;
    int32_t length;
    if (!FindIncbin(path, data, length)) return Ref<TStream>();
    // Never writeable, so the const data is never written through this pointer.
    return TRamStream::Create(const_cast<uint8_t*>(data), length, readable, 0);
}

// ---- TXEndianStream ----

void TXEndianStream::Swap2(void* p) {
    auto* b = static_cast<uint8_t*>(p);
    std::reverse(b, b + 2);
}

void TXEndianStream::Swap4(void* p) {
    auto* b = static_cast<uint8_t*>(p);
    std::reverse(b, b + 4);
}

void TXEndianStream::Swap8(void* p) {
    auto* b = static_cast<uint8_t*>(p);
    std::reverse(b, b + 8);
}

namespace {

// A value's big-endian image is its little-endian one reversed, by the
// stream's own swap operations.
struct Reversed {
    TXEndianStream& stream;
    void operator()(uint8_t* b, size_t size) const {
        if (size == 2) stream.Swap2(b);
        else if (size == 4) stream.Swap4(b);
        else stream.Swap8(b);
    }
};

}  // namespace

int32_t TXEndianStream::ReadShort() { return endian::ReadValue<uint16_t>(*this, Reversed{*this}); }
int32_t TXEndianStream::ReadInt() { return endian::ReadValue<int32_t>(*this, Reversed{*this}); }
int64_t TXEndianStream::ReadLong() { return endian::ReadValue<int64_t>(*this, Reversed{*this}); }
float TXEndianStream::ReadFloat() { return endian::ReadValue<float>(*this, Reversed{*this}); }
double TXEndianStream::ReadDouble() { return endian::ReadValue<double>(*this, Reversed{*this}); }

int32_t TXEndianStream::WriteShort(int32_t n) {
    return endian::WriteValue(*this, static_cast<uint16_t>(n), Reversed{*this});
}
int32_t TXEndianStream::WriteInt(int32_t n) { return endian::WriteValue(*this, n, Reversed{*this}); }
int32_t TXEndianStream::WriteLong(int64_t n) { return endian::WriteValue(*this, n, Reversed{*this}); }
int32_t TXEndianStream::WriteFloat(float n) { return endian::WriteValue(*this, n, Reversed{*this}); }
int32_t TXEndianStream::WriteDouble(double n) { return endian::WriteValue(*this, n, Reversed{*this}); }

Ref<TXEndianStream> TXEndianStream::Create(const Ref<TStream>& stream) {
    if (!stream) return Ref<TXEndianStream>();
    Ref<TXEndianStream> s = New<TXEndianStream>();
    s->SetStream(stream);
    return s;
}

Ref<TStream> TXEndianStream::BigEndian(const Ref<TStream>& stream) { return Create(stream); }
Ref<TStream> TXEndianStream::LittleEndian(const Ref<TStream>& stream) { return stream; }

Ref<TStream> WrapBigEndian(const Ref<TStream>& stream) { return TXEndianStream::BigEndian(stream); }
Ref<TStream> WrapLittleEndian(const Ref<TStream>& stream) { return TXEndianStream::LittleEndian(stream); }

Ref<TStream> TXEndianStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path,
                                                 int32_t readable, int32_t writeable) {
    if (proto == "bigendian") return TXEndianStream::BigEndian(OpenUrlStream(path, readable, writeable));
    if (proto == "littleendian") return TXEndianStream::LittleEndian(OpenUrlStream(path, readable, writeable));
    return Ref<TStream>();
}

void InitRamStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    InitBank();
    New<TRamStreamFactory>();
    New<TXEndianStreamFactory>();
    RecordModuleInit("RAM and endian streams");
}
