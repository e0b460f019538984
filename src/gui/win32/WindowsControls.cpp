// Buttons, single-line text fields and labels over the standard controls.
#include "event/Event.h"
#include "gui/win32/WindowsGadgets.h"

namespace {
HWND CreateControl(DWORD xstyle, const wchar_t* cls, DWORD style, const Ref<TGadget>& group, intptr_t id) {
    HWND parent = group ? reinterpret_cast<HWND>(group->Query(2)) : nullptr;
    return CreateWindowExW(xstyle, cls, L"", style, 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(id),
                           GetModuleHandleW(nullptr), nullptr);
}
}  // namespace

// ---- button ----

Ref<TWindowsButton> TWindowsButton::Create(const Ref<TGadget>& group, int32_t style) {
    DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_MULTILINE;
    intptr_t id = 0;
    _style = style;
    switch (style & 7) {
    case BTNSTYLE_CHECKBOX:
        ws |= BS_3STATE;  // not automatic: OnCommand cycles it
        if (style & BTNSTYLE_PUSHLIKE) ws |= BS_PUSHLIKE;
        break;
    case BTNSTYLE_RADIO:
        ws |= BS_AUTORADIOBUTTON;
        if (style & BTNSTYLE_PUSHLIKE) ws |= BS_PUSHLIKE;
        break;
    case BTNSTYLE_OK:
        ws |= BS_DEFPUSHBUTTON;
        id = IDOK;
        break;
    case BTNSTYLE_CANCEL: id = IDCANCEL; break;
    case BTNSTYLE_PUSH: _style = 8; break;
    default: break;  // 1, 6 and 7: a plain push button
    }
    HWND h = CreateControl(0, L"BUTTON", ws, group, id);
    Register(KIND_BUTTON, h, nullptr, 0);
    return Ref<TWindowsButton>(this);
}

int32_t TWindowsButton::SetText(const String& text) {
    String previous = _strButtonText;
    _strButtonText = text;
    if (_buttonImageList.empty() || _buttonImageList[0] < 0 || WindowTextOf(_hwnd) == previous)
        TWindowsGadget::SetText(text);
    return 0;
}

String TWindowsButton::GetText() { return _strButtonText; }

int32_t TWindowsButton::State() {
    int32_t s = TWindowsGadget::State();
    LRESULT check = SendMessageW(_hwnd, BM_GETCHECK, 0, 0);
    if (check == BST_CHECKED) s |= GSTATE_SELECTED;
    else if (check == BST_INDETERMINATE) s |= GSTATE_INDETERMINATE;
    return s;
}

int32_t TWindowsButton::SetSelected(int32_t state) {
    WPARAM check = BST_CHECKED;
    if (state == 0) check = BST_UNCHECKED;
    else if (state == -1 && (_style & 7) == BTNSTYLE_CHECKBOX) check = BST_INDETERMINATE;
    SendMessageW(_hwnd, BM_SETCHECK, check, 0);
    return 0;
}

