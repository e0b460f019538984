// What the system module needs from the operating system, implemented once in
// win32/ and once in posix/. Internal to the event module.
#pragma once

#include <cstdint>

#include "event/SystemDriver.h"

// Creates the platform's system driver (performing its start-up).
Ref<TSystemDriver> CreateNativeSystemDriver();
int32_t NativeTickMillis();
void NativePostMainThreadCall(MainThreadFunction function, void* argument1, void* argument2);

// Periodic timers on a thread of the platform: `tick(user, handle)` runs on
// that thread every `periodMillis`. 0 when the platform refuses.
using NativeTickFunction = void (*)(void* user, int32_t handle);
int32_t StartPeriodicTimer(int32_t periodMillis, NativeTickFunction tick, void* user);
// After it returns, no further tick of this timer starts.
void KillPeriodicTimer(int32_t handle);
