#include "platform/Socket.h"
#include "platform/TlsSession.h"
#include "platform/Utf8.h"

#define SECURITY_WIN32
// SCH_CREDENTIALS and TLS_PARAMETERS (with UNICODE_STRING from subauth.h).
#define SCHANNEL_USE_BLACKLISTS
#include "platform/win32/Win32.h"
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// Only TLS 1.2 and 1.3: everything older is switched off by name, so a
// newer version the system learns later stays on.
constexpr DWORD kOldProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
// The system checks the chain and the name itself; no client certificate.
constexpr DWORD kCredentialFlags = SCH_CRED_AUTO_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;
// A handshake message larger than this (a certificate chain, say) is refused.
constexpr size_t kMaxInput = 1 << 20;
constexpr size_t kInputPiece = 256 * 1024;

// One credential for every session; Schannel lets threads share it.
struct Credentials {
    CredHandle handle{};
    bool ok = false;
};

Credentials& SharedCredentials() {
    static Credentials credentials;
    static std::once_flag once;
    std::call_once(once, [] {
        auto acquire = [](void* settings) {
            TimeStamp expiry;
            return AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                             settings, nullptr, nullptr, &credentials.handle, &expiry) == SEC_E_OK;
        };
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = kOldProtocols;
        SCH_CREDENTIALS modern{};
        modern.dwVersion = SCH_CREDENTIALS_VERSION;
        modern.dwFlags = kCredentialFlags;
        modern.cTlsParameters = 1;
        modern.pTlsParameters = &parameters;
        // Systems that predate SCH_CREDENTIALS name the versions to use.
        SCHANNEL_CRED classic{};
        classic.dwVersion = SCHANNEL_CRED_VERSION;
        classic.dwFlags = kCredentialFlags;
        classic.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
        credentials.ok = acquire(&modern) || acquire(&classic);
        if (!credentials.ok) {
            classic.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            credentials.ok = acquire(&classic);
        }
    });
    return credentials;
}

// What a certificate or handshake error means to the user; anything not
// listed is a plain failure.
TlsStatus StatusOf(SECURITY_STATUS s) {
    static constexpr struct {
        HRESULT code;
        TlsStatus status;
    } kMeanings[] = {
        {SEC_E_UNTRUSTED_ROOT, TlsStatus::UnknownIssuer},
        {CERT_E_UNTRUSTEDROOT, TlsStatus::UnknownIssuer},
        {CERT_E_CHAINING, TlsStatus::UnknownIssuer},
        {CERT_E_UNTRUSTEDCA, TlsStatus::UnknownIssuer},
        {SEC_E_ISSUING_CA_UNTRUSTED, TlsStatus::UnknownIssuer},
        {SEC_E_CERT_EXPIRED, TlsStatus::Expired},
        {CERT_E_EXPIRED, TlsStatus::Expired},
        {SEC_E_WRONG_PRINCIPAL, TlsStatus::WrongHost},
        {CERT_E_CN_NO_MATCH, TlsStatus::WrongHost},
        {SEC_E_UNSUPPORTED_FUNCTION, TlsStatus::OldProtocol},
        {SEC_E_ALGORITHM_MISMATCH, TlsStatus::OldProtocol},
        {SEC_E_CERT_UNKNOWN, TlsStatus::BadCertificate},
        {SEC_E_CERT_WRONG_USAGE, TlsStatus::BadCertificate},
        {CERT_E_WRONG_USAGE, TlsStatus::BadCertificate},
        {CERT_E_REVOKED, TlsStatus::BadCertificate},
        {CRYPT_E_REVOKED, TlsStatus::BadCertificate},
        {TRUST_E_CERT_SIGNATURE, TlsStatus::BadCertificate},
        {CERT_E_CRITICAL, TlsStatus::BadCertificate},
        {CERT_E_PURPOSE, TlsStatus::BadCertificate},
    };
    for (const auto& m : kMeanings) {
        if (m.code == s) return m.status;
    }
    return TlsStatus::Failed;
}

