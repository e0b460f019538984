#include "event/Event.h"

#include "event/SystemDriver.h"
#include "runtime/Handles.h"
#include "runtime/Program.h"

Ref<TEvent> BlankEvent;
Ref<TEvent> PolledEvent;

namespace {

// Counters only grow; slots are the counters modulo the ring size. Unsigned,
// so wrapping after 2^32 events keeps "put - get" right.
Ref<TEvent> g_ring[kEventQueueSize];
uint32_t g_put = 0;
uint32_t g_get = 0;

uint32_t Waiting() { return g_put - g_get; }

bool Coalesces(int32_t id) {
    return id == EventWindowMove || id == EventWindowSize || id == EventTimerTick || id == EventGadgetAction;
}

Ref<Object> QueueHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    Ref<TEvent> event = Cast<TEvent>(data);
    if (!event) return Ref<Object>();
    PostQueuedEvent(event, Coalesces(event->id) ? 1 : 0);
    return data;
}

int32_t TakeOldest() {
    Ref<TEvent>& slot = g_ring[g_get % kEventQueueSize];
    PolledEvent = slot;
    slot = Ref<TEvent>();
    ++g_get;
    return PolledEvent->id;
}

const Ref<TEvent>& Polled() {
    // Before the queue module is initialised there is nothing to report.
    if (!PolledEvent) InitEventQueue();
    return PolledEvent;
}

}  // namespace

void PostQueuedEvent(const Ref<TEvent>& event, int32_t update) {
    if (!event) return;
    if (update) {
        for (uint32_t i = g_get; i != g_put; ++i) {
            TEvent* queued = g_ring[i % kEventQueueSize].Get();
            if (queued->id == event->id && queued->source == event->source) {
                if (queued == event.Get()) return;  // the same object emitted twice
                queued->data = event->data;
                queued->mods = event->mods;
                queued->x = event->x;
                queued->y = event->y;
                queued->extra = event->extra;
                return;
            }
        }
    }
    if (Waiting() >= static_cast<uint32_t>(kEventQueueSize)) return;
    g_ring[g_put % kEventQueueSize] = event;
    ++g_put;
}

int32_t PollEventQueue() {
    InitEventQueue();
    if (g_put == g_get) PumpSystem();
    if (g_put == g_get) {
        PolledEvent = BlankEvent;
        return 0;
    }
    return TakeOldest();
}

int32_t WaitEventQueue() {
    InitEventQueue();
    while (g_put == g_get) {
        // Inside the pump nothing can be queued while we wait: give up as
        // an empty poll does instead of spinning for ever.
        if (SystemPumpBusy()) {
            PolledEvent = BlankEvent;
            return 0;
        }
        AwaitSystem();
    }
    return TakeOldest();
}

Ref<TEvent> PeekEventQueue() {
    InitEventQueue();
    if (g_put == g_get) PumpSystem();
    if (g_put == g_get) return Ref<TEvent>();
    return g_ring[g_get % kEventQueueSize];
}

int32_t QueuedEventCount() { return static_cast<int32_t>(Waiting()); }

int32_t PolledEventId() { return Polled()->id; }
int32_t PolledEventData() { return Polled()->data; }
int32_t PolledEventMods() { return Polled()->mods; }
int32_t PolledEventX() { return Polled()->x; }
int32_t PolledEventY() { return Polled()->y; }
Ref<Object> PolledEventExtra() { return Polled()->extra; }
Ref<Object> PolledEventSource() { return Polled()->source; }

String PolledEventText() {
    String text;
    String::FromObject(Polled()->extra, text);
    return text;
}

int32_t PolledEventSourceHandle() { return ObjectHandle(Polled()->source); }

void InitEventQueue() {
    static bool done = false;
    if (done) return;
    done = true;
    InitHooks();
    InitSystemDriver();
    InsertHook(EventHookId, QueueHook, Ref<Object>(), kEventQueueHookPriority);
    BlankEvent = New<TEvent>();
    PolledEvent = BlankEvent;
    RecordModuleInit("event queue");
}
