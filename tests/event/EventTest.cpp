#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "event/Event.h"
#include "runtime/Errors.h"
#include "runtime/Handles.h"
#include "runtime/Program.h"

namespace {

class Source : public Object {};

TEST(EventText, KnownUnknownAndUserIds) {
    InitHooks();
    EXPECT_EQ(String("GadgetAction: data=0, mods=0, x=0, y=0, extra=\"\""),
              TEvent::Create(EventGadgetAction)->ToString());
    EXPECT_EQ(String("GadgetSelect: data=4, mods=0, x=0, y=0, extra=\"row\""),
              TEvent::Create(EventGadgetSelect, New<Source>(), 4, 0, 0, 0, String("row"))->ToString());
    EXPECT_EQ(String("KeyDown: data=-3, mods=6, x=-10, y=20, extra=\"\""),
              TEvent::Create(EventKeyDown, Ref<Object>(), -3, 6, -10, 20, New<Source>())->ToString());
    EXPECT_TRUE(TEvent::Create(7)->ToString().HasPrefix("Unknown Event, id=7: data=0"));
    EXPECT_EQ(String("UserEvent5: data=1, mods=0, x=0, y=0, extra=\"\""),
              TEvent::Create(static_cast<int32_t>(0x80000005u), Ref<Object>(), 1)->ToString());
}

TEST(EventRegistry, NamesAndLookups) {
    InitHooks();
    EXPECT_EQ(String("AppSuspend"), TEvent::DescriptionForId(257));
    EXPECT_EQ(String("ProcessExit"), TEvent::DescriptionForId(EventProcessExit));
    EXPECT_EQ(String("WindowClose"), TEvent::DescriptionForId(EventWindowClose));
    // The digits of 257 begin with 25, but the key includes the braces.
    EXPECT_EQ(String(), TEvent::DescriptionForId(25));
    EXPECT_EQ(String(), TEvent::DescriptionForId(0));
    EXPECT_EQ(String(), TEvent::DescriptionForId(-1));

    // The first registration wins; user ids count up with bit 31 set.
    int32_t first = NewUserEventId("Ping");
    int32_t second = NewUserEventId(String());
    EXPECT_LT(first, 0);
    EXPECT_EQ(first + 1, second);
    EXPECT_EQ(String("Ping"), TEvent::DescriptionForId(first));
    EXPECT_EQ(String(), TEvent::DescriptionForId(second));
    TEvent::RegisterId(first, "Pong");
    EXPECT_EQ(String("Ping"), TEvent::DescriptionForId(first));
    EXPECT_TRUE(TEvent::Create(second)->ToString().HasPrefix("UserEvent"));
}

class EventQueue : public ::testing::Test {
protected:
    void SetUp() override { DrainEventQueue(); }
    void TearDown() override { DrainEventQueue(); }
};

TEST_F(EventQueue, EmptyPollGivesZeroAndTheBlankEvent) {
    EXPECT_EQ(0, PollEventQueue());
    EXPECT_TRUE(PolledEventSource().IsNull());
    EXPECT_EQ(0, PolledEventData());
    EXPECT_EQ(0, PolledEventSourceHandle());
    EXPECT_TRUE(PeekEventQueue().IsNull());
}

TEST_F(EventQueue, EventsComeOutInOrderWithTheirFields) {
    Ref<Source> src = New<Source>();
    MakeEvent(EventKeyDown, src, 65, 2, 3, 4, String("A"))->Emit();
    DispatchEvent(MakeEvent(EventKeyUp, src, 65));
    ASSERT_EQ(2, QueuedEventCount());
    Ref<TEvent> peeked = PeekEventQueue();
    ASSERT_FALSE(peeked.IsNull());
    EXPECT_EQ(EventKeyDown, peeked->id);
    EXPECT_EQ(2, QueuedEventCount());  // peeking takes nothing

    EXPECT_EQ(EventKeyDown, PollEventQueue());
    EXPECT_TRUE(PolledEvent == peeked);
    EXPECT_EQ(65, PolledEventData());
    EXPECT_EQ(2, PolledEventMods());
    EXPECT_EQ(3, PolledEventX());
    EXPECT_EQ(4, PolledEventY());
    EXPECT_EQ(String("A"), PolledEventText());
    EXPECT_TRUE(PolledEventSource() == src);
    int32_t handle = PolledEventSourceHandle();
    EXPECT_NE(0, handle);
    EXPECT_TRUE(ObjectFromHandle(handle) == src);
    ReleaseObjectHandle(handle);

    EXPECT_EQ(EventKeyUp, PollEventQueue());
    EXPECT_EQ(String(), PolledEventText());
    EXPECT_EQ(0, PollEventQueue());
}

TEST_F(EventQueue, ActionsOfOneSourceCoalesceOthersDoNot) {
    Ref<Source> one = New<Source>(), two = New<Source>();
    MakeEvent(EventGadgetAction, one, 1)->Emit();
    MakeEvent(EventGadgetAction, two, 10)->Emit();
    MakeEvent(EventGadgetAction, one, 2, 1, 5, 6, String("later"))->Emit();
    MakeEvent(EventGadgetSelect, one, 7)->Emit();  // not a coalescing id
    MakeEvent(EventGadgetSelect, one, 8)->Emit();
    ASSERT_EQ(4, QueuedEventCount());

    EXPECT_EQ(EventGadgetAction, PollEventQueue());
    EXPECT_TRUE(PolledEventSource() == one);
    EXPECT_EQ(2, PolledEventData());
    EXPECT_EQ(1, PolledEventMods());
    EXPECT_EQ(5, PolledEventX());
    EXPECT_EQ(String("later"), PolledEventText());
    EXPECT_EQ(EventGadgetAction, PollEventQueue());
    EXPECT_EQ(10, PolledEventData());
    EXPECT_EQ(EventGadgetSelect, PollEventQueue());
    EXPECT_EQ(EventGadgetSelect, PollEventQueue());

    // Once taken, a new action of the same source is queued again.
    MakeEvent(EventWindowMove, one, 1)->Emit();
    EXPECT_EQ(EventWindowMove, PollEventQueue());
    MakeEvent(EventWindowMove, one, 2)->Emit();
    EXPECT_EQ(1, QueuedEventCount());
}

TEST_F(EventQueue, FullQueueDropsNewEventsSilently) {
    for (int32_t i = 0; i < 257; ++i) MakeEvent(EventKeyChar, Ref<Object>(), i)->Emit();
    EXPECT_EQ(256, QueuedEventCount());
    for (int32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(EventKeyChar, PollEventQueue());
        ASSERT_EQ(i, PolledEventData());
    }
    EXPECT_EQ(0, PollEventQueue());
    // The ring wraps around cleanly afterwards.
    for (int32_t i = 0; i < 300; ++i) {
        MakeEvent(EventKeyChar, Ref<Object>(), i)->Emit();
        ASSERT_EQ(EventKeyChar, PollEventQueue());
        ASSERT_EQ(i, PolledEventData());
    }
}

Ref<Object> Swallow(int32_t, const Ref<Object>&, const Ref<Object>&) { return Ref<Object>(); }

TEST_F(EventQueue, HigherHooksSeeEventsFirstAndCanKeepThemOut) {
    {
        EventRecorder recorder;
        MakeEvent(EventMouseMove, Ref<Object>(), 0, 0, 1, 2)->Emit();
        ASSERT_EQ(1u, recorder.events.size());
        EXPECT_EQ(1, QueuedEventCount());
    }
    InsertHook(EventHookId, Swallow, Ref<Object>(), 1);
    MakeEvent(EventMouseMove)->Emit();
    DropHook(EventHookId, Swallow, Ref<Object>());
    EXPECT_EQ(1, QueuedEventCount());
    // Anything that is not an event is not queued either.
    CallHooks(EventHookId, String("not an event"));
    EXPECT_EQ(1, QueuedEventCount());
}

// A driver whose pump emits one event per call and counts the calls.
class CountingDriver : public TSystemDriver {
public:
    int32_t polls = 0;
    int32_t waits = 0;
    int32_t Poll() override {
        ++polls;
        MakeEvent(EventAppIdle, Ref<Object>(), polls)->Emit();
        return 0;
    }
    int32_t Wait() override {
        ++waits;
        return Poll();
    }
};

Ref<Object> PumpFromHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    PumpSystem();
    AwaitSystem();
    return data;
}

