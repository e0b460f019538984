#include "net/HttpStream.h"


#include "net/SocketStream.h"
#include "runtime/Program.h"

namespace {

String Text8(const std::string& text) { return String::FromBytes8(text.data(), static_cast<int32_t>(text.size())); }

String g_lastFailure;

}  // namespace

int32_t THTTPStream::Eof() { return _fetch && _body.More(*_fetch) ? 0 : 1; }

int32_t THTTPStream::Close() {
    // The failure stays readable after the close.
    if (_fetch) _fetch->Close();
    _body.Release();
    return 0;
}

int32_t THTTPStream::Read(void* buf, int32_t count) { return _fetch ? _body.Read(*_fetch, buf, count) : 0; }

String THTTPStream::ReadLine() {
    if (!_fetch) return String();
    _line.clear();
    _body.ReadStreamLine(*_fetch, _line);
    return Text8(_line);
}

int32_t THTTPStream::SkipLine() { return _fetch && _body.SkipLine(*_fetch) ? 1 : 0; }

String THTTPStream::Failure() const { return _fetch ? Text8(_fetch->Failure()) : String(); }

String THTTPStream::Status() const { return _fetch ? Text8(http::StatusText(_fetch->FinalHead())) : String(); }

Ref<THTTPStream> THTTPStream::Open(const String& proto, const String& path, String& failure) {
    auto fetch = std::make_unique<net::HttpFetch>(net::DefaultFetchLimits());
    if (!fetch->Open(proto.ToBytes8(), path.ToBytes8())) {
        failure = Text8(fetch->Failure());
        return nullptr;
    }
    Ref<THTTPStream> s = New<THTTPStream>();
    s->_fetch = std::move(fetch);
    return s;
}

Ref<TStream> THTTPStreamFactory::CreateStream(const Ref<Object>&, const String& proto, const String& path, int32_t,
                                              int32_t) {
    if (proto != String("http") && proto != String("https")) return nullptr;
    String failure;
    Ref<THTTPStream> s = THTTPStream::Open(proto, path, failure);
    g_lastFailure = failure;
    return s;
}

String LastHttpFailure() { return g_lastFailure; }

void InitHttpStream() {
    static bool done = false;
    if (done) return;
    done = true;
    InitSocketStream();
    New<THTTPStreamFactory>();
    RecordModuleInit("HTTP streams");
}
