#include "event/win32/Win32SystemDriver.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <exception>
#include <string>

#include "event/Event.h"
#include "event/NativeSystem.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

// The millisecond clock's resolution while the driver runs.
constexpr UINT kClockResolutionMillis = 1;

bool g_started = false;
bool g_wide = true;
DWORD g_mainThread = 0;
HHOOK g_messageHook = nullptr;
int32_t g_pointerVisible = 1;
HWND g_hovered = nullptr;
Ref<Object> g_hoveredSource;
// An error raised by a main-thread call inside the message hook; handed on
// by the pump, since it must not unwind through the system's frames.
std::exception_ptr g_pendingError;

struct MainThreadCallRecord {
    MainThreadFunction function;
    void* argument1;
    void* argument2;
    int32_t released;
};

void RethrowPending() {
    if (g_pendingError) {
        std::exception_ptr error = g_pendingError;
        g_pendingError = nullptr;
        std::rethrow_exception(error);
    }
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lparam);
        if (msg->hwnd == nullptr && msg->message == MainThreadCallMessage && msg->lParam != 0) {
            auto* record = reinterpret_cast<MainThreadCallRecord*>(msg->lParam);
            // The record is gone after this; nobody further down may see it.
            msg->message = WM_NULL;
            msg->lParam = 0;
            try {
                record->function(record->argument1, record->argument2);
            } catch (...) {
                KeepNativeCallbackError();
            }
            record->released = 1;
            delete record;
        }
    }
    return CallNextHookEx(g_messageHook, code, wparam, lparam);
}

void RestoreAtExit() {
    timeEndPeriod(kClockResolutionMillis);
    if (g_messageHook) UnhookWindowsHookEx(g_messageHook);
    g_messageHook = nullptr;
}

bool IsModifierKey(WPARAM vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN || vk == VK_RWIN;
}

bool Down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

void RecomputeModifiers() {
    ModifierState = (Down(VK_SHIFT) ? 1 : 0) | (Down(VK_CONTROL) ? 2 : 0) | (Down(VK_MENU) ? 4 : 0) |
                    (Down(VK_LWIN) || Down(VK_RWIN) ? 8 : 0);
}

bool IsTabStopChild(HWND w) {
    LONG style = GetWindowLongW(w, GWL_STYLE);
    return (style & (WS_CHILD | WS_TABSTOP)) == (WS_CHILD | WS_TABSTOP);
}

bool OwnWindow(HWND w) {
    if (!w) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId();
}

void EmitEvent(int32_t id, const Ref<Object>& source, int32_t data, int32_t mods, int32_t x, int32_t y) {
    TEvent::Create(id, source, data, mods, x, y, Ref<Object>())->Emit();
}

void ApplyPointer() {
    BOOL show = (g_pointerVisible || !g_hovered) ? TRUE : FALSE;
    int count = ShowCursor(show);
    // Keep the system counter at 0 (shown) or -1 (hidden).
    if (count > 0 || count < -1) ShowCursor(!show);
}

void TrackHover(HWND window, const Ref<Object>& source, int32_t x, int32_t y) {
    if (window == g_hovered) return;
    HWND old = g_hovered;
    Ref<Object> oldSource = g_hoveredSource;
    // State first: hook functions run inside the emits below.
    g_hovered = window;
    g_hoveredSource = window ? source : Ref<Object>();
    if (old) {
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(old, &pt);
        EmitEvent(EventMouseLeave, oldSource, 0, 0, pt.x, pt.y);
    }
    ApplyPointer();
    if (window) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = window;
        TrackMouseEvent(&track);
        EmitEvent(EventMouseEnter, source, 0, 0, x, y);
    }
}

int ShowBox(const String& text, UINT style) {
    HWND focus = GetFocus();
    int result;
    if (g_wide) {
        result = MessageBoxW(GetActiveWindow(), Wide(text.View()).c_str(), Wide(ApplicationTitle.View()).c_str(), style);
    } else {
        result = MessageBoxA(GetActiveWindow(), text.ToBytes8().c_str(), ApplicationTitle.ToBytes8().c_str(), style);
    }
    if (focus && IsWindow(focus)) SetFocus(focus);
    return result;
}

