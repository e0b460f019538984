#include "net/HttpStream.h"

#include "runtime/Program.h"

void SkipResponseHead(const Ref<TStream>& stream) {
    while (!stream->Eof()) {
        int32_t length = 0;
        for (;;) {
            uint8_t b = 0;
            if (stream->Read(&b, 1) != 1 || b == 0x0A || b == 0x00) break;
            if (b != 0x0D) ++length;
        }
        if (length == 0) return;
    }
}

Ref<TStream> THTTPStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path, int32_t,
                                              int32_t) {
    if (proto != String("http")) return nullptr;
    String host = path;
    String resource = "/";
    int32_t slash = path.IndexOf("/");
    if (slash >= 0) {
        host = path.Slice(0, slash);
        resource = path.Slice(slash, path.Length());
    }
    Ref<TSocketStream> stream = TSocketStream::CreateClient(host, 80);
    if (stream.IsNull()) return nullptr;
    stream->WriteLine("GET " + resource + " HTTP/1.0");
    stream->WriteLine("Host: " + host);
    stream->WriteLine("");
    stream->EndsWithPeerClose();
    SkipResponseHead(stream);
    return stream;
}

void InitHttpStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitSocketStream();
    New<THTTPStreamFactory>();
    RecordModuleInit("HTTP streams");
}
