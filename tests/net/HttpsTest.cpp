// The fetch engine over real TLS servers on localhost, which
// tests/platform/tls-test.py starts (see TlsTestServers.h; under Wine the
// root is in the test prefix's store). Pages: /end/<ending> on "good" hold
// 5000 lines.
#include <gtest/gtest.h>

#include <string>

#include "../platform/TlsTestServers.h"
#include "NetTestSupport.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"
#include "platform/Tls.h"
#include "stream/StreamFactory.h"

using namespace nettest;

namespace {

using tlstest::Env;

std::string Port(const std::string& name) { return std::to_string(tlstest::ServerPort(name)); }

class HttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("VW_TLS_SERVERS").empty()) GTEST_SKIP() << "run through tests/platform/tls-test.py";
        InitHttpStream();
        static bool trusted = false;
        if (!trusted && !Env("VW_TLS_CA").empty()) platform::TrustExtraRootsForTests(Env("VW_TLS_CA"));
        trusted = true;
        net::SetDefaultFetchLimits(net::FetchLimits{});
    }
    void TearDown() override { net::SetDefaultFetchLimits(net::FetchLimits{}); }
    static std::string Url(const std::string& server, const std::string& path) {
        return "https::localhost:" + Port(server) + path;
    }
};

TEST_F(HttpsTest, PagesAreCountedAndCertificateProblemsNamed) {
    struct Case {
        std::string url;
        int32_t lines;
        std::string failure;
    } cases[] = {
        {Url("good", "/end/notify"), 5000, ""},
        {Url("good", "/end/tcp-close"), 5000, ""},  // no close_notify, but the length says it is whole
        {Url("good", "/end/cut"), -1, "the secure connection to localhost failed"},
        {Url("good", "/end/reset"), -1, ""},  // how it fails depends on how the system reports resets
        {Url("good", "/missing"), -1, "the server answered 404 Not Found"},
        {Url("other_host", "/"), -1, "the certificate of localhost is for another host name"},
        {Url("expired", "/"), -1, "the certificate of localhost has expired or is not valid yet"},
        {Url("untrusted", "/"), -1, "the certificate of localhost is not trusted (unknown issuer)"},
        {Url("tls10", "/"), -1, "localhost offers only old versions of TLS (older than 1.2)"},
        {Url("hangup", "/"), -1, "the connection to localhost broke off during the secure handshake"},
    };
    for (const Case& c : cases) {
        net::PageLines got = net::CountPageLines(c.url);
        EXPECT_EQ(got.ok, c.lines >= 0) << c.url << ": " << got.failure;
        if (c.lines >= 0) {
            EXPECT_EQ(got.lines, c.lines) << c.url;
        } else {
            EXPECT_EQ(got.failure.substr(0, c.failure.size()), c.failure) << c.url << ": " << got.failure;
        }
    }
    // A server that says nothing in the handshake is a time-out, not a hang.
    net::SetDefaultFetchLimits(net::FetchLimits{5000, 2000, 400});
    EXPECT_EQ(net::CountPageLines(Url("stall", "/")).failure, "localhost sent nothing for 0.4 s");
}

TEST_F(HttpsTest, PlainAddressesUpgradeThroughARedirect) {
    std::string target = "https://localhost:" + Port("good") + "/end/notify";
    FakeServer plain(Ip(127, 0, 43, 5), 0, [&](platform::SocketHandle c, const std::string&) {
        SendAll(c, "HTTP/1.1 301 Moved Permanently\r\nLocation: " + target + "\r\nContent-Length: 0\r\n\r\n");
    });
    ASSERT_TRUE(plain.Ok());
    net::PageLines got = net::CountPageLines("http::127.0.43.5:" + std::to_string(plain.Port()) + "/thread");
    EXPECT_TRUE(got.ok) << got.failure;
    EXPECT_EQ(got.lines, 5000);
    // The stream path reads the same page.
    Ref<TStream> s = OpenUrlForReading(String(Url("good", "/end/notify").c_str()));
    ASSERT_FALSE(s.IsNull()) << LastHttpFailure().ToBytes8();
    int32_t lines = 0;
    while (!Eof(s)) lines += s->SkipLine();
    EXPECT_EQ(lines, 5000);
    EXPECT_EQ(Cast<THTTPStream>(s)->Failure(), String());
}

}  // namespace
