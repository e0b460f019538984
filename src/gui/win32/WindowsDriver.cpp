// The Win32 driver: start-up, fonts, window classes, gadget creation, the one
// window procedure every toolkit window and taken-over control shares, and
// the thread keyboard and mouse hooks.
#include "gui/win32/WindowsGadgets.h"

#include <ole2.h>
#include <commdlg.h>

#include <algorithm>

#include "event/Event.h"
#include "event/SystemDriver.h"
#include "event/win32/Win32SystemDriver.h"
#include "runtime/Program.h"

namespace {
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;
COLORREF g_customColours[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
bool g_buttonDown[4] = {};

ATOM RegisterToolkitClass(const wchar_t* name, bool withIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    wc.lpfnWndProc = TWindowsGUIDriver::ClassWndProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;  // what the dialog manager needs
    wc.hInstance = GetModuleHandleW(nullptr);
    if (withIcon) wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(101));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc);
}

bool Usable(HWND w) { return IsWindowEnabled(w) && IsWindowVisible(w); }

struct ButtonSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindUsableButton(HWND w, LPARAM data) {
    auto* search = reinterpret_cast<ButtonSearch*>(data);
    if (GetDlgCtrlID(w) != search->id || !Usable(w) || !TWindowsGUIDriver::GadgetOf(w)) return TRUE;
    search->found = w;
    return FALSE;
}

// Enter and Escape arrive as a click command of the OK or Cancel id.
bool IsDialogKeyCommand(WPARAM wparam) {
    return HIWORD(wparam) == BN_CLICKED && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL);
}

