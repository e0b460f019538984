#include "platform/TlsSession.h"

#include "platform/Socket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <mutex>

namespace platform {

namespace {

// One context for every session: it holds the trusted roots, which are
// loaded once. OpenSSL locks it internally, so worker threads may share it.
SSL_CTX* SharedContext() {
    static std::once_flag once;
    static SSL_CTX* context = nullptr;
    std::call_once(once, [] {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (!c) return;
        if (SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION) != 1 || SSL_CTX_set_default_verify_paths(c) != 1) {
            SSL_CTX_free(c);
            return;
        }
        SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION);
        context = c;
    });
    return context;
}

std::string LastError() {
    unsigned long e = ERR_peek_last_error();
    if (e == 0) return {};
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

TlsStatus VerifyStatus(long result) {
    switch (result) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
        return TlsStatus::UnknownIssuer;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return TlsStatus::Expired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return TlsStatus::WrongHost;
    default:
        return TlsStatus::BadCertificate;
    }
}

bool OldProtocolReason(unsigned long e) {
    if (ERR_GET_LIB(e) != ERR_LIB_SSL) return false;
    switch (ERR_GET_REASON(e)) {
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_VERSION_TOO_LOW:
    case SSL_R_WRONG_SSL_VERSION:
        return true;
    default:
        return false;
    }
}

// Follows the record framing of the bytes received, so a connection that
// closes without close_notify can be told apart: between two records the
// reply may be whole (the HTTP layer checks lengths), inside one it is cut.
class RecordBoundary {
public:
    void Feed(const unsigned char* p, size_t n) {
        while (n > 0) {
            if (_body > 0) {
                size_t take = std::min(n, _body);
                _body -= take;
                p += take;
                n -= take;
                continue;
            }
            _header[_have++] = *p++;
            --n;
            if (_have == sizeof _header) {
                _body = (size_t(_header[3]) << 8) | _header[4];
                _have = 0;
            }
        }
    }
    bool Between() const { return _have == 0 && _body == 0; }

private:
    unsigned char _header[5] = {};
    size_t _have = 0;
    size_t _body = 0;
};

class OpenSslClient final : public TlsSession {
public:
    explicit OpenSslClient(SSL* ssl) : _ssl(ssl) {
        _in = BIO_new(BIO_s_mem());
        _out = BIO_new(BIO_s_mem());
        if (_in && _out) {
            // An empty input buffer means "wait for the transport", not end.
            BIO_set_mem_eof_return(_in, -1);
            SSL_set_bio(_ssl, _in, _out);
        }
    }
    ~OpenSslClient() override {
        if (!SSL_get_rbio(_ssl)) {
            BIO_free(_in);
            BIO_free(_out);
        }
        SSL_free(_ssl);
    }
    bool Usable() const { return SSL_get_rbio(_ssl) != nullptr; }

    TlsStatus Handshake(TlsTransport& transport, const std::string& host) override {
        if (TlsStatus refused = Begin(transport, host); refused != TlsStatus::Ok) return refused;
        ERR_clear_error();
        // An address is checked against the certificate's addresses and is
        // never sent as the server name, which may only be a DNS name.
        NetAddress literal;
        bool named = !ParseNumericAddress(host, literal);
        bool set = named ? SSL_set_tlsext_host_name(_ssl, host.c_str()) == 1 && SSL_set1_host(_ssl, host.c_str()) == 1
                         : X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(_ssl), AddressText(literal).c_str()) == 1;
        if (!set) return Fail(TlsStatus::Failed, "host name not accepted: " + LastError());
        SSL_set_hostflags(_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set_connect_state(_ssl);
        for (;;) {
            ERR_clear_error();
            int r = SSL_do_handshake(_ssl);
            int error = SSL_get_error(_ssl, r);
            // Alerts leave too, so the server learns why.
            if (!Flush()) return Fail(TlsStatus::TransportFailed, "sending to the server failed");
            if (r == 1) return Ready();
            if (error != SSL_ERROR_WANT_READ) return HandshakeFailure();
            int32_t n = Fill();
            if (n == 0) return Fail(TlsStatus::TransportFailed, "the server closed the connection during the handshake");
            if (n < 0) return Fail(TlsStatus::TransportFailed, "receiving from the server failed or timed out");
        }
    }

    int32_t Read(void* buf, int32_t count) override {
        if (_ended) return 0;
        if (!_ready || count <= 0) return -1;
        for (;;) {
            ERR_clear_error();
            int r = SSL_read(_ssl, buf, count);
            if (r > 0) return r;
            int error = SSL_get_error(_ssl, r);
            if (error == SSL_ERROR_ZERO_RETURN) return End();
            // A key update is answered from inside SSL_read.
            if (!Flush()) return Broken("sending to the server failed");
            if (error != SSL_ERROR_WANT_READ) return Broken(LastError());
            int32_t n = Fill();
            if (n < 0) return Broken("receiving from the server failed or timed out");
            if (n == 0) {
                if (_records.Between()) return End();
                return Broken("the connection closed inside a record");
            }
        }
    }

    bool Write(const void* buf, int32_t count) override {
        if (!_ready || count < 0) return false;
        // Pieces keep the output buffer small for large writes.
        const char* p = static_cast<const char*>(buf);
        while (count > 0) {
            int piece = std::min<int32_t>(count, 16384);
            ERR_clear_error();
            if (SSL_write(_ssl, p, piece) != piece) {
                Broken(LastError());
                return false;
            }
            if (!Flush()) {
                Broken("sending to the server failed");
                return false;
            }
            p += piece;
            count -= piece;
        }
        return true;
    }

private:
    bool Flush() {
        char* data = nullptr;
        long n = BIO_get_mem_data(_out, &data);
        if (n <= 0) return true;
        bool sent = _transport->SendAll(data, static_cast<int32_t>(n));
        BIO_reset(_out);
        return sent;
    }

    int32_t Fill() {
        int32_t n = _transport->Recv(_buffer, sizeof _buffer);
        if (n > 0) {
            _records.Feed(_buffer, static_cast<size_t>(n));
            BIO_write(_in, _buffer, n);
        }
        return n;
    }

    TlsStatus HandshakeFailure() {
        long verify = SSL_get_verify_result(_ssl);
        if (verify != X509_V_OK) return Fail(VerifyStatus(verify), X509_verify_cert_error_string(verify));
        std::string text = LastError();
        if (OldProtocolReason(ERR_peek_last_error())) return Fail(TlsStatus::OldProtocol, text);
        return Fail(TlsStatus::Failed, text.empty() ? "the handshake failed" : text);
    }

    SSL* _ssl;
    BIO* _in = nullptr;
    BIO* _out = nullptr;
    RecordBoundary _records;
    unsigned char _buffer[32768];
};

}  // namespace

std::unique_ptr<TlsClient> TlsClient::Create() {
    SSL_CTX* context = SharedContext();
    SSL* ssl = context ? SSL_new(context) : nullptr;
    if (!ssl) return nullptr;
    auto client = std::make_unique<OpenSslClient>(ssl);
    if (!client->Usable()) return nullptr;
    return client;
}

void TrustExtraRootsForTests(const std::string& pemFile) {
    if (SSL_CTX* context = SharedContext()) SSL_CTX_load_verify_locations(context, pemFile.c_str(), nullptr);
}

}  // namespace platform
