// Periodic timers on threads of their own, one per timer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "event/NativeSystem.h"
#include "event/SystemDriver.h"

namespace {

struct PeriodicTimer {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;
};

// Touched by the main thread only (start and kill).
std::map<int32_t, std::unique_ptr<PeriodicTimer>>& Timers() {
    static auto* timers = new std::map<int32_t, std::unique_ptr<PeriodicTimer>>;
    return *timers;
}

int32_t g_nextHandle = 0;

}  // namespace

int32_t StartPeriodicTimer(int32_t periodMillis, NativeTickFunction tick, void* user) {
    // The same range the Windows multimedia timer serves.
    if (periodMillis < 1 || periodMillis > 1000000) return 0;
    if (++g_nextHandle <= 0) g_nextHandle = 1;
    int32_t handle = g_nextHandle;
    auto timer = std::make_unique<PeriodicTimer>();
    PeriodicTimer* t = timer.get();
    t->thread = std::thread([t, periodMillis, tick, user, handle] {
        auto next = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> hold(t->lock);
        for (;;) {
            next += std::chrono::milliseconds(periodMillis);
            if (t->wake.wait_until(hold, next, [t] { return t->stop; })) return;
            tick(user, handle);
        }
    });
    Timers()[handle] = std::move(timer);
    return handle;
}

void KillPeriodicTimer(int32_t handle) {
    auto it = Timers().find(handle);
    if (it == Timers().end()) return;
    PeriodicTimer* t = it->second.get();
    {
        std::lock_guard<std::mutex> hold(t->lock);
        t->stop = true;
    }
    t->wake.notify_all();
    t->thread.join();
    Timers().erase(it);
}
