#include "stream/Stream.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "runtime/List.h"
#include "runtime/Program.h"
#include "runtime/SystemBindings.h"
#include "stream/Endian.h"
#include "stream/ReadAhead.h"

String TStreamReadException::ToString() const { return "Error reading from stream"; }
String TStreamWriteException::ToString() const { return "Error writing to stream"; }

// ---- TIO defaults ----

int32_t TIO::Eof() { return Pos() == Size() ? 1 : 0; }
int32_t TIO::Pos() { return -1; }
int32_t TIO::Size() { return 0; }
int32_t TIO::Seek(int32_t) { return -1; }
int32_t TIO::Flush() { return 0; }
int32_t TIO::Close() { return 0; }
int32_t TIO::Read(void*, int32_t) { throw TRuntimeException("Stream is not readable"); }
int32_t TIO::Write(const void*, int32_t) { throw TRuntimeException("Stream is not writeable"); }

// ---- TStream ----

int32_t TStream::ReadBytes(void* buf, int32_t count) {
    auto* p = static_cast<uint8_t*>(buf);
    int32_t left = count;
    while (left > 0) {
        int32_t n = Read(p, left);
        // A misbehaving Read that claims more than asked must not walk us
        // past the caller's buffer.
        if (n <= 0 || n > left) throw TStreamReadException();
        p += n;
        left -= n;
    }
    return count;
}

int32_t TStream::WriteBytes(const void* buf, int32_t count) {
    auto* p = static_cast<const uint8_t*>(buf);
    int32_t left = count;
    while (left > 0) {
        int32_t n = Write(p, left);
        if (n <= 0 || n > left) throw TStreamWriteException();
        p += n;
        left -= n;
    }
    return count;
}

int32_t TStream::SkipBytes(int32_t count) {
    uint8_t scratch[1024];
    int32_t left = count;
    while (left > 0) {
        int32_t want = left < 1024 ? left : 1024;
        int32_t n = Read(scratch, want);
        if (n <= 0 || n > want) throw TStreamReadException();
        left -= n;
    }
    return count;
}

int32_t TStream::ReadByte() { return endian::ReadValue<uint8_t>(*this); }
int32_t TStream::ReadShort() { return endian::ReadValue<uint16_t>(*this); }
int32_t TStream::ReadInt() { return endian::ReadValue<int32_t>(*this); }
int64_t TStream::ReadLong() { return endian::ReadValue<int64_t>(*this); }
float TStream::ReadFloat() { return endian::ReadValue<float>(*this); }
double TStream::ReadDouble() { return endian::ReadValue<double>(*this); }

int32_t TStream::WriteByte(int32_t n) { return endian::WriteValue(*this, static_cast<uint8_t>(n)); }
int32_t TStream::WriteShort(int32_t n) { return endian::WriteValue(*this, static_cast<uint16_t>(n)); }
int32_t TStream::WriteInt(int32_t n) { return endian::WriteValue(*this, n); }
int32_t TStream::WriteLong(int64_t n) { return endian::WriteValue(*this, n); }
int32_t TStream::WriteFloat(float n) { return endian::WriteValue(*this, n); }
int32_t TStream::WriteDouble(double n) { return endian::WriteValue(*this, n); }

