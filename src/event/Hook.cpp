#include "event/Hook.h"

#include "runtime/Errors.h"

namespace {

int32_t g_hookCounter = -1;

Ref<THook>* HookTable() {
    static Ref<THook> table[kMaxHookIds];
    return table;
}

bool ValidId(int32_t id) { return id >= 0 && id < kMaxHookIds; }

}  // namespace

int32_t NewHookId() {
    // The counter is not advanced past the limit, so every later call fails too
    // instead of overflowing.
    if (g_hookCounter + 1 > kMaxHookIds - 1) RaiseRuntimeError("Too many hook ids");
    return ++g_hookCounter;
}

void InsertHook(int32_t id, HookFunction func, const Ref<Object>& context, int32_t priority) {
    if (!ValidId(id)) RaiseRuntimeError("Invalid hook id");
    Ref<THook> link = New<THook>();
    link->priority = priority;
    link->func = func;
    link->context = context;

    Ref<THook>* slot = &HookTable()[id];
    while (*slot && (*slot)->priority >= priority) slot = &(*slot)->succ;
    link->succ = *slot;
    *slot = link;
}

Ref<Object> CallHooks(int32_t id, const Ref<Object>& data) {
    if (!ValidId(id)) return data;
    Ref<Object> value = data;
    // Holding the link keeps it (and its successor pointer) alive even if the
    // function drops it from the chain.
    for (Ref<THook> link = HookTable()[id]; link; link = link->succ) {
        if (link->dropped) continue;
        if (!link->func) RaiseNullFunction();
        value = link->func(id, value, link->context);
    }
    return value;
}

void DropHook(int32_t id, HookFunction func, const Ref<Object>& context) {
    if (!ValidId(id)) return;
    for (Ref<THook>* slot = &HookTable()[id]; *slot; slot = &(*slot)->succ) {
        Ref<THook> link = *slot;  // the slot may hold the last reference
        if (link->func == func && link->context == context) {
            // The dropped link keeps its successor, so a walk standing on it
            // continues with the rest of the chain.
            *slot = link->succ;
            link->dropped = true;
            return;
        }
    }
}