// The command names the first direct child of the id, or none when the
// buttons sit in a client window. A disabled or hidden button must not
// answer: the first usable button of that id among all descendants does, in
// creation order. Null when there is none.
HWND UsableButton(HWND window, int id, HWND named) {
    if (named && Usable(named)) return named;
    ButtonSearch search{id, nullptr};
    EnumChildWindows(window, FindUsableButton, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Calls the kept procedure of a taken-over window, or the default one.
LRESULT PassOn(const Ref<TWindowsGadget>& g, LRESULT r, HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
               bool defaultWhenZero) {
    if (r != 0) return r;
    if (g && g->_proc && g->_hwnd == hwnd) return CallWindowProcW(g->_proc, hwnd, msg, wparam, lparam);
    return defaultWhenZero ? DefWindowProcW(hwnd, msg, wparam, lparam) : 0;
}
}  // namespace

// ---- fonts ----

TWindowsFont::~TWindowsFont() {
    if (handle) DeleteObject(Native());
}

Ref<TWindowsFont> TWindowsFont::Create(const String& name, int32_t size, int32_t style) {
    Ref<TWindowsFont> f = New<TWindowsFont>();
    HDC dc = GetDC(nullptr);
    int height = -MulDiv(size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(nullptr, dc);
    std::wstring face = Wide(name.View());
    HFONT h = CreateFontW(height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL, (style & 2) ? TRUE : FALSE,
                          (style & 4) ? TRUE : FALSE, (style & 8) ? TRUE : FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                          face.c_str());
    f->handle = reinterpret_cast<intptr_t>(h);
    f->style = style;
    f->size = size;
    // The name of the face the system actually chose.
    f->name = name;
    if (h) {
        HDC mdc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(mdc, h);
        wchar_t actual[LF_FACESIZE] = {};
        if (GetTextFaceW(mdc, LF_FACESIZE, actual) > 0) f->name = String(Utf16(actual));
        SelectObject(mdc, old);
        DeleteDC(mdc);
    }
    return f;
}

Ref<TWindowsFont> TWindowsFont::DefaultFont(double size, int32_t style) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (GuiApi.SystemParametersInfoW && GuiApi.SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        LOGFONTW lf = ncm.lfMessageFont;
        if (size > 0) {
            HDC dc = GetDC(nullptr);
            lf.lfHeight = -MulDiv(static_cast<int>(size + 0.5), GetDeviceCaps(dc, LOGPIXELSY), 72);
            ReleaseDC(nullptr, dc);
        }
        if (style & 1) lf.lfWeight = FW_BOLD;
        if (style & 2) lf.lfItalic = TRUE;
        Ref<TWindowsFont> f = New<TWindowsFont>();
        f->handle = reinterpret_cast<intptr_t>(CreateFontIndirectW(&lf));
        if (f->handle) {
            f->name = String(Utf16(lf.lfFaceName));
            f->style = style;
            f->size = size > 0 ? size : 8;
            return f;
        }
    }
    return Create("MS Shell Dlg", size > 0 ? static_cast<int32_t>(size + 0.5) : 8, style);
}

// ---- driver ----

TWindowsGUIDriver::TWindowsGUIDriver() {
    OleInitialize(nullptr);
    constexpr DWORD AllCommonControlClasses = 0x7FF;
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), AllCommonControlClasses};
    InitCommonControlsEx(&icc);
    if (!LoadLibraryW(L"msftedit.dll")) LoadLibraryW(L"riched20.dll");
    DefaultGuiFont = TWindowsFont::DefaultFont(0.0, 0);
    DesktopGadget = New<TWindowsDesktop>();
    g_keyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, nullptr, GetCurrentThreadId());
    g_mouseHook = SetWindowsHookExW(WH_MOUSE, MouseProc, nullptr, GetCurrentThreadId());
    SharedTooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, L"", WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, DesktopGadget->_hwnd, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    if (SharedTooltip) {
        SendMessageW(SharedTooltip, TTM_SETMAXTIPWIDTH, 0, 300);
        SetWindowPos(SharedTooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

TWindowsGUIDriver::~TWindowsGUIDriver() {
    if (SharedTooltip) DestroyWindow(SharedTooltip);
    if (g_keyboardHook) UnhookWindowsHookEx(g_keyboardHook);
    if (g_mouseHook) UnhookWindowsHookEx(g_mouseHook);
    SharedTooltip = nullptr;
    g_keyboardHook = g_mouseHook = nullptr;
}

Ref<TGuiFont> TWindowsGUIDriver::LoadFont(const String& name, int32_t size, int32_t style) {
    return TWindowsFont::Create(name, size, style);
}

Ref<TGuiFont> TWindowsGUIDriver::LibraryFont(int32_t kind, double size, int32_t style) {
    if (kind == 1) return TWindowsFont::DefaultFont(size, style);
    return TGanvikDriver::LibraryFont(kind, size, style);
}

Ref<TGadget> TWindowsGUIDriver::ActiveGadget() {
    HWND focus = GetFocus();
    auto it = HwndMap.find(focus);
    if (!focus || it == HwndMap.end()) return {};
    return it->second;
}

int32_t TWindowsGUIDriver::RequestColor(int32_t r, int32_t g, int32_t b) {
    HWND focus = GetFocus();
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = GetActiveHwnd();
    cc.rgbResult = RGB(r, g, b);
    cc.lpCustColors = g_customColours;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    BOOL ok = ChooseColorW(&cc);
    SetFocus(focus);
    if (!ok) return 0;
    return static_cast<int32_t>(0xFF000000u | (GetRValue(cc.rgbResult) << 16) | (GetGValue(cc.rgbResult) << 8) |
                                GetBValue(cc.rgbResult));
}

Ref<TGuiFont> TWindowsGUIDriver::RequestFont(const Ref<TGuiFont>&) { return {}; }
Ref<TIconStrip> TWindowsGUIDriver::LoadIconStrip(const Ref<Object>&) { return {}; }

int32_t TWindowsGUIDriver::SetPointer(int32_t shape) {
    static const LPCWSTR cursors[] = {IDC_ARROW,  IDC_IBEAM,  IDC_WAIT,    IDC_CROSS, IDC_UPARROW,
                                      IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL,
                                      IDC_NO,     IDC_HAND,   IDC_APPSTARTING, IDC_HELP};
    constexpr int32_t shapes = sizeof cursors / sizeof cursors[0];
    HCURSOR c = LoadCursorW(nullptr, (shape >= 1 && shape <= shapes) ? cursors[shape - 1] : IDC_ARROW);
    SetCursor(c);
    CurrentPointer = shape == 0 ? nullptr : c;
    return 0;
}

Ref<TGadget> TWindowsGUIDriver::CreateGadget(int32_t cls, const String& text, int32_t x, int32_t y, int32_t w,
                                             int32_t h, const Ref<TGadget>& groupIn, int32_t style) {
    if (cls == KIND_DESKTOP) return DesktopGadget;
    if (cls == KIND_MENUITEM) return New<TWindowsMenu>(text, groupIn, style);
    Ref<TGadget> group = groupIn;
    Ref<TGadget> g;
    switch (cls) {
    case KIND_WINDOW:
        if (!group) group = DesktopGadget;
        g = New<TWindowsWindow>()->Create(group, style);
        break;
    case KIND_BUTTON: g = New<TWindowsButton>()->Create(group, style); break;
    case KIND_TEXTFIELD: g = New<TWindowsTextField>()->Create(group, style); break;
    case KIND_LABEL: g = New<TWindowsLabel>()->Create(group, style); break;
    case KIND_LISTBOX: g = New<TWindowsListBox>()->Create(group, style); break;
    default: break;  // kinds this driver does not build
    }
    if (!g) return {};
    g->SetText(text);
    if (group) g->_setparent(group, -1);
    if (cls != KIND_TOOLBAR) g->SetShape(x, y, w, h);
    Ref<TWindowsGadget> native = Cast<TWindowsGadget>(g);
    if (native) {
        if (cls != KIND_WINDOW) {
            native->SetFont(DefaultGuiFont);
            native->SetShow(1);
        }
        native->Sensitize();
    }
    return g;
}

const wchar_t* TWindowsGUIDriver::ClassName() {
    if (!WindowClassAtom) WindowClassAtom = RegisterToolkitClass(L"CORVANE_WINDOW_CLASS", true);
    return L"CORVANE_WINDOW_CLASS";
}

const wchar_t* TWindowsGUIDriver::DialogClassName() {
    if (!DialogClassAtom) DialogClassAtom = RegisterToolkitClass(L"CORVANE_DIALOG_CLASS", false);
    return L"CORVANE_DIALOG_CLASS";
}

void TWindowsGUIDriver::CreateExplorerStyleGadgets(int32_t flag) { ExplorerTheme = flag != 1 ? 1 : 0; }

HWND TWindowsGUIDriver::GetActiveHwnd() { return ActiveWindow ? ActiveWindow->_hwnd : GetActiveWindow(); }

void TWindowsGUIDriver::SystemEmitOSEvent(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                          const Ref<TGadget>& gadget) {
    ++EmitDepth;
    Ref<TGadget> src = gadget;
    for (int guard = 0; src && src->source && guard < 1000; ++guard) src = src->source;
    try {
        TranslateOSMessage(hwnd, msg, wparam, lparam, src);
    } catch (...) {
        --EmitDepth;
        throw;
    }
    --EmitDepth;
}

// Errors raised by hook functions inside the window procedure or the hooks
// are kept for the pump instead of unwinding through the system's frames.
LRESULT CALLBACK TWindowsGUIDriver::ClassWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    try {
        return HandleMessage(hwnd, msg, wparam, lparam);
    } catch (...) {
        KeepNativeCallbackError();
        return 0;
    }
}

LRESULT CALLBACK TWindowsGUIDriver::KeyboardProc(int code, WPARAM key, LPARAM flags) {
    try {
        if (code >= 0 && HandleKey(key, flags)) return 1;
    } catch (...) {
        KeepNativeCallbackError();
    }
    return CallNextHookEx(g_keyboardHook, code, key, flags);
}

LRESULT CALLBACK TWindowsGUIDriver::MouseProc(int code, WPARAM msg, LPARAM info) {
    try {
        if (code >= 0) HandleMouse(static_cast<UINT>(msg), reinterpret_cast<MOUSEHOOKSTRUCT*>(info));
    } catch (...) {
        KeepNativeCallbackError();
    }
    return CallNextHookEx(g_mouseHook, code, msg, info);
}

namespace {

// A handler either answers a message or lets it go on to the gadget's own
// window procedure.
struct Answer {
    bool given;
    LRESULT value;
};
constexpr Answer kGoOn{false, 0};
Answer Give(LRESULT value) { return Answer{true, value}; }

Answer OnSize(HWND hwnd) {
    if (Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(hwnd)) g->OnNativeSize(hwnd);
    return kGoOn;
}

Answer OnControlColor(HWND control, HDC dc) {
    Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(control);
    HBRUSH brush = g ? g->OnControlColor(dc) : nullptr;
    return brush ? Give(reinterpret_cast<LRESULT>(brush)) : kGoOn;
}

// Control notifications go to the gadget of the control, not to the window
// that received them.
LRESULT OnCommandMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    HWND control = reinterpret_cast<HWND>(lparam);
    if (msg == WM_COMMAND && IsDialogKeyCommand(wparam)) {
        control = UsableButton(hwnd, LOWORD(wparam), control);
        if (!control) return 0;  // no button answers the key
    }
    Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(control ? control : hwnd);
    if (!g) return DefWindowProcW(hwnd, msg, wparam, lparam);
    return PassOn(g, g->OnCommand(msg, wparam), hwnd, msg, wparam, lparam, false);
}

// A tool registered by its handle is asked for by that handle; the asking
// window is the tooltip.
void AnswerTooltipText(NMTTDISPINFOW* info) {
    HWND tool = (info->uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(info->hdr.idFrom) : info->hdr.hwndFrom;
    Ref<TWindowsGadget> owner = TWindowsGUIDriver::GadgetOf(tool);
    if (owner && owner->_wstrTooltip) info->lpszText = owner->_wstrTooltip;
}

Answer OnNotifyMessage(WPARAM wparam, LPARAM lparam) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lparam);
    if (!hdr) return kGoOn;
    if (hdr->code == TTN_GETDISPINFOW) AnswerTooltipText(reinterpret_cast<NMTTDISPINFOW*>(lparam));
    Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(hdr->hwndFrom);
    return g ? Give(g->OnNotify(wparam, lparam)) : kGoOn;
}

