#include "stream/TextStream.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "runtime/ScopeExit.h"
#include "stream/Bank.h"
#include "stream/FileSystem.h"

namespace {

constexpr size_t kMaxUnits = static_cast<size_t>(StringObject::kMaxLength);

String FromUnits(const std::u16string& units) {
    return String::FromCodeUnits(units.data(), static_cast<int32_t>(units.size()));
}

void Append(std::u16string& units, int32_t c) {
    // Refused while collecting, before the text outgrows any string.
    if (units.size() >= kMaxUnits) RaiseRuntimeError("Text too long for a string");
    if (units.size() == units.capacity()) units.reserve(units.capacity() + 1024);
    units.push_back(static_cast<char16_t>(c));
}

int64_t ParseLong(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= 9 && text[i] <= 13))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint64_t v = 0;  // unsigned: overlong digit strings wrap instead of overflowing
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    return static_cast<int64_t>(negative ? 0 - v : v);
}

}  // namespace

int32_t TTextStream::ReadByteRaw() { return _stream->ReadByte(); }
int32_t TTextStream::WriteByteRaw(int32_t n) { return _stream->WriteByte(n); }

int32_t TTextStream::ReadChar() {
    int32_t b1 = ReadByteRaw();
    switch (_encoding) {
    case LATIN1:
        return b1;
    case UTF8: {
        if (b1 < 0x80) return b1;
        int32_t b2 = ReadByteRaw();
        if (b1 < 0xE0) return (b1 - 0xC0) * 64 + (b2 - 0x80);
        int32_t b3 = ReadByteRaw();
        if (b1 < 0xF0) return (b1 - 0xE0) * 4096 + (b2 - 0x80) * 64 + (b3 - 0x80);
        return 0;
    }
    case UTF16BE:
        return b1 * 256 + ReadByteRaw();
    case UTF16LE:
        return b1 + ReadByteRaw() * 256;
    default:
        return 0;
    }
}

int32_t TTextStream::WriteChar(int32_t u) {
    switch (_encoding) {
    case LATIN1:
        WriteByteRaw(u);
        break;
    case UTF8:
        if (u < 0x80) {
            WriteByteRaw(u);
        } else if (u < 0x800) {
            WriteByteRaw(0xC0 | (u >> 6));
            WriteByteRaw(0x80 | (u & 63));
        } else {
            WriteByteRaw(0xE0 | (u >> 12));
            WriteByteRaw(0x80 | ((u >> 6) & 63));
            WriteByteRaw(0x80 | (u & 63));
        }
        break;
    case UTF16BE:
        WriteByteRaw(u >> 8);
        WriteByteRaw(u);
        break;
    case UTF16LE:
        WriteByteRaw(u);
        WriteByteRaw(u >> 8);
        break;
    default:
        break;
    }
    return 0;
}

String TTextStream::ReadLine() {
    FlushRead();
    std::u16string units;
    units.reserve(1024);
    while (Eof() == 0) {
        int32_t c = ReadChar();
        if (c == 0 || c == 10) break;
        if (c == 13) continue;
        Append(units, c);
    }
    return FromUnits(units);
}

String TTextStream::ReadFile() {
    FlushRead();
    std::u16string units;
    units.reserve(1024);
    while (Eof() == 0) Append(units, ReadChar());
    return FromUnits(units);
}

String TTextStream::ReadString(int32_t count) {
    FlushRead();
    std::u16string units;
    // Reserve only modestly: the length comes from the caller (or a file) and
    // the data may well run out long before it.
    units.reserve(count > 0 ? (count < 65536 ? count : 65536) : 0);
    for (int32_t i = 0; i < count; ++i) units.push_back(static_cast<char16_t>(ReadChar()));
    return FromUnits(units);
}

int32_t TTextStream::WriteString(const String& str) {
    FlushWrite();
    for (int32_t i = 0; i < str.Length(); ++i) WriteChar(str[i]);
    return 0;
}

int32_t TTextStream::WriteLine(const String& str) {
    FlushWrite();
    WriteString(str);
    WriteString("\r\n");
    return 0;
}

// ---- numbers as decimal lines ----

int32_t TTextStream::ReadByte() {
    FlushRead();
    return ReadLine().ParseInt();
}
int32_t TTextStream::ReadShort() {
    FlushRead();
    return ReadLine().ParseInt();
}
int32_t TTextStream::ReadInt() {
    FlushRead();
    return ReadLine().ParseInt();
}
int64_t TTextStream::ReadLong() {
    FlushRead();
    return ParseLong(ReadLine().ToBytes8());
}
float TTextStream::ReadFloat() {
    FlushRead();
    return static_cast<float>(std::atof(ReadLine().ToBytes8().c_str()));
}
double TTextStream::ReadDouble() {
    FlushRead();
    return std::atof(ReadLine().ToBytes8().c_str());
}

int32_t TTextStream::WriteByte(int32_t n) {
    FlushWrite();
    WriteLine(String::FormatInt(n));
    return 0;
}
int32_t TTextStream::WriteShort(int32_t n) {
    FlushWrite();
    WriteLine(String::FormatInt(n));
    return 0;
}
int32_t TTextStream::WriteInt(int32_t n) {
    FlushWrite();
    WriteLine(String::FormatInt(n));
    return 0;
}
int32_t TTextStream::WriteLong(int64_t n) {
    FlushWrite();
    WriteLine(String(std::to_string(n).c_str()));
    return 0;
}
int32_t TTextStream::WriteFloat(float n) {
    FlushWrite();
    char text[64];
    std::snprintf(text, sizeof text, "%#.9g", static_cast<double>(n));
    WriteLine(String(text));
    return 0;
}
int32_t TTextStream::WriteDouble(double n) {
    FlushWrite();
    char text[64];
    std::snprintf(text, sizeof text, "%#.17g", n);
    WriteLine(String(text));
    return 0;
}

