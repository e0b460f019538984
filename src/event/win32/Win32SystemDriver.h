// The Win32 system driver, and the message translation that the window
// procedures of event-reporting windows call.
#pragma once

#include "platform/win32/Win32.h"

#include "event/SystemDriver.h"

class TWin32SystemDriver : public TSystemDriver {
public:
    // Start-up runs once per process: version test, main thread, the
    // get-message hook, 1 ms timer resolution (restored at exit).
    TWin32SystemDriver();

    int32_t Poll() override;
    int32_t Wait() override;
    int32_t WaitFor(int32_t millis) override;
    int32_t MoveMouse(int32_t x, int32_t y) override;
    int32_t SetMouseVisible(int32_t visible) override;
    int32_t Notify(const String& text, int32_t serious) override;
    int32_t Confirm(const String& text, int32_t serious) override;
    int32_t Proceed(const String& text, int32_t serious) override;
    String RequestFile(const String& text, const String& extensions, int32_t save, const String& path) override;
    String RequestDir(const String& text, const String& path) override;
    int32_t OpenURL(const String& url) override;
};

// Turns one native message into an emitted event with `source` as its
// source (unknown messages are ignored). Called by window procedures.
void TranslateOSMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, const Ref<Object>& source);

// Key codes above this are not reported.
constexpr WPARAM kMaxReportedKey = 255;

// The key code reported for a key message: the virtual key, except that the
// scan code tells the left and right shift, control and alt keys apart.
int32_t KeyCodeFromMessage(WPARAM wparam, LPARAM lparam);

// The thread that created the driver.
DWORD MainThreadId();

// For the catch block of a native callback (window procedure, hook): an
// error must not unwind through the system's frames, so it is kept and
// raised by the pump once the system has returned.
void KeepNativeCallbackError();

// A window that goes away stops being the hovered one, without a
// "MouseLeave" that would name its freed source.
void ForgetHoveredWindow(HWND window);
