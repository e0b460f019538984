// The Win32 GUI driver and its native gadgets. Internal to the GUI module:
// only files in gui/win32/ include this header.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The gadget operations of these names are ours, not the window property calls.
#undef SetProp
#undef GetProp

#include <map>
#include <vector>

#include "gui/GuiDriver.h"

class TWindowsGadget;
class TWindowsWindow;

// Private message the list box posts to itself to look at the selection once
// the control has finished a change.
constexpr UINT DeferredSelect = 0x8100;

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

// The current modifier keys: 1 shift, 2 control, 4 alt, 8 Windows key.
constexpr int32_t ModShift = 1, ModControl = 2, ModAlt = 4, ModWindows = 8;
int32_t CurrentModifiers();
// The character that Ctrl+A types.
constexpr WPARAM CtrlACharacter = 1;
String WindowTextOf(HWND hwnd);

// Gadget coordinates are the program's 96-DPI numbers; native windows take
// device pixels. The scale is the window's DPI (per monitor where the system
// tells it), else the screen's. Conversions round to the nearest pixel.
constexpr int32_t LayoutDpi = 96;
int32_t DpiOf(HWND hwnd);
int32_t ToDevice(int32_t v, int32_t dpi);
int32_t FromDevice(int32_t v, int32_t dpi);
// Declares the process DPI-aware before its first window: per-monitor v2,
// else per-monitor, else system-wide, by whatever the system offers.
void DeclareDpiAwareness();

class TWindowsGadget : public TGadget {
public:
    ~TWindowsGadget() override;

    virtual int32_t Register(int32_t cls, HWND hwnd, HWND client, int32_t tooltips);
    virtual int32_t SetupToolTips();
    virtual int32_t isControl();
    virtual int32_t RethinkClient();
    virtual LRESULT OnNotify(WPARAM wparam, LPARAM lparam);
    virtual LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    virtual LRESULT OnCommand(UINT msg, WPARAM wparam);
    virtual LRESULT OnDrawItem(DRAWITEMSTRUCT* item);
    virtual HBRUSH CreateControlBrush(HWND control, HDC dc);
    virtual int32_t DrawBackground(HDC dc, const RECT& rect);
    static int32_t DrawParentBackground(HWND hwnd, HDC dc);
    virtual int32_t Sensitize();
    virtual int32_t DeSensitize();
    virtual int32_t PostGuiEvent(int32_t id, int32_t data, int32_t mods, int32_t x, int32_t y,
                                 const Ref<Object>& extra);
    virtual int32_t StartResize();
    virtual int32_t QueueResize(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h);
    virtual int32_t EndResize();
    virtual int32_t HasResized();
    virtual int32_t RefreshLook();
    virtual int32_t StartDoubleBuffer();
    virtual int32_t EndDoubleBuffer();

    int32_t SetColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetTextColor(int32_t r, int32_t g, int32_t b) override;
    intptr_t Query(int32_t which) override;
    int32_t Activate(int32_t command) override;
    int32_t Rethink() override;
    int32_t SetArea(int32_t x, int32_t y, int32_t w, int32_t h) override;
    int32_t LayoutKids() override;
    int32_t ClientWidth() override;
    int32_t ClientHeight() override;
    int32_t SetText(const String& text) override;
    String GetText() override;
    int32_t SetFont(const Ref<TGuiFont>& font) override;
    int32_t SetShow(int32_t flag) override;
    int32_t SetEnabled(int32_t flag) override;
    int32_t SetTooltip(const String& text) override;
    String GetTooltip() override;
    int32_t State() override;
    int32_t Free() override;
    int32_t SetHotKey(int32_t key, int32_t mods) override;

    int32_t _class = 0;
    HWND _hwnd = nullptr;
    HWND _hwndclient = nullptr;
    HWND _tooltips = nullptr;
    WNDPROC _proc = nullptr;  // unset
    Ref<THotKey> _hotkey;
    LPARAM _oldcursorlp = 0;
    int32_t _sensitive = 0;
    HBRUSH _brush = nullptr;
    int32_t _textcolor = -1;
    int32_t _backcolor = -1;
    HBRUSH _hbrush = nullptr;
    HBITMAP _hbitmap = nullptr;
    HBITMAP _bitmap = nullptr;
    HBITMAP _iconBitmap = nullptr;
    HANDLE _hTheme = nullptr;
    Ref<TWindowsFont> _font;
    wchar_t* _wstrTooltip = nullptr;
    int32_t _toolAdded = 0;
    HDWP hdwpStruct = nullptr;

protected:
    // The client area in gadget coordinates.
    virtual SIZE ClientSize();
    // Moves the window now (no batch), repainting when RedrawOnMove is 1.
    void MoveNow(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h);
    void FillToolInfo(TOOLINFOW& ti);
};

class TWindowsDesktop : public TWindowsGadget {
public:
    TWindowsDesktop();
    int32_t Class() override { return KIND_DESKTOP; }
    int32_t SetTooltip(const String&) override { return 0; }
    int32_t Free() override { return 0; }

protected:
    SIZE ClientSize() override;
};

class TWindowsMenu : public TGadget {
public:
    TWindowsMenu(const String& text, const Ref<TGadget>& group, int32_t tag);
    int32_t Class() override { return KIND_MENUITEM; }
    int32_t SetText(const String& t) override {
        text = t;
        return 0;
    }
    String GetText() override { return text; }
    int32_t Free() override;
    // Appends this menu's items to a native menu.
    void Build(HMENU into);

