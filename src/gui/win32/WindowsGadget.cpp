// The base of every native gadget: binding to its window, events, focus,
// visibility, text, fonts, tooltips and batched resizing.
#include "event/Event.h"
#include "event/win32/Win32SystemDriver.h"
#include "gui/win32/WindowsGadgets.h"

// The handle map and the gadget globals live with the gadgets they hold.
std::map<HWND, Ref<TWindowsGadget>> HwndMap;
Ref<TWindowsGadget> DesktopGadget;
Ref<TWindowsWindow> ActiveWindow;

void TWindowsGUIDriver::RegisterHwnd(HWND hwnd, TWindowsGadget* gadget) {
    if (hwnd) HwndMap[hwnd] = Ref<TWindowsGadget>(gadget);
}

void TWindowsGUIDriver::RemoveHwnd(HWND hwnd) { HwndMap.erase(hwnd); }

Ref<TWindowsGadget> TWindowsGUIDriver::GadgetOf(HWND hwnd) {
    if (!hwnd) return {};
    auto it = HwndMap.find(hwnd);
    return it == HwndMap.end() ? Ref<TWindowsGadget>() : it->second;
}

TWindowsGadget::~TWindowsGadget() {
    delete[] _wstrTooltip;
}

int32_t TWindowsGadget::Register(int32_t cls, HWND hwnd, HWND client, int32_t tooltips) {
    _class = cls;
    _hwnd = hwnd;
    _hwndclient = client;
    TWindowsGUIDriver::RegisterHwnd(hwnd, this);
    if (client) TWindowsGUIDriver::RegisterHwnd(client, this);
    ATOM atom = hwnd ? static_cast<ATOM>(GetClassLongPtrW(hwnd, GCW_ATOM)) : 0;
    if (hwnd && atom != WindowClassAtom && atom != DialogClassAtom && !_proc) {
        LONG_PTR old = SetWindowLongPtrW(hwnd, GWLP_WNDPROC,
                                         reinterpret_cast<LONG_PTR>(&TWindowsGUIDriver::ClassWndProc));
        _proc = reinterpret_cast<WNDPROC>(old);  // null when the replacement failed
    }
    if (tooltips) SetupToolTips();
    return 0;
}

int32_t TWindowsGadget::SetupToolTips() {
    if (_tooltips) {
        TWindowsGUIDriver::RemoveHwnd(_tooltips);
        DestroyWindow(_tooltips);
    }
    _tooltips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, _hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (_tooltips) {
        SendMessageW(_tooltips, TTM_SETMAXTIPWIDTH, 0, 300);
        TWindowsGUIDriver::RegisterHwnd(_tooltips, this);
    }
    return 0;
}

int32_t TWindowsGadget::isControl() {
    LONG_PTR s = GetWindowLongPtrW(_hwnd, GWL_STYLE);
    return ((s & WS_CHILD) && (s & WS_TABSTOP)) ? 1 : 0;
}

int32_t TWindowsGadget::RethinkClient() { return 0; }
LRESULT TWindowsGadget::OnNotify(WPARAM, LPARAM) { return 0; }
LRESULT TWindowsGadget::WndProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT TWindowsGadget::OnCommand(UINT, WPARAM) { return 0; }
LRESULT TWindowsGadget::OnDrawItem(DRAWITEMSTRUCT*) { return 0; }

HBRUSH TWindowsGadget::CreateControlBrush(HWND, HDC) {
    // A control over a coloured parent paints in the parent's colour.
    for (Ref<TGadget> p = parent; p; p = p->parent) {
        Ref<TWindowsGadget> wp = Cast<TWindowsGadget>(p);
        if (wp && wp->_brush) return wp->_brush.Get();
    }
    return GetSysColorBrush(COLOR_BTNFACE);
}

void TWindowsGadget::OnNativeSize(HWND hwnd) {
    if (reinterpret_cast<HWND>(Query(1)) == hwnd) RethinkClient();
    if (reinterpret_cast<HWND>(Query(2)) == hwnd) LayoutKids();
}

HBRUSH TWindowsGadget::OnControlColor(HDC) { return nullptr; }

