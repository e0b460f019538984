#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "event/PolledInput.h"

namespace {

class Window : public Object {};

class PolledInput : public ::testing::Test {
protected:
    void SetUp() override {
        InitPolledInput();
        DrainEventQueue();
        _window = New<Window>();
        AttachInputState(_window);
    }
    void TearDown() override {
        DetachInputState();
        DrainEventQueue();
    }
    void Send(int32_t id, int32_t data, int32_t x = 0, int32_t y = 0) {
        MakeEvent(id, _window, data, 0, x, y)->Emit();
    }
    Ref<Window> _window;
};

TEST_F(PolledInput, KeyHitsCountPressesNotRepeats) {
    Send(EventKeyDown, 65);
    Send(EventKeyRepeat, 65);
    Send(EventKeyDown, 65);  // still down: no second hit
    EXPECT_EQ(1, KeyIsDown(65));
    Send(EventKeyUp, 65);
    EXPECT_EQ(0, KeyIsDown(65));
    Send(EventKeyDown, 65);
    Send(EventKeyUp, 65);
    EXPECT_EQ(2, KeyHitCount(65));
    EXPECT_EQ(0, KeyHitCount(65));
    // Events still reach the queue.
    EXPECT_GT(QueuedEventCount(), 0);
}

TEST_F(PolledInput, CharactersQueueUpTo256) {
    EXPECT_EQ(0, NextChar());
    for (int32_t c = 1; c <= 300; ++c) Send(EventKeyChar, c);
    for (int32_t c = 1; c <= 256; ++c) ASSERT_EQ(c, NextChar());
    EXPECT_EQ(0, NextChar());
    Send(EventKeyChar, 'x');
    EXPECT_EQ('x', NextChar());
}

TEST_F(PolledInput, ButtonsAndPointer) {
    Send(EventMouseDown, 1, 5, 5);
    Send(EventMouseDown, 1, 5, 5);
    Send(EventMouseUp, 1, 5, 5);
    Send(EventMouseDown, 3);
    EXPECT_EQ(1, ButtonHitCount(1));
    EXPECT_EQ(0, ButtonHitCount(1));
    EXPECT_EQ(0, ButtonIsDown(1));
    EXPECT_EQ(1, ButtonIsDown(3));

    PointerXDelta();
    PointerYDelta();
    PointerZDelta();
    Send(EventMouseMove, 0, 30, 40);
    Send(EventMouseMove, 0, 35, 20);
    Send(EventMouseWheel, 2);
    Send(EventMouseWheel, -3);
    EXPECT_EQ(35, PointerX());
    EXPECT_EQ(20, PointerY());
    EXPECT_EQ(-1, PointerZ());
    int32_t dx = PointerXDelta();
    EXPECT_EQ(0, PointerXDelta());
    Send(EventMouseMove, 0, 35 + 7, 20);
    EXPECT_EQ(7, PointerXDelta());
    (void)dx;
    EXPECT_EQ(-1, PointerZDelta());
    EXPECT_EQ(0, PointerZDelta());
}

TEST_F(PolledInput, OtherSourcesAndOutOfRangeCodesAreIgnored) {
    Ref<Window> other = New<Window>();
    MakeEvent(EventKeyDown, other, 66)->Emit();
    MakeEvent(EventMouseDown, other, 1)->Emit();
    MakeEvent(EventKeyChar, other, 'q')->Emit();
    EXPECT_EQ(0, KeyIsDown(66));
    EXPECT_EQ(0, ButtonHitCount(1));
    EXPECT_EQ(0, NextChar());

    for (int32_t bad : {256, 1000, -1, 0x7FFFFFFF}) {
        Send(EventKeyDown, bad);
        Send(EventKeyUp, bad);
        Send(EventMouseDown, bad);
        Send(EventMouseUp, bad);
    }
    EXPECT_EQ(0, KeyHitCount(256));
    EXPECT_EQ(0, KeyIsDown(-1));
    EXPECT_EQ(0, ButtonHitCount(4));
    for (int32_t b = 0; b < 4; ++b) EXPECT_EQ(0, ButtonIsDown(b));
}

TEST_F(PolledInput, SuspendClearsAndTerminateIsReadOnce) {
    Send(EventKeyDown, 70);
    Send(EventMouseDown, 2);
    Send(EventKeyChar, 'a');
    Send(EventAppSuspend, 0);
    EXPECT_EQ(1, InputSuspended());
    EXPECT_EQ(0, KeyIsDown(70));
    EXPECT_EQ(0, KeyHitCount(70));
    EXPECT_EQ(0, ButtonIsDown(2));
    EXPECT_EQ(0, NextChar());
    Send(EventAppResume, 0);
    EXPECT_EQ(0, InputSuspended());

    EXPECT_EQ(0, TerminateRequested());
    Send(EventAppTerminate, 0);
    EXPECT_EQ(1, TerminateRequested());
    EXPECT_EQ(0, TerminateRequested());
}

TEST_F(PolledInput, DetachStopsRecordingAndKeepsThePointer) {
    Send(EventMouseMove, 0, 11, 12);
    DetachInputState();
    DetachInputState();  // twice is harmless
    Send(EventKeyDown, 80);
    EXPECT_EQ(0, KeyIsDown(80));
    EXPECT_EQ(11, PointerX());
    AttachInputState(Ref<Object>());  // no filter: every source counts
    MakeEvent(EventKeyDown, New<Window>(), 81)->Emit();
    EXPECT_EQ(1, KeyHitCount(81));
}

// Each await runs from a hook function, that is inside the pump.
std::vector<int32_t> g_awaited;
Ref<Object> AwaitFromHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    g_awaited = {AwaitKey(), AwaitChar(), AwaitButton()};
    return data;
}

class OnePollDriver : public TSystemDriver {
public:
    int32_t Poll() override {
        MakeEvent(EventAppIdle)->Emit();
        return 0;
    }
};

TEST_F(PolledInput, AwaitsFromInsideThePumpReturnZero) {
    Ref<TSystemDriver> saved = SystemDriver;
    SystemDriver = New<OnePollDriver>();
    g_awaited.clear();
    InsertHook(EventHookId, AwaitFromHook, Ref<Object>(), 50);
    PumpSystem();
    DropHook(EventHookId, AwaitFromHook, Ref<Object>());
    SystemDriver = saved;
    EXPECT_EQ((std::vector<int32_t>{0, 0, 0}), g_awaited);
}

}  // namespace