String TStream::ReadLine() {
    std::string line;
    for (;;) {
        uint8_t b = 0;
        if (Read(&b, 1) != 1 || lines::EndsLine(b)) break;
        if (lines::Dropped(b)) continue;
        // Strings hold at most 2^31 - 1 code units; refuse rather than wrap.
        if (line.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            RaiseRuntimeError("Line too long for a string");
        line.push_back(static_cast<char>(b));
    }
    return String::FromBytes8(line.data(), static_cast<int32_t>(line.size()));
}

int32_t TStream::SkipLine() {
    uint8_t b = 0;
    if (Read(&b, 1) != 1) return 0;
    while (!lines::EndsLine(b) && Read(&b, 1) == 1) {
    }
    return 1;
}

int32_t TStream::WriteLine(const String& str) {
    std::string bytes = str.ToBytes8();
    int32_t length = static_cast<int32_t>(bytes.size());
    if (length > 0 && Write(bytes.data(), length) < length) return 0;
    static const uint8_t crlf[2] = {0x0D, 0x0A};
    return Write(crlf, 2) == 2 ? 1 : 0;
}

String TStream::ReadString(int32_t length) {
    if (length <= 0) return String();
    // The length often comes from the data itself; grow with what actually
    // arrives instead of allocating a hostile length up front.
    std::vector<uint8_t> bytes;
    int32_t done = 0;
    while (done < length) {
        int32_t piece = length - done < 65536 ? length - done : 65536;
        bytes.resize(static_cast<size_t>(done) + static_cast<size_t>(piece));
        ReadBytes(bytes.data() + done, piece);
        done += piece;
    }
    return String::FromBytes8(bytes.data(), length);
}

int32_t TStream::WriteString(const String& str) {
    std::string bytes = str.ToBytes8();
    WriteBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
    return 0;
}

Ref<Object> TStream::ReadObject() { RaiseText("Unable to read object"); }
int32_t TStream::WriteObject(const Ref<Object>&) { RaiseText("Unable to write object"); }

// ---- TStreamWrapper ----

int32_t TStreamWrapper::Eof() { return _stream->Eof(); }
int32_t TStreamWrapper::Pos() { return _stream->Pos(); }
int32_t TStreamWrapper::Size() { return _stream->Size(); }
int32_t TStreamWrapper::Seek(int32_t pos) { return _stream->Seek(pos); }
int32_t TStreamWrapper::Flush() { return _stream->Flush(); }
int32_t TStreamWrapper::Close() { return _stream->Close(); }
int32_t TStreamWrapper::Read(void* buf, int32_t count) { return _stream->Read(buf, count); }
int32_t TStreamWrapper::Write(const void* buf, int32_t count) { return _stream->Write(buf, count); }
int32_t TStreamWrapper::ReadByte() { return _stream->ReadByte(); }
int32_t TStreamWrapper::WriteByte(int32_t n) { return _stream->WriteByte(n); }
int32_t TStreamWrapper::ReadShort() { return _stream->ReadShort(); }
int32_t TStreamWrapper::WriteShort(int32_t n) { return _stream->WriteShort(n); }
int32_t TStreamWrapper::ReadInt() { return _stream->ReadInt(); }
int32_t TStreamWrapper::WriteInt(int32_t n) { return _stream->WriteInt(n); }
float TStreamWrapper::ReadFloat() { return _stream->ReadFloat(); }
int32_t TStreamWrapper::WriteFloat(float n) { return _stream->WriteFloat(n); }
double TStreamWrapper::ReadDouble() { return _stream->ReadDouble(); }
int32_t TStreamWrapper::WriteDouble(double n) { return _stream->WriteDouble(n); }
String TStreamWrapper::ReadLine() { return _stream->ReadLine(); }
int32_t TStreamWrapper::SkipLine() { return _stream->SkipLine(); }
int32_t TStreamWrapper::WriteLine(const String& str) { return _stream->WriteLine(str); }
String TStreamWrapper::ReadString(int32_t length) { return _stream->ReadString(length); }
int32_t TStreamWrapper::WriteString(const String& str) { return _stream->WriteString(str); }
Ref<Object> TStreamWrapper::ReadObject() { return _stream->ReadObject(); }
int32_t TStreamWrapper::WriteObject(const Ref<Object>& obj) { return _stream->WriteObject(obj); }

int32_t TStreamWrapper::SetStream(const Ref<TStream>& stream) {
    Ref<TStream> keep = stream;  // take the new reference before the old one goes
    _stream.Swap(keep);
    return 0;
}

// ---- TStreamStream ----

int32_t TStreamStream::Close() {
    SetStream(Ref<TStream>());
    return 0;
}

Ref<TStreamStream> TStreamStream::Create(const Ref<TStream>& stream) {
    Ref<TStreamStream> s = New<TStreamStream>();
    s->SetStream(stream);
    return s;
}

// ---- module-level wrappers ----

int32_t Eof(const Ref<TStream>& stream) { return stream->Eof(); }
int32_t PosOfStream(const Ref<TStream>& stream) { return stream->Pos(); }
int32_t SizeOfStream(const Ref<TStream>& stream) { return stream->Size(); }
int32_t SeekInStream(const Ref<TStream>& stream, int32_t pos) { return stream->Seek(pos); }
int32_t FlushAnyStream(const Ref<TStream>& stream) {
    stream->Flush();
    return 0;
}
int32_t CloseAnyStream(const Ref<TStream>& stream) {
    stream->Close();
    return 0;
}
int32_t ReadByte(const Ref<TStream>& stream) { return stream->ReadByte(); }
int32_t ReadShort(const Ref<TStream>& stream) { return stream->ReadShort(); }
int32_t ReadInt(const Ref<TStream>& stream) { return stream->ReadInt(); }
int64_t ReadLong(const Ref<TStream>& stream) { return stream->ReadLong(); }
float ReadFloat(const Ref<TStream>& stream) { return stream->ReadFloat(); }
double ReadDouble(const Ref<TStream>& stream) { return stream->ReadDouble(); }
int32_t WriteByte(const Ref<TStream>& stream, int32_t n) {
    stream->WriteByte(n);
    return 0;
}
int32_t WriteShort(const Ref<TStream>& stream, int32_t n) {
    stream->WriteShort(n);
    return 0;
}
int32_t WriteInt(const Ref<TStream>& stream, int32_t n) {
    stream->WriteInt(n);
    return 0;
}
int32_t WriteLong(const Ref<TStream>& stream, int64_t n) {
    stream->WriteLong(n);
    return 0;
}
int32_t WriteFloat(const Ref<TStream>& stream, float n) {
    stream->WriteFloat(n);
    return 0;
}
int32_t WriteDouble(const Ref<TStream>& stream, double n) {
    stream->WriteDouble(n);
    return 0;
}
String ReadString(const Ref<TStream>& stream, int32_t length) { return stream->ReadString(length); }
int32_t WriteString(const Ref<TStream>& stream, const String& str) {
    stream->WriteString(str);
    return 0;
}
String ReadLine(const Ref<TStream>& stream) { return stream->ReadLine(); }
int32_t WriteLine(const Ref<TStream>& stream, const String& str) { return stream->WriteLine(str); }

int32_t ReadUntilEof(TStream& stream, void* buf, int32_t count) {
    int32_t n = stream.Read(buf, count);
    // A misbehaving Read that claims more than asked must not walk us past
    // the caller's buffer.
    if (n < 0 || n > count) throw TStreamReadException();
    if (n == 0 && stream.Eof() == 0) throw TStreamReadException();
    return n;
}

void ReadToEnd(TStream& stream, std::vector<uint8_t>& bytes) {
    constexpr size_t kLimit = std::numeric_limits<int32_t>::max();
    size_t count = bytes.size();
    if (bytes.size() < 1024) bytes.resize(1024);
    while (stream.Eof() == 0) {
        if (count == bytes.size()) {
            if (count >= kLimit) RaiseRuntimeError("Stream too large to load into memory");
            bytes.resize(std::min(count + count / 2, kLimit));
        }
        int32_t n = ReadUntilEof(stream, bytes.data() + count, static_cast<int32_t>(bytes.size() - count));
        if (n == 0) break;
        count += static_cast<size_t>(n);
    }
    bytes.resize(count);
}

int32_t PumpStream(const Ref<TStream>& fromStream, const Ref<TStream>& toStream, int32_t bufSize) {
    if (bufSize <= 0) bufSize = 4096;
    std::vector<uint8_t> buf(static_cast<size_t>(bufSize));
    while (fromStream->Eof() == 0) {
        int32_t n = ReadUntilEof(*fromStream, buf.data(), bufSize);
        if (n == 0) break;
        toStream->WriteBytes(buf.data(), n);
    }
    return 0;
}

int32_t PumpBytes(const Ref<TStream>& fromStream, const Ref<TStream>& toStream, int32_t count, int32_t bufSize) {
    if (bufSize <= 0) bufSize = 4096;
    std::vector<uint8_t> buf(static_cast<size_t>(bufSize));
    int32_t left = count;
    while (left > 0) {
        int32_t n = left < bufSize ? left : bufSize;
        fromStream->ReadBytes(buf.data(), n);
        toStream->WriteBytes(buf.data(), n);
        left -= n;
    }
    return 0;
}

void InitStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    InitList();
    InitSystemBindings();
    RecordModuleInit("stream interface");
}
