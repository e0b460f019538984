// "http::host[:port]/path" and "https::...": one GET through the fetch
// engine (redirects followed, only a 2xx answer is a page), handed back as
// a readable stream of the response body. The body ends either whole or
// with a failure the stream reports; it never passes a cut-off body off as
// a whole one.
#pragma once

#include <memory>
#include <string>

#include "net/HttpFetch.h"
#include "stream/ReadAhead.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class THTTPStream : public TStream {
public:
    // 0 while body bytes remain; waits for them or for the body's end.
    int32_t Eof() override;
    int32_t Close() override;
    int32_t Read(void* buf, int32_t count) override;
    // A line longer than 4 MiB comes back as its first 4 MiB; the rest of
    // it is read past (ReadAhead::ReadStreamLine).
    String ReadLine() override;
    int32_t SkipLine() override;

    // Why the body stopped before its end (cut short, reset, time-out,
    // deadline); empty for a body that is whole so far.
    String Failure() const;
    // The status line of the final answer ("200 OK").
    String Status() const;

    // The stream, or the null object with `failure` saying why.
    static Ref<THTTPStream> Open(const String& proto, const String& path, String& failure);

private:
    std::unique_ptr<net::HttpFetch> _fetch;
    ReadAhead _body;
    std::string _line;
};

class THTTPStreamFactory : public TStreamFactory {
public:
    // Protocols "http" and "https"; the null object when the page cannot be
    // fetched (LastHttpFailure then says why).
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

// Why the last "http" or "https" stream that could not be opened failed.
String LastHttpFailure();

void InitHttpStream();
