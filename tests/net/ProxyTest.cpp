// Which proxy a fetch takes, from the settings' texts, and fetches through
// a loopback proxy written for the tests.
#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"
#include "net/Proxy.h"

using namespace nettest;

namespace {

http::Target Page(const std::string& url) {
    http::Target t;
    std::string failure;
    size_t split = url.find("::");
    EXPECT_TRUE(http::ParseTarget(url.substr(0, split), url.substr(split + 2), t, failure)) << url;
    return t;
}

TEST(ProxyChoice, SettingsOfBothFormsPickTheProxyOrTheDirectWay) {
    struct Case {
        bool windows;
        std::string http, https, bypass, url;
        std::string proxy;  // "host:port"; "" direct; "!text" a failure starting with text
    } cases[] = {
        {false, "http://p.corp:3128/", "", "", "http::forum.example/t", "p.corp:3128"},
        {false, "p.corp", "", "", "http::forum.example/t", "p.corp:80"},
        {false, "http://[fd00::1]:8080", "", "", "http::forum.example/t", "[fd00::1]:8080"},
        {false, "p.corp:1", "", "", "https::forum.example/t", ""},  // http_proxy is not for https
        {false, "", "s.corp:2", "", "https::forum.example/t", "s.corp:2"},
        {false, "p.corp:1", "", "*", "http::forum.example/", ""},
        {false, "p.corp:1", "", " .example ,other", "http::a.forum.example/", ""},
        {false, "p.corp:1", "", "forum.example", "http::forum.example./", ""},
        {false, "p.corp:1", "", "example", "http::badexample/", "p.corp:1"},
        {false, "p.corp:1", "", "10.0.0.0/8", "http::10.1.2.3/", ""},
        {false, "p.corp:1", "", "10.0.0.0/8", "http::11.1.2.3/", "p.corp:1"},
        {false, "p.corp:1", "", "fd00::/8", "http::[fd12::1]/", ""},
        {false, "p.corp:1", "", "forum.example:8080", "http::forum.example:8080/", ""},
        {false, "p.corp:1", "", "forum.example:8080", "http::forum.example/", "p.corp:1"},
        {false, "p.corp:1", "", "[fd00::1]:80", "http::[fd00::1]/", ""},
        {false, "p.corp:1", "", "", "http::localhost:81/", ""},
        {false, "p.corp:1", "", "", "http::127.0.0.5/", ""},
        {false, "p.corp:1", "", "", "https::[::1]/", ""},
        {false, "socks5://s:1080", "", "", "http::forum.example/", "!the proxy setting http_proxy (socks5://s:1080) is not an http proxy"},
        {false, "http://me:pw@p.corp:1", "", "", "http::forum.example/", "!the proxy setting http_proxy holds a user name"},
        {false, "http://p.corp:99999", "", "", "http::forum.example/", "!the proxy setting http_proxy (http://p.corp:99999) is not a usable"},
        {true, "p.corp:8080", "", "", "https::forum.example/", "p.corp:8080"},
        {true, "http=h.corp:1;https=s.corp:2", "", "", "http::forum.example/", "h.corp:1"},
        {true, "http=h.corp:1; https=s.corp:2", "", "", "https::forum.example/", "s.corp:2"},
        {true, "ftp=f.corp:21", "", "", "http::forum.example/", ""},
        {true, "p.corp:1", "", "<local>", "http::intranet/", ""},
        {true, "p.corp:1", "", "<local>", "http::forum.example/", "p.corp:1"},
        {true, "p.corp:1", "", "*.corp.example;10.*", "http::x.CORP.example/", ""},
        {true, "p.corp:1", "", "*.corp.example;10.*", "http::10.9.8.7/", ""},
        {true, "p.corp:1", "", "forum.example:8080", "http::forum.example:8080/", ""},
        {true, "p.corp:1", "", "", "http::localhost/", ""},
        {true, "p.corp:1", "", "<-loopback>", "http::localhost/", "p.corp:1"},
    };
    for (const Case& c : cases) {
        platform::ProxySettings settings{c.windows, c.http, c.https, c.bypass};
        http::Target proxy;
        std::string failure;
        bool used = net::ChooseProxy(Page(c.url), settings, proxy, failure);
        std::string what = c.url + " with " + c.http + c.https + " / " + c.bypass;
        if (c.proxy.compare(0, 1, "!") == 0) {
            EXPECT_FALSE(used) << what;
            EXPECT_EQ(failure.substr(0, c.proxy.size() - 1), c.proxy.substr(1)) << what << ": " << failure;
        } else {
            EXPECT_EQ(used ? proxy.HostPort() : "", c.proxy) << what;
            EXPECT_EQ(failure, "") << what;
        }
    }
}

constexpr int32_t kProxyIp = Ip(127, 0, 43, 9);
constexpr int32_t kPageIp = Ip(127, 0, 43, 10);

TEST(ProxyFetch, PagesGoThroughTheProxyByTheirWholeAddressAndFailuresNameIt) {
    InitHttpStream();
    FakeServer page(kPageIp, 0, [](platform::SocketHandle c, const std::string&) {
        SendAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\na\nb\n");
    });
    FakeProxy proxy(kProxyIp, {{"forum.test", kPageIp}});
    ASSERT_TRUE(page.Ok() && proxy.Ok());
    std::string port = std::to_string(page.Port());
    {
        UseProxy use(proxy.Address(), "direct.test");
        net::PageLines got = net::CountPageLines("http::forum.test:" + port + "/t?x=1");
        EXPECT_TRUE(got.ok) << got.failure;
        EXPECT_EQ(got.lines, 2);
        std::string asked = "GET http://forum.test:" + port + "/t?x=1 HTTP/1.1\r\nHost: forum.test:" + port + "\r\n";
        EXPECT_EQ(proxy.LastHead().substr(0, asked.size()), asked);
        EXPECT_EQ(page.LastHead().substr(0, 21), "GET /t?x=1 HTTP/1.1\r\n");
        // The loopback and the listed exceptions go direct.
        int before = proxy.Connections();
        EXPECT_TRUE(net::CountPageLines("http::127.0.43.10:" + port + "/").ok);
        EXPECT_EQ(net::CountPageLines("http::direct.test:" + port + "/").failure, "the host name direct.test could not be found");
        EXPECT_EQ(proxy.Connections(), before);
    }
    FakeProxy asks(kProxyIp, {}, "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n");
    FakeProxy forbids(kProxyIp, {}, "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
    Ref<TSocket> gone = ListenOn(kProxyIp, 0);
    std::string closed = "127.0.43.9:" + std::to_string(gone->LocalPort());
    gone->Close();
    std::string credentials = "asks for credentials (407 Proxy Authentication Required), which this program does not send";
    struct Case {
        std::string proxy, url, failure;
    } cases[] = {
        {asks.Address(), "http::forum.test:" + port + "/", "the proxy " + asks.Address() + " " + credentials},
        {asks.Address(), "https::forum.test/", "the proxy " + asks.Address() + " " + credentials},
        {forbids.Address(), "https::forum.test/", "the proxy " + forbids.Address() + " refused the connection to forum.test:443 (403 Forbidden)"},
        {closed, "http::forum.test/", "could not connect to the proxy " + closed},
        {"nowhere.invalid:3128", "http::forum.test/", "the host name nowhere.invalid of the proxy could not be found"},
    };
    for (const Case& c : cases) {
        UseProxy use(c.proxy);
        EXPECT_EQ(net::CountPageLines(c.url).failure, c.failure) << c.proxy << " " << c.url;
    }
}

}  // namespace