class PumpedQueue : public EventQueue {
protected:
    void SetUp() override {
        EventQueue::SetUp();
        _saved = SystemDriver;
        _driver = New<CountingDriver>();
        SystemDriver = _driver;
    }
    void TearDown() override {
        SystemDriver = _saved;
        EventQueue::TearDown();
    }
    Ref<TSystemDriver> _saved;
    Ref<CountingDriver> _driver;
};

TEST_F(PumpedQueue, PollPumpsOnlyWhenEmpty) {
    MakeEvent(EventKeyDown)->Emit();
    EXPECT_EQ(EventKeyDown, PollEventQueue());
    EXPECT_EQ(0, _driver->polls);
    EXPECT_EQ(EventAppIdle, PollEventQueue());
    EXPECT_EQ(1, _driver->polls);
    EXPECT_FALSE(PeekEventQueue().IsNull());
    EXPECT_EQ(2, _driver->polls);
    EXPECT_EQ(EventAppIdle, WaitEventQueue());
    EXPECT_EQ(0, _driver->waits);
    EXPECT_EQ(EventAppIdle, WaitEventQueue());
    EXPECT_EQ(1, _driver->waits);
}

TEST_F(PumpedQueue, PumpingFromInsideThePumpReturnsAtOnce) {
    InsertHook(EventHookId, PumpFromHook, Ref<Object>(), 50);
    PumpSystem();
    AwaitSystem();
    DropHook(EventHookId, PumpFromHook, Ref<Object>());
    EXPECT_EQ(2, _driver->polls);  // one per outer call, none from the hook
    EXPECT_EQ(1, _driver->waits);
    EXPECT_FALSE(SystemPumpBusy());
}

