#include "stream/FileStream.h"

#include <cstdio>

#include "platform/Files.h"
#include "runtime/Program.h"
#include "runtime/ScopeExit.h"
#include "stream/Bank.h"
#include "stream/FileSystem.h"
#include "stream/StreamFactory.h"

// ---- file functions ----

Ref<TStream> OpenFileStream(const Ref<Object>& url, int32_t readable, int32_t writeable) {
    Ref<TStream> stream = OpenUrlStream(url, readable, writeable);
    if (!stream) return Ref<TStream>();
    if (stream->Pos() != -1) return stream;
    // No position (sockets, HTTP responses): serve the whole content from
    // memory. The opened stream is ours alone and fully read, so it is closed
    // here; otherwise its socket would stay open with nobody to close it.
    ScopeExit close([&] { stream->Close(); });
    Ref<TBank> bank = TBank::Load(Ref<Object>(stream));
    if (!bank) return Ref<TStream>();
    return TBankStream::Create(bank);
}

Ref<TStream> OpenFileStream(const String& url, int32_t readable, int32_t writeable) {
    return OpenFileStream(Ref<Object>(url), readable, writeable);
}
Ref<TStream> OpenFileForReading(const Ref<Object>& url) { return OpenFileStream(url, 1, 0); }
Ref<TStream> OpenFileForReading(const String& url) { return OpenFileStream(Ref<Object>(url), 1, 0); }
Ref<TStream> OpenFileForWriting(const Ref<Object>& url) { return OpenFileStream(url, 0, 1); }
Ref<TStream> OpenFileForWriting(const String& url) { return OpenFileStream(Ref<Object>(url), 0, 1); }

int32_t CloseFileStream(const Ref<TStream>& stream) {
    stream->Close();
    return 0;
}

// ---- console ----

int32_t TCStandardIO::Flush() {
    std::fflush(stdout);
    return 0;
}

int32_t TCStandardIO::Read(void* buf, int32_t count) {
    if (count <= 0) return 0;
    return static_cast<int32_t>(std::fread(buf, 1, static_cast<size_t>(count), stdin));
}

int32_t TCStandardIO::Write(const void* buf, int32_t count) {
    if (count <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(buf, 1, static_cast<size_t>(count), stdout));
}

Ref<TTextStream> ConsoleStream;

int32_t PrintLine(const String& str) {
    ConsoleStream->WriteLine(str);
    ConsoleStream->Flush();
    return 0;
}

String PromptLine(const String& prompt) {
    ConsoleStream->WriteString(prompt);
    ConsoleStream->Flush();
    return ConsoleStream->ReadLine();
}

void InitStandardIO() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    InitBank();
    InitFileSystem();
    InitTextStream();
    platform::UseBinaryStandardIO();
    ConsoleStream = TTextStream::Create(New<TCStandardIO>(), TTextStream::UTF8);
    RecordModuleInit("standard input and output");
}
