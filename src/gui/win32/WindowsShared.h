// The state the Win32 driver shares with its gadgets: the driver, the
// handle map and the other globals, optional system functions, fonts and
// small helpers. Internal to the GUI module: only gui/win32/ includes it.
#pragma once

#include "platform/win32/Win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <vector>

#include "gui/GuiDriver.h"

class TWindowsGadget;
class TWindowsWindow;


class TWindowsFont : public TGuiFont {
public:
    ~TWindowsFont() override;
    HFONT Native() const { return reinterpret_cast<HFONT>(handle); }
    static Ref<TWindowsFont> Create(const String& name, int32_t size, int32_t style);
    // The system's message-box font, or "MS Shell Dlg" 8 when unreadable.
    static Ref<TWindowsFont> DefaultFont(double size, int32_t style);
};

class TWindowsGUIDriver : public TGanvikDriver {
public:
    TWindowsGUIDriver();
    ~TWindowsGUIDriver() override;

    Ref<TGuiFont> LoadFont(const String& name, int32_t size, int32_t style) override;
    Ref<TGadget> CreateGadget(int32_t cls, const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                              const Ref<TGadget>& group, int32_t style) override;
    Ref<TGadget> ActiveGadget() override;
    int32_t RequestColor(int32_t r, int32_t g, int32_t b) override;
    Ref<TGuiFont> RequestFont(const Ref<TGuiFont>& font) override;
    int32_t SetPointer(int32_t shape) override;
    Ref<TIconStrip> LoadIconStrip(const Ref<Object>& source) override;
    Ref<TGuiFont> LibraryFont(int32_t kind, double size, int32_t style) override;

    static void RegisterHwnd(HWND hwnd, TWindowsGadget* gadget);
    static void RemoveHwnd(HWND hwnd);
    static Ref<TWindowsGadget> GadgetOf(HWND hwnd);
    static LRESULT CALLBACK ClassWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK KeyboardProc(int code, WPARAM key, LPARAM flags);
    static LRESULT CALLBACK MouseProc(int code, WPARAM msg, LPARAM info);
    static void SystemEmitOSEvent(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, const Ref<TGadget>& gadget);
    static const wchar_t* ClassName();
    static const wchar_t* DialogClassName();
    static int32_t CheckCommonControlVersion();
    static HANDLE GetThemeHandle(HWND hwnd, const wchar_t* classes);
    static void CloseThemeHandle(HANDLE theme);
    static void CreateExplorerStyleGadgets(int32_t flag);
    static HWND GetActiveHwnd();

private:
    // The work of ClassWndProc and the two hooks, run inside their error
    // barrier. HandleKey tells whether the key is swallowed.
    static LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    static bool HandleKey(WPARAM key, LPARAM flags);
    static void HandleMouse(UINT msg, const MOUSEHOOKSTRUCT* info);
};

// Driver globals.
extern std::map<HWND, Ref<TWindowsGadget>> HwndMap;
extern Ref<TWindowsGadget> DesktopGadget;
extern Ref<TWindowsFont> DefaultGuiFont;
extern HWND SharedTooltip;
extern HCURSOR CurrentPointer;
extern Ref<TWindowsWindow> ActiveWindow;
extern int32_t RedrawOnMove;
extern int32_t ForceNoComposite;
extern int32_t ExplorerTheme;
extern int32_t EmitDepth;
extern int32_t CaptureReleased;
extern ATOM WindowClassAtom;
extern ATOM DialogClassAtom;

// Optional functions, looked up by name; null when the system lacks them.
struct OptionalGuiFunctions {
    BOOL(WINAPI* SetLayeredWindowAttributes)(HWND, COLORREF, BYTE, DWORD) = nullptr;
    BOOL(WINAPI* SystemParametersInfoW)(UINT, UINT, PVOID, UINT) = nullptr;
    HRESULT(WINAPI* SetWindowTheme)(HWND, LPCWSTR, LPCWSTR) = nullptr;
    HANDLE(WINAPI* OpenThemeData)(HWND, LPCWSTR) = nullptr;
    HRESULT(WINAPI* CloseThemeData)(HANDLE) = nullptr;
    UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
    FARPROC DrawThemeParentBackground = nullptr;
    FARPROC GetThemeSysFont = nullptr;
    FARPROC DrawThemeBackground = nullptr;
    FARPROC DrawThemeText = nullptr;
    FARPROC GetThemeBackgroundContentRect = nullptr;
    FARPROC IsThemeBackgroundPartiallyTransparent = nullptr;
};
extern OptionalGuiFunctions GuiApi;
// Fills GuiApi; run once by the driver module's initialiser.
void LoadOptionalFunctions();

// A drag that ends over a gadget (no registered name).
constexpr int32_t EventGadgetDrop = 0x200B;

// The current modifier keys: 1 shift, 2 control, 4 alt, 8 Windows key.
constexpr int32_t kModShift = 1, kModControl = 2, kModAlt = 4, kModWindows = 8;
int32_t CurrentModifiers();
// The character that Ctrl+A types.
constexpr WPARAM kCtrlACharacter = 1;
String WindowTextOf(HWND hwnd);

// Gadget coordinates are the program's 96-DPI numbers; native windows take
// device pixels. The scale is the window's DPI (per monitor where the system
// tells it), else the screen's. Conversions round to the nearest pixel.
constexpr int32_t kLayoutDpi = 96;
int32_t DpiOf(HWND hwnd);
int32_t ToDevice(int32_t v, int32_t dpi);
int32_t FromDevice(int32_t v, int32_t dpi);
// Declares the process DPI-aware before its first window: per-monitor v2,
// else per-monitor, else system-wide, by whatever the system offers.
void DeclareDpiAwareness();

