#include "event/Event.h"

#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "stream/FileStream.h"

int32_t EventHookId = -1;

namespace {

// "}" then "<id>{<name>}" per registration; looked up by "}<id>{".
String& Registry() {
    static String registry("}");
    return registry;
}

uint32_t g_userIdCounter = 0x80000000u;

String Decimal(int32_t value) { return String::FormatInt(value); }

}  // namespace

Ref<TEvent> TEvent::Create(int32_t id, const Ref<Object>& source, int32_t data, int32_t mods, int32_t x, int32_t y,
                           const Ref<Object>& extra) {
    Ref<TEvent> e = New<TEvent>();
    e->id = id;
    e->source = source;
    e->data = data;
    e->mods = mods;
    e->x = x;
    e->y = y;
    e->extra = extra;
    return e;
}

int32_t TEvent::Emit() {
    CallHooks(EventHookId, Ref<Object>(this));
    return 0;
}

String TEvent::ToString() const {
    String name = DescriptionForId(id);
    if (name.IsEmpty()) {
        if (static_cast<uint32_t>(id) & 0x80000000u)
            name = "UserEvent" + Decimal(static_cast<int32_t>(static_cast<uint32_t>(id) - 0x80000000u));
        else
            name = "Unknown Event, id=" + Decimal(id);
    }
    String text;
    String::FromObject(extra, text);  // leaves `text` empty for non-strings
    return name + ": data=" + Decimal(data) + ", mods=" + Decimal(mods) + ", x=" + Decimal(x) + ", y=" + Decimal(y) +
           ", extra=\"" + text + "\"";
}

int32_t TEvent::AllocUserId() {
    // Past 0xFFFFFFFF the ids would lose bit 31 and collide with system ids.
    if (g_userIdCounter == 0xFFFFFFFFu) RaiseRuntimeError("Too many user event ids");
    return static_cast<int32_t>(++g_userIdCounter);
}

int32_t TEvent::RegisterId(int32_t id, const String& name) {
    Registry() = Registry() + Decimal(id) + "{" + name + "}";
    return 0;
}

String TEvent::DescriptionForId(int32_t id) {
    const String& registry = Registry();
    String key = "}" + Decimal(id) + "{";
    int32_t at = registry.IndexOf(key);
    if (at < 0) return String();
    int32_t start = at + key.Length();
    int32_t end = registry.IndexOf("}", start);
    if (end < 0) return String();
    return registry.Slice(start, end);
}

Ref<TEvent> MakeEvent(int32_t id, const Ref<Object>& source, int32_t data, int32_t mods, int32_t x, int32_t y,
                      const Ref<Object>& extra) {
    return TEvent::Create(id, source, data, mods, x, y, extra);
}

void DispatchEvent(const Ref<TEvent>& event) { event->Emit(); }

int32_t NewUserEventId(const String& description) {
    int32_t id = TEvent::AllocUserId();
    if (!description.IsEmpty()) TEvent::RegisterId(id, description);
    return id;
}

void InitHooks() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    // Event texts can be printed and saved: the standard streams and the
    // file functions come first.
    InitStandardIO();
    EventHookId = NewHookId();
    static const struct {
        int32_t id;
        const char* name;
    } names[] = {
        {EventAppSuspend, "AppSuspend"},         {EventAppResume, "AppResume"},
        {EventAppTerminate, "AppTerminate"},     {EventAppOpenFile, "AppOpenFile"},
        {EventAppIdle, "AppIdle"},               {EventKeyDown, "KeyDown"},
        {EventKeyUp, "KeyUp"},                   {EventKeyChar, "KeyChar"},
        {EventKeyRepeat, "KeyRepeat"},           {EventMouseDown, "MouseDown"},
        {EventMouseUp, "MouseUp"},               {EventMouseMove, "MouseMove"},
        {EventMouseWheel, "MouseWheel"},         {EventMouseEnter, "MouseEnter"},
        {EventMouseLeave, "MouseLeave"},         {EventTimerTick, "TimerTick"},
        {EventHotkeyHit, "HotkeyHit"},           {EventGadgetAction, "GadgetAction"},
        {EventGadgetPaint, "GadgetPaint"},       {EventGadgetSelect, "GadgetSelect"},
        {EventGadgetMenu, "GadgetMenu"},         {EventGadgetOpen, "GadgetOpen"},
        {EventGadgetClose, "GadgetClose"},       {EventGadgetDone, "GadgetDone"},
        {EventGadgetLostFocus, "GadgetLostFocus"}, {EventGadgetShape, "GadgetShape"},
        {EventWindowMove, "WindowMove"},         {EventWindowSize, "WindowSize"},
        {EventWindowClose, "WindowClose"},       {EventWindowActivate, "WindowActivate"},
        {EventWindowAccept, "WindowAccept"},     {EventMenuAction, "MenuAction"},
        {EventStreamEof, "StreamEof"},           {EventStreamAvail, "StreamAvail"},
        {EventProcessExit, "ProcessExit"},
    };
    for (const auto& n : names) TEvent::RegisterId(n.id, n.name);
    RecordModuleInit("hooks, events");
}
