// Events: the TEvent record, the event ids with their registered names,
// emission through the event hook chain, and the 256-slot event queue that a
// hook on that chain fills.
#pragma once

#include <cstdint>

#include "event/Hook.h"
#include "runtime/Object.h"
#include "runtime/String.h"

// Event ids. The high bits group them by family.
constexpr int32_t EventAppSuspend = 0x101;
constexpr int32_t EventAppResume = 0x102;
constexpr int32_t EventAppTerminate = 0x103;
constexpr int32_t EventAppOpenFile = 0x104;
constexpr int32_t EventAppIdle = 0x105;
constexpr int32_t EventKeyDown = 0x201;
constexpr int32_t EventKeyUp = 0x202;
constexpr int32_t EventKeyChar = 0x203;
constexpr int32_t EventKeyRepeat = 0x204;
constexpr int32_t EventMouseDown = 0x401;
constexpr int32_t EventMouseUp = 0x402;
constexpr int32_t EventMouseMove = 0x403;
constexpr int32_t EventMouseWheel = 0x404;
constexpr int32_t EventMouseEnter = 0x405;
constexpr int32_t EventMouseLeave = 0x406;
constexpr int32_t EventTimerTick = 0x801;
constexpr int32_t EventHotkeyHit = 0x1001;
constexpr int32_t EventGadgetAction = 0x2001;
constexpr int32_t EventGadgetPaint = 0x2002;
constexpr int32_t EventGadgetSelect = 0x2003;
constexpr int32_t EventGadgetMenu = 0x2004;
constexpr int32_t EventGadgetOpen = 0x2005;
constexpr int32_t EventGadgetClose = 0x2006;
constexpr int32_t EventGadgetDone = 0x2007;
constexpr int32_t EventGadgetLostFocus = 0x2008;
constexpr int32_t EventGadgetShape = 0x2009;
constexpr int32_t EventWindowMove = 0x4001;
constexpr int32_t EventWindowSize = 0x4002;
constexpr int32_t EventWindowClose = 0x4003;
constexpr int32_t EventWindowActivate = 0x4004;
constexpr int32_t EventWindowAccept = 0x4005;
constexpr int32_t EventMenuAction = 0x8001;
constexpr int32_t EventStreamEof = 0x10001;
constexpr int32_t EventStreamAvail = 0x10002;
constexpr int32_t EventProcessExit = 0x20001;

class TEvent : public Object {
public:
    int32_t id = 0;
    Ref<Object> source;
    int32_t data = 0;
    int32_t mods = 0;  // 1 shift, 2 control, 4 alt, 8 Windows key
    int32_t x = 0;
    int32_t y = 0;
    Ref<Object> extra;

    // Name, then ": data=.., mods=.., x=.., y=.., extra=\"..\"".
    String ToString() const override;
    // Runs the event through the chain of EventHookId; always 0.
    virtual int32_t Emit();

    static Ref<TEvent> Create(int32_t id, const Ref<Object>& source = {}, int32_t data = 0, int32_t mods = 0,
                              int32_t x = 0, int32_t y = 0, const Ref<Object>& extra = {});
    // User ids count up from 0x80000001.
    static int32_t AllocUserId();
    static int32_t RegisterId(int32_t id, const String& name);
    // The registered name, or the empty string.
    static String DescriptionForId(int32_t id);
};

// The hook id every event is emitted on (0: the event module allocates first).
extern int32_t EventHookId;

Ref<TEvent> MakeEvent(int32_t id, const Ref<Object>& source = {}, int32_t data = 0, int32_t mods = 0,
                      int32_t x = 0, int32_t y = 0, const Ref<Object>& extra = {});
void DispatchEvent(const Ref<TEvent>& event);
// A new user id, registered under `description` unless that is empty.
int32_t NewUserEventId(const String& description = String());

// Module initialiser of hooks and events: allocates EventHookId and
// registers the names of the ids above.
void InitHooks();

// ---- The event queue ----------------------------------------------------

constexpr int32_t kEventQueueSize = 256;
// Priority of the queue's own function on the event hook chain.
constexpr int32_t kEventQueueHookPriority = -10000;

// Stores the event (dropped silently when 256 are waiting). With `update`,
// a waiting event of the same id and source takes over the new event's data,
// mods, x, y and extra instead.
void PostQueuedEvent(const Ref<TEvent>& event, int32_t update);
// Takes the oldest event (pumping the system once if none waits) and returns
// its id, or 0 when there is none.
int32_t PollEventQueue();
// Waits for native input until an event has been queued, then takes it.
// Called from inside the pump (a hook function) with nothing queued, it
// returns 0 at once like an empty poll: no input can arrive there.
int32_t WaitEventQueue();
// The oldest event without taking it (pumps once if none waits), or null.
Ref<TEvent> PeekEventQueue();
// Events waiting right now (no pumping).
int32_t QueuedEventCount();

// The shared all-zero event, and the event most recently taken.
extern Ref<TEvent> BlankEvent;
extern Ref<TEvent> PolledEvent;

int32_t PolledEventId();
int32_t PolledEventData();
int32_t PolledEventMods();
int32_t PolledEventX();
int32_t PolledEventY();
Ref<Object> PolledEventExtra();
Ref<Object> PolledEventSource();
// `extra` if it is a string, else the empty string.
String PolledEventText();
// The integer object handle of the source, 0 for the null object.
int32_t PolledEventSourceHandle();

// Module initialiser of the event queue (after hooks and the system driver).
void InitEventQueue();
