// The fetch engine over real TLS servers on localhost, which
// tests/platform/tls-test.py starts (see TlsTestServers.h; under Wine the
// root is in the test prefix's store). Pages: /end/<ending> on "good" hold
// 5000 lines.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../platform/TlsTestServers.h"
#include "NetTestSupport.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"
#include "platform/Tls.h"
#include "stream/StreamFactory.h"

using namespace nettest;

namespace {

using tlstest::Env;
using Clock = std::chrono::steady_clock;

int64_t MillisSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

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

// Wine reports a reset that comes after the data as an orderly close, and
// may hand it over before data that came ahead of it: there a reset reads
// as a cut body (the length tells) or as a broken record.
#if defined(_WIN32)
const std::vector<std::string> kResetFailures = {"the connection broke off before the whole page had arrived",
                                                 "the secure connection to localhost failed"};
#else
const std::vector<std::string> kResetFailures = {"the connection to localhost broke off"};
#endif

bool StartsWithOneOf(const std::string& text, const std::vector<std::string>& starts) {
    for (const std::string& s : starts)
        if (text.compare(0, s.size(), s) == 0) return true;
    return false;
}

TEST_F(HttpsTest, PagesAreCountedAndCertificateProblemsNamed) {
    const std::vector<std::string> cut = {"the secure connection to localhost failed"};
    struct Case {
        std::string url;
        int32_t lines;
        std::vector<std::string> failures;  // one of them starts the failure
    } cases[] = {
        {Url("good", "/end/notify"), 5000, {}},
        {Url("good", "/end/tcp-close"), 5000, {}},  // no close_notify, but the length says it is whole
        {Url("good", "/end/cut"), -1, cut},
        {Url("good", "/end/reset"), -1, kResetFailures},
        // Without a length only TLS can tell: a close between records ends
        // the body, one inside a record cuts it.
        {Url("good", "/close/notify"), 5000, {}},
        {Url("good", "/close/tcp-close"), 5000, {}},
        {Url("good", "/close/cut"), -1, cut},
        {Url("good", "/missing"), -1, {"the server answered 404 Not Found"}},
        {Url("other_host", "/"), -1, {"the certificate of localhost is for another host name"}},
        {Url("expired", "/"), -1, {"the certificate of localhost has expired or is not valid yet"}},
        {Url("untrusted", "/"), -1, {"the certificate of localhost is not trusted (unknown issuer)"}},
        {Url("tls10", "/"), -1, {"localhost offers only old versions of TLS (older than 1.2)"}},
        {Url("hangup", "/"), -1, {"the connection to localhost broke off during the secure handshake"}},
    };
    for (const Case& c : cases) {
        net::PageLines got = net::CountPageLines(c.url);
        EXPECT_EQ(got.ok, c.lines >= 0) << c.url << ": " << got.failure;
        if (c.lines >= 0) EXPECT_EQ(got.lines, c.lines) << c.url;
        else EXPECT_TRUE(StartsWithOneOf(got.failure, c.failures)) << c.url << ": " << got.failure;
    }
#if !defined(_WIN32)
    // A reset of a body without a length; Wine reads it as the end.
    EXPECT_TRUE(StartsWithOneOf(net::CountPageLines(Url("good", "/close/reset")).failure, kResetFailures));
#endif
}

TEST_F(HttpsTest, SilenceInTheHandshakeEndsAtTheFetchsIdleLimit) {
    net::SetDefaultFetchLimits(net::FetchLimits{5000, 2000, 400});
    auto t = Clock::now();
    EXPECT_EQ(net::CountPageLines(Url("stall", "/")).failure, "localhost sent nothing for 0.4 s");
    EXPECT_GE(MillisSince(t), 350);
    EXPECT_LT(MillisSince(t), 1500);
}

// The chain of "aia" lacks its intermediate, and says where to fetch it:
// from a server here that never answers. The check must not wait for it.
TEST_F(HttpsTest, AMissingIntermediateIsNotFetchedFromTheNetwork) {
    std::atomic<bool> done{false};
    FakeServer silent(Ip(127, 0, 46, 1), 80, [&](platform::SocketHandle, const std::string&) {
        for (int i = 0; i < 1000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }, false);
    ASSERT_TRUE(silent.Ok()) << "cannot listen on port 80";
    net::SetDefaultFetchLimits(net::FetchLimits{3000, 2000, 2000});
    auto t = Clock::now();
    EXPECT_EQ(net::CountPageLines(Url("aia", "/")).failure, "the certificate of localhost is not trusted (unknown issuer)");
    EXPECT_LT(MillisSince(t), 2500);
    done = true;
}

// The server names the clients asked for at /server-names, the asking
// request's own last; an address must never be sent as one.
TEST_F(HttpsTest, AnAddressIsNeverSentAsTheServerName) {
    net::PageLines byAddress = net::CountPageLines("https::127.0.0.1:" + Port("good") + "/end/notify");
#if defined(_WIN32)
    // Wine compares DNS names only, never the certificate's addresses.
    EXPECT_EQ(byAddress.failure, "the certificate of 127.0.0.1 is for another host name");
#else
    EXPECT_EQ(byAddress.lines, 5000) << byAddress.failure;
#endif
    Ref<TStream> s = OpenUrlForReading(String(Url("good", "/server-names").c_str()));
    ASSERT_FALSE(s.IsNull()) << LastHttpFailure().ToBytes8();
    std::vector<std::string> names;
    while (!Eof(s)) names.push_back(ReadLine(s).ToBytes8());
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "-");
    EXPECT_EQ(names.back(), "localhost");
}

// Through a CONNECT tunnel, the certificate is checked against the page's
// host, which only the proxy can reach.
TEST_F(HttpsTest, PagesGoThroughAProxyTunnelWithTheHostsCertificate) {
    FakeProxy proxy(Ip(127, 0, 43, 11), {{"watch.test", Ip(127, 0, 0, 1)}});
    ASSERT_TRUE(proxy.Ok());
    UseProxy use(proxy.Address());
    net::PageLines got = net::CountPageLines("https::watch.test:" + Port("good") + "/end/notify");
    EXPECT_EQ(got.lines, 5000) << got.failure;
    std::string asked = "CONNECT watch.test:" + Port("good") + " HTTP/1.1\r\nHost: watch.test:" + Port("good") + "\r\n";
    EXPECT_EQ(proxy.LastHead().substr(0, asked.size()), asked);
    EXPECT_EQ(net::CountPageLines("https::watch.test:" + Port("other_host") + "/").failure,
              "the certificate of watch.test is for another host name");
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