LRESULT TWindowsButton::OnCommand(UINT, WPARAM wparam) {
    if (HIWORD(wparam) != BN_CLICKED) return 0;
    if ((_style & 7) == BTNSTYLE_CHECKBOX) {
        LRESULT now = SendMessageW(_hwnd, BM_GETCHECK, 0, 0);
        SendMessageW(_hwnd, BM_SETCHECK, now == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    int32_t s = State();
    constexpr int32_t ThirdStateBit = GSTATE_INDETERMINATE & ~GSTATE_SELECTED;
    int32_t data = (s & ThirdStateBit) ? -1 : (s & GSTATE_INDETERMINATE) ? 1 : 0;
    PostGuiEvent(EventGadgetAction, data, 0, 0, 0, {});
    if (_toolAdded && SharedTooltip) {
        TOOLINFOW ti;
        FillToolInfo(ti);
        SendMessageW(SharedTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        _toolAdded = static_cast<int32_t>(SendMessageW(SharedTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    }
    return 0;
}

LRESULT TWindowsButton::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        // The second click of a fast pair presses the button like the first.
        // The posted press is taken before the pending release, so the pair
        // makes a second complete click.
        PostMessageW(hwnd, WM_LBUTTONDOWN, wparam, lparam);
        return 1;
    case WM_MOUSEMOVE:
        if (!_mouseoverbutton) {
            _mouseoverbutton = 1;
            TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&tme);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSELEAVE:
        _mouseoverbutton = 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_THEMECHANGED: {
        TWindowsGUIDriver::CloseThemeHandle(_hTheme);
        _hTheme = nullptr;
        LONG_PTR s = GetWindowLongPtrW(hwnd, GWL_STYLE) & 0xF;
        if (s == BS_3STATE || s == BS_AUTORADIOBUTTON || s == BS_DEFPUSHBUTTON)
            _hTheme = TWindowsGUIDriver::GetThemeHandle(hwnd, L"BUTTON");
        return 0;
    }
    default: return 0;
    }
}

int32_t TWindowsButton::SetTextColor(int32_t r, int32_t g, int32_t b) { return TWindowsGadget::SetTextColor(r, g, b); }
int32_t TWindowsButton::SetColor(int32_t r, int32_t g, int32_t b) { return TWindowsGadget::SetColor(r, g, b); }
int32_t TWindowsButton::SetPixmap(const Ref<Object>&, int32_t) { return 0; }

// ---- text field ----

Ref<TWindowsTextField> TWindowsTextField::Create(const Ref<TGadget>& group, int32_t style) {
    DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL;
    if (style & FIELDSTYLE_PASSWORD) ws |= ES_PASSWORD;
    HWND h = CreateControl(WS_EX_CLIENTEDGE, L"EDIT", ws, group, 0);
    Register(KIND_TEXTFIELD, h, nullptr, 0);
    SetColor(255, 255, 255);
    return Ref<TWindowsTextField>(this);
}

int32_t TWindowsTextField::SetText(const String& text) {
    _busy = 1;
    DWORD start = 0, end = 0;
    SendMessageW(_hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    try {
        TWindowsGadget::SetText(text);
    } catch (...) {
        _busy = 0;
        throw;
    }
    SendMessageW(_hwnd, EM_SETSEL, start, end);
    _busy = 0;
    return 0;
}

String TWindowsTextField::GetText() {
    int n = GetWindowTextLengthW(_hwnd);
    if (n <= 0) return String();
    return WindowTextOf(_hwnd);
}

int32_t TWindowsTextField::Activate(int32_t command) {
    switch (command) {
    case ACT_FOCUS: SelectAll(); break;
    case ACT_CUT: SendMessageW(_hwnd, WM_CUT, 0, 0); break;
    case ACT_COPY:
        SendMessageW(_hwnd, WM_COPY, 0, 0);
        SetFocus(_hwnd);
        break;
    case ACT_PASTE: SendMessageW(_hwnd, WM_PASTE, 0, 0); break;
    default: break;
    }
    return TWindowsGadget::Activate(command);
}

LRESULT TWindowsTextField::OnCommand(UINT, WPARAM wparam) {
    if (_busy) return 0;
    switch (HIWORD(wparam)) {
    case EN_UPDATE: PostGuiEvent(EventGadgetAction, 0, 0, 0, 0, {}); break;
    case EN_KILLFOCUS: SendMessageW(_hwnd, EM_SETSEL, 0, 0); break;
    default: break;
    }
    return 0;
}

// A field that gets the focus selects its whole text, so that typing
// replaces the text shown (Tab, the program's focus command, a click). A
// click into an already focused field places the caret as usual, and a drag
// keeps the range it selected. Ctrl+A selects everything.
LRESULT TWindowsTextField::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN:
    case WM_CHAR: {
        if (eventfilter) {
            Ref<TEvent> ev = TEvent::Create(msg == WM_KEYDOWN ? EventKeyDown : EventKeyChar, Ref<TGadget>(this),
                                            static_cast<int32_t>(wparam), CurrentModifiers());
            if (eventfilter(ev, context) == 0) return 1;
        }
        bool controlOnly = (CurrentModifiers() & (kModControl | kModAlt)) == kModControl;
        if (msg == WM_KEYDOWN && wparam == 'A' && controlOnly) {
            SelectAll();
            return 1;
        }
        return (msg == WM_CHAR && wparam == kCtrlACharacter) ? 1 : 0;  // no beep for the key just handled
    }
    case WM_LBUTTONDOWN:
        _clickFocus = GetFocus() != hwnd ? 1 : 0;
        return 0;
    case WM_SETFOCUS:
        if (!_clickFocus) SelectAll();
        return 0;
    case WM_LBUTTONUP:
        if (_clickFocus) {
            _clickFocus = 0;
            DWORD start = 0, end = 0;
            SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            if (start == end) SelectAll();  // a click, not a drag
        }
        return 0;
    case WM_KILLFOCUS:
        _clickFocus = 0;
        PostGuiEvent(EventGadgetLostFocus, 0, 0, 0, 0, {});
        return 0;
    default: return 0;
    }
}

HBRUSH TWindowsTextField::OnControlColor(HDC dc) {
    if (_textcolor != -1) ::SetTextColor(dc, static_cast<COLORREF>(_textcolor));
    if (!_brush) return nullptr;
    SetBkColor(dc, static_cast<COLORREF>(_backcolor));
    return _brush.Get();
}

void TWindowsTextField::SelectAll() { SendMessageW(_hwnd, EM_SETSEL, 0, -1); }

// ---- label ----

Ref<TWindowsLabel> TWindowsLabel::Create(const Ref<TGadget>& group, int32_t style) {
    DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | SS_NOPREFIX | SS_NOTIFY;
    if ((style & 0x18) == LBLSTYLE_RIGHT) ws |= SS_RIGHT;
    else if ((style & 0x18) == LBLSTYLE_CENTER) ws |= SS_CENTER;
    switch (style & 7) {
    case LBLSTYLE_FRAME: ws |= WS_BORDER; break;
    case LBLSTYLE_SUNKENFRAME: ws |= SS_SUNKEN; break;
    case LBLSTYLE_SEPARATOR: ws |= SS_SUNKEN | SS_GRAYRECT; break;
    default: break;
    }
    _style = style;
    HWND h = CreateControl(0, L"STATIC", ws, group, 0);
    Register(KIND_LABEL, h, nullptr, 0);
    return Ref<TWindowsLabel>(this);
}

int32_t TWindowsLabel::SetArea(int32_t x, int32_t y, int32_t w, int32_t h) {
    if ((_style & 7) == LBLSTYLE_SEPARATOR) {
        if (w > h) h = 2;
        else w = 2;
    }
    return TWindowsGadget::SetArea(x, y, w, h);
}

int32_t TWindowsLabel::SetText(const String& text) {
    if ((_style & 7) == LBLSTYLE_SEPARATOR) return 0;
    return TWindowsGadget::SetText(text);
}

LRESULT TWindowsLabel::WndProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_ERASEBKGND ? 1 : 0; }
