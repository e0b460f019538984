// "http::host/path": one HTTP/1.0 GET on port 80, handed back as the socket
// stream positioned at the first byte of the response body. The status and
// headers are skipped unexamined; there are no redirects.
#pragma once

#include "net/SocketStream.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

class THTTPStreamFactory : public TStreamFactory {
public:
    Ref<TStream> CreateStream(const Ref<Object>& url, const String& proto, const String& path, int32_t readable,
                              int32_t writeable) override;
};

// Reads lines, exactly as ReadLine splits them, until an empty one (or the
// end of the stream) and keeps none of them, so a huge or endless head costs
// no memory.
void SkipResponseHead(const Ref<TStream>& stream);

void InitHttpStream();