HBRUSH TWindowsGadget::PaintTransparent(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    if (_textcolor != -1) ::SetTextColor(dc, static_cast<COLORREF>(_textcolor));
    return CreateControlBrush(_hwnd, dc);
}

int32_t TWindowsGadget::DrawBackground(HDC dc, const RECT& rect) {
    FillRect(dc, &rect, _brush ? _brush.Get() : GetSysColorBrush(COLOR_BTNFACE));
    return 1;
}

int32_t TWindowsGadget::DrawParentBackground(HWND hwnd, HDC dc) {
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
}

int32_t TWindowsGadget::Sensitize() {
    _sensitive = 1;
    return 0;
}

int32_t TWindowsGadget::DeSensitize() {
    _sensitive = 0;
    return 0;
}

int32_t TWindowsGadget::PostGuiEvent(int32_t id, int32_t data, int32_t mods, int32_t x, int32_t y,
                                     const Ref<Object>& ex) {
    int32_t cls = Class();
    if ((cls == KIND_LISTBOX || cls == KIND_TABBER || cls == KIND_TOOLBAR || cls == KIND_COMBOBOX) && data >= 0 &&
        data < ItemCount() && (ItemFlags(data) & ITEMFLAG_TOGGLE)) {
        SelectItem(data, 2);
    }
    if (_sensitive == 1) EmitGuiEvent(id, Ref<TGadget>(this), data, mods, x, y, ex);
    return 0;
}

int32_t TWindowsGadget::StartResize() {
    if (!hdwpStruct && kids->Count() > 0) hdwpStruct = BeginDeferWindowPos(kids->Count());
    return 0;
}

void TWindowsGadget::MoveNow(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h) {
    MoveWindow(hwnd, x, y, w, h, RedrawOnMove == 1);
}

int32_t TWindowsGadget::QueueResize(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h) {
    int32_t dpi = DpiOf(hwnd);
    x = ToDevice(x, dpi);
    y = ToDevice(y, dpi);
    w = ToDevice(w, dpi);
    h = ToDevice(h, dpi);
    Ref<TWindowsGadget> p = Cast<TWindowsGadget>(parent);
    if (p && GetParent(hwnd) == reinterpret_cast<HWND>(p->Query(2)) && p->hdwpStruct) {
        UINT flags = SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE;
        if (RedrawOnMove == 0) flags |= SWP_NOREDRAW;
        HDWP next = DeferWindowPos(p->hdwpStruct, hwnd, nullptr, x, y, w, h, flags);
        if (next) {
            p->hdwpStruct = next;
            return 0;
        }
        // The batch is gone when DeferWindowPos fails; move at once instead.
        p->hdwpStruct = nullptr;
    }
    MoveNow(hwnd, x, y, w, h);
    HasResized();
    return 0;
}

int32_t TWindowsGadget::EndResize() {
    if (hdwpStruct) {
        EndDeferWindowPos(hdwpStruct);
        hdwpStruct = nullptr;
    }
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        if (Ref<TWindowsGadget> kid = Cast<TWindowsGadget>(o)) {
            Sensitize();
            kid->HasResized();
        }
    }
    return 0;
}

int32_t TWindowsGadget::HasResized() { return 0; }

int32_t TWindowsGadget::RefreshLook() {
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        if (Ref<TWindowsGadget> kid = Cast<TWindowsGadget>(o)) kid->RefreshLook();
    }
    return 0;
}

int32_t TWindowsGadget::StartDoubleBuffer() {
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        if (Ref<TWindowsGadget> kid = Cast<TWindowsGadget>(o)) kid->StartDoubleBuffer();
    }
    return 0;
}

int32_t TWindowsGadget::EndDoubleBuffer() {
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        if (Ref<TWindowsGadget> kid = Cast<TWindowsGadget>(o)) kid->EndDoubleBuffer();
    }
    return 0;
}