    String text;
    int32_t tag = 0;
    UINT id = 0;  // command id, above 100
};

class TWindowsWindow : public TWindowsGadget {
public:
    virtual Ref<TWindowsWindow> Create(const Ref<TGadget>& group, int32_t style);
    static BOOL CALLBACK EnumChildProc(HWND hwnd, LPARAM result);
    virtual int32_t HandleMenuEvent(UINT msg, UINT id);
    virtual int32_t ConvertToContainerDimensions(int32_t& x, int32_t& y, int32_t& w, int32_t& h);

    int32_t SetAlpha(double alpha) override;
    int32_t Rethink() override;
    int32_t RethinkClient() override;
    int32_t ClientWidth() override;
    int32_t ClientHeight() override;
    int32_t Class() override { return KIND_WINDOW; }
    int32_t State() override;
    int32_t SetMinimumSize(int32_t w, int32_t h) override;
    int32_t SetMaximumSize(int32_t w, int32_t h) override;
    Ref<TGadget> GetMenu() override;
    int32_t UpdateMenu() override;
    int32_t SetStatus(const String& text) override;
    int32_t PopupMenu(const Ref<TGadget>& menu, const Ref<Object>& extra) override;
    int32_t Activate(int32_t command) override;
    LRESULT OnCommand(UINT msg, WPARAM wparam) override;
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    int32_t DoLayout() override { return 0; }
    int32_t SetTooltip(const String&) override { return 0; }
    int32_t SetSensitivity(int32_t bits) override;
    int32_t SetPixmap(const Ref<Object>& pixmap, int32_t flags) override;
    int32_t Free() override;

    int32_t _style = 0;
    DWORD _wstyle = 0;
    DWORD _xstyle = 0;
    int32_t _minwidth = 0, _minheight = 0;
    int32_t _maxwidth = -1, _maxheight = -1;
    Ref<TWindowsMenu> _menu;
    HMENU _hmenu = nullptr;
    HWND _status = nullptr;
    int32_t _suppressresizeevents = 0;
    Ref<Object> popupextra;
    HICON _icon = nullptr;

private:
    int32_t ApplySizeStyle(DWORD s);
    int32_t StatusHeight();
    // The rectangle the window reports: outer, or client with CLIENTCOORDS.
    void ReadRect(int32_t& x, int32_t& y, int32_t& w, int32_t& h);
    // The outer rectangle to give the native window, in device pixels.
    void DeviceRect(int32_t& x, int32_t& y, int32_t& w, int32_t& h);
};

class TWindowsButton : public TWindowsGadget {
public:
    virtual Ref<TWindowsButton> Create(const Ref<TGadget>& group, int32_t style);

    int32_t SetTextColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetColor(int32_t r, int32_t g, int32_t b) override;
    int32_t State() override;
    int32_t SetSelected(int32_t state) override;
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    LRESULT OnCommand(UINT msg, WPARAM wparam) override;
    int32_t SetPixmap(const Ref<Object>& pixmap, int32_t flags) override;
    int32_t SetText(const String& text) override;
    String GetText() override;
    int32_t Class() override { return KIND_BUTTON; }

    int32_t _style = 0;
    std::vector<intptr_t> _buttonImageList{-1};
    String _strButtonText;
    int32_t _mouseoverbutton = 0;
};

class TWindowsTextField : public TWindowsGadget {
public:
    virtual Ref<TWindowsTextField> Create(const Ref<TGadget>& group, int32_t style);

    int32_t SetText(const String& text) override;
    String GetText() override;
    int32_t Activate(int32_t command) override;
    LRESULT OnCommand(UINT msg, WPARAM wparam) override;
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    int32_t Class() override { return KIND_TEXTFIELD; }

    int32_t _busy = 0;

private:
    void SelectAll();
    // 1 between a button press that focuses the field and its release.
    int32_t _clickFocus = 0;
};

class TWindowsLabel : public TWindowsGadget {
public:
    virtual Ref<TWindowsLabel> Create(const Ref<TGadget>& group, int32_t style);

    int32_t SetArea(int32_t x, int32_t y, int32_t w, int32_t h) override;
    int32_t SetText(const String& text) override;
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    int32_t Class() override { return KIND_LABEL; }

    int32_t _style = 0;
};

class TWindowsListBox : public TWindowsGadget {
public:
    virtual Ref<TWindowsListBox> Create(const Ref<TGadget>& group, int32_t style);
    virtual int32_t IsSingleSelect();
    virtual int32_t UseExplorerTheme();

    int32_t SetColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetTextColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetIconStrip(const Ref<TIconStrip>& strip) override;
    int32_t ClearListItems() override;
    int32_t InsertListItem(int32_t index, const String& text, const String& tip, int32_t icon,
                           const Ref<Object>& extra) override;
    int32_t SetListItem(int32_t index, const String& text, const String& tip, int32_t icon,
                        const Ref<Object>& extra) override;
    int32_t RemoveListItem(int32_t index) override;
    int32_t SetListItemState(int32_t index, int32_t state) override;
    int32_t ListItemState(int32_t index) override;
    int32_t SetTooltip(const String&) override { return 0; }
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    LRESULT OnNotify(WPARAM wparam, LPARAM lparam) override;
    int32_t Class() override { return KIND_LISTBOX; }
    int32_t HasResized() override;

    Ref<TIconStrip> _icons;
    int32_t _selected = -1;
};