Answer OnSetCursor() {
    if (!CurrentPointer) return kGoOn;
    SetCursor(CurrentPointer);
    return Give(TRUE);
}

Answer OnActivateApp(WPARAM active) {
    EmitGuiEvent(active ? EventAppResume : EventAppSuspend, nullptr);
    return Give(0);
}

Answer OnDrawItemMessage(LPARAM lparam) {
    DRAWITEMSTRUCT copy = *reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
    Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(copy.hwndItem);
    return (g && g->OnDrawItem(&copy)) ? Give(TRUE) : kGoOn;
}

Answer OnCaptureChanged(HWND hwnd, LPARAM newCapture) {
    CaptureReleased = (reinterpret_cast<HWND>(newCapture) == hwnd && EmitDepth == 0) ? 1 : 0;
    return kGoOn;
}

// Wheel and leave messages of mouse-sensitive gadgets, and key messages of
// key-sensitive enabled ones, are reported; the control still gets them.
Answer OnSensedInput(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, int32_t sense) {
    Ref<TWindowsGadget> g = TWindowsGUIDriver::GadgetOf(hwnd);
    if (!g || !(g->sensitivity & sense)) return kGoOn;
    if (sense == SENSE_KEYS && (g->State() & GSTATE_DISABLED)) return kGoOn;
    TWindowsGUIDriver::SystemEmitOSEvent(hwnd, msg, wparam, lparam, g);
    return kGoOn;
}

