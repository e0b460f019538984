#include "stream/StreamFactory.h"

#include <limits>

#include "runtime/Errors.h"
#include "runtime/ScopeExit.h"
#include "stream/CStream.h"

namespace {

Ref<TStreamFactory>& ChainHead() {
    static Ref<TStreamFactory> head;
    return head;
}

}  // namespace

TStreamFactory::TStreamFactory() {
    _succ = ChainHead();
    ChainHead() = Ref<TStreamFactory>(this);
}

Ref<TStream> TStreamFactory::CreateStream(const Ref<Object>&, const String&, const String&, int32_t, int32_t) {
    RaiseAbstractCall();
}

Ref<TStreamFactory> StreamFactoryChain() { return ChainHead(); }

Ref<TStream> OpenUrlStream(const Ref<Object>& url, int32_t readable, int32_t writeable) {
    if (Ref<TStream> stream = Cast<TStream>(url)) return TStreamStream::Create(stream);

    String text;  // an object that is not a string parses as the empty string
    String::FromObject(url, text);
    String proto, path;
    if (!text.IsEmpty()) {
        int32_t i = text.IndexOf("::", 0);
        if (i < 0) return TCStream::OpenFile(text, readable, writeable);
        proto = text.Slice(0, i).Lowercase();
        path = text.Slice(i + 2, text.Length());
    }
    for (Ref<TStreamFactory> f = ChainHead(); f; f = f->Successor()) {
        if (Ref<TStream> stream = f->CreateStream(url, proto, path, readable, writeable)) return stream;
    }
    return Ref<TStream>();
}

Ref<TStream> OpenUrlStream(const String& url, int32_t readable, int32_t writeable) {
    return OpenUrlStream(Ref<Object>(url), readable, writeable);
}
Ref<TStream> OpenUrlForReading(const Ref<Object>& url) { return OpenUrlStream(url, 1, 0); }
Ref<TStream> OpenUrlForReading(const String& url) { return OpenUrlStream(Ref<Object>(url), 1, 0); }
Ref<TStream> OpenUrlForWriting(const Ref<Object>& url) { return OpenUrlStream(url, 0, 1); }
Ref<TStream> OpenUrlForWriting(const String& url) { return OpenUrlStream(Ref<Object>(url), 0, 1); }

std::vector<uint8_t> SlurpBytes(const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForReading(url);
    if (!stream) throw TStreamReadException();
    ScopeExit close([&] { stream->Close(); });
    std::vector<uint8_t> bytes;
    ReadToEnd(*stream, bytes);
    return bytes;
}

std::vector<uint8_t> SlurpBytes(const String& url) { return SlurpBytes(Ref<Object>(url)); }

String SlurpText8(const Ref<Object>& url) {
    std::vector<uint8_t> bytes = SlurpBytes(url);
    return String::FromBytes8(bytes.data(), static_cast<int32_t>(bytes.size()));
}

String SlurpText8(const String& url) { return SlurpText8(Ref<Object>(url)); }

namespace {

int32_t DumpRaw(const void* data, size_t size, const Ref<Object>& url) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        RaiseRuntimeError("Data too large to write in one piece");
    Ref<TStream> stream = OpenUrlForWriting(url);
    if (!stream) throw TStreamWriteException();
    ScopeExit close([&] { stream->Close(); });
    stream->WriteBytes(data, static_cast<int32_t>(size));
    return 0;
}

}  // namespace

int32_t DumpBytes(const std::vector<uint8_t>& bytes, const Ref<Object>& url) {
    return DumpRaw(bytes.data(), bytes.size(), url);
}
int32_t DumpBytes(const std::vector<uint8_t>& bytes, const String& url) { return DumpBytes(bytes, Ref<Object>(url)); }

int32_t DumpText8(const String& str, const Ref<Object>& url) {
    std::string bytes = str.ToBytes8();
    return DumpRaw(bytes.data(), bytes.size(), url);
}
int32_t DumpText8(const String& str, const String& url) { return DumpText8(str, Ref<Object>(url)); }

Ref<Object> SlurpObject(const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForReading(url);
    if (!stream) throw TStreamReadException();
    ScopeExit close([&] { stream->Close(); });
    return stream->ReadObject();
}

int32_t DumpObject(const Ref<Object>& obj, const Ref<Object>& url) {
    Ref<TStream> stream = OpenUrlForWriting(url);
    if (!stream) throw TStreamWriteException();
    ScopeExit close([&] { stream->Close(); });
    stream->WriteObject(obj);
    return 0;
}
