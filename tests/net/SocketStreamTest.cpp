#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>

#include "NetTestSupport.h"
#include "net/SocketStream.h"
#include "runtime/Program.h"
#include "stream/StreamFactory.h"

using namespace nettest;

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

String Url(int32_t ip, int32_t port) { return "tcp::" + FormatDottedIp(ip) + ":" + String::FormatInt(port); }

// What reading the bytes line by line must give: LF or NUL ends a line, CR
// is dropped anywhere, a last unterminated line counts when it is not empty
// or when bytes of it (even only CRs) were there.
std::vector<std::string> ReferenceLines(const std::string& data) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (char c : data) {
        if (c == '\n' || c == '\0') {
            lines.push_back(line);
            line.clear();
            open = false;
        } else {
            open = true;
            if (c != '\r') line += c;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

class SocketStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitSocketStream();
        ResetSocketStreamTimeouts();
    }
    void TearDown() override { ResetSocketStreamTimeouts(); }
};

// Eof never waits: it is 0 while the connection is idle and turns 1 once
// the peer's close has arrived, however late that is.
bool EofWithin(const Ref<TStream>& s, int64_t millis) {
    auto t = Clock::now();
    while (s->Eof() == 0) {
        if (MillisSince(t) > millis) return false;
        SleepMillis(5);
    }
    return true;
}

TEST_F(SocketStreamTest, TcpUrlConnectsToTheGivenPortAndCarriesBothWays) {
    constexpr int32_t ip = Ip(127, 0, 42, 1);
    std::atomic<bool> close{false};
    FakeServer server(ip, 0, [&](platform::SocketHandle c, const std::string&) {
        std::string got = RecvUntil(c, "\r\n");
        SendAll(c, "echo:" + got);
        while (!close) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }, false);
    ASSERT_TRUE(server.Ok());
    Ref<TStream> s = OpenUrlStream("TCP::" + FormatDottedIp(ip) + ":" + String::FormatInt(server.Port()), 1, 0);
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(s->Seek(3), -1);
    EXPECT_EQ(s->Size(), 0);
    EXPECT_EQ(s->Pos(), -1);
    EXPECT_EQ(s->WriteLine("hello \xe9"), 1);
    EXPECT_EQ(s->ReadLine(), String("echo:hello \xe9"));
    auto t = Clock::now();
    EXPECT_EQ(s->Eof(), 0);  // idle: answered at once
    EXPECT_LT(MillisSince(t), 100);
    close = true;
    EXPECT_TRUE(EofWithin(s, 5000));
    EXPECT_TRUE(Cast<TSocketStream>(s)->Socket().IsNull());
    s->Close();
    s->Close();
}

TEST_F(SocketStreamTest, TcpUrlWithoutPortUsesPort80) {
    constexpr int32_t ip = Ip(127, 0, 42, 80);
    FakeServer server(ip, 80, [](platform::SocketHandle c, const std::string&) { SendAll(c, "port eighty"); }, false);
    ASSERT_TRUE(server.Ok()) << "cannot listen on port 80";
    Ref<TStream> s = OpenUrlForReading("tcp::" + FormatDottedIp(ip));
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(s->ReadLine(), String("port eighty"));
    s->Close();
}

TEST_F(SocketStreamTest, FailuresGiveTheNullObject) {
    constexpr int32_t ip = Ip(127, 0, 42, 2);
    Ref<TSocket> gone = ListenOn(ip, 0);
    int32_t port = gone->LocalPort();
    gone->Close();
    EXPECT_TRUE(OpenUrlForReading(Url(ip, port)).IsNull());
    EXPECT_TRUE(TSocketStream::CreateClient("no-such-host.invalid", 80).IsNull());
    // A port beyond 16 bits must not wrap onto another port.
    FakeServer server(ip, 0, [](platform::SocketHandle, const std::string&) {}, false);
    EXPECT_TRUE(OpenUrlForReading(Url(ip, server.Port() + 65536)).IsNull());
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(OpenUrlForReading("tcpx::" + FormatDottedIp(ip)).IsNull());
}

TEST_F(SocketStreamTest, EofWaitsForThePeerAndNeverHidesBufferedBytes) {
    constexpr int32_t ip = Ip(127, 0, 42, 3);
    std::atomic<bool> go{false};
    FakeServer server(ip, 0, [&](platform::SocketHandle c, const std::string&) {
        while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        SendAll(c, "first\nsecond\r\nlast");
    }, false);
    Ref<TSocketStream> s = TSocketStream::CreateClient(FormatDottedIp(ip), server.Port());
    ASSERT_FALSE(s.IsNull());
    auto t = Clock::now();
    EXPECT_EQ(s->Eof(), 0);  // idle, not ended
    EXPECT_LT(MillisSince(t), 100);
    go = true;
    EXPECT_EQ(s->ReadLine(), String("first"));
    // Whatever is still buffered must keep Eof at 0, even once the peer is gone.
    while (s->Socket()->ReadAvail() == 0 && s->Buffered() < 11) SleepMillis(2);
    SleepMillis(50);
    EXPECT_EQ(s->Eof(), 0);
    EXPECT_EQ(s->ReadLine(), String("second"));
    EXPECT_EQ(s->Eof(), 0);
    EXPECT_EQ(s->ReadLine(), String("last"));
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_TRUE(s->Socket().IsNull());
    // Closed: reads and writes report nothing instead of failing.
    char b;
    EXPECT_EQ(s->Read(&b, 1), 0);
    EXPECT_EQ(s->Write("x", 1), 0);
    EXPECT_EQ(s->ReadLine(), String());
    EXPECT_EQ(s->Eof(), 1);
}

