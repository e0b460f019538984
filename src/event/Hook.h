// Hooks: numbered chains of callback functions, ordered by priority, through
// which one value is handed from function to function.
#pragma once

#include <cstdint>

#include "runtime/Object.h"

// A hook function gets the hook id, the value so far and the context it was
// installed with; what it returns is handed to the next function.
using HookFunction = Ref<Object> (*)(int32_t id, const Ref<Object>& data, const Ref<Object>& context);

// One link of a chain.
class THook : public Object {
public:
    Ref<THook> succ;
    int32_t priority = 0;
    HookFunction func = nullptr;  // unset: calling it raises TNullFunctionException
    Ref<Object> context;
    // Set when the link leaves its chain; a walk that still stands before it
    // skips it instead of calling a function that was dropped.
    bool dropped = false;
};

constexpr int32_t kMaxHookIds = 256;

// The next hook id: 0 first, 255 last; the 257th call raises
// TRuntimeException "Too many hook ids".
int32_t NewHookId();
// Adds a link after every link of higher or equal priority (first come,
// first run among equals). An id outside 0..255 raises "Invalid hook id".
void InsertHook(int32_t id, HookFunction func, const Ref<Object>& context, int32_t priority);
// Runs the chain of `id` over `data` and returns the final value. A function
// may drop its own link (or others) while the chain runs.
Ref<Object> CallHooks(int32_t id, const Ref<Object>& data);
// Removes the first link with this function and context; nothing if none.
void DropHook(int32_t id, HookFunction func, const Ref<Object>& context);
