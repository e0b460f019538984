// In a process of its own: abandoning fetches cannot be undone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

#include "NetTestSupport.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"

using namespace nettest;

namespace {

using Clock = std::chrono::steady_clock;

TEST(AbandonFetches, EndsFetchesInFlightAtOnceAndRefusesNewOnes) {
    InitHttpStream();
    std::atomic<bool> done{false};
    FakeServer silent(Ip(127, 0, 43, 2), 0, [&](platform::SocketHandle, const std::string&) {
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    ASSERT_TRUE(silent.Ok());
    std::string url = "http::127.0.43.2:" + std::to_string(silent.Port()) + "/";
    auto waiting = std::async(std::launch::async, [&] { return net::CountPageLines(url); });
    // A connection attempt that is never answered is abandoned as well.
    FullListener full(Ip(127, 0, 43, 3));
    ASSERT_TRUE(full.Ok());
    std::string stuck = "http::127.0.43.3:" + std::to_string(full.Port()) + "/";
    auto connecting = std::async(std::launch::async, [&] { return net::CountPageLines(stuck); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto t = Clock::now();
    net::AbandonFetches();
    for (auto* fetch : {&waiting, &connecting}) {
        net::PageLines got = fetch->get();
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.failure, "the program is ending");
    }
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count(), 1000);
    EXPECT_EQ(net::CountPageLines(url).failure, "the program is ending");
    done = true;
}

}  // namespace