Answer RouteMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_SIZE: return OnSize(hwnd);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return OnControlColor(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam));
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL: return Give(OnCommandMessage(hwnd, msg, wparam, lparam));
    case WM_NOTIFY: return OnNotifyMessage(wparam, lparam);
    case WM_SETCURSOR: return OnSetCursor();
    case WM_ACTIVATEAPP: return OnActivateApp(wparam);
    case WM_DRAWITEM: return OnDrawItemMessage(lparam);
    case WM_CAPTURECHANGED: return OnCaptureChanged(hwnd, lparam);
    case WM_MOUSEWHEEL:
    case WM_MOUSELEAVE: return OnSensedInput(hwnd, msg, wparam, lparam, SENSE_MOUSE);
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: return OnSensedInput(hwnd, msg, wparam, lparam, SENSE_KEYS);
    default: return kGoOn;
    }
}

}  // namespace

LRESULT TWindowsGUIDriver::HandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Answer answer = RouteMessage(hwnd, msg, wparam, lparam);
    if (answer.given) return answer.value;
    Ref<TWindowsGadget> g = GadgetOf(hwnd);
    if (!g) return DefWindowProcW(hwnd, msg, wparam, lparam);
    return PassOn(g, g->WndProc(hwnd, msg, wparam, lparam), hwnd, msg, wparam, lparam, true);
}

