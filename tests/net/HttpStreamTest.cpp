#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "NetTestSupport.h"
#include "net/HttpStream.h"
#include "runtime/Program.h"
#include "stream/StreamFactory.h"

using namespace nettest;
using namespace std::string_literals;

namespace {

using Clock = std::chrono::steady_clock;

// AddressSanitizer keeps freed blocks in quarantine, so resident memory says
// nothing about what the code holds on to; the bound is checked elsewhere.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

int64_t MillisSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Every test has its own loopback address with a fake server on port 80.
class HttpStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitHttpStream();
        ResetSocketStreamTimeouts();
    }
    void TearDown() override { ResetSocketStreamTimeouts(); }

    // Serves `reply` verbatim to every request and closes.
    void Serve(int lastOctet, std::string reply) {
        ip = Ip(127, 0, 43, lastOctet);
        host = FormatDottedIp(ip);
        server = std::make_unique<FakeServer>(ip, 80, [reply](platform::SocketHandle c, const std::string&) {
            SendAll(c, reply);
        });
        ASSERT_TRUE(server->Ok()) << "cannot listen on " << host.ToBytes8() << ":80";
    }

    // Opens "http::" + path and reads the body line by line as the update
    // cycle does.
    std::vector<std::string> Fetch(const String& path) {
        Ref<TStream> s = OpenUrlForReading("http::" + path);
        EXPECT_FALSE(s.IsNull());
        std::vector<std::string> lines;
        if (s.IsNull()) return lines;
        while (!Eof(s)) lines.push_back(ReadLine(s).ToBytes8());
        CloseAnyStream(s);
        return lines;
    }

    int32_t ip = 0;
    String host;
    std::unique_ptr<FakeServer> server;
};

using Lines = std::vector<std::string>;

TEST_F(HttpStreamTest, RequestBytesAreExactlyTheThreeLines) {
    Serve(1, "HTTP/1.0 200 OK\r\n\r\nbody\r\n");
    EXPECT_EQ(Fetch(host), Lines{"body"});
    EXPECT_EQ(server->LastHead(), "GET / HTTP/1.0\r\nHost: " + host.ToBytes8() + "\r\n\r\n");

    EXPECT_EQ(Fetch(host + "/forum/t?id=5&p=%20x#last"), Lines{"body"});
    EXPECT_EQ(server->LastHead(),
              "GET /forum/t?id=5&p=%20x#last HTTP/1.0\r\nHost: " + host.ToBytes8() + "\r\n\r\n");

    // Units above U+00FF travel as their low byte.
    EXPECT_EQ(Fetch(host + String(u"/\u0141\u00e9")), Lines{"body"});
    EXPECT_EQ(server->LastHead(), "GET /A\xe9 HTTP/1.0\r\nHost: " + host.ToBytes8() + "\r\n\r\n");

    // Opening for writing sends the same request.
    Ref<TStream> w = OpenUrlForWriting("HTTP::" + host + "/w");
    ASSERT_FALSE(w.IsNull());
    EXPECT_EQ(server->LastHead(), "GET /w HTTP/1.0\r\nHost: " + host.ToBytes8() + "\r\n\r\n");
    EXPECT_EQ(w->ReadLine(), String("body"));
    w->Close();
}

TEST_F(HttpStreamTest, HostWithPortIsResolvedAsOneNameOnPort80) {
    Serve(2, "HTTP/1.0 200 OK\r\n\r\nx");
    int before = server->Connections();
    EXPECT_TRUE(OpenUrlForReading("http::" + host + ":" + String::FormatInt(80) + "/p").IsNull());
    EXPECT_TRUE(OpenUrlForReading("http::localhost:8080/p").IsNull());
    EXPECT_TRUE(OpenUrlForReading("http::no-such-host.invalid/").IsNull());
    EXPECT_EQ(server->Connections(), before);
}

TEST_F(HttpStreamTest, HeadEndsAtTheFirstEmptyLineWhateverItsEnding) {
    Serve(3, "HTTP/1.0 200 OK\nServer: x\n\nA\nB");
    EXPECT_EQ(Fetch(host), (Lines{"A", "B"}));

    Serve(4, "HTTP/1.0 200 OK\r\nX: 1\r\n   \r\n\t\r\nY: 2\r\n\r\n\r\nafter blank\r\n");
    // Lines of blanks are not empty; the body starts with an empty line.
    EXPECT_EQ(Fetch(host), (Lines{"", "after blank"}));

    // A lone CR line is empty once CR is dropped; so is a NUL-ended one.
    Serve(5, "HTTP/1.0 200 OK\r\n\r\r\nbody1\n"s);
    EXPECT_EQ(Fetch(host), Lines{"body1"});
    Serve(6, "HTTP/1.0 200 OK\0\0body2\n"s);
    EXPECT_EQ(Fetch(host), Lines{"body2"});
}

