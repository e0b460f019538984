// The file functions the application uses, and the console.
#pragma once

#include <cstdint>

#include "stream/Stream.h"
#include "stream/TextStream.h"

// OpenUrlStream, and for a stream that cannot report a position (sockets,
// HTTP responses) the whole content read into a seekable memory stream.
// The null object on failure.
Ref<TStream> OpenFileStream(const Ref<Object>& url, int32_t readable, int32_t writeable);
Ref<TStream> OpenFileStream(const String& url, int32_t readable, int32_t writeable);
Ref<TStream> OpenFileForReading(const Ref<Object>& url);
Ref<TStream> OpenFileForReading(const String& url);
Ref<TStream> OpenFileForWriting(const Ref<Object>& url);
Ref<TStream> OpenFileForWriting(const String& url);
int32_t CloseFileStream(const Ref<TStream>& stream);

// The process's standard input and output as bytes. Eof is always 0, Pos -1,
// Close does nothing.
class TCStandardIO : public TStream {
public:
    int32_t Flush() override;
    int32_t Read(void* buf, int32_t count) override;
    int32_t Write(const void* buf, int32_t count) override;
};

// The UTF-8 text stream over standard I/O, created by InitStandardIO and
// never closed. InitStandardIO also switches standard input and output to
// binary mode, so the CR LF written here reaches the output unchanged.
extern Ref<TTextStream> ConsoleStream;

// The text and CR LF in UTF-8 on standard output, then a flush.
int32_t PrintLine(const String& str);
// Writes the prompt, flushes, and reads one UTF-8 line from standard input;
// at the end of standard input this raises TStreamReadException.
String PromptLine(const String& prompt);

// Module initialiser of the standard input and output.
void InitStandardIO();
