// Shared helpers of the event tests.
#pragma once

#include <vector>

#include "event/Event.h"
#include "event/SystemDriver.h"

// Takes everything that waits in the queue, so every test starts empty.
inline void DrainEventQueue() {
    InitEventQueue();
    while (QueuedEventCount() > 0) PollEventQueue();
}

// Records every event emitted while it exists (at a priority above the queue).
class EventRecorder {
public:
    explicit EventRecorder(int32_t priority = 100) : _priority(priority) {
        InitEventQueue();
        _self = New<Holder>();
        _self->owner = this;
        InsertHook(EventHookId, Record, Ref<Object>(_self), _priority);
    }
    ~EventRecorder() { DropHook(EventHookId, Record, Ref<Object>(_self)); }
    std::vector<Ref<TEvent>> events;

    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        for (const auto& e : events) ids.push_back(e->id);
        return ids;
    }

private:
    struct Holder : Object {
        EventRecorder* owner = nullptr;
    };
    static Ref<Object> Record(int32_t, const Ref<Object>& data, const Ref<Object>& context) {
        auto* holder = static_cast<Holder*>(context.Get());
        if (Ref<TEvent> e = Cast<TEvent>(data)) {
            // Copy: the queue may coalesce later events into this object.
            holder->owner->events.push_back(TEvent::Create(e->id, e->source, e->data, e->mods, e->x, e->y, e->extra));
        }
        return data;
    }
    int32_t _priority;
    Ref<Holder> _self;
};
