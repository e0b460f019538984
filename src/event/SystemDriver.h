// The system driver: pumps the main thread's native messages, shows message
// boxes and file dialogs, opens URLs and carries calls from other threads onto
// the main thread. One driver exists (SystemDriver); the free functions below
// forward to it.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/Object.h"
#include "runtime/String.h"

class TSystemDriver : public Object {
public:
    // Every operation of an implementation that does not provide it raises
    // TNullMethodException.
    // Dispatches every pending native message without waiting.
    virtual int32_t Poll();
    // Waits until native input is pending, then dispatches as Poll.
    virtual int32_t Wait();
    // The same, waiting at most `millis`; by default a plain sleep.
    virtual int32_t WaitFor(int32_t millis);
    // Puts the pointer at a point of the active window's client area.
    virtual int32_t MoveMouse(int32_t x, int32_t y);
    virtual int32_t SetMouseVisible(int32_t visible);
    // Message box with one OK button.
    virtual int32_t Notify(const String& text, int32_t serious);
    // OK/Cancel: 1 for OK, 0 otherwise.
    virtual int32_t Confirm(const String& text, int32_t serious);
    // Yes/No/Cancel: 1, 0, -1.
    virtual int32_t Proceed(const String& text, int32_t serious);
    // Open (or save) dialog: the chosen path, or empty.
    virtual String RequestFile(const String& text, const String& extensions, int32_t save, const String& path);
    // Folder dialog: the chosen folder, or empty.
    virtual String RequestDir(const String& text, const String& path);
    // Opens the URL with the desktop's default handler; 1 on success.
    virtual int32_t OpenURL(const String& url);
};

// The one driver, created by InitSystemDriver.
extern Ref<TSystemDriver> SystemDriver;

// Modifier keys held, recomputed by the pump: 1 shift, 2 control, 4 alt,
// 8 Windows key.
extern int32_t ModifierState;

// Pump once / wait and pump. While either is inside the driver (a hook
// function called during dispatching, say), further calls return at once.
void PumpSystem();
void AwaitSystem();
// Waits at most `millis` for native input (a main-thread call counts), then
// pumps; inside the driver it only sleeps.
void AwaitSystemFor(int32_t millis);
// True while PumpSystem or AwaitSystem is inside the driver.
bool SystemPumpBusy();

void MoveMouse(int32_t x, int32_t y);
void ShowPointer();
void HidePointer();
void Notify(const String& text, int32_t serious = 0);
int32_t Confirm(const String& text, int32_t serious = 0);
int32_t Proceed(const String& text, int32_t serious = 0);
String RequestFile(const String& text, const String& extensions, int32_t save = 0, const String& path = String());
String RequestDir(const String& text, const String& path = String());
// Bare paths become "file:" URLs when something exists there, anything else
// that is not already an "http:", "https:" or "file:" URL becomes "http:" +
// text; a "#" anchor is kept at the end. Then the driver opens it.
int32_t OpenURL(const String& url);
// The rewriting step of OpenURL alone.
String ResolveURLForOpening(const String& url);

// Local date ("%d %b %Y") and time ("%H:%M:%S").
String DateText();
String TimeText();
// A time in seconds since 1970 (UTC) as local time, by strftime's `format`
// (only the conversions every C runtime knows); empty when the platform
// cannot convert it.
String FormatLocalTime(int64_t seconds, const char* format);
// Milliseconds since the system started (wraps after about 49.7 days).
int32_t TickMillis();

// Asks the main thread to call function(argument1, argument2) the next time
// one of its message loops takes messages. Safe from any thread; calls run
// in the order they were posted.
using MainThreadFunction = void (*)(void* argument1, void* argument2);
void PostMainThreadCall(MainThreadFunction function, void* argument1, void* argument2);
// The native thread message that carries main-thread calls.
constexpr uint32_t MainThreadCallMessage = 0x7001;

// File dialog helpers (the argument preparation of RequestFile).
// Every "/" becomes "\"; folder is the text before the last "\", name the rest.
void SplitRequestPath(const String& path, String& folder, String& name);
// 1-based group of `extensions` ("Desc:ext,ext;Desc:ext") holding the
// extension of `path`, or 0.
int32_t RequestFilterIndex(const String& extensions, const String& path);
// The native filter list: description and pattern pairs, each ended by a
// zero unit, plus a final zero unit. Empty when `extensions` is empty.
std::u16string RequestFilterList(const String& extensions);

// Module initialiser of the system driver: creates the platform's driver.
void InitSystemDriver();
