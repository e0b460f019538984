#include "event/PolledInput.h"

#include "event/Event.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

int32_t AutoPump = 1;

namespace {

constexpr int32_t kKeyCount = 256;
constexpr int32_t kButtonCount = 4;
constexpr uint32_t kCharRing = 256;

bool g_attached = false;
Ref<Object> g_filter;
int32_t g_keyDown[kKeyCount];
int32_t g_keyHits[kKeyCount];
int32_t g_chars[kCharRing];
uint32_t g_charPut = 0;
uint32_t g_charGet = 0;
int32_t g_buttonDown[kButtonCount];
int32_t g_buttonHits[kButtonCount];
int32_t g_x = 0, g_y = 0, g_z = 0;
int32_t g_prevX = 0, g_prevY = 0, g_prevZ = 0;
int32_t g_suspended = 0;
int32_t g_terminate = 0;

void Pump() {
    if (AutoPump) PumpSystem();
}

bool IsKey(int32_t key) { return key >= 0 && key < kKeyCount; }
bool IsButton(int32_t button) { return button >= 0 && button < kButtonCount; }

void ClearKeysNow() {
    g_charPut = g_charGet = 0;
    for (int32_t i = 0; i < kKeyCount; ++i) g_keyDown[i] = g_keyHits[i] = 0;
}

void ClearPointerNow() {
    for (int32_t i = 0; i < kButtonCount; ++i) g_buttonDown[i] = g_buttonHits[i] = 0;
    g_z = 0;
}

Ref<Object> InputHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    TEvent* e = dynamic_cast<TEvent*>(data.Get());
    if (!e) return data;
    if (g_filter && !(e->source == g_filter)) return data;
    // Codes from other emitters may lie outside the tables: ignored.
    switch (e->id) {
        case EventKeyDown:
            if (IsKey(e->data) && !g_keyDown[e->data]) {
                g_keyDown[e->data] = 1;
                ++g_keyHits[e->data];
            }
            break;
        case EventKeyUp:
            if (IsKey(e->data)) g_keyDown[e->data] = 0;
            break;
        case EventKeyChar:
            if (g_charPut - g_charGet < kCharRing) g_chars[g_charPut++ % kCharRing] = e->data;
            break;
        case EventMouseDown:
            if (IsButton(e->data) && !g_buttonDown[e->data]) {
                g_buttonDown[e->data] = 1;
                ++g_buttonHits[e->data];
            }
            break;
        case EventMouseUp:
            if (IsButton(e->data)) g_buttonDown[e->data] = 0;
            break;
        case EventMouseMove:
            g_x = e->x;
            g_y = e->y;
            break;
        case EventMouseWheel:
            g_z += e->data;
            break;
        case EventAppSuspend:
            ClearKeys();
            ClearPointer();
            g_suspended = 1;
            break;
        case EventAppResume:
            ClearKeys();
            ClearPointer();
            g_suspended = 0;
            break;
        case EventAppTerminate:
            g_terminate = 1;
            break;
        default:
            break;
    }
    return data;
}

}  // namespace

void AttachInputState(const Ref<Object>& source) {
    InitPolledInput();
    if (g_attached) return;
    g_attached = true;
    g_filter = source;
    ClearKeys();
    ClearPointer();
    InsertHook(EventHookId, InputHook, Ref<Object>(), 0);
}

void DetachInputState() {
    if (!g_attached) return;
    g_attached = false;
    DropHook(EventHookId, InputHook, Ref<Object>());
    ClearKeys();
    ClearPointer();
    g_filter = Ref<Object>();
}

int32_t InputSuspended() {
    Pump();
    return g_suspended;
}

int32_t TerminateRequested() {
    Pump();
    int32_t t = g_terminate;
    g_terminate = 0;
    return t;
}

int32_t KeyHitCount(int32_t key) {
    Pump();
    if (!IsKey(key)) return 0;
    int32_t n = g_keyHits[key];
    g_keyHits[key] = 0;
    return n;
}

int32_t KeyIsDown(int32_t key) {
    Pump();
    return IsKey(key) ? g_keyDown[key] : 0;
}

int32_t NextChar() {
    Pump();
    if (g_charGet == g_charPut) return 0;
    return g_chars[g_charGet++ % kCharRing];
}

void ClearKeys() {
    PumpSystem();
    ClearKeysNow();
}

int32_t PointerX() {
    Pump();
    return g_x;
}
int32_t PointerY() {
    Pump();
    return g_y;
}
int32_t PointerZ() {
    Pump();
    return g_z;
}

int32_t PointerXDelta() {
    Pump();
    int32_t d = g_x - g_prevX;
    g_prevX = g_x;
    return d;
}
int32_t PointerYDelta() {
    Pump();
    int32_t d = g_y - g_prevY;
    g_prevY = g_y;
    return d;
}
int32_t PointerZDelta() {
    Pump();
    int32_t d = g_z - g_prevZ;
    g_prevZ = g_z;
    return d;
}

void ClearPointer() {
    PumpSystem();
    ClearPointerNow();
}

int32_t ButtonHitCount(int32_t button) {
    Pump();
    if (!IsButton(button)) return 0;
    int32_t n = g_buttonHits[button];
    g_buttonHits[button] = 0;
    return n;
}

int32_t ButtonIsDown(int32_t button) {
    Pump();
    return IsButton(button) ? g_buttonDown[button] : 0;
}

int32_t AwaitKey() {
    ClearKeys();
    for (;;) {
        if (SystemPumpBusy()) return 0;  // inside the pump no input can arrive
        AwaitSystem();
        for (int32_t key = 1; key < kKeyCount; ++key)
            if (KeyHitCount(key)) return key;
    }
}

int32_t AwaitChar() {
    ClearKeys();
    for (;;) {
        if (SystemPumpBusy()) return 0;  // inside the pump no input can arrive
        AwaitSystem();
        if (int32_t c = NextChar()) return c;
    }
}

int32_t AwaitButton() {
    ClearPointer();
    for (;;) {
        if (SystemPumpBusy()) return 0;  // inside the pump no input can arrive
        AwaitSystem();
        for (int32_t button = 1; button <= 3; ++button)
            if (ButtonHitCount(button)) return button;
    }
}

void InitPolledInput() {
    static bool done = false;
    if (done) return;
    done = true;
    InitHooks();
    InitSystemDriver();
    RecordModuleInit("polled input");
}
