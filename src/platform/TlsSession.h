// What both TLS backends keep about a session besides the platform's own
// state: the transport, whether it may be read, and the last failure. Only
// the backends in platform/ include this.
#pragma once

#include <string>

#include "platform/Tls.h"

namespace platform {

class TlsSession : public TlsClient {
public:
    std::string Detail() const override { return _detail; }

protected:
    // One handshake per session, and a name to check the certificate
    // against: an empty one would switch that check off.
    TlsStatus Begin(TlsTransport& transport, const std::string& host) {
        if (_transport) return Fail(TlsStatus::Failed, "the session has already had its handshake");
        _transport = &transport;
        if (host.empty() || host.find('\0') != std::string::npos)
            return Fail(TlsStatus::Failed, "no host name to check the certificate against");
        return TlsStatus::Ok;
    }
    TlsStatus Ready() {
        _ready = true;
        _detail.clear();
        return TlsStatus::Ok;
    }
    TlsStatus Fail(TlsStatus status, std::string detail) {
        _detail = std::move(detail);
        return status;
    }
    // The peer ended the session; every later Read gives 0 as well.
    int32_t End() {
        _ended = true;
        return 0;
    }
    // The session cannot go on; every later Read gives < 0.
    int32_t Broken(std::string detail) {
        _detail = std::move(detail);
        _ready = false;
        return -1;
    }

    TlsTransport* _transport = nullptr;
    bool _ready = false;
    bool _ended = false;
    std::string _detail;
};

}  // namespace platform