std::vector<int32_t> g_waitedInside;
Ref<Object> WaitFromHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    // The event being emitted is not queued yet: the queue is empty here.
    if (QueuedEventCount() == 0) g_waitedInside.push_back(WaitEventQueue());
    return data;
}

TEST_F(PumpedQueue, WaitingFromInsideThePumpReturnsZeroInsteadOfSpinning) {
    g_waitedInside.clear();
    InsertHook(EventHookId, WaitFromHook, Ref<Object>(), 50);
    PumpSystem();
    DropHook(EventHookId, WaitFromHook, Ref<Object>());
    EXPECT_EQ(std::vector<int32_t>{0}, g_waitedInside);
    EXPECT_EQ(EventAppIdle, PollEventQueue());  // the pumped event still arrives
}

class RaisingDriver : public TSystemDriver {
public:
    int32_t Poll() override { RaiseRuntimeError("pump failed"); }
};

TEST_F(PumpedQueue, AnErrorInsideThePumpClearsTheBusyFlag) {
    SystemDriver = New<RaisingDriver>();
    EXPECT_THROW(PumpSystem(), TRuntimeException);
    EXPECT_FALSE(SystemPumpBusy());
    SystemDriver = _driver;
    PumpSystem();
    EXPECT_EQ(1, _driver->polls);
}

TEST(EventModules, InitialisersRecordTheirOrderOnce) {
    InitEventQueue();
    InitEventQueue();
    std::vector<std::string> ours;
    for (const char* m : ModuleInitOrder()) {
        std::string s(m);
        if (s == "hooks, events" || s == "system driver" || s == "event queue") ours.push_back(s);
    }
    EXPECT_EQ((std::vector<std::string>{"hooks, events", "system driver", "event queue"}), ours);
}

}  // namespace
