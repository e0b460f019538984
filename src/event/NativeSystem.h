// What the system module needs from the operating system, implemented once in
// win32/ and once in posix/. Internal to the event module.
#pragma once

#include <cstdint>

#include "runtime/Object.h"

class TSystemDriver;

// Creates the platform's system driver (performing its start-up).
Ref<TSystemDriver> CreateNativeSystemDriver();
int32_t NativeTickMillis();
// Runs function(argument1, argument2) on the main thread's next pump (the
// same type as MainThreadFunction).
void NativePostMainThreadCall(void (*function)(void*, void*), void* argument1, void* argument2);

// Periodic timers on a thread of the platform: `tick(user, handle)` runs on
// that thread every `periodMillis`. 0 when the platform refuses.
using NativeTickFunction = void (*)(void* user, int32_t handle);
int32_t StartPeriodicTimer(int32_t periodMillis, NativeTickFunction tick, void* user);
// After it returns, no further tick of this timer starts.
void KillPeriodicTimer(int32_t handle);
