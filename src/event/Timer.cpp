#include "event/Timer.h"

#include <cmath>
#include <cstdint>

#include "event/NativeSystem.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

// The running native timers; each entry keeps its timer alive. Main thread only.
struct NativeEntry {
    int32_t handle;
    Ref<TTimer> timer;
};
NativeEntry g_table[kMaxNativeTimers];
int32_t g_count = 0;

// On the main thread. The timer pointer is only trusted when the table still
// holds it under this handle: a tick of a stopped timer (whose object may be
// gone, and whose handle the platform may have reused) changes nothing.
void DeliverTick(void* timer, void* handle) {
    int32_t h = static_cast<int32_t>(reinterpret_cast<intptr_t>(handle));
    for (int32_t i = 0; i < g_count; ++i) {
        if (g_table[i].handle == h && g_table[i].timer.Get() == timer) {
            Ref<TTimer> keep = g_table[i].timer;
            keep->Fire();
            return;
        }
    }
}

// On the platform's timer thread: nothing but the hand-over.
void OnNativeTick(void* timer, int32_t handle) {
    PostMainThreadCall(DeliverTick, timer, reinterpret_cast<void*>(static_cast<intptr_t>(handle)));
}

}  // namespace

int32_t TimerPeriodMillis(float hz) {
    float period = 1000.0f / hz;
    if (!(period >= 1.0f && period < 2147483648.0f)) return 0;  // also NaN and negative rates
    return static_cast<int32_t>(period);
}

int32_t RunningTimerCount() { return g_count; }

int32_t StartNativeTimer(float hz, const Ref<TTimer>& timer) {
    if (g_count >= kMaxNativeTimers) return 0;
    int32_t period = TimerPeriodMillis(hz);
    if (period == 0) return 0;
    int32_t handle = StartPeriodicTimer(period, OnNativeTick, timer.Get());
    if (handle == 0) return 0;
    g_table[g_count++] = NativeEntry{handle, timer};
    return handle;
}

void StopNativeTimer(int32_t handle, const Ref<TTimer>&) {
    for (int32_t i = 0; i < g_count; ++i) {
        if (g_table[i].handle != handle) continue;
        Ref<TTimer> keep = g_table[i].timer;  // released after the native timer is gone
        g_table[i] = g_table[g_count - 1];
        g_table[--g_count] = NativeEntry{0, Ref<TTimer>()};
        KillPeriodicTimer(handle);
        return;
    }
}

Ref<TTimer> TTimer::Create(float hz, const Ref<TEvent>& event) {
    InitTimers();
    Ref<TTimer> timer = New<TTimer>();
    int32_t handle = StartNativeTimer(hz, timer);
    if (handle == 0) return Ref<TTimer>();
    timer->_event = event;
    timer->_handle = handle;
    return timer;
}

int32_t TTimer::Ticks() { return static_cast<int32_t>(_ticks); }

int32_t TTimer::Stop() {
    if (_handle == 0) return 0;
    int32_t handle = _handle;
    _handle = 0;
    _event = Ref<TEvent>();
    Ref<TTimer> self(this);  // the table's reference may be the last one
    StopNativeTimer(handle, self);
    return 0;
}

int32_t TTimer::Fire() {
    if (_handle == 0) return 0;
    ++_ticks;
    if (_event) {
        Ref<TEvent> event = _event;
        event->Emit();
    } else {
        TEvent::Create(EventTimerTick, Ref<Object>(this), Ticks(), 0, 0, 0, Ref<Object>())->Emit();
    }
    return 0;
}

int32_t TTimer::Wait() {
    if (_handle == 0) return 0;
    Ref<TTimer> self(this);
    while (_ticks == _wticks) {
        if (_handle == 0) return 0;  // stopped by a hook function meanwhile
        if (SystemPumpBusy()) return 0;  // inside the pump no tick could ever arrive
        AwaitSystem();
    }
    uint32_t n = _ticks - _wticks;
    _wticks = _ticks;
    return static_cast<int32_t>(n);
}

Ref<TTimer> NewTimer(float hz, const Ref<TEvent>& event) { return TTimer::Create(hz, event); }
int32_t TimerTickCount(const Ref<TTimer>& timer) { return timer->Ticks(); }
int32_t AwaitTimer(const Ref<TTimer>& timer) { return timer->Wait(); }
void HaltTimer(const Ref<TTimer>& timer) { timer->Stop(); }

void InitTimers() {
    static bool done = false;
    if (done) return;
    done = true;
    InitHooks();
    InitSystemDriver();
    RecordModuleInit("timers");
}
