#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#if !defined(_WIN32)
#include <signal.h>
#include <sys/time.h>
#endif

#include "NetTestSupport.h"
#include "net/Socket.h"
#include "runtime/Program.h"

using namespace nettest;

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A connected pair on loopback: the client made by TSocket::Connect, the
// server's end by Accept.
class SocketPair : public ::testing::Test {
protected:
    static constexpr int32_t kIp = Ip(127, 0, 41, 1);

    void SetUp() override {
        InitSockets();
        listener = ListenOn(kIp, 0);
        ASSERT_FALSE(listener.IsNull());
        client = TSocket::CreateTCP();
        ASSERT_FALSE(client.IsNull());
        ASSERT_EQ(client->Connect(kIp, listener->LocalPort()), 1);
        server = listener->Accept(2000);
        ASSERT_FALSE(server.IsNull());
    }
    void TearDown() override {
        for (auto* s : {&client, &server, &listener})
            if (!s->IsNull()) (*s)->Close();
    }

    Ref<TSocket> listener, client, server;
};

TEST_F(SocketPair, NamesAreFilledOnBothEnds) {
    EXPECT_EQ(client->RemoteIp(), kIp);
    EXPECT_EQ(client->RemotePort(), listener->LocalPort());
    EXPECT_EQ(server->LocalIp(), kIp);
    EXPECT_EQ(server->RemotePort(), client->LocalPort());
    EXPECT_EQ(server->LocalPort(), listener->LocalPort());
    EXPECT_EQ(SockRemoteIp(server), client->LocalIp());
    EXPECT_EQ(FormatDottedIp(SockLocalIp(client)).Slice(0, 4), String("127."));
}

TEST_F(SocketPair, BytesTravelBothWays) {
    EXPECT_EQ(client->Send("ping", 4, 0), 4);
    char buf[16] = {};
    int32_t got = 0;
    while (got < 4) {
        int32_t n = server->Recv(buf + got, 16 - got, 0);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(std::string(buf, 4), "ping");
    EXPECT_EQ(server->Send("\xff\x00z", 3, 0), 3);
    while (client->ReadAvail() < 3) SleepMillis(1);
    EXPECT_EQ(client->Recv(buf, 16, 0), 3);
    EXPECT_EQ(std::string(buf, 3), std::string("\xff\x00z", 3));
}

TEST_F(SocketPair, ConnectedOnIdleConnectionAnswersAtOnce) {
    auto t = Clock::now();
    EXPECT_EQ(client->Connected(), 1);
    EXPECT_EQ(SockConnected(server), 1);
    EXPECT_LT(MillisSince(t), 100);
}

TEST_F(SocketPair, ConnectedStaysOneWhileUnreadDataRemainsAfterPeerClosed) {
    server->Send("abc", 3, 0);
    server->Close();
    while (client->ReadAvail() < 3) SleepMillis(1);
    EXPECT_EQ(client->Connected(), 1);
    char buf[8];
    EXPECT_EQ(client->Recv(buf, 8, 0), 3);
    // Now only the close is pending.
    auto t = Clock::now();
    EXPECT_EQ(client->Connected(), 0);
    EXPECT_LT(client->Socket(), 0);
    EXPECT_EQ(client->RemoteIp(), -1);
    EXPECT_EQ(client->LocalPort(), -1);
    EXPECT_EQ(client->Connected(), 0);
    EXPECT_LT(MillisSince(t), 100);
    // Closed socket: every operation reports failure instead of touching a
    // stale handle.
    EXPECT_EQ(client->Send("x", 1, 0), 0);
    EXPECT_EQ(client->Recv(buf, 1, 0), 0);
    EXPECT_EQ(client->ReadAvail(), 0);
    EXPECT_TRUE(client->Accept(0).IsNull());
    EXPECT_EQ(client->Close(), 0);
}

TEST_F(SocketPair, CloseWithoutAutoCloseLeavesTheHandleOpen) {
    Ref<TSocket> alias = TSocket::Create(client->SocketHandle(), 0);
    ASSERT_FALSE(alias.IsNull());
    EXPECT_EQ(alias->RemotePort(), listener->LocalPort());
    alias->Close();
    EXPECT_LT(alias->Socket(), 0);
    EXPECT_EQ(alias->Connected(), 0);
    // The connection itself is untouched.
    EXPECT_EQ(client->Send("ok", 2, 0), 2);
    char buf[4];
    int32_t got = 0;
    while (got < 2) got += server->Recv(buf + got, 2 - got, 0);
    EXPECT_EQ(std::string(buf, 2), "ok");
    EXPECT_EQ(server->Connected(), 1);
}

TEST_F(SocketPair, ReadinessWaitZeroesHandlesThatAreNotReady) {
    std::vector<TSocket::Handle> read{client->SocketHandle(), server->SocketHandle(), server->SocketHandle()};
    std::vector<TSocket::Handle> write, error;
    EXPECT_EQ(SelectSockets(read, write, error, 0), 0);
    EXPECT_EQ(read, (std::vector<TSocket::Handle>{0, 0, 0}));

    client->Send("x", 1, 0);
    read = {client->SocketHandle(), server->SocketHandle(), server->SocketHandle()};
    write = {client->SocketHandle()};
    EXPECT_EQ(SelectSockets(read, write, error, 2000), 2);
    EXPECT_EQ(read, (std::vector<TSocket::Handle>{0, server->SocketHandle(), server->SocketHandle()}));
    EXPECT_EQ(write, (std::vector<TSocket::Handle>{client->SocketHandle()}));
}

TEST(Socket, AcceptWithZeroTimeoutAndNobodyWaitingReturnsAtOnce) {
    InitSockets();
    Ref<TSocket> listener = ListenOn(Ip(127, 0, 41, 1), 0);
    ASSERT_FALSE(listener.IsNull());
    auto t = Clock::now();
    EXPECT_TRUE(listener->Accept(0).IsNull());
    EXPECT_TRUE(SockAccept(listener, 150).IsNull());
    int64_t took = MillisSince(t);
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 1500);
    listener->Close();
}

