// How long a page fetch may take, and the switch that ends every fetch at
// program end. Safe to use from any thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace net {

using Clock = std::chrono::steady_clock;

// Waits are cut into slices this long so that an abandoned fetch notices
// within a moment.
constexpr int32_t kSliceMillis = 100;

// The time left before `deadline`, at most `cap` ms; 0 once it has passed.
int32_t MillisLeft(Clock::time_point deadline, int32_t cap);

// What one fetch may take, in milliseconds.
struct FetchLimits {
    int32_t deadlineMillis = 60000;  // the whole fetch: look-up, connect, TLS, head, body
    int32_t connectMillis = 20000;   // one connection attempt
    int32_t idleMillis = 30000;      // silence while waiting for bytes
};

// The limits a fetch uses unless it is given others. Tests shorten them.
FetchLimits DefaultFetchLimits();
void SetDefaultFetchLimits(const FetchLimits& limits);

// Makes every fetch in progress fail within a moment, and every later one
// at once: for the end of the program, so no worker outlives it.
void AbandonFetches();
bool FetchesAbandoned();

}  // namespace net
