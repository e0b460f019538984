// Top-level and owned windows: native styles from the window flags, screen
// rectangles, size limits, status bar, menus and the window events.
#include "gui/win32/WindowsGadgets.h"

#include <algorithm>

#include "event/Event.h"

// ---- menus ----

namespace {
std::map<UINT, TWindowsMenu*> g_menuIds;
UINT g_nextMenuId = 101;
}  // namespace

TWindowsMenu::TWindowsMenu(const String& t, const Ref<TGadget>& group, int32_t tg) : text(t), tag(tg) {
    id = g_nextMenuId++;
    g_menuIds[id] = this;
    if (group) _setparent(group, -1);
}

int32_t TWindowsMenu::Free() {
    g_menuIds.erase(id);
    _setparent(nullptr, -1);
    return 0;
}

void TWindowsMenu::Build(HMENU into) {
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        Ref<TWindowsMenu> m = Cast<TWindowsMenu>(o);
        if (!m) continue;
        std::wstring w = Wide(m->text.View());
        if (m->kids->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            m->Build(sub);
            AppendMenuW(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                        w.c_str());
        } else if (m->text.IsEmpty()) {
            AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(into, MF_STRING, m->id, w.c_str());
        }
    }
}

// ---- window ----

Ref<TWindowsWindow> TWindowsWindow::Create(const Ref<TGadget>& group, int32_t style) {
    const wchar_t* cls = TWindowsGUIDriver::ClassName();
    _style = style;
    _wstyle = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    HWND parentHwnd = group ? reinterpret_cast<HWND>(group->Query(1)) : nullptr;
    bool desktopGroup = !group || group->Class() == KIND_DESKTOP;
    if (style & WINSTYLE_TITLEBAR) {
        _wstyle |= WS_SYSMENU;
        if (style & WINSTYLE_RESIZABLE) _wstyle |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        if (!desktopGroup && !(style & WINSTYLE_TOOL)) {
            cls = TWindowsGUIDriver::DialogClassName();
            _xstyle |= WS_EX_DLGMODALFRAME;
        }
    } else {
        _wstyle |= WS_POPUP;
    }
    if (style & WINSTYLE_RESIZABLE) _wstyle |= WS_THICKFRAME;
    if (style & WINSTYLE_MENU) {
        _hmenu = CreateMenu();
        AppendMenuW(_hmenu, MF_STRING, 0, L"");
    }
    if (style & WINSTYLE_TOOL) _xstyle |= WS_EX_TOOLWINDOW;
    if (style & WINSTYLE_HIDDEN) _wstyle &= ~static_cast<DWORD>(WS_VISIBLE);
    // An owned window's owner is the group's window; the desktop owns nothing.
    if (desktopGroup) parentHwnd = nullptr;
    HWND hwnd = CreateWindowExW(_xstyle, cls, L"", _wstyle, 0, 0, 0, 0, parentHwnd, _hmenu,
                                GetModuleHandleW(nullptr), nullptr);
    HWND client = nullptr;
    if (style & WINSTYLE_STATUS) {
        _status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        // A control parent, so that the dialog keys (Tab, Enter, Escape)
        // find the controls inside it.
        client = CreateWindowExW(WS_EX_CONTROLPARENT, TWindowsGUIDriver::ClassName(), L"",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowPos(_status, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    Register(KIND_WINDOW, hwnd, client, 0);
    if (style & WINSTYLE_ACCEPTFILES) DragAcceptFiles(hwnd, TRUE);
    _wstyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    return Ref<TWindowsWindow>(this);
}

int32_t TWindowsWindow::StatusHeight() {
    if (!_status) return 0;
    RECT r;
    GetWindowRect(_status, &r);
    return r.bottom - r.top;
}

// In device pixels, like the status bar's height it adds.
int32_t TWindowsWindow::ConvertToContainerDimensions(int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
    if (!(_style & WINSTYLE_CLIENTCOORDS)) return 0;
    h += StatusHeight();
    RECT r{x, y, x + w, y + h};
    DWORD s = _hwnd ? static_cast<DWORD>(GetWindowLongPtrW(_hwnd, GWL_STYLE)) : _wstyle;
    DWORD xs = _hwnd ? static_cast<DWORD>(GetWindowLongPtrW(_hwnd, GWL_EXSTYLE)) : _xstyle;
    AdjustWindowRectEx(&r, s, _hmenu != nullptr, xs);
    x = r.left;
    y = r.top;
    w = r.right - r.left;
    h = r.bottom - r.top;
    return 1;
}

void TWindowsWindow::DeviceRect(int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
    int32_t dpi = DpiOf(_hwnd);
    x = ToDevice(xpos, dpi);
    y = ToDevice(ypos, dpi);
    w = ToDevice(width, dpi);
    h = ToDevice(height, dpi);
    ConvertToContainerDimensions(x, y, w, h);
}

int32_t TWindowsWindow::Rethink() {
    int32_t x, y, w, h;
    DeviceRect(x, y, w, h);
    int32_t saved = _suppressresizeevents;
    _suppressresizeevents = 1;
    MoveWindow(_hwnd, x, y, w, h, TRUE);
    _suppressresizeevents = saved;
    return 0;
}

int32_t TWindowsWindow::RethinkClient() {
    if (!_hwndclient) return 0;
    RECT r{};
    GetClientRect(_hwnd, &r);
    MoveWindow(_hwndclient, 0, 0, r.right - r.left, std::max<int32_t>(r.bottom - r.top - StatusHeight(), 0), FALSE);
    return 0;
}

int32_t TWindowsWindow::ClientWidth() {
    if (_style & WINSTYLE_CLIENTCOORDS) return width;
    int32_t x, y, w, h;
    DeviceRect(x, y, w, h);
    RECT r{x, y, x + w, y + h};
    SendMessageW(_hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
    return std::max<int32_t>(FromDevice(r.right - r.left, DpiOf(_hwnd)), 0);
}

int32_t TWindowsWindow::ClientHeight() {
    RECT r{};
    GetClientRect(_hwnd, &r);
    return FromDevice(r.bottom - r.top - StatusHeight(), DpiOf(_hwnd));
}

int32_t TWindowsWindow::State() {
    int32_t s = TWindowsGadget::State();
    if (IsIconic(_hwnd)) s |= GSTATE_MINIMIZED;
    if (IsZoomed(_hwnd)) s |= GSTATE_MAXIMIZED;
    return s;
}

BOOL CALLBACK TWindowsWindow::EnumChildProc(HWND hwnd, LPARAM result) {
    // A hidden or disabled control cannot take the focus.
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        *reinterpret_cast<HWND*>(result) = hwnd;
        return FALSE;
    }
    return TRUE;
}

int32_t TWindowsWindow::Activate(int32_t command) {
    switch (command) {
    case ACT_FOCUS: {
        HWND first = nullptr;
        EnumChildWindows(_hwnd, EnumChildProc, reinterpret_cast<LPARAM>(&first));
        SetFocus(first ? first : _hwnd);
        return 0;
    }
    case ACT_MINIMIZE: ShowWindow(_hwnd, SW_MINIMIZE); return 0;
    case ACT_MAXIMIZE: ShowWindow(_hwnd, SW_MAXIMIZE); return 0;
    case ACT_RESTORE: ShowWindow(_hwnd, SW_RESTORE); return 0;
    case ACT_REDRAW:
        RedrawWindow(_hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
        return 0;
    default: return 0;
    }
}

int32_t TWindowsWindow::ApplySizeStyle(DWORD s) {
    DWORD current = static_cast<DWORD>(GetWindowLongPtrW(_hwnd, GWL_STYLE));
    if (s == current) return 0;
    SetWindowLongPtrW(_hwnd, GWL_STYLE, static_cast<LONG_PTR>(s));
    _wstyle = s;
    Rethink();
    SetWindowPos(_hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return 0;
}

int32_t TWindowsWindow::SetMinimumSize(int32_t w, int32_t h) {
    _minwidth = w;
    _minheight = h;
    DWORD s = static_cast<DWORD>(GetWindowLongPtrW(_hwnd, GWL_STYLE));
    if (_maxwidth == _minwidth && _maxheight == _minheight) s &= ~static_cast<DWORD>(WS_THICKFRAME);
    else if (_style & WINSTYLE_RESIZABLE) s |= WS_THICKFRAME;
    return ApplySizeStyle(s);
}

int32_t TWindowsWindow::SetMaximumSize(int32_t w, int32_t h) {
    _maxwidth = w;
    _maxheight = h;
    DWORD s = static_cast<DWORD>(GetWindowLongPtrW(_hwnd, GWL_STYLE)) & ~static_cast<DWORD>(WS_MAXIMIZEBOX);
    if (_maxwidth == _minwidth && _maxheight == _minheight) s &= ~static_cast<DWORD>(WS_THICKFRAME);
    else if (_style & WINSTYLE_RESIZABLE) s |= WS_THICKFRAME;
    return ApplySizeStyle(s);
}

int32_t TWindowsWindow::SetStatus(const String& text) {
    if (!_status) return 0;
    String t = (_style & WINSTYLE_RESIZABLE) ? text + "  " : text;
    std::wstring w = Wide(t.View());
    SendMessageW(_status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(w.c_str()));
    return 0;
}

int32_t TWindowsWindow::SetSensitivity(int32_t bits) {
    sensitivity = bits & ~SENSE_MOUSE;
    return 0;
}

int32_t TWindowsWindow::SetPixmap(const Ref<Object>&, int32_t) {
    // Without the graphics module there is no pixel map to convert; the
    // window keeps its class icon.
    return 0;
}

int32_t TWindowsWindow::SetAlpha(double alpha) {
    if (!GuiApi.SetLayeredWindowAttributes) return 0;  // no layered windows here
    LONG_PTR xs = GetWindowLongPtrW(_hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(_hwnd, GWL_EXSTYLE, xs | WS_EX_LAYERED);
    double a = alpha < 0 ? 0 : alpha > 1 ? 1 : alpha;
    GuiApi.SetLayeredWindowAttributes(_hwnd, 0, static_cast<BYTE>(a * 255 + 0.5), LWA_ALPHA);
    return 0;
}

Ref<TGadget> TWindowsWindow::GetMenu() {
    if (!_menu) _menu = New<TWindowsMenu>("", Ref<TGadget>(this), 0);
    return _menu;
}

int32_t TWindowsWindow::UpdateMenu() {
    HMENU old = _hmenu;
    _hmenu = CreateMenu();
    if (_menu) _menu->Build(_hmenu);
    ::SetMenu(_hwnd, _hmenu);
    DrawMenuBar(_hwnd);
    if (old) DestroyMenu(old);
    return 0;
}

int32_t TWindowsWindow::PopupMenu(const Ref<TGadget>& menu, const Ref<Object>& ex) {
    Ref<TWindowsMenu> m = Cast<TWindowsMenu>(menu);
    if (!m) return 0;
    popupextra = ex;
    HMENU h = CreatePopupMenu();
    m->Build(h);
    POINT pt;
    ::GetCursorPos(&pt);
    UINT id = static_cast<UINT>(TrackPopupMenu(h, TPM_RETURNCMD | TPM_NONOTIFY, pt.x, pt.y, 0, _hwnd, nullptr));
    DestroyMenu(h);
    if (id) HandleMenuEvent(WM_COMMAND, id);
    popupextra = nullptr;
    return 0;
}

LRESULT TWindowsWindow::OnCommand(UINT msg, WPARAM wparam) {
    if (LOWORD(wparam) > 100) HandleMenuEvent(msg, LOWORD(wparam));
    return 0;
}

int32_t TWindowsWindow::HandleMenuEvent(UINT, UINT id) {
    auto it = g_menuIds.find(id);
    Ref<TWindowsMenu> m = it == g_menuIds.end() ? Ref<TWindowsMenu>() : Ref<TWindowsMenu>(it->second);
    int32_t tag = m ? m->tag : 0;
    Ref<Object> ex = popupextra;
    popupextra = nullptr;
    EmitGuiEvent(EventMenuAction, m, tag, 0, 0, 0, ex);
    return 0;
}

void TWindowsWindow::ReadRect(int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
    if (_style & WINSTYLE_CLIENTCOORDS) {
        RECT c;
        GetClientRect(_hwnd, &c);
        POINT p{0, 0};
        ClientToScreen(_hwnd, &p);
        x = p.x;
        y = p.y;
        w = c.right - c.left;
        h = c.bottom - c.top - StatusHeight();
    } else {
        RECT r;
        GetWindowRect(_hwnd, &r);
        x = r.left;
        y = r.top;
        w = r.right - r.left;
        h = r.bottom - r.top;
    }
    int32_t dpi = DpiOf(_hwnd);
    x = FromDevice(x, dpi);
    y = FromDevice(y, dpi);
    w = FromDevice(w, dpi);
    h = FromDevice(h, dpi);
}

// Returning 0 lets the default processing run afterwards. Size, move, size
// limit and scale messages count only for the window itself, not for its
// client window.
LRESULT TWindowsWindow::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    bool own = hwnd == _hwnd;
    switch (msg) {
    case WM_ERASEBKGND: return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wparam));
    case WM_SIZE: return own ? OnSizeMessage(wparam, lparam) : 0;
    case WM_MOVE: return own ? OnMoveMessage() : 0;
    case WM_GETMINMAXINFO: return own ? OnSizeLimits(reinterpret_cast<MINMAXINFO*>(lparam)) : 0;
    case WM_DPICHANGED: return own ? OnScaleChanged(*reinterpret_cast<const RECT*>(lparam)) : 0;
    case WM_ACTIVATE: return OnActivateMessage(LOWORD(wparam));
    case WM_CLOSE: return OnCloseMessage();
    case WM_DROPFILES: return OnDropFiles(reinterpret_cast<HDROP>(wparam));
    case WM_ENTERSIZEMOVE: return OnSizeMoveLoop(true);
    case WM_EXITSIZEMOVE: return OnSizeMoveLoop(false);
    default: return 0;
    }
}

LRESULT TWindowsWindow::OnEraseBackground(HWND hwnd, HDC dc) {
    if (!_brush) return 0;
    RECT r;
    if (!GetUpdateRect(hwnd, &r, FALSE)) GetClipBox(dc, &r);
    FillRect(dc, &r, _brush.Get());
    return 1;
}

LRESULT TWindowsWindow::OnSizeMessage(WPARAM kind, LPARAM size) {
    if (_status) SendMessageW(_status, WM_SIZE, kind, size);
    if (kind == SIZE_MINIMIZED) return 0;
    int32_t x, y, w, h;
    ReadRect(x, y, w, h);
    bool moved = x != xpos || y != ypos;
    bool resized = w != width || h != height;
    if (resized) SetRect(x, y, w, h);
    RethinkClient();
    LayoutKids();
    if (!_suppressresizeevents) {
        if (moved) PostGuiEvent(EventWindowMove, 0, 0, x, y, {});
        if (resized) PostGuiEvent(EventWindowSize, 0, 0, w, h, {});
    }
    return 0;
}

LRESULT TWindowsWindow::OnMoveMessage() {
    if (IsZoomed(_hwnd) || IsIconic(_hwnd)) return 0;
    int32_t x, y, w, h;
    ReadRect(x, y, w, h);
    SetRect(x, y, width, height);
    if (!_suppressresizeevents) PostGuiEvent(EventWindowMove, 0, 0, x, y, {});
    return 0;
}

LRESULT TWindowsWindow::OnSizeLimits(MINMAXINFO* limits) {
    if (!limits) return 0;
    int32_t dpi = DpiOf(_hwnd);
    int32_t x = 0, y = 0, w = ToDevice(_minwidth, dpi), h = ToDevice(_minheight, dpi);
    ConvertToContainerDimensions(x, y, w, h);
    limits->ptMinTrackSize = POINT{w, h};
    if (_maxwidth >= _minwidth && _maxheight >= _minheight) {
        x = y = 0;
        w = ToDevice(_maxwidth, dpi);
        h = ToDevice(_maxheight, dpi);
        ConvertToContainerDimensions(x, y, w, h);
        limits->ptMaxTrackSize = POINT{w, h};
    }
    return 0;
}

// Moved to a screen of another scale: take the size the system suggests;
// the size message then lays the kids out at the new scale.
LRESULT TWindowsWindow::OnScaleChanged(const RECT& suggested) {
    SetWindowPos(_hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT TWindowsWindow::OnActivateMessage(WORD how) {
    if (how == WA_ACTIVE || how == WA_CLICKACTIVE) {
        ActiveWindow = Ref<TWindowsWindow>(this);
        PostGuiEvent(EventWindowActivate, 0, 0, 0, 0, {});
    }
    return 0;
}

// Closing is the application's decision: the window stays.
LRESULT TWindowsWindow::OnCloseMessage() {
    PostGuiEvent(EventWindowClose, 0, 0, 0, 0, {});
    return 1;
}

LRESULT TWindowsWindow::OnDropFiles(HDROP drop) {
    constexpr UINT CountQuery = 0xFFFFFFFF;
    POINT pt{};
    DragQueryPoint(drop, &pt);
    UINT n = DragQueryFileW(drop, CountQuery, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        wchar_t path[MAX_PATH + 1] = {};
        UINT len = std::min<UINT>(DragQueryFileW(drop, i, path, MAX_PATH + 1), MAX_PATH);
        PostGuiEvent(EventWindowAccept, 0, 0, pt.x, pt.y, String(Utf16(path, len)));
    }
    DragFinish(drop);
    return 0;
}

// While the user drags the frame, a window that is neither layered nor
// composited draws its kids double-buffered.
LRESULT TWindowsWindow::OnSizeMoveLoop(bool entering) {
    if (ForceNoComposite) return 0;
    LONG_PTR xs = GetWindowLongPtrW(_hwnd, GWL_EXSTYLE);
    if (entering && !(xs & (WS_EX_LAYERED | WS_EX_COMPOSITED))) {
        StartDoubleBuffer();
        SetWindowLongPtrW(_hwnd, GWL_EXSTYLE, xs | WS_EX_COMPOSITED);
    } else if (!entering && (xs & WS_EX_COMPOSITED) && !(xs & WS_EX_LAYERED)) {
        SetWindowLongPtrW(_hwnd, GWL_EXSTYLE, xs & ~WS_EX_COMPOSITED);
        EndDoubleBuffer();
    }
    return 0;
}

int32_t TWindowsWindow::Free() {
    Ref<TWindowsGadget> self(this);
    if (ActiveWindow.Get() == this) ActiveWindow = nullptr;
    if (_menu) {
        _menu->CleanUp();
        _menu = nullptr;
    }
    TWindowsGadget::Free();
    _hmenu = nullptr;  // destroyed with its window, like the status bar
    _status = nullptr;
    return 0;
}
