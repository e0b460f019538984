#include "net/FetchLimits.h"

#include <atomic>

namespace net {

namespace {

std::atomic<bool> g_abandoned{false};
std::atomic<int32_t> g_deadline{FetchLimits{}.deadlineMillis};
std::atomic<int32_t> g_connect{FetchLimits{}.connectMillis};
std::atomic<int32_t> g_idle{FetchLimits{}.idleMillis};

}  // namespace

FetchLimits DefaultFetchLimits() { return FetchLimits{g_deadline, g_connect, g_idle}; }

void SetDefaultFetchLimits(const FetchLimits& limits) {
    g_deadline = limits.deadlineMillis;
    g_connect = limits.connectMillis;
    g_idle = limits.idleMillis;
}

int32_t MillisLeft(Clock::time_point deadline, int32_t cap) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int32_t>(left < cap ? left : cap);
}

void AbandonFetches() { g_abandoned = true; }

bool FetchesAbandoned() { return g_abandoned.load(std::memory_order_relaxed); }

}  // namespace net
