// TLS client sessions with the platform's own TLS and certificate store:
// Schannel on Windows, OpenSSL elsewhere. Nothing above this header knows
// which one it is. Plain types only (no framework objects), so a fetch on a
// worker thread may use it; one session belongs to one thread at a time.
//
// A session does not own a socket: its encrypted bytes travel through a
// transport the caller provides, which is where the caller's deadline and
// cancellation live.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TlsTransport {
public:
    virtual ~TlsTransport() = default;
    // Every byte, or false (error, time-out, cancelled).
    virtual bool SendAll(const void* buf, int32_t count) = 0;
    // Up to `count` bytes: > 0 received, 0 the peer closed the connection,
    // < 0 error, time-out or cancelled.
    virtual int32_t Recv(void* buf, int32_t count) = 0;
};

enum class TlsStatus {
    Ok,
    UnknownIssuer,    // the chain does not end at a trusted root (self-signed, unknown CA)
    Expired,          // a certificate of the chain is outside its validity period
    WrongHost,        // the certificate does not name the host
    OldProtocol,      // the server offers nothing newer than TLS 1.1
    BadCertificate,   // any other certificate problem (revoked, bad signature, wrong use)
    Failed,           // handshake or record failure not covered above (alert, bad data)
    TransportFailed,  // the transport failed, timed out or closed during the handshake
};

class TlsClient {
public:
    virtual ~TlsClient() = default;

    // A new session, or nullptr when the platform's TLS cannot be set up.
    static std::unique_ptr<TlsClient> Create();

    // Handshake for `host`, a DNS name (sent as the server name) or a
    // numeric address (not sent; the certificate must hold the address):
    // TLS 1.2 or 1.3 only; the chain must end at a root the system trusts
    // and the certificate must name `host`. Never skips a check; a later
    // handshake in the same session must keep the certificate.
    virtual TlsStatus Handshake(TlsTransport& transport, const std::string& host) = 0;
    // What the platform said about the last failure (for a message); may be
    // empty.
    virtual std::string Detail() const = 0;

    // Decrypted bytes, after a successful handshake: > 0 bytes, 0 the peer
    // ended the session (close_notify, or the connection closed at a record
    // boundary), < 0 failure (transport error or time-out, bad record, the
    // connection closed inside a record). After 0 or < 0 every later call
    // gives the same. Wine's sockets report a reset that arrives after the
    // data as an orderly close, so there it may read as 0: lengths tell.
    virtual int32_t Read(void* buf, int32_t count) = 0;
    // Encrypts and sends every byte; false on failure.
    virtual bool Write(const void* buf, int32_t count) = 0;
};

// Tests only: trust the roots in this PEM file as well as the system's
// (OpenSSL). On Windows, tests put their root into the system store of
// their own Wine prefix instead, and this does nothing.
void TrustExtraRootsForTests(const std::string& pemFile);

}  // namespace platform