TEST_F(SocketStreamTest, WithoutAutoCloseTheSocketOutlivesTheStreamWithEveryByte) {
    constexpr int32_t ip = Ip(127, 0, 42, 4);
    FakeServer server(ip, 0, [](platform::SocketHandle c, const std::string&) {
        // More than the stream will take, in one piece: the rest sits in
        // the stream's read-ahead when it is closed.
        SendAll(c, "one\ntwo\nthree");
        std::string more = RecvUntil(c, "\n");
        SendAll(c, "got " + more);
    }, false);
    Ref<TSocket> socket = TSocket::CreateTCP();
    ASSERT_EQ(socket->Connect(ip, server.Port()), 1);
    Ref<TSocketStream> s = WrapSocketStream(socket, 0);
    EXPECT_TRUE(StreamSocketOf(s) == socket);
    while (socket->ReadAvail() < 13) SleepMillis(2);
    EXPECT_EQ(s->ReadLine(), String("one"));
    s->Close();
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_GE(socket->Socket(), 0);
    EXPECT_EQ(socket->ReadAvail(), 9);
    EXPECT_EQ(socket->Send("two\n", 4, 0), 4);
    char buf[32];
    int32_t got = 0, n;
    while ((n = socket->Recv(buf + got, 32 - got, 0)) > 0) got += n;
    EXPECT_EQ(std::string(buf, got), "two\nthreegot two\n");
    socket->Close();
}

// Lines that cross the read-ahead buffer's edges, CR anywhere, NUL as a
// terminator, long lines and mixed block reads must come out exactly as
// byte-wise reading gives them.
TEST_F(SocketStreamTest, BufferedLinesMatchByteWiseReading) {
    std::mt19937 rng(7);
    std::string data;
    while (data.size() < 3 * TSocketStream::kBufferSize + 123) {
        int kind = rng() % 10;
        size_t len = kind == 0 ? 70000 + rng() % 5000 : rng() % 120;
        for (size_t i = 0; i < len; ++i) {
            int r = rng() % 40;
            data += r == 0 ? '\r' : static_cast<char>(' ' + rng() % 90);
        }
        data += kind == 1 ? std::string(1, '\0') : kind == 2 ? "\r\r\n" : "\n";
    }
    data += "tail without end\r";
    constexpr int32_t ip = Ip(127, 0, 42, 5);
    FakeServer server(ip, 0, [&](platform::SocketHandle c, const std::string&) {
        // Dribble part of it so receives return short pieces too.
        for (size_t i = 0; i < 2000; i += 7) {
            SendAll(c, data.substr(i, 7));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        SendAll(c, data.substr(2002));
    }, false);
    Ref<TSocketStream> s = TSocketStream::CreateClient(FormatDottedIp(ip), server.Port());
    ASSERT_FALSE(s.IsNull());
    std::vector<std::string> expected = ReferenceLines(data);
    std::vector<std::string> got;
    while (!s->Eof()) got.push_back(s->ReadLine().ToBytes8());
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "line " << i;

    // The same bytes through block reads: a big ReadBytes that bypasses the
    // buffer, then small ones and single bytes.
    FakeServer again(ip, 0, [&](platform::SocketHandle c, const std::string&) { SendAll(c, data); }, false);
    s = TSocketStream::CreateClient(FormatDottedIp(ip), again.Port());
    std::string back(data.size(), '\0');
    int32_t first = s->ReadInt();
    EXPECT_EQ(0, std::memcmp(&first, data.data(), 4));
    const int32_t big = TSocketStream::kBufferSize + 1000;
    s->ReadBytes(&back[4], big);
    size_t at = 4 + static_cast<size_t>(big);
    // Eof does not wait on an idle connection, so the last bytes can be in
    // before the close is: read until every byte is back.
    while (at < data.size()) {
        int32_t n = s->Read(&back[at], static_cast<int32_t>(std::min<size_t>(data.size() - at, 1 + at % 5000)));
        ASSERT_GT(n, 0);
        at += static_cast<size_t>(n);
    }
    back.replace(0, 4, data.substr(0, 4));
    EXPECT_EQ(at, data.size());
    EXPECT_TRUE(back == data);
    EXPECT_THROW(s->ReadByte(), TStreamReadException);
}

TEST_F(SocketStreamTest, SilentPeerReadsAsEndAfterTheReceiveTimeOut) {
    constexpr int32_t ip = Ip(127, 0, 42, 6);
    std::atomic<bool> done{false};
    FakeServer server(ip, 0, [&](platform::SocketHandle c, const std::string&) {
        SendAll(c, "partial line");
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }, false);
    SetSocketStreamTimeouts(2000, 300);
    Ref<TSocketStream> s = TSocketStream::CreateClient(FormatDottedIp(ip), server.Port());
    ASSERT_FALSE(s.IsNull());
    auto t = Clock::now();
    EXPECT_EQ(s->ReadLine(), String("partial line"));
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_TRUE(s->Socket().IsNull());
    int64_t took = MillisSince(t);
    EXPECT_GE(took, 250);
    EXPECT_LT(took, 5000);
    done = true;
}

TEST_F(SocketStreamTest, ConnectTimeOutGivesTheNullObject) {
    constexpr int32_t ip = Ip(127, 0, 42, 7);
    // A full accept queue leaves further connects unanswered.
    FullListener listener(ip);
    ASSERT_TRUE(listener.Ok());
    SetSocketStreamTimeouts(400, 1000);
    auto t = Clock::now();
    EXPECT_TRUE(OpenUrlForReading(Url(ip, listener.Port())).IsNull());
    // A refusal would come at once; only the time-out takes this long.
    EXPECT_GE(MillisSince(t), 350);
    EXPECT_LT(MillisSince(t), 4000);
}

}  // namespace
