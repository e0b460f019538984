// Names and addresses as a network gives them, run by names-test.sh: the
// hosts file names several addresses per name (see there), and the name
// server never answers, as a hung resolver does.
#include <gtest/gtest.h>

#include <future>

#include "NetTestSupport.h"
#include "net/HostLookup.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"

using namespace nettest;

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class Names : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("VW_NAMES_TEST")) GTEST_SKIP() << "run through tests/net/names-test.sh";
        InitHttpStream();
        // The name server of the test's resolv.conf: it takes queries and
        // answers none. An address of its own, so a resolver the machine
        // runs on 127.0.0.1 can neither block it nor answer instead.
        static platform::SocketHandle silent = [] {
            platform::SocketHandle s = platform::OpenSocket(false);
            if (s != platform::kNoSocket && !platform::BindSocket(s, static_cast<uint32_t>(Ip(127, 0, 45, 53)), 53)) {
                platform::CloseSocket(s);
                s = platform::kNoSocket;
            }
            return s;
        }();
        ASSERT_NE(silent, platform::kNoSocket);
    }
    static net::PageLines Fetch(const std::string& url, int32_t deadline, int32_t connect = 3000) {
        return net::CountPageLines(url, net::FetchLimits{deadline, connect, 2000});
    }
};

const char kPage[] = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\na\nb\n";

TEST_F(Names, EveryAddressIsTriedAndASilentOneDoesNotHoldTheRest) {
    FullListener dropsFirst(Ip(127, 0, 45, 1));
    ASSERT_TRUE(dropsFirst.Ok());
    int32_t port = dropsFirst.Port();
    auto serve = [](platform::SocketHandle c, const std::string&) { SendAll(c, kPage); };
    FakeServer second(Ip(127, 0, 45, 2), port, serve);
    FakeServer afterRefusal(Ip(127, 0, 45, 6), port, serve);
    platform::NetAddress six;
    ASSERT_TRUE(platform::ParseNumericAddress("::1", six));
    FakeServer overIpv6(six, port, serve);
    FullListener drops4(Ip(127, 0, 45, 4), port), drops5(Ip(127, 0, 45, 5), port);
    ASSERT_TRUE(second.Ok() && afterRefusal.Ok() && overIpv6.Ok() && drops4.Ok() && drops5.Ok());
    std::string p = std::to_string(port);
    struct Case {
        std::string host, failure;
        int64_t atLeast, below;
    } cases[] = {
        {"slow-first.test", "", 200, 1500},  // the next address joins after a moment
        {"refused-first.test", "", 0, 1000},
        {"dual.test", "", 0, 1000},
        // Each attempt ends at its own time-out (0.4 s), the second 0.25 s later.
        {"dropped.test", "dropped.test:" + p + " did not accept the connection within 0.4 s", 600, 2000},
    };
    for (const Case& c : cases) {
        auto t = Clock::now();
        net::PageLines got = Fetch("http::" + c.host + ":" + p + "/", 5000, c.failure.empty() ? 3000 : 400);
        int64_t took = MillisSince(t);
        EXPECT_EQ(got.failure, c.failure) << c.host;
        EXPECT_EQ(got.lines, c.failure.empty() ? 2 : 0) << c.host;
        EXPECT_GE(took, c.atLeast) << c.host;
        EXPECT_LT(took, c.below) << c.host;
    }
    EXPECT_NE(overIpv6.LastHead().find("\r\nHost: dual.test:" + p + "\r\n"), std::string::npos);
}

TEST_F(Names, NamesThatLookNumericWaitOnlyAsLongAsTheDeadline) {
    for (const char* host : {"300.1.1.1", "1.2.3.4.", "1.2.3.4.5"}) {
        auto t = Clock::now();
        net::PageLines got = Fetch("http::" + std::string(host) + "/", 600);
        EXPECT_EQ(got.failure, "looking up " + std::string(host) + " took longer than 0.6 s");
        EXPECT_LT(MillisSince(t), 1200) << host;
    }
}

// Until the resolver has given up on every look-up left behind.
bool Drained() {
    for (auto until = Clock::now() + std::chrono::seconds(20); Clock::now() < until;) {
        if (net::PendingLookups() == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST_F(Names, LookUpsLeftWaitingOnAHungResolverAreBounded) {
    ASSERT_TRUE(Drained());
    std::vector<std::future<net::PageLines>> hung;
    for (int i = 0; i < net::kMaxPendingLookups; ++i)
        hung.push_back(std::async(std::launch::async, [i] { return Fetch("http::hung-" + std::to_string(i) + ".test/", 300); }));
    for (auto& f : hung) EXPECT_EQ(f.get().failure.substr(0, 15), "looking up hung");
    EXPECT_EQ(net::PendingLookups(), net::kMaxPendingLookups);
    // A name already being looked up waits for that look-up; a new one
    // finds no room and says so at once.
    EXPECT_EQ(Fetch("http::HUNG-3.test/", 300).failure, "looking up HUNG-3.test took longer than 0.3 s");
    auto t = Clock::now();
    EXPECT_EQ(Fetch("http::one-more.test/", 300).failure,
              "the system's name resolver is not answering (16 look-ups are still waiting), so one-more.test was not looked up");
    EXPECT_LT(MillisSince(t), 100);
    // Once the resolver gives up on them, look-ups start again.
    ASSERT_TRUE(Drained());
    EXPECT_EQ(Fetch("http::later.test/", 100).failure, "looking up later.test took longer than 0.1 s");
}

}  // namespace