// ---- raw bytes as hexadecimal ----

int32_t TTextStream::Write(const void* buf, int32_t count) {
    if (count <= 0) return 0;
    static const char digits[] = "0123456789ABCDEF";
    auto* p = static_cast<const uint8_t*>(buf);
    for (int32_t i = 0; i < count; ++i) {
        WriteByteRaw(digits[p[i] >> 4]);
        WriteByteRaw(digits[p[i] & 15]);
        if (++_bufcount == 32) FlushWrite();
    }
    return count;
}

int32_t TTextStream::Read(void* buf, int32_t count) {
    if (count <= 0) return 0;
    auto value = [](int32_t digit) {
        int32_t v = digit - 0x30;
        return v > 9 ? v - 7 : v;
    };
    auto* p = static_cast<uint8_t*>(buf);
    for (int32_t i = 0; i < count; ++i) {
        if (_bufcount == 32) FlushRead();
        int32_t h = ReadByteRaw();
        int32_t l = ReadByteRaw();
        p[i] = static_cast<uint8_t>((value(h) * 16 + value(l)) & 0xFF);
        ++_bufcount;
    }
    return count;
}

int32_t TTextStream::FlushWrite() {
    if (_bufcount != 0) {
        WriteByteRaw(0x0D);
        WriteByteRaw(0x0A);
        _bufcount = 0;
    }
    return 0;
}

int32_t TTextStream::FlushRead() {
    if (_bufcount != 0) {
        int32_t b = ReadByteRaw();
        if (b == 0x0D) b = ReadByteRaw();
        if (b != 0x0A) RaiseText("Malformed line terminator");
        _bufcount = 0;
    }
    return 0;
}

Ref<TTextStream> TTextStream::Create(const Ref<TStream>& stream, int32_t encoding) {
    Ref<TTextStream> s = New<TTextStream>();
    s->SetStream(stream);
    s->_encoding = encoding;
    return s;
}

// ---- factory ----

Ref<TStream> TTextStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path,
                                              int32_t readable, int32_t writeable) {
    int32_t encoding = 0;
    if (proto == "latin1") encoding = TTextStream::LATIN1;
    else if (proto == "utf8") encoding = TTextStream::UTF8;
    else if (proto == "utf16be") encoding = TTextStream::UTF16BE;
    else if (proto == "utf16le") encoding = TTextStream::UTF16LE;
    else return Ref<TStream>();
    Ref<TStream> inner = OpenUrlStream(path, readable, writeable);
    if (!inner) return Ref<TStream>();
    return TTextStream::Create(inner, encoding);
}

// ---- whole-text helpers ----

namespace {

// Reads a byte-order mark if there is one: the encoding it selects, or 0
// with every byte read kept in `head` (the mark's bytes are not text).
int32_t SniffByteOrderMark(TStream& stream, std::vector<uint8_t>& head) {
    if (stream.Eof() != 0) return 0;
    head.push_back(static_cast<uint8_t>(stream.ReadByte()));
    if (stream.Eof() != 0) return 0;
    head.push_back(static_cast<uint8_t>(stream.ReadByte()));
    if (head[0] == 0xFE && head[1] == 0xFF) return TTextStream::UTF16BE;
    if (head[0] == 0xFF && head[1] == 0xFE) return TTextStream::UTF16LE;
    if (head[0] != 0xEF || head[1] != 0xBB || stream.Eof() != 0) return 0;
    head.push_back(static_cast<uint8_t>(stream.ReadByte()));
    return head[2] == 0xBF ? TTextStream::UTF8 : 0;
}

}  // namespace

String SlurpText(const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForReading(url);
    if (!stream) throw TStreamReadException();
    ScopeExit close([&] { stream->Close(); });
    std::vector<uint8_t> bytes;
    if (int32_t encoding = SniffByteOrderMark(*stream, bytes)) {
        Ref<TTextStream> text = TTextStream::Create(stream, encoding);
        String result = text->ReadFile();
        text->Close();
        return result;
    }
    ReadToEnd(*stream, bytes);
    return String::FromBytes8(bytes.data(), static_cast<int32_t>(bytes.size()));
}

String SlurpText(const String& url) { return SlurpText(Ref<Object>(url)); }

int32_t DumpText(const String& str, const Ref<Object>& url) {
    bool narrow = true;
    for (int32_t i = 0; i < str.Length() && narrow; ++i) narrow = str[i] <= 0x00FF;
    if (narrow) {
        DumpText8(str, url);
        return 1;
    }
    Ref<TStream> stream = OpenUrlForWriting(url);
    if (!stream) throw TStreamWriteException();
    ScopeExit close([&] { stream->Close(); });
    stream->WriteByte(0xFF);
    stream->WriteByte(0xFE);
    Ref<TTextStream> text = TTextStream::Create(stream, TTextStream::UTF16LE);
    text->WriteString(str);
    text->Close();
    return 1;
}

int32_t DumpText(const String& str, const String& url) { return DumpText(str, Ref<Object>(url)); }

void InitTextStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    InitBank();
    InitFileSystem();
    New<TTextStreamFactory>();
    RecordModuleInit("text streams");
}