bool TWindowsGUIDriver::HandleKey(WPARAM key, LPARAM flags) {
    if (key == VK_RETURN) {
        HWND focus = GetFocus();
        wchar_t cls[16] = {};
        if (focus && GetClassNameW(focus, cls, 16) > 0 && lstrcmpiW(cls, L"EDIT") == 0) {
            SetFocus(GetParent(focus));
        }
    }
    Ref<TEvent> ev = FindHotKeyEvent(static_cast<int32_t>(key), CurrentModifiers(),
                                     reinterpret_cast<intptr_t>(GetForegroundWindow()));
    if (!ev) return false;
    Ref<TGadget> src = Cast<TGadget>(ev->source);
    if (src && (src->State() & GSTATE_DISABLED)) return false;
    constexpr uint32_t KeyReleased = 0x80000000u;  // the hook's transition bit
    if ((static_cast<uint32_t>(flags) & KeyReleased) == 0) ev->Emit();
    return true;
}

namespace {

// Button 1 left, 2 right, 3 middle, 0 for a message of none; a double click
// counts as a press and becomes the press message.
int MouseButtonOf(UINT& msg, bool& down) {
    down = false;
    switch (msg) {
    case WM_LBUTTONDBLCLK: msg = WM_LBUTTONDOWN; [[fallthrough]];
    case WM_LBUTTONDOWN: down = true; [[fallthrough]];
    case WM_LBUTTONUP: return 1;
    case WM_RBUTTONDBLCLK: msg = WM_RBUTTONDOWN; [[fallthrough]];
    case WM_RBUTTONDOWN: down = true; [[fallthrough]];
    case WM_RBUTTONUP: return 2;
    case WM_MBUTTONDBLCLK: msg = WM_MBUTTONDOWN; [[fallthrough]];
    case WM_MBUTTONDOWN: down = true; [[fallthrough]];
    case WM_MBUTTONUP: return 3;
    default: return 0;
    }
}

// The native mouse message's key word, from the tracked buttons.
WPARAM HeldButtonsAndKeys() {
    WPARAM held = 0;
    if (g_buttonDown[1]) held |= MK_LBUTTON;
    if (g_buttonDown[2]) held |= MK_RBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) held |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) held |= MK_CONTROL;
    if (g_buttonDown[3]) held |= MK_MBUTTON;
    return held;
}

}  // namespace

void TWindowsGUIDriver::HandleMouse(UINT msg, const MOUSEHOOKSTRUCT* mh) {
    if (msg < WM_MOUSEFIRST || msg > WM_MOUSEWHEEL) return;
    bool down;
    int button = MouseButtonOf(msg, down);
    if (button) g_buttonDown[button] = down;
    Ref<TWindowsGadget> g = GadgetOf(mh->hwnd);
    if (!g) return;
    POINT pt = mh->pt;
    ScreenToClient(mh->hwnd, &pt);
    if (button && !down && MouseDownGadgets[button - 1]) {
        Ref<TGadget> dragged = MouseDownGadgets[button - 1];
        MouseDownGadgets[button - 1] = nullptr;
        EmitGuiEvent(EventGadgetDrop, g, button, 0, pt.x, pt.y, dragged);
    }
    if (!(g->sensitivity & SENSE_MOUSE)) return;
    LPARAM packed = MAKELPARAM(pt.x & 0xFFFF, pt.y & 0xFFFF);
    if (msg == WM_MOUSEMOVE) {
        if (packed == g->_oldcursorlp) return;  // the same client point again
        g->_oldcursorlp = packed;
        SystemEmitOSEvent(mh->hwnd, msg, HeldButtonsAndKeys(), packed, g);
    } else if (button && !down && CaptureReleased) {
        EmitGuiEvent(EventMouseUp, g, button);
    } else if (button) {
        SystemEmitOSEvent(mh->hwnd, msg, HeldButtonsAndKeys(), packed, g);
    }
}

void InitWin32Gui() {
    static bool done = false;
    if (done) return;
    done = true;
    InitGadgets();
    InitSystemDriver();
    DeclareDpiAwareness();
    LoadOptionalFunctions();
    ForceNoComposite = TWindowsGUIDriver::CheckCommonControlVersion() < 2 ? 1 : 0;
    GuiDriver = New<TWindowsGUIDriver>();
    RecordModuleInit("Win32 GUI driver");
}
