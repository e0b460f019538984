// Integer handles for objects, for code that can only pass integers along
// (the event accessors). 0 always means the null object.
#pragma once

#include <cstdint>

#include "runtime/Object.h"

// The object's handle, giving it the next free one the first time; 0 for the
// null object. A handle holds one reference until it is released.
int32_t ObjectHandle(const Ref<Object>& object);
// The handle's object, or the null object for an unknown handle.
Ref<Object> ObjectFromHandle(int32_t handle);
// Forgets the handle and drops its reference; unknown handles are ignored.
void ReleaseObjectHandle(int32_t handle);

// Tests only: sets the counter the next handle is counted up from.
void SetObjectHandleCounterForTests(uint32_t value);
