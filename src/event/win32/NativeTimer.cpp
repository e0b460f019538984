// Periodic multimedia timers.
#include "platform/win32/Win32.h"

#include <mmsystem.h>

#include <map>

#include "event/NativeSystem.h"
#include "event/SystemDriver.h"

namespace {

struct TimerTarget {
    NativeTickFunction tick;
    void* user;
};

// Main thread only. The target outlives the native timer (it is freed after
// the synchronous kill).
std::map<int32_t, TimerTarget*>& Targets() {
    static auto* targets = new std::map<int32_t, TimerTarget*>;
    return *targets;
}

void CALLBACK OnTick(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* target = reinterpret_cast<TimerTarget*>(user);
    target->tick(target->user, static_cast<int32_t>(id));
}

}  // namespace

int32_t StartPeriodicTimer(int32_t periodMillis, NativeTickFunction tick, void* user) {
    if (periodMillis < 1) return 0;
    auto* target = new TimerTarget{tick, user};
    // The handle is only known once timeSetEvent returns, so the callback is
    // given it by the system (its first argument) rather than by us.
    MMRESULT id = timeSetEvent(static_cast<UINT>(periodMillis), 0, OnTick, reinterpret_cast<DWORD_PTR>(target),
                               TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (id == 0) {
        delete target;
        return 0;
    }
    Targets()[static_cast<int32_t>(id)] = target;
    return static_cast<int32_t>(id);
}

void KillPeriodicTimer(int32_t handle) {
    auto it = Targets().find(handle);
    if (it == Targets().end()) return;
    timeKillEvent(static_cast<UINT>(handle));
    delete it->second;
    Targets().erase(it);
}
