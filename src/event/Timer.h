// Periodic timers: ticks come from a platform thread, but counting and
// emitting happen on the main thread, inside its message loops.
#pragma once

#include <cstdint>

#include "event/Event.h"

class TTimer : public Object {
public:
    virtual int32_t Ticks();
    // Stops the timer for good; later ticks already on their way are ignored.
    virtual int32_t Stop();
    // One tick: counts it and emits the timer's event (or a new "TimerTick").
    virtual int32_t Fire();
    // Waits until a tick has been counted since the last Wait (at once if one
    // has) and returns how many; 0 at once for a stopped timer.
    virtual int32_t Wait();

    // Null when 16 timers run already or the rate cannot be served.
    static Ref<TTimer> Create(float hz, const Ref<TEvent>& event = Ref<TEvent>());

protected:
    friend int32_t StartNativeTimer(float hz, const Ref<TTimer>& timer);
    // The counts wrap around like the millisecond clock: a timer that runs
    // long enough passes 2^31 ticks without undefined arithmetic.
    uint32_t _ticks = 0;
    uint32_t _wticks = 0;
    Ref<TEvent> _event;
    int32_t _handle = 0;
};

constexpr int32_t kMaxNativeTimers = 16;

// The native timer behind a TTimer: the handle, or 0 when refused.
int32_t StartNativeTimer(float hz, const Ref<TTimer>& timer);
void StopNativeTimer(int32_t handle, const Ref<TTimer>& timer);
// The period for a rate: 1000 / hz in single precision, truncated to whole
// milliseconds; 0 for a rate that gives no usable period.
int32_t TimerPeriodMillis(float hz);
// Native timers running now.
int32_t RunningTimerCount();

Ref<TTimer> NewTimer(float hz, const Ref<TEvent>& event = Ref<TEvent>());
int32_t TimerTickCount(const Ref<TTimer>& timer);
int32_t AwaitTimer(const Ref<TTimer>& timer);
void HaltTimer(const Ref<TTimer>& timer);

// Module initialiser of the timers.
void InitTimers();