TEST(Socket, FreshObjectsAndFailures) {
    InitSockets();
    TSocket bare;
    EXPECT_EQ(bare.Socket(), 0);
    EXPECT_EQ(bare.LocalIp(), 0);
    EXPECT_EQ(bare.RemotePort(), 0);
    EXPECT_TRUE(TSocket::Create(-1, 1).IsNull());

    Ref<TSocket> s = OpenTCPSocket();
    ASSERT_FALSE(s.IsNull());
    EXPECT_EQ(SockBind(s, 0), 1);
    EXPECT_GT(SockLocalPort(s), 0);
    s->SetTCPNoDelay(1);
    SockClose(s);

    // Nobody listens there: refused, and the socket stays open for its owner.
    Ref<TSocket> listener = ListenOn(Ip(127, 0, 41, 2), 0);
    int32_t port = listener->LocalPort();
    listener->Close();
    Ref<TSocket> c = TSocket::CreateTCP();
    EXPECT_EQ(SockConnect(c, Ip(127, 0, 41, 2), port), 0);
    EXPECT_GE(c->Socket(), 0);
    c->Close();

    Ref<TSocket> u = OpenUDPSocket();
    ASSERT_FALSE(u.IsNull());
    u->Close();
}

TEST(Socket, ConnectWithinGivesUpOnAPeerThatNeverAnswers) {
    InitSockets();
    // A listener whose queue is full drops further connection attempts, so
    // the connect neither succeeds nor fails on its own.
    constexpr int32_t ip = Ip(127, 0, 41, 3);
    FullListener listener(ip);
    ASSERT_TRUE(listener.Ok());
    Ref<TSocket> c = TSocket::CreateTCP();
    auto t = Clock::now();
    EXPECT_EQ(c->ConnectWithin(ip, listener.Port(), 300), 0);
    // A refusal would come at once; only the time-out takes this long.
    EXPECT_GE(MillisSince(t), 250);
    EXPECT_LT(MillisSince(t), 3000);
    c->Close();
}

#if !defined(_WIN32)
// Signals that arrive while a connect waits must not fail it: the attempt
// goes on in the background, and a second connect call would only report
// "already in progress".
TEST(Socket, ConnectSurvivesSignals) {
    InitSockets();
    constexpr int32_t ip = Ip(127, 0, 41, 4);
    FullListener listener(ip);
    ASSERT_TRUE(listener.Ok());
    // The queue drains after a moment, so the attempt below then succeeds
    // once its SYN is sent again; meanwhile a timer interrupts it often.
    platform::SocketHandle queue = listener.Handle();
    std::thread drain([queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < 8; ++i)
            if (platform::WaitReadable(queue, 100) == 1) platform::CloseSocket(platform::AcceptSocket(queue));
    });
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigaction(SIGALRM, &action, nullptr);  // no SA_RESTART: calls see EINTR
    itimerval every{{0, 5000}, {0, 5000}};
    setitimer(ITIMER_REAL, &every, nullptr);
    Ref<TSocket> c = TSocket::CreateTCP();
    EXPECT_EQ(c->Connect(ip, listener.Port()), 1);
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    drain.join();
    c->Close();
}
#endif

TEST(SocketNames, DottedFormUsesUnsignedBytes) {
    EXPECT_EQ(FormatDottedIp(-1), String("255.255.255.255"));
    EXPECT_EQ(FormatDottedIp(Ip(192, 168, 0, 1)), String("192.168.0.1"));
    EXPECT_EQ(FormatDottedIp(0), String("0.0.0.0"));
    EXPECT_EQ(FormatDottedIp(Ip(10, 200, 3, 99)), String("10.200.3.99"));
}

TEST(SocketNames, Resolution) {
    InitSockets();
    EXPECT_EQ(ResolveHostIp("127.0.41.7"), Ip(127, 0, 41, 7));
    EXPECT_EQ(ResolveHostIp("127.0.41.7", 1), 0);
    EXPECT_EQ(ResolveHostIp("127.0.41.7", -1), 0);
    EXPECT_EQ(ResolveHostIps("127.0.41.7"), std::vector<int32_t>{Ip(127, 0, 41, 7)});
    EXPECT_EQ(ResolveHostIp("localhost"), Ip(127, 0, 0, 1));
    EXPECT_EQ(ResolveHostIp("localhost", 1), 0);
    // Names that cannot resolve, including one that only a truncating
    // conversion would turn into a valid one.
    EXPECT_TRUE(ResolveHostIps("no-such-host.invalid").empty());
    EXPECT_EQ(ResolveHostIp("localhost:80"), 0);
    EXPECT_EQ(ResolveHostIp(String(u"localhost\u0100x")), 0);
    EXPECT_EQ(LookupHostName(Ip(127, 0, 0, 1)), String("localhost"));
}

TEST(SocketNames, ExceptionText) { EXPECT_EQ(TSocketException().ToString(), String("Internal socket error")); }

}  // namespace