int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM lparam, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam), path))
            SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

}  // namespace

DWORD MainThreadId() { return g_mainThread; }

void KeepNativeCallbackError() {
    // The first error wins; later ones are consequences of it.
    if (!g_pendingError) g_pendingError = std::current_exception();
}

void ForgetHoveredWindow(HWND window) {
    if (!window || window != g_hovered) return;
    g_hovered = nullptr;
    g_hoveredSource = Ref<Object>();
    ApplyPointer();
}

TWin32SystemDriver::TWin32SystemDriver() {
    if (g_started) return;
    g_started = true;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&version)) g_wide = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
    g_pointerVisible = 1;
    g_mainThread = GetCurrentThreadId();
    g_messageHook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, g_mainThread);
    timeBeginPeriod(kClockResolutionMillis);
    AtProgramEnd(RestoreAtExit);
}

int32_t TWin32SystemDriver::Poll() {
    RethrowPending();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        RethrowPending();
        switch (msg.message) {
            case WM_KEYDOWN:
            case WM_KEYUP:
            case WM_SYSKEYDOWN:
            case WM_SYSKEYUP:
                if (IsModifierKey(msg.wParam)) RecomputeModifiers();
                break;
        }
        if (msg.hwnd && IsTabStopChild(msg.hwnd)) {
            // Tab, Enter and Escape in controls are handled by the dialog
            // logic of the top window they sit in.
            HWND top = GetParent(msg.hwnd);
            while (top && (GetWindowLongW(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
            if (top && IsDialogMessageW(top, &msg)) {
                RethrowPending();
                continue;
            }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        RethrowPending();
    }
    return 0;
}

int32_t TWin32SystemDriver::Wait() {
    // "Input available" also counts messages that were already seen but not
    // removed, so this cannot sleep on a non-empty queue.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return Poll();
}

int32_t TWin32SystemDriver::WaitFor(int32_t millis) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(millis < 0 ? 0 : millis), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return Poll();
}

int32_t TWin32SystemDriver::MoveMouse(int32_t x, int32_t y) {
    POINT pt{x, y};
    HWND active = GetActiveWindow();
    if (active) ClientToScreen(active, &pt);
    SetCursorPos(pt.x, pt.y);
    return 0;
}

int32_t TWin32SystemDriver::SetMouseVisible(int32_t visible) {
    g_pointerVisible = visible ? 1 : 0;
    ApplyPointer();
    return 0;
}

int32_t TWin32SystemDriver::Notify(const String& text, int32_t serious) {
    ShowBox(text, MB_TOPMOST | MB_OK | (serious ? MB_ICONWARNING : MB_ICONINFORMATION));
    return 0;
}

int32_t TWin32SystemDriver::Confirm(const String& text, int32_t serious) {
    return ShowBox(text, MB_TOPMOST | MB_OKCANCEL | (serious ? MB_ICONWARNING : MB_ICONINFORMATION)) == IDOK ? 1 : 0;
}

int32_t TWin32SystemDriver::Proceed(const String& text, int32_t serious) {
    int r = ShowBox(text, MB_TOPMOST | MB_YESNOCANCEL | (serious ? MB_ICONWARNING : MB_ICONINFORMATION));
    return r == IDYES ? 1 : r == IDNO ? 0 : -1;
}

String TWin32SystemDriver::RequestFile(const String& text, const String& extensions, int32_t save,
                                       const String& path) {
    String folder, name;
    SplitRequestPath(path, folder, name);
    std::u16string filter = RequestFilterList(extensions);
    std::wstring wfilter = Wide(filter);
    std::wstring wfolder = Wide(folder.View());
    std::wstring title = Wide(text.View());

    wchar_t file[MAX_PATH] = {};
    std::wstring wname = Wide(name.View());
    wname.copy(file, MAX_PATH - 1);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = wfilter.empty() ? nullptr : wfilter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(RequestFilterIndex(extensions, path));
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = wfolder.empty() ? nullptr : wfolder.c_str();
    ofn.lpstrTitle = title.c_str();

    HWND focus = GetFocus();
    BOOL ok;
    if (save) {
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        ofn.lpstrDefExt = L"";
        ok = GetSaveFileNameW(&ofn);
    } else {
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        ok = GetOpenFileNameW(&ofn);
    }
    if (focus && IsWindow(focus)) SetFocus(focus);
    return ok ? String(Utf16(file)) : String();
}

String TWin32SystemDriver::RequestDir(const String& text, const String& path) {
    wchar_t initial[MAX_PATH] = {};
    std::wstring wpath = Wide(path.ReplaceAll("/", "\\").View());
    DWORD n = GetFullPathNameW(wpath.c_str(), MAX_PATH, initial, nullptr);
    if (n == 0 || n >= MAX_PATH) initial[0] = 0;
    std::wstring title = Wide(text.View());

    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW bi{};
    bi.hwndOwner = GetActiveWindow();
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_STATUSTEXT;
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(initial);

    HWND focus = GetFocus();
    String result;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
    if (chosen) {
        wchar_t folder[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, folder)) result = String(Utf16(folder));
        CoTaskMemFree(chosen);
    }
    if (focus && IsWindow(focus)) SetFocus(focus);
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}

int32_t TWin32SystemDriver::OpenURL(const String& url) {
    HINSTANCE r;
    if (g_wide)
        r = ShellExecuteW(nullptr, nullptr, Wide(url.View()).c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    else
        r = ShellExecuteA(nullptr, nullptr, url.ToBytes8().c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    return reinterpret_cast<INT_PTR>(r) > 32 ? 1 : 0;
}

int32_t KeyCodeFromMessage(WPARAM wparam, LPARAM lparam) {
    // Scan code (bits 16 to 22) with the extended-key flag (bit 24) as bit 7.
    constexpr LPARAM Extended = 1 << 24;
    uint32_t scan = static_cast<uint32_t>((lparam >> 16) & 0x7F) | ((lparam & Extended) ? 0x80u : 0u);
    enum : uint32_t { LeftShift = 0x2A, RightShift = 0x36, LeftControl = 0x1D, RightControl = 0x9D, LeftAlt = 0x38, RightAlt = 0xB8 };
    switch (scan) {
    case LeftShift: return VK_LSHIFT;
    case RightShift: return VK_RSHIFT;
    case LeftControl: return VK_LCONTROL;
    case RightControl: return VK_RCONTROL;
    case LeftAlt: return VK_LMENU;
    case RightAlt: return VK_RMENU;
    default: return static_cast<int32_t>(wparam);
    }
}

namespace {

// Every translated event carries the modifiers held and no extra object.
void Report(int32_t id, const Ref<Object>& source, int32_t data, int32_t x = 0, int32_t y = 0) {
    EmitEvent(id, source, data, ModifierState, x, y);
}

// Only switching from or to another program counts; a minimised window
// becoming active does not resume.
void TranslateActivate(WPARAM wparam, HWND other, const Ref<Object>& source) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        if (!OwnWindow(other)) Report(EventAppSuspend, source, 0);
    } else if (!HIWORD(wparam) && !OwnWindow(other)) {
        Report(EventAppResume, source, 0);
    }
}

bool IsReportedKey(WPARAM vk) { return vk != 0 && vk <= kMaxReportedKey; }

void TranslateKeyDown(WPARAM wparam, LPARAM lparam, const Ref<Object>& source) {
    constexpr LPARAM WasDown = 1 << 30;  // auto-repeat of a held key
    if (!IsReportedKey(wparam)) return;
    Report((lparam & WasDown) ? EventKeyRepeat : EventKeyDown, source, KeyCodeFromMessage(wparam, lparam));
}

void TranslateKeyUp(WPARAM wparam, LPARAM lparam, const Ref<Object>& source) {
    if (IsReportedKey(wparam)) Report(EventKeyUp, source, KeyCodeFromMessage(wparam, lparam));
}

void TranslateMouseMove(HWND hwnd, WPARAM buttons, int32_t x, int32_t y, const Ref<Object>& source) {
    RECT r{};
    GetClientRect(hwnd, &r);
    bool inside = x >= 0 && x < r.right - r.left && y >= 0 && y < r.bottom - r.top;
    TrackHover(inside ? hwnd : nullptr, source, x, y);
    int32_t held = (buttons & MK_RBUTTON) ? 2 : (buttons & MK_MBUTTON) ? 4 : (buttons & MK_LBUTTON) ? 1 : 0;
    Report(EventMouseMove, source, held, x, y);
}

// Buttons 1 left, 2 right, 3 middle; the window holds the capture while one
// is down.
void TranslateButton(HWND hwnd, bool down, int32_t button, int32_t x, int32_t y, const Ref<Object>& source) {
    if (down) SetCapture(hwnd);
    else ReleaseCapture();
    Report(down ? EventMouseDown : EventMouseUp, source, button, x, y);
}

void TranslateWheel(HWND hwnd, WPARAM wparam, int32_t x, int32_t y, const Ref<Object>& source) {
    POINT pt{x, y};  // the wheel reports screen coordinates
    ScreenToClient(hwnd, &pt);
    Report(EventMouseWheel, source, static_cast<int16_t>(HIWORD(wparam)) / WHEEL_DELTA, pt.x, pt.y);
}

void TranslateMouseLeave(HWND hwnd) {
    if (hwnd == g_hovered) TrackHover(nullptr, Ref<Object>(), 0, 0);
}

}  // namespace

void TranslateOSMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, const Ref<Object>& source) {
    int32_t x = GET_X_LPARAM(lparam);
    int32_t y = GET_Y_LPARAM(lparam);
    switch (message) {
    case WM_ACTIVATE: return TranslateActivate(wparam, reinterpret_cast<HWND>(lparam), source);
    case WM_CLOSE: return Report(EventAppTerminate, source, 0);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return TranslateKeyDown(wparam, lparam, source);
    case WM_KEYUP:
    case WM_SYSKEYUP: return TranslateKeyUp(wparam, lparam, source);
    case WM_CHAR:
    case WM_SYSCHAR: return Report(EventKeyChar, source, static_cast<int32_t>(wparam));
    case WM_MOUSEMOVE: return TranslateMouseMove(hwnd, wparam, x, y, source);
    case WM_LBUTTONDOWN: return TranslateButton(hwnd, true, 1, x, y, source);
    case WM_RBUTTONDOWN: return TranslateButton(hwnd, true, 2, x, y, source);
    case WM_MBUTTONDOWN: return TranslateButton(hwnd, true, 3, x, y, source);
    case WM_LBUTTONUP: return TranslateButton(hwnd, false, 1, x, y, source);
    case WM_RBUTTONUP: return TranslateButton(hwnd, false, 2, x, y, source);
    case WM_MBUTTONUP: return TranslateButton(hwnd, false, 3, x, y, source);
    case WM_MOUSEWHEEL: return TranslateWheel(hwnd, wparam, x, y, source);
    case WM_MOUSELEAVE: return TranslateMouseLeave(hwnd);
    default: return;  // double clicks, dead characters and the rest: no event
    }
}

Ref<TSystemDriver> CreateNativeSystemDriver() { return New<TWin32SystemDriver>(); }

int32_t NativeTickMillis() { return static_cast<int32_t>(timeGetTime()); }

void NativePostMainThreadCall(MainThreadFunction function, void* argument1, void* argument2) {
    if (!g_mainThread) return;  // no driver yet: there is no main loop to run it
    auto* record = new MainThreadCallRecord{function, argument1, argument2, 0};
    if (!PostThreadMessageW(g_mainThread, MainThreadCallMessage, 0, reinterpret_cast<LPARAM>(record))) delete record;
}
