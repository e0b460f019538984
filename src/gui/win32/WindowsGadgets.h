// The native gadget classes of the Win32 driver. Internal to the GUI
// module: only gui/win32/ (and its tests) include it.
#pragma once

#include "gui/win32/WindowsShared.h"

// Private message the list box posts to itself to look at the selection once
// the control has finished a change.
constexpr UINT DeferredSelect = 0x8100;

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
    // A size message for one of the gadget's windows: the outer window
    // re-places its client window, the client window lays out the kids.
    virtual void OnNativeSize(HWND hwnd);
    // The parent asks how to paint the control: the brush, or null for the
    // platform's default.
    virtual HBRUSH OnControlColor(HDC dc);

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
    GdiOwner<HBRUSH> _brush;
    int32_t _textcolor = -1;
    int32_t _backcolor = -1;
    GdiOwner<HBRUSH> _hbrush;
    GdiOwner<HBITMAP> _hbitmap;
    GdiOwner<HBITMAP> _bitmap;
    GdiOwner<HBITMAP> _iconBitmap;
    HANDLE _hTheme = nullptr;
    Ref<TWindowsFont> _font;
    wchar_t* _wstrTooltip = nullptr;
    int32_t _toolAdded = 0;
    HDWP hdwpStruct = nullptr;

protected:
    // Text over the parent's background, in the gadget's text colour.
    HBRUSH PaintTransparent(HDC dc);
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
    void OnNativeSize(HWND) override {}  // its window procedure handles sizes
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
    // One handler per message of WndProc.
    LRESULT OnEraseBackground(HWND hwnd, HDC dc);
    LRESULT OnSizeMessage(WPARAM kind, LPARAM size);
    LRESULT OnMoveMessage();
    LRESULT OnSizeLimits(MINMAXINFO* limits);
    LRESULT OnScaleChanged(const RECT& suggested);
    LRESULT OnActivateMessage(WORD how);
    LRESULT OnCloseMessage();
    LRESULT OnDropFiles(HDROP drop);
    LRESULT OnSizeMoveLoop(bool entering);
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
    HBRUSH OnControlColor(HDC dc) override { return PaintTransparent(dc); }
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
    HBRUSH OnControlColor(HDC dc) override;
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
    HBRUSH OnControlColor(HDC dc) override { return PaintTransparent(dc); }
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
    int32_t InsertListColumn(int32_t column, const String& title, int32_t width, int32_t weight) override;
    int32_t SetListCell(int32_t index, int32_t column, const String& text) override;
    int32_t SetTooltip(const String&) override { return 0; }
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) override;
    LRESULT OnNotify(WPARAM wparam, LPARAM lparam) override;
    int32_t Class() override { return KIND_LISTBOX; }
    int32_t HasResized() override;

    Ref<TIconStrip> _icons;
    int32_t _selected = -1;

private:
    // Gives each column its width and its share of the room left over; a
    // list without named columns has its one column fill the width.
    void FitColumns();
    // The first selected row, -1 for none.
    int32_t FirstSelectedRow();
    // Posts `id` for `row` with its item's extra; nothing for no row.
    void PostRowEvent(int32_t id, int32_t row);
    void PutCell(int32_t index, int32_t column, const String& text);
    LRESULT OnDialogCode(HWND hwnd, WPARAM wparam, LPARAM lparam);
    LRESULT OnDeferredSelect();
};
