// Text over a byte stream in one of four encodings. Strings are encoded
// character by character, numbers travel as decimal lines and raw bytes as
// upper-case hexadecimal, 32 bytes to a line.
#pragma once

#include <cstdint>

#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class TTextStream : public TStreamWrapper {
public:
    static constexpr int32_t LATIN1 = 1;
    static constexpr int32_t UTF8 = 2;
    static constexpr int32_t UTF16BE = 3;
    static constexpr int32_t UTF16LE = 4;

    // Raw bytes as hexadecimal text.
    int32_t Read(void* buf, int32_t count) override;
    int32_t Write(const void* buf, int32_t count) override;
    // Numbers as decimal lines.
    int32_t ReadByte() override;
    int32_t WriteByte(int32_t n) override;
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
    // Text: LF or character 0 ends a line, CR is dropped; Eof is tested before
    // each character.
    String ReadLine() override;
    int32_t WriteLine(const String& str) override;
    String ReadString(int32_t count) override;
    int32_t WriteString(const String& str) override;

    // Every character up to Eof, line breaks included.
    virtual String ReadFile();
    // One character in the stream's encoding. No validation: UTF-8 lead bytes
    // of 0xF0 and above read as 0 after three bytes.
    virtual int32_t ReadChar();
    virtual int32_t WriteChar(int32_t u);

    // Nothing is written or read at creation (no byte-order mark).
    static Ref<TTextStream> Create(const Ref<TStream>& stream, int32_t encoding);

    int32_t Encoding() const { return _encoding; }

private:
    int32_t ReadByteRaw();
    int32_t WriteByteRaw(int32_t n);
    // Close an open hexadecimal line; reading raises "Malformed line
    // terminator" when it is not followed by LF or CR LF.
    int32_t FlushRead();
    int32_t FlushWrite();

    int32_t _encoding = 0;
    int32_t _bufcount = 0;
};

// "latin1::", "utf8::", "utf16be::", "utf16le::" over the rest of the URL.
class TTextStreamFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

// Whole text with byte-order-mark sniffing (UTF-8, UTF-16 BE/LE); without a
// mark the bytes are 8-bit text. Raises TStreamReadException when the URL
// cannot be opened.
String SlurpText(const Ref<Object>& url);
String SlurpText(const String& url);
// 8-bit without a mark when every code unit fits, else UTF-16LE with the mark
// FF FE. Returns 1; raises TStreamWriteException when the URL cannot be opened.
int32_t DumpText(const String& str, const Ref<Object>& url);
int32_t DumpText(const String& str, const String& url);

// Module initialiser of the text streams (creates the text stream factory).
void InitTextStream();