int32_t TWindowsGadget::SetColor(int32_t r, int32_t g, int32_t b) {
    _backcolor = (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
    _brush.Reset(CreateSolidBrush(static_cast<COLORREF>(_backcolor)));
    Activate(ACT_REDRAW);
    return 0;
}

int32_t TWindowsGadget::SetTextColor(int32_t r, int32_t g, int32_t b) {
    _textcolor = (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
    Activate(ACT_REDRAW);
    return 0;
}

intptr_t TWindowsGadget::Query(int32_t which) {
    if (which == 1) return reinterpret_cast<intptr_t>(_hwnd);
    if (which == 2) return reinterpret_cast<intptr_t>(_hwndclient ? _hwndclient : _hwnd);
    return 0;
}

int32_t TWindowsGadget::Activate(int32_t command) {
    switch (command) {
    case ACT_FOCUS:
        if (isControl()) {
            DefDlgProcW(GetParent(_hwnd), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(_hwnd), 1);
            return 1;
        }
        SetFocus(_hwnd);
        return 0;
    case ACT_BACK:
    case ACT_FORWARD:
        SendMessageW(_hwnd, WM_NEXTDLGCTL, command == ACT_BACK ? 1 : 0, 0);
        return 0;
    case ACT_REDRAW:
        RefreshLook();
        RedrawWindow(_hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
        return 0;
    default: return 0;
    }
}

int32_t TWindowsGadget::Rethink() { return QueueResize(_hwnd, xpos, ypos, width, height); }

int32_t TWindowsGadget::SetArea(int32_t x, int32_t y, int32_t w, int32_t h) {
    SetRect(x, y, w, h);
    Rethink();
    return 0;
}

int32_t TWindowsGadget::LayoutKids() {
    StartResize();
    int32_t remembered = RedrawOnMove;
    RedrawOnMove = 0;
    try {
        TGadget::LayoutKids();
    } catch (...) {
        RedrawOnMove = remembered;
        throw;
    }
    EndResize();
    if (remembered == 1) {
        if (kids->Count() > 0)
            RedrawWindow(_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        RedrawOnMove = 1;
    }
    return 0;
}

// The client size that the native frame (a client edge, say) leaves of the
// gadget's rectangle.
SIZE TWindowsGadget::ClientSize() {
    int32_t dpi = DpiOf(_hwnd);
    RECT r{ToDevice(xpos, dpi), ToDevice(ypos, dpi), ToDevice(xpos + width, dpi), ToDevice(ypos + height, dpi)};
    if (_hwnd) SendMessageW(_hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
    return SIZE{FromDevice(r.right - r.left, dpi), FromDevice(r.bottom - r.top, dpi)};
}

int32_t TWindowsGadget::ClientWidth() { return ClientSize().cx; }
int32_t TWindowsGadget::ClientHeight() { return ClientSize().cy; }

int32_t TWindowsGadget::SetText(const String& text) {
    DeSensitize();
    SetWindowTextW(_hwnd, Wide(text.View()).c_str());
    Sensitize();
    return 0;
}

String TWindowsGadget::GetText() { return WindowTextOf(_hwnd); }

int32_t TWindowsGadget::SetFont(const Ref<TGuiFont>& font) {
    Ref<TWindowsFont> wf = Cast<TWindowsFont>(font);
    _font = wf ? wf : DefaultGuiFont;
    SendMessageW(_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(_font ? _font->Native() : nullptr), TRUE);
    return 0;
}

int32_t TWindowsGadget::SetShow(int32_t flag) {
    if (flag) {
        ShowWindow(_hwnd, SW_SHOW);
        return 0;
    }
    if (parent && HasDescendant(GuiDriver->ActiveGadget())) CommandGadget(parent);
    ShowWindow(_hwnd, SW_HIDE);
    return 0;
}

int32_t TWindowsGadget::SetEnabled(int32_t flag) {
    EnableWindow(_hwnd, flag ? TRUE : FALSE);
    return 0;
}

void TWindowsGadget::FillToolInfo(TOOLINFOW& ti) {
    ti = TOOLINFOW{};
    // The original tool description, understood by every version: 44 bytes
    // in 32-bit builds, larger with 64-bit pointers.
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
    ti.hwnd = GetParent(_hwnd);
    ti.uId = reinterpret_cast<UINT_PTR>(_hwnd);
    ti.lpszText = LPSTR_TEXTCALLBACKW;
}

int32_t TWindowsGadget::SetTooltip(const String& text) {
    delete[] _wstrTooltip;
    _wstrTooltip = nullptr;
    TOOLINFOW ti;
    FillToolInfo(ti);
    if (!text.IsEmpty()) {
        // Carriage returns go; every line feed becomes CR LF.
        std::u16string out;
        for (char16_t c : text.View()) {
            if (c == u'\r') continue;
            if (c == u'\n') out += u'\r';
            out += c;
        }
        _wstrTooltip = new wchar_t[out.size() + 1];
        for (size_t i = 0; i < out.size(); ++i) _wstrTooltip[i] = static_cast<wchar_t>(out[i]);
        _wstrTooltip[out.size()] = 0;
        if (SharedTooltip) {
            if (!_toolAdded) _toolAdded = static_cast<int32_t>(SendMessageW(SharedTooltip, TTM_ADDTOOLW, 0,
                                                                            reinterpret_cast<LPARAM>(&ti)));
            else SendMessageW(SharedTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    } else if (_toolAdded) {
        if (SharedTooltip) SendMessageW(SharedTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        _toolAdded = 0;
    }
    return 0;
}

String TWindowsGadget::GetTooltip() {
    if (!_wstrTooltip) return String();
    return String(Utf16(_wstrTooltip));
}

int32_t TWindowsGadget::State() {
    int32_t s = 0;
    if (!IsWindowVisible(_hwnd)) s |= GSTATE_HIDDEN;
    if (!IsWindowEnabled(_hwnd)) s |= GSTATE_DISABLED;
    return s;
}

int32_t TWindowsGadget::SetHotKey(int32_t key, int32_t mods) {
    Ref<TEvent> ev = TEvent::Create(EventGadgetAction, Ref<TGadget>(this));
    RemoveHotKey(_hotkey);
    _hotkey = nullptr;
    if (key != 0) {
        HWND owner = nullptr;
        for (Ref<TGadget> g = Ref<TGadget>(this); g; g = g->parent) {
            if (g->Class() == KIND_WINDOW) {
                owner = reinterpret_cast<HWND>(g->Query(1));
                break;
            }
        }
        _hotkey = SetHotKeyEvent(key, mods, ev, reinterpret_cast<intptr_t>(owner));
    }
    return 0;
}

int32_t TWindowsGadget::Free() {
    Ref<TWindowsGadget> self(this);  // the map may hold the last reference
    if (_tooltips) {
        TWindowsGUIDriver::RemoveHwnd(_tooltips);
        DestroyWindow(_tooltips);
        _tooltips = nullptr;
    }
    SetTooltip("");
    // The hot key's event refers back to this gadget.
    RemoveHotKey(_hotkey);
    _hotkey = nullptr;
    if (_hwnd) {
        HWND h = _hwnd;
        DeSensitize();
        // The kept procedure still serves the destruction messages.
        DestroyWindow(h);
        TWindowsGUIDriver::RemoveHwnd(h);
        ForgetHoveredWindow(h);
    }
    if (_hwndclient) {
        TWindowsGUIDriver::RemoveHwnd(_hwndclient);
        ForgetHoveredWindow(_hwndclient);
    }
    // A freed gadget acts on no window: its handles may be reused.
    _hwnd = _hwndclient = nullptr;
    _proc = nullptr;
    _hbrush.Reset();
    _hbitmap.Reset();
    _bitmap.Reset();
    _iconBitmap.Reset();
    _brush.Reset();
    TWindowsGUIDriver::CloseThemeHandle(_hTheme);
    _hTheme = nullptr;
    _font = nullptr;
    _setparent(nullptr, -1);
    return 0;
}

// ---- desktop ----

TWindowsDesktop::TWindowsDesktop() {
    _class = 0;
    _hwnd = GetDesktopWindow();
    TWindowsGUIDriver::RegisterHwnd(_hwnd, this);
    // The desktop's window procedure belongs to another process: not taken over.
    SetRect(0, 0, ClientWidth(), ClientHeight());
    LockLayout();
}

SIZE TWindowsDesktop::ClientSize() {
    RECT r;
    GetClientRect(_hwnd, &r);
    int32_t dpi = DpiOf(nullptr);
    return SIZE{FromDevice(r.right - r.left, dpi), FromDevice(r.bottom - r.top, dpi)};
}