TEST_F(HttpStreamTest, ErrorStatusBodiesAreReturnedAsData) {
    Serve(7, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<h1>Not here</h1>\r\n");
    EXPECT_EQ(Fetch(host + "/missing"), Lines{"<h1>Not here</h1>"});
    Serve(8, "HTTP/1.0 500 Oops\r\n\r\nbroken\nreally\n");
    EXPECT_EQ(Fetch(host), (Lines{"broken", "really"}));
    Serve(9, "HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1/\r\n\r\nmoved");
    EXPECT_EQ(Fetch(host), Lines{"moved"});
}

TEST_F(HttpStreamTest, ConnectionEndingEarlyLeavesTheStreamAtItsEnd) {
    const char* replies[] = {
        "",                                      // empty reply
        "HTTP/1.0 200 OK\r\nServer: half",       // inside the head
        "HTTP/1.0 200 OK\r\nA: b\r\n",           // between header lines
        "HTTP/1.0 200 OK\r\n\r\n",               // right after the head
    };
    int octet = 10;
    for (const char* reply : replies) {
        Serve(octet++, reply);
        Ref<TStream> s = OpenUrlForReading("http::" + host);
        ASSERT_FALSE(s.IsNull()) << reply;
        EXPECT_EQ(s->Eof(), 1) << reply;
        EXPECT_EQ(s->Eof(), 1);
        s->Close();
    }
    // Closed before anything is read: the server does not even read the request.
    ip = Ip(127, 0, 43, 20);
    host = FormatDottedIp(ip);
    FakeServer rude(ip, 80, [](platform::SocketHandle, const std::string&) {}, false);
    ASSERT_TRUE(rude.Ok());
    Ref<TStream> s = OpenUrlForReading("http::" + host);
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(s->Eof(), 1);
}

TEST_F(HttpStreamTest, BodyCutMidLineKeepsThePartialLine) {
    Serve(21, "HTTP/1.0 200 OK\r\n\r\nfull line\r\nhalf a li");
    EXPECT_EQ(Fetch(host), (Lines{"full line", "half a li"}));
}

TEST_F(HttpStreamTest, SlowCloseAddsNoEmptyLine) {
    // The body's last line arrives well before the server closes: the count
    // must not depend on how quickly the close follows.
    ip = Ip(127, 0, 43, 40);
    host = FormatDottedIp(ip);
    server = std::make_unique<FakeServer>(ip, 80, [](platform::SocketHandle c, const std::string&) {
        SendAll(c, "HTTP/1.0 200 OK\r\n\r\none\r\ntwo\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    ASSERT_TRUE(server->Ok());
    EXPECT_EQ(Fetch(host), (Lines{"one", "two"}));
}

TEST_F(HttpStreamTest, SilentServerTimesOutInsteadOfHanging) {
    ip = Ip(127, 0, 43, 22);
    host = FormatDottedIp(ip);
    std::atomic<bool> done{false};
    FakeServer silent(ip, 80, [&](platform::SocketHandle, const std::string&) {
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    ASSERT_TRUE(silent.Ok());
    SetSocketStreamTimeouts(2000, 400);
    auto t = Clock::now();
    Ref<TStream> s = OpenUrlForReading("http::" + host + "/slow");
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(s->Eof(), 1);
    int64_t took = MillisSince(t);
    EXPECT_GE(took, 350);
    EXPECT_LT(took, 5000);

    // Stops half-way through the body: what came is counted, then the end.
    done = false;
    ip = Ip(127, 0, 43, 23);
    host = FormatDottedIp(ip);
    FakeServer stalls(ip, 80, [&](platform::SocketHandle c, const std::string&) {
        SendAll(c, "HTTP/1.0 200 OK\r\n\r\none\ntwo\nthr");
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_EQ(Fetch(host), (Lines{"one", "two", "thr"}));
    done = true;
}

// Generates `total` bytes of body (or head) in fixed chunks without holding
// them, so the server's memory stays small too.
void SendGenerated(platform::SocketHandle c, const std::string& prefix, const std::string& chunk, int64_t total,
                   const std::string& suffix) {
    SendAll(c, prefix);
    for (int64_t sent = 0; sent < total; sent += static_cast<int64_t>(chunk.size()))
        if (!SendAll(c, chunk)) return;
    SendAll(c, suffix);
}

TEST_F(HttpStreamTest, HugeBodyIsCountedInBoundedMemory) {
    std::string chunk;
    for (int i = 0; chunk.size() < 64 * 1024 - 200; ++i) chunk += std::string(static_cast<size_t>(i % 150), 'x') + "\r\n";
    int64_t linesPerChunk = 0;
    for (char c : chunk) linesPerChunk += c == '\n';
    constexpr int64_t kTotal = 100LL * 1024 * 1024;
    int64_t chunks = (kTotal + static_cast<int64_t>(chunk.size()) - 1) / static_cast<int64_t>(chunk.size());
    ip = Ip(127, 0, 43, 24);
    host = FormatDottedIp(ip);
    FakeServer big(ip, 80, [&](platform::SocketHandle c, const std::string&) {
        SendGenerated(c, "HTTP/1.0 200 OK\r\n\r\n", chunk, kTotal, "last");
    });
    ASSERT_TRUE(big.Ok());
    Ref<TStream> s = OpenUrlForReading("http::" + host + "/big");
    ASSERT_FALSE(s.IsNull());
    int64_t before = ResidentKb();
    int64_t peak = before;
    int64_t count = 0;
    while (!Eof(s)) {
        ReadLine(s);
        if (++count % 100000 == 0) peak = std::max(peak, ResidentKb());
    }
    EXPECT_EQ(count, chunks * linesPerChunk + 1);
    if (kMeasureMemory && before > 0) {
        EXPECT_LT(peak - before, 16 * 1024) << "resident memory grew by " << (peak - before) << " KiB";
    }
}

TEST_F(HttpStreamTest, HugeHeadsAreSkippedWithoutKeepingThem) {
    // An endless run of header lines, then the body; and one header line of
    // 32 MB. Neither may cost memory beyond the read-ahead buffer.
    ip = Ip(127, 0, 43, 25);
    host = FormatDottedIp(ip);
    std::string fillers;
    while (fillers.size() < 60000) fillers += "X-Filler: 0123456789abcdef\r\n";
    FakeServer many(ip, 80, [&](platform::SocketHandle c, const std::string&) {
        SendGenerated(c, "HTTP/1.0 200 OK\r\n", fillers, 32LL << 20, "\r\nbody\n");
    });
    FakeServer longLine(Ip(127, 0, 43, 26), 80, [](platform::SocketHandle c, const std::string&) {
        SendGenerated(c, "HTTP/1.0 200 OK\r\nX: ", std::string(60000, 'h'), 32LL << 20, "\r\n");
    });
    ASSERT_TRUE(many.Ok());
    ASSERT_TRUE(longLine.Ok());
    int64_t before = ResidentKb();
    EXPECT_EQ(Fetch(host), Lines{"body"});
    // No empty line at all: the whole response is the head, the stream ends.
    Ref<TStream> s = OpenUrlForReading("http::127.0.43.26");
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(s->Eof(), 1);
    int64_t after = ResidentKb();
    if (kMeasureMemory && before > 0) {
        EXPECT_LT(after - before, 16 * 1024);
    }
}

// A page from a real, independent HTTP server; the script test that starts
// one passes its address and the page's expected line count.
TEST(HttpThirdParty, PageFromARealServer) {
    const char* where = std::getenv("VW_THIRD_PARTY_HTTP");
    const char* lines = std::getenv("VW_THIRD_PARTY_LINES");
    if (!where || !lines) GTEST_SKIP() << "no third-party server given";
    InitHttpStream();
    Ref<TStream> s = OpenUrlForReading("http::" + String(where));
    ASSERT_FALSE(s.IsNull());
    int32_t count = 0;
    String first;
    while (!Eof(s)) {
        String line = ReadLine(s);
        if (count++ == 0) first = line;
    }
    CloseAnyStream(s);
    EXPECT_EQ(count, std::atoi(lines));
    EXPECT_EQ(first, String("first line of the page"));
}

}  // namespace
