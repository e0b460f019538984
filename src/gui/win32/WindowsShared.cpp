// What the driver and the gadgets share: the driver globals (the handle map
// and the gadget globals live with the gadgets), the optional system
// functions, the common-controls version and the visual themes, the DPI
// scale and small text and key helpers.
#include "gui/win32/WindowsShared.h"

#include <shlwapi.h>

#include <algorithm>

Ref<TWindowsFont> DefaultGuiFont;
HWND SharedTooltip = nullptr;
HCURSOR CurrentPointer = nullptr;
int32_t RedrawOnMove = 1;
int32_t ForceNoComposite = 0;
int32_t ExplorerTheme = 0;
int32_t EmitDepth = 0;
int32_t CaptureReleased = 0;
ATOM WindowClassAtom = 0;
ATOM DialogClassAtom = 0;
OptionalGuiFunctions GuiApi;

namespace {
bool g_comctlVersionRead = false;
DWORD g_comctlMajor = 0, g_comctlMinor = 0;

// A function looked up by name; null when the library or the name is missing.
template <class F>
void Lookup(HMODULE lib, const char* name, F& slot) {
    slot = lib ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}
}  // namespace

void LoadOptionalFunctions() {
    HMODULE user = LoadLibraryW(L"user32.dll");
    HMODULE theme = LoadLibraryW(L"uxtheme.dll");
    Lookup(user, "SetLayeredWindowAttributes", GuiApi.SetLayeredWindowAttributes);
    Lookup(user, "SystemParametersInfoW", GuiApi.SystemParametersInfoW);
    Lookup(user, "GetDpiForWindow", GuiApi.GetDpiForWindow);
    Lookup(theme, "DrawThemeParentBackground", GuiApi.DrawThemeParentBackground);
    Lookup(theme, "SetWindowTheme", GuiApi.SetWindowTheme);
    Lookup(theme, "OpenThemeData", GuiApi.OpenThemeData);
    Lookup(theme, "GetThemeSysFont", GuiApi.GetThemeSysFont);
    Lookup(theme, "DrawThemeBackground", GuiApi.DrawThemeBackground);
    Lookup(theme, "CloseThemeData", GuiApi.CloseThemeData);
    Lookup(theme, "DrawThemeText", GuiApi.DrawThemeText);
    Lookup(theme, "GetThemeBackgroundContentRect", GuiApi.GetThemeBackgroundContentRect);
    Lookup(theme, "IsThemeBackgroundPartiallyTransparent", GuiApi.IsThemeBackgroundPartiallyTransparent);
}

int32_t CurrentModifiers() {
    int32_t m = 0;
    if (GetKeyState(VK_SHIFT) < 0) m |= kModShift;
    if (GetKeyState(VK_CONTROL) < 0) m |= kModControl;
    if (GetKeyState(VK_MENU) < 0) m |= kModAlt;
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) m |= kModWindows;
    return m;
}

namespace {
int32_t ScreenDpi() {
    static int32_t dpi = [] {
        HDC dc = GetDC(nullptr);
        int32_t d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : kLayoutDpi;
        if (dc) ReleaseDC(nullptr, dc);
        return d > 0 ? d : kLayoutDpi;
    }();
    return dpi;
}

int32_t Rescale(int32_t v, int32_t to, int32_t from) {
    int64_t n = int64_t{v} * to;
    n = (n >= 0 ? n + from / 2 : n - from / 2) / from;
    return static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
}
}  // namespace

int32_t DpiOf(HWND hwnd) {
    UINT dpi = (hwnd && GuiApi.GetDpiForWindow) ? GuiApi.GetDpiForWindow(hwnd) : 0;
    return dpi > 0 ? static_cast<int32_t>(dpi) : ScreenDpi();
}

int32_t ToDevice(int32_t v, int32_t dpi) { return Rescale(v, dpi, kLayoutDpi); }
int32_t FromDevice(int32_t v, int32_t dpi) { return Rescale(v, kLayoutDpi, dpi); }

void DeclareDpiAwareness() {
    // Each newer call supersedes the older ones; the first one the system
    // has decides (it fails harmlessly when the manifest declared it first).
    HMODULE user = GetModuleHandleW(L"user32.dll");
    BOOL(WINAPI* byContext)(HANDLE) = nullptr;
    Lookup(user, "SetProcessDpiAwarenessContext", byContext);
    if (byContext) {
        const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(-4), perMonitor = reinterpret_cast<HANDLE>(-3);
        if (!byContext(perMonitorV2)) byContext(perMonitor);
        return;
    }
    HRESULT(WINAPI* byLevel)(int) = nullptr;
    Lookup(LoadLibraryW(L"shcore.dll"), "SetProcessDpiAwareness", byLevel);
    const int perMonitorLevel = 2;
    if (byLevel) {
        byLevel(perMonitorLevel);
        return;
    }
    BOOL(WINAPI* systemWide)() = nullptr;
    Lookup(user, "SetProcessDPIAware", systemWide);
    if (systemWide) systemWide();
}

String WindowTextOf(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0) return String();
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1);
    int got = GetWindowTextW(hwnd, buf.data(), n + 1);
    return String(Utf16(buf.data(), static_cast<size_t>(std::max(got, 0))));
}

int32_t TWindowsGUIDriver::CheckCommonControlVersion() {
    if (!g_comctlVersionRead) {
        g_comctlVersionRead = true;
        if (HMODULE lib = LoadLibraryW(L"comctl32.dll")) {
            using GetVersionFn = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
            GetVersionFn fn = nullptr;
            Lookup(lib, "DllGetVersion", fn);
            if (fn) {
                DLLVERSIONINFO info{};
                info.cbSize = sizeof(info);
                if (SUCCEEDED(fn(&info))) {
                    g_comctlMajor = info.dwMajorVersion;
                    g_comctlMinor = info.dwMinorVersion;
                }
            }
            FreeLibrary(lib);
        }
    }
    if (g_comctlMajor >= 6 && g_comctlMinor > 0) return 2;
    if (g_comctlMajor >= 6) return 1;
    return 0;
}

HANDLE TWindowsGUIDriver::GetThemeHandle(HWND hwnd, const wchar_t* classes) {
    if (GuiApi.OpenThemeData && CheckCommonControlVersion() != 0) return GuiApi.OpenThemeData(hwnd, classes);
    return nullptr;
}

void TWindowsGUIDriver::CloseThemeHandle(HANDLE theme) {
    if (theme && GuiApi.CloseThemeData) GuiApi.CloseThemeData(theme);
}

