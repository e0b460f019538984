#include "event/SystemDriver.h"

#include <ctime>

#include "event/Event.h"
#include "event/NativeSystem.h"
#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"

Ref<TSystemDriver> SystemDriver;
int32_t ModifierState = 0;

int32_t TSystemDriver::Poll() { RaiseAbstractCall(); }
int32_t TSystemDriver::Wait() { RaiseAbstractCall(); }
int32_t TSystemDriver::WaitFor(int32_t millis) {
    SleepMillis(millis);
    return Poll();
}
int32_t TSystemDriver::MoveMouse(int32_t, int32_t) { RaiseAbstractCall(); }
int32_t TSystemDriver::SetMouseVisible(int32_t) { RaiseAbstractCall(); }
int32_t TSystemDriver::Notify(const String&, int32_t) { RaiseAbstractCall(); }
int32_t TSystemDriver::Confirm(const String&, int32_t) { RaiseAbstractCall(); }
int32_t TSystemDriver::Proceed(const String&, int32_t) { RaiseAbstractCall(); }
String TSystemDriver::RequestFile(const String&, const String&, int32_t, const String&) { RaiseAbstractCall(); }
String TSystemDriver::RequestDir(const String&, const String&) { RaiseAbstractCall(); }
int32_t TSystemDriver::OpenURL(const String&) { RaiseAbstractCall(); }

namespace {

bool g_pumpBusy = false;

// Clears the busy flag however the driver call ends (a hook may raise).
struct BusyGuard {
    BusyGuard() { g_pumpBusy = true; }
    ~BusyGuard() { g_pumpBusy = false; }
};

TSystemDriver& Driver() {
    if (!SystemDriver) InitSystemDriver();
    return *SystemDriver;
}

}  // namespace

String FormatLocalTime(int64_t seconds, const char* format) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    // The Windows runtime refuses times before 1970 and after 3000.
    if (localtime_s(&local, &t) != 0) return String();
#else
    if (!localtime_r(&t, &local)) return String();
#endif
    char buffer[64];
    size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return String::FromBytes8(buffer, static_cast<int32_t>(n));
}

void PumpSystem() {
    if (g_pumpBusy) return;
    TSystemDriver& driver = Driver();
    BusyGuard busy;
    driver.Poll();
}

void AwaitSystem() {
    if (g_pumpBusy) return;
    TSystemDriver& driver = Driver();
    BusyGuard busy;
    driver.Wait();
}

void AwaitSystemFor(int32_t millis) {
    if (g_pumpBusy) {
        SleepMillis(millis);
        return;
    }
    TSystemDriver& driver = Driver();
    BusyGuard busy;
    driver.WaitFor(millis);
}

bool SystemPumpBusy() { return g_pumpBusy; }

void MoveMouse(int32_t x, int32_t y) { Driver().MoveMouse(x, y); }
void ShowPointer() { Driver().SetMouseVisible(1); }
void HidePointer() { Driver().SetMouseVisible(0); }
void Notify(const String& text, int32_t serious) { Driver().Notify(text, serious); }
int32_t Confirm(const String& text, int32_t serious) { return Driver().Confirm(text, serious); }
int32_t Proceed(const String& text, int32_t serious) { return Driver().Proceed(text, serious); }

String RequestFile(const String& text, const String& extensions, int32_t save, const String& path) {
    return Driver().RequestFile(text, extensions, save, path);
}

String RequestDir(const String& text, const String& path) {
    return Driver().RequestDir(text, path.ReplaceAll("/", "\\"));
}

String ResolveURLForOpening(const String& url) {
    String lower = url.Lowercase();
    if (lower.HasPrefix("http:") || lower.HasPrefix("file:") || lower.HasPrefix("https:")) return url;
    String rest = url;
    String anchor;
    int32_t hash = url.IndexOf("#");
    if (hash >= 0) {
        anchor = url.Slice(hash, url.Length());
        rest = url.Slice(0, hash);
    }
    String absolute = AbsolutePath(rest);
    // An empty name would resolve to the working directory itself.
    if (!rest.IsEmpty() && PathKind(absolute) != PATH_NONE) return "file:" + absolute + anchor;
    return "http:" + rest + anchor;
}

int32_t OpenURL(const String& url) { return Driver().OpenURL(ResolveURLForOpening(url)); }

String DateText() { return FormatLocalTime(std::time(nullptr), "%d %b %Y"); }
String TimeText() { return FormatLocalTime(std::time(nullptr), "%H:%M:%S"); }
int32_t TickMillis() { return NativeTickMillis(); }

void PostMainThreadCall(MainThreadFunction function, void* argument1, void* argument2) {
    NativePostMainThreadCall(function, argument1, argument2);
}

void SplitRequestPath(const String& path, String& folder, String& name) {
    String p = path.ReplaceAll("/", "\\");
    int32_t slash = -1;
    for (int32_t i = p.Length() - 1; i >= 0; --i)
        if (p[i] == u'\\') {
            slash = i;
            break;
        }
    folder = slash >= 0 ? p.Slice(0, slash) : String();
    name = p.Slice(slash + 1, p.Length());
}

int32_t RequestFilterIndex(const String& extensions, const String& path) {
    // Only the file name's dots count: a dot in a folder name is no extension.
    String folder, name;
    SplitRequestPath(path, folder, name);
    int32_t dot = name.IndexOf(".");
    if (dot < 0) return 0;
    String key = "," + name.Slice(dot + 1, name.Length()).Lowercase() + ",";
    // The closing "," lets the last group match as well.
    String list = extensions.Lowercase().ReplaceAll(":", ":,").ReplaceAll(";", ",;") + ",";
    int32_t at = list.IndexOf(key);
    if (at < 0) return 0;
    int32_t index = 1;
    for (int32_t i = 0; i < at; ++i)
        if (list[i] == u';') ++index;
    return index;
}

std::u16string RequestFilterList(const String& extensions) {
    if (extensions.IsEmpty()) return std::u16string();
    std::u16string in(extensions.View());
    std::u16string out;
    if (in.find(u':') == std::u16string::npos) out = std::u16string(u"Files") + u'\0' + u"*.";
    for (char16_t c : in) {
        if (c == u':') {
            out += u'\0';
            out += u"*.";
        } else if (c == u';') {
            out += u'\0';
        } else if (c == u',') {
            out += u";*.";
        } else {
            out += c;
        }
    }
    out += u'\0';
    return out;
}

void InitSystemDriver() {
    static bool done = false;
    if (done) return;
    done = true;
    // OpenURL resolves paths; message texts may go to the console.
    InitFileSystem();
    InitStandardIO();
    InitHooks();
    SystemDriver = CreateNativeSystemDriver();
    RecordModuleInit("system driver");
}