// The system's text for a status, with the code itself.
std::string Describe(SECURITY_STATUS s) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(s));
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(s), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (n > 0) {
        while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' || text[n - 1] == L'.')) --n;
        out = Utf16ToUtf8(Utf16(text, n));
        out += " (";
        out += code;
        out += ")";
    } else {
        out = code;
    }
    if (text) LocalFree(text);
    return out;
}

// The error a chain's trust bits stand for, 0 when they hold none.
// Revocation was not asked for, so "revocation unknown" is no error here.
HRESULT ChainProblem(DWORD bits) {
    if (bits & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_EXPLICIT_DISTRUST)) return CERT_E_UNTRUSTEDROOT;
    if (bits & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC)) return CERT_E_CHAINING;
    if (bits & CERT_TRUST_IS_NOT_TIME_VALID) return CERT_E_EXPIRED;
    if (bits & CERT_TRUST_IS_REVOKED) return CERT_E_REVOKED;
    if (bits & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return TRUST_E_CERT_SIGNATURE;
    if (bits & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return CERT_E_WRONG_USAGE;
    constexpr DWORD other = CERT_TRUST_INVALID_EXTENSION | CERT_TRUST_INVALID_POLICY_CONSTRAINTS |
                            CERT_TRUST_INVALID_BASIC_CONSTRAINTS | CERT_TRUST_INVALID_NAME_CONSTRAINTS |
                            CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT |
                            CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT | CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT |
                            CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT;
    if (bits & other) return CERT_E_CRITICAL;
    return 0;
}

class SchannelClient final : public TlsSession {
public:
    // Received bytes come in as large pieces as the system has: under Wine
    // every receive is expensive, so fewer of them is what counts.
    SchannelClient() : _in(kInputPiece) {}
    ~SchannelClient() override {
        if (_haveContext) DeleteSecurityContext(&_context);
    }

    TlsStatus Handshake(TlsTransport& transport, const std::string& host) override {
        if (TlsStatus refused = Begin(transport, host); refused != TlsStatus::Ok) return refused;
        int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, host.data(), static_cast<int>(host.size()), nullptr, 0);
        if (n <= 0) return Fail(TlsStatus::Failed, "the host name is not UTF-8");
        _host.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, host.data(), static_cast<int>(host.size()), _host.data(), n);
        // An address is never sent as the server name (only DNS names may
        // be); the certificate check below still compares it.
        NetAddress literal;
        _named = !ParseNumericAddress(host, literal);
        TlsStatus status = Negotiate();
        if (status == TlsStatus::Ok) status = Verify();
        if (status != TlsStatus::Ok) return status;
        SECURITY_STATUS s = QueryContextAttributesW(&_context, SECPKG_ATTR_STREAM_SIZES, &_sizes);
        if (s != SEC_E_OK) return Fail(TlsStatus::Failed, Describe(s));
        return Ready();
    }

    int32_t Read(void* buf, int32_t count) override {
        if (_plainBegin < _plain.size()) return TakePlain(buf, count);
        if (_ended) return 0;
        if (!_ready || count <= 0) return -1;
        auto* out = static_cast<char*>(buf);
        int32_t total = 0;
        for (;;) {
            // Every whole record received so far, as far as the room lasts:
            // fewer, larger reads for the layers above.
            while (total < count && _plainBegin == _plain.size() && !_ended) {
                int32_t got = Decrypt(out + total, count - total);
                if (got < 0) return total > 0 ? total : got;
                total += got;
                if (got == 0 && _needInput) break;
            }
            if (total > 0 || _ended) return total;
            int32_t n = Receive();
            if (n < 0) return Broken("receiving from the server failed or timed out");
            if (n == 0) {
                // At a record boundary the reply may be whole; inside one it is cut.
                if (_inEnd == _inBegin) return End();
                return Broken("the connection closed inside a record");
            }
        }
    }

    bool Write(const void* buf, int32_t count) override {
        if (!_ready || count < 0) return false;
        const char* p = static_cast<const char*>(buf);
        std::vector<char> record(_sizes.cbHeader + _sizes.cbMaximumMessage + _sizes.cbTrailer);
        while (count > 0) {
            DWORD piece = std::min<DWORD>(static_cast<DWORD>(count), _sizes.cbMaximumMessage);
            std::memcpy(record.data() + _sizes.cbHeader, p, piece);
            SecBuffer buffers[4] = {
                {_sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {piece, SECBUFFER_DATA, record.data() + _sizes.cbHeader},
                {_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + _sizes.cbHeader + piece},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            SECURITY_STATUS s = EncryptMessage(&_context, 0, &desc, 0);
            if (s != SEC_E_OK) {
                Broken(Describe(s));
                return false;
            }
            // Header, data and trailer lie back to back; the trailer may
            // come out shorter than its room.
            size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
            if (!_transport->SendAll(record.data(), static_cast<int32_t>(total))) {
                Broken("sending to the server failed");
                return false;
            }
            p += piece;
            count -= static_cast<int32_t>(piece);
        }
        return true;
    }

private:
    // Runs InitializeSecurityContext until the handshake is done, from the
    // first call or, after SEC_I_RENEGOTIATE, from what _in holds: the
    // client may have to speak first (answering a server's request for a
    // new handshake), so input is waited for only once it asks for it.
    TlsStatus Negotiate() {
        bool wantInput = false;
        for (;;) {
            if (wantInput) {
                int32_t n = Receive();
                if (n == 0) return Fail(TlsStatus::TransportFailed, "the server closed the connection during the handshake");
                if (n < 0) return Fail(TlsStatus::TransportFailed, "receiving from the server failed or timed out");
            }
            SecBuffer input[2] = {
                {static_cast<unsigned long>(_inEnd - _inBegin), SECBUFFER_TOKEN, _in.data() + _inBegin},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
            SecBuffer output[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
            SecBufferDesc outputDesc{SECBUFFER_VERSION, 2, output};
            ULONG attributes = 0;
            SECURITY_STATUS s = InitializeSecurityContextW(
                &SharedCredentials().handle, _haveContext ? &_context : nullptr, _named ? _host.data() : nullptr,
                kContextFlags, 0, 0,
                _haveContext ? &inputDesc : nullptr, 0, _haveContext ? nullptr : &_context, &outputDesc, &attributes, nullptr);
            if (s == SEC_E_INCOMPLETE_MESSAGE) {
                wantInput = true;
                continue;
            }
            if (s == SEC_I_CONTINUE_NEEDED || s == SEC_E_OK || s == SEC_I_INCOMPLETE_CREDENTIALS) _haveContext = true;
            // Tokens go out on failure too: an alert tells the server why.
            bool sent = true;
            for (SecBuffer& b : output) {
                if (b.pvBuffer) {
                    if (b.BufferType == SECBUFFER_TOKEN && b.cbBuffer > 0)
                        sent = sent && _transport->SendAll(b.pvBuffer, static_cast<int32_t>(b.cbBuffer));
                    FreeContextBuffer(b.pvBuffer);
                }
            }
            if (!_haveContext) return Fail(StatusOf(s), Describe(s));
            size_t offered = _inEnd - _inBegin;
            _inBegin = input[1].BufferType == SECBUFFER_EXTRA ? _inEnd - input[1].cbBuffer : _inEnd;
            if (!sent) return Fail(TlsStatus::TransportFailed, "sending to the server failed");
            if (s == SEC_E_OK) return TlsStatus::Ok;
            if (s != SEC_I_CONTINUE_NEEDED && s != SEC_I_INCOMPLETE_CREDENTIALS) return Fail(StatusOf(s), Describe(s));
            // Nothing taken from what is there: it needs more first.
            wantInput = _inEnd == _inBegin || _inEnd - _inBegin == offered;
        }
    }

    // The checks after every handshake, the first and any later one: the
    // version agreed on, and the certificate, which a later handshake may
    // not change (a server could otherwise swap in an identity that was
    // never checked).
    TlsStatus Verify() {
        TlsStatus status = CheckProtocol();
        return status == TlsStatus::Ok ? CheckCertificate() : status;
    }

    // Some Schannels (Wine's) accept SCH_CREDENTIALS but not the versions
    // it switches off, so the version agreed on is checked as well.
    TlsStatus CheckProtocol() {
        SecPkgContext_ConnectionInfo info{};
        SECURITY_STATUS s = QueryContextAttributesW(&_context, SECPKG_ATTR_CONNECTION_INFO, &info);
        if (s != SEC_E_OK) return Fail(TlsStatus::Failed, Describe(s));
        if (info.dwProtocol & kOldProtocols) {
            const char* name = info.dwProtocol & SP_PROT_TLS1_1_CLIENT ? "TLS 1.1"
                             : info.dwProtocol & SP_PROT_TLS1_0_CLIENT ? "TLS 1.0" : "SSL";
            return Fail(TlsStatus::OldProtocol, std::string("the server offers nothing newer than ") + name);
        }
        return TlsStatus::Ok;
    }

    // Schannel validates the chain and the name during the handshake, but
    // not every implementation does (Wine's does not), so the chain is
    // checked here again against the system store, for server use and for
    // the host name.
    TlsStatus CheckCertificate() {
        PCCERT_CONTEXT cert = nullptr;
        SECURITY_STATUS s = QueryContextAttributesW(&_context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
        if (s != SEC_E_OK || !cert) return Fail(TlsStatus::BadCertificate, "the server sent no certificate");
        std::string encoded(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded);
        if (!_certificate.empty()) {
            CertFreeCertificateContext(cert);
            if (encoded == _certificate) return TlsStatus::Ok;
            return Fail(TlsStatus::BadCertificate, "the server changed its certificate during the connection");
        }
        _certificate = encoded;
        LPSTR serverUse[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
        CERT_CHAIN_PARA chainPara{};
        chainPara.cbSize = sizeof chainPara;
        chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
        chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverUse;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        // The server's intermediates come in the certificate's own store.
        // Nothing is fetched from the network (a missing intermediate's
        // address in the certificate could hold the fetch without limit;
        // Wine ignores the retrieval time-out): what the system has cached
        // is used, and on Windows Schannel's own check in the handshake has
        // fetched into that cache whatever was missing.
        BOOL built = CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &chainPara,
                                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain);
        DWORD error = built ? 0 : GetLastError();
        CertFreeCertificateContext(cert);
        if (!built) return Fail(TlsStatus::BadCertificate, Describe(static_cast<SECURITY_STATUS>(error)));
        // The chain's own verdict first: some policy checks pass a chain that
        // never reaches a root (Wine's do).
        if (HRESULT problem = ChainProblem(chain->TrustStatus.dwErrorStatus)) {
            CertFreeCertificateChain(chain);
            return Fail(StatusOf(problem), Describe(problem));
        }
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslPara{};
        sslPara.cbSize = sizeof sslPara;
        sslPara.dwAuthType = AUTHTYPE_SERVER;
        sslPara.pwszServerName = _host.data();
        CERT_CHAIN_POLICY_PARA policyPara{};
        policyPara.cbSize = sizeof policyPara;
        policyPara.pvExtraPolicyPara = &sslPara;
        CERT_CHAIN_POLICY_STATUS policy{};
        policy.cbSize = sizeof policy;
        BOOL checked = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &policy);
        CertFreeCertificateChain(chain);
        if (!checked) return Fail(TlsStatus::BadCertificate, "the certificate chain could not be checked");
        if (policy.dwError != 0) {
            auto code = static_cast<SECURITY_STATUS>(policy.dwError);
            TlsStatus status = StatusOf(code);
            return Fail(status == TlsStatus::Failed ? TlsStatus::BadCertificate : status, Describe(code));
        }
        return TlsStatus::Ok;
    }

    // Decrypts the next record of _in into `buf`: > 0 bytes handed out, 0
    // nothing yet (_needInput says whether more must come first), < 0
    // failure.
    int32_t Decrypt(void* buf, int32_t count) {
        // Exactly one record is offered (Wine copies all it is given for
        // each record it decrypts); one not yet whole needs more input.
        size_t have = _inEnd - _inBegin;
        auto at = [&](size_t i) { return static_cast<size_t>(static_cast<uint8_t>(_in[_inBegin + i])); };
        size_t record = have >= 5 ? 5 + (at(3) << 8 | at(4)) : 0;
        _needInput = record == 0 || have < record;
        if (_needInput) return 0;
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(record), SECBUFFER_DATA, _in.data() + _inBegin},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS s = DecryptMessage(&_context, &desc, 0, nullptr);
        if (s == SEC_E_INCOMPLETE_MESSAGE) {
            _needInput = true;
            return 0;
        }
        if (s != SEC_E_OK && s != SEC_I_RENEGOTIATE && s != SEC_I_CONTEXT_EXPIRED) return Broken(Describe(s));
        const SecBuffer* data = nullptr;
        const SecBuffer* extra = nullptr;
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA) data = &b;
            if (b.BufferType == SECBUFFER_EXTRA) extra = &b;
        }
        // The record was decrypted in place: what the caller has no room
        // for is kept before _in moves.
        _plain.clear();
        _plainBegin = 0;
        size_t given = 0;
        if (data && data->cbBuffer > 0) {
            const char* p = static_cast<const char*>(data->pvBuffer);
            given = std::min<size_t>(data->cbBuffer, static_cast<size_t>(count));
            std::memcpy(buf, p, given);
            _plain.assign(p + given, p + data->cbBuffer);
        }
        size_t end = _inBegin + record;
        _inBegin = extra ? end - extra->cbBuffer : end;
        _needInput = end - _inBegin == record && given == 0;
        if (s == SEC_I_CONTEXT_EXPIRED) {
            // close_notify: the session is over, whatever came with it counts.
            _ended = true;
        } else if (s == SEC_I_RENEGOTIATE) {
            // Post-handshake messages (TLS 1.3 session tickets, key
            // updates) and requests for a new handshake go back through
            // the handshake call, and are checked as the first was.
            TlsStatus again = Negotiate();
            if (again == TlsStatus::Ok) again = Verify();
            if (again != TlsStatus::Ok) {
                _ready = false;
                return -1;
            }
        }
        return static_cast<int32_t>(given);
    }

    int32_t TakePlain(void* buf, int32_t count) {
        if (count <= 0) return -1;
        size_t n = std::min(_plain.size() - _plainBegin, static_cast<size_t>(count));
        std::memcpy(buf, _plain.data() + _plainBegin, n);
        _plainBegin += n;
        return static_cast<int32_t>(n);
    }

    // Appends what the transport gives to _in, making room first.
    int32_t Receive() {
        if (_inBegin > 0) {
            std::memmove(_in.data(), _in.data() + _inBegin, _inEnd - _inBegin);
            _inEnd -= _inBegin;
            _inBegin = 0;
        }
        if (_in.size() - _inEnd < 16 * 1024) {
            if (_in.size() >= kMaxInput) return -1;
            _in.resize(_in.size() * 2);
        }
        int32_t n = _transport->Recv(_in.data() + _inEnd, static_cast<int32_t>(_in.size() - _inEnd));
        if (n > 0) _inEnd += static_cast<size_t>(n);
        return n;
    }

    std::wstring _host;
    bool _named = true;  // _host is a DNS name, not an address
    std::string _certificate;  // the server's, as first checked (encoded)
    CtxtHandle _context{};
    bool _haveContext = false;
    bool _needInput = false;
    SecPkgContext_StreamSizes _sizes{};
    std::vector<char> _in;  // received, not yet decrypted: [_inBegin, _inEnd)
    size_t _inBegin = 0;
    size_t _inEnd = 0;
    std::vector<char> _plain;  // decrypted, not yet read: from _plainBegin
    size_t _plainBegin = 0;
};

}  // namespace

std::unique_ptr<TlsClient> TlsClient::Create() {
    if (!SharedCredentials().ok) return nullptr;
    return std::make_unique<SchannelClient>();
}

// Tests trust their root through the system store of their Wine prefix.
void TrustExtraRootsForTests(const std::string&) {}

}  // namespace platform
