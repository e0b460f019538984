// Report list view: one column without header until columns are named, then
// a header and one cell per column, each cell set in place. Selection changes
// are looked at once the control has finished them (DeferredSelect), so one
// user action gives one event; program changes keep _selected in step and
// emit nothing. Enter on a selected row acts on it like a double click.
#include <algorithm>

#include "event/Event.h"
#include "gui/win32/WindowsGadgets.h"

Ref<TWindowsListBox> TWindowsListBox::Create(const Ref<TGadget>& group, int32_t st) {
    style = st;
    DWORD ws = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS |
               LVS_SHOWSELALWAYS | LVS_REPORT;
    if (!(st & LISTSTYLE_MULTISELECT)) ws |= LVS_SINGLESEL;
    HWND parentHwnd = group ? reinterpret_cast<HWND>(group->Query(2)) : nullptr;
    HWND h = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", ws, 0, 0, 20, 20, parentHwnd, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    LVCOLUMNW col{};
    SendMessageW(h, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
    DWORD ex = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    if (TWindowsGUIDriver::CheckCommonControlVersion() != 0) ex |= LVS_EX_DOUBLEBUFFER;
    SendMessageW(h, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
    Register(KIND_LISTBOX, h, nullptr, 0);
    if (ExplorerTheme == 1) UseExplorerTheme();
    return Ref<TWindowsListBox>(this);
}

int32_t TWindowsListBox::IsSingleSelect() { return (style & LISTSTYLE_MULTISELECT) ? 0 : 1; }

int32_t TWindowsListBox::UseExplorerTheme() {
    if (TWindowsGUIDriver::CheckCommonControlVersion() >= 1 && GuiApi.SetWindowTheme)
        GuiApi.SetWindowTheme(_hwnd, L"Explorer", nullptr);
    return 0;
}

int32_t TWindowsListBox::ListItemState(int32_t index) {
    LRESULT s = SendMessageW(_hwnd, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED);
    return (s & LVIS_SELECTED) ? GSTATE_SELECTED : 0;
}

int32_t TWindowsListBox::InsertListItem(int32_t index, const String& text, const String&, int32_t icon,
                                        const Ref<Object>&) {
    std::wstring w = Wide(text.View());
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = w.data();
    item.iImage = icon;
    DeSensitize();
    RECT before{}, after{};
    GetClientRect(_hwnd, &before);
    SendMessageW(_hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    GetClientRect(_hwnd, &after);
    // The columns fill the width, which changes only when a scroll bar comes;
    // fitting them on every insert makes filling a long list slow.
    if (after.right != before.right || SendMessageW(_hwnd, LVM_GETCOLUMNWIDTH, 0, 0) == 0) FitColumns();
    if (!IsSingleSelect()) SelectionChanged();
    Sensitize();
    return 0;
}

void TWindowsListBox::PutCell(int32_t index, int32_t column, const String& text) {
    std::wstring w = Wide(text.View());
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = w.data();
    SendMessageW(_hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int32_t TWindowsListBox::SetListCell(int32_t index, int32_t column, const String& text) {
    DeSensitize();
    PutCell(index, column, text);
    Sensitize();
    return 0;
}

int32_t TWindowsListBox::InsertListColumn(int32_t column, const String& title, int32_t, int32_t) {
    std::wstring w = Wide(title.View());
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = w.data();
    if (column == 0) {
        // The list's own column gets the name, and the header shows.
        LONG_PTR s = GetWindowLongPtrW(_hwnd, GWL_STYLE);
        SetWindowLongPtrW(_hwnd, GWL_STYLE, s & ~static_cast<LONG_PTR>(LVS_NOCOLUMNHEADER));
        SendMessageW(_hwnd, LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
    } else {
        SendMessageW(_hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
    }
    FitColumns();
    return 0;
}

void TWindowsListBox::FitColumns() {
    if (columns.empty()) {
        SendMessageW(_hwnd, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
        return;
    }
    RECT r{};
    GetClientRect(_hwnd, &r);
    int32_t dpi = DpiOf(_hwnd);
    int64_t room = r.right - r.left, weights = 0;
    std::vector<int32_t> widths;
    for (const TGadgetColumn& c : columns) {
        widths.push_back(ToDevice(c.width, dpi));
        room -= widths.back();
        weights += c.weight;
    }
    room = std::max<int64_t>(room, 0);
    // Shares from running totals, so the rounding never loses a pixel.
    int64_t soFar = 0, given = 0;
    for (size_t i = 0; i < columns.size() && weights > 0; ++i) {
        soFar += columns[i].weight;
        int64_t upto = room * soFar / weights;
        widths[i] += static_cast<int32_t>(upto - given);
        given = upto;
    }
    for (size_t i = 0; i < widths.size(); ++i) {
        WPARAM c = static_cast<WPARAM>(i);
        if (SendMessageW(_hwnd, LVM_GETCOLUMNWIDTH, c, 0) != widths[i])
            SendMessageW(_hwnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(widths[i], 0));
    }
}

int32_t TWindowsListBox::SetListItem(int32_t index, const String& text, const String& tip, int32_t icon,
                                     const Ref<Object>& ex) {
    bool wasSelected = (ListItemState(index) & GSTATE_SELECTED) != 0;
    RemoveListItem(index);
    InsertListItem(index, text, tip, icon, ex);
    // The row put back keeps its other cells.
    if (index < ItemCount()) {
        const std::vector<String>& cells = items[index]->cells;
        for (size_t c = 0; c < cells.size(); ++c)
            if (!cells[c].IsEmpty()) SetListCell(index, static_cast<int32_t>(c + 1), cells[c]);
    }
    if (wasSelected) SetItemState(index, GSTATE_SELECTED);
    return 0;
}

int32_t TWindowsListBox::RemoveListItem(int32_t index) {
    DeSensitize();
    if (ListItemState(index) & GSTATE_SELECTED) _selected = -1;
    SendMessageW(_hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
    if (!IsSingleSelect()) SelectionChanged();
    Sensitize();
    return 0;
}

int32_t TWindowsListBox::ClearListItems() {
    _selected = -1;
    DeSensitize();
    SendMessageW(_hwnd, LVM_DELETEALLITEMS, 0, 0);
    if (!IsSingleSelect()) SelectionChanged();
    Sensitize();
    return 0;
}

int32_t TWindowsListBox::SetListItemState(int32_t index, int32_t state) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    if (state & GSTATE_SELECTED) {
        item.state = LVIS_SELECTED;
        if (IsSingleSelect()) _selected = index;
    } else if (_selected == index) {
        _selected = -1;
    }
    DeSensitize();
    SendMessageW(_hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    if (state & GSTATE_SELECTED) SendMessageW(_hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), TRUE);
    if (!IsSingleSelect()) SelectionChanged();
    Sensitize();
    return 0;
}

int32_t TWindowsListBox::SetIconStrip(const Ref<TIconStrip>& strip) {
    // Icon strips need the graphics module; without one there is no image
    // list to install, so the list only forgets any strip it had.
    if (!strip) {
        SendMessageW(_hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        _icons = nullptr;
        return 0;
    }
    _icons = strip;
    return 0;
}

int32_t TWindowsListBox::HasResized() {
    FitColumns();
    return 0;
}

int32_t TWindowsListBox::SetColor(int32_t r, int32_t g, int32_t b) {
    COLORREF c = RGB(r & 0xFF, g & 0xFF, b & 0xFF);
    SendMessageW(_hwnd, LVM_SETBKCOLOR, 0, c);
    SendMessageW(_hwnd, LVM_SETTEXTBKCOLOR, 0, c);
    InvalidateRect(_hwnd, nullptr, TRUE);
    return 0;
}

int32_t TWindowsListBox::SetTextColor(int32_t r, int32_t g, int32_t b) {
    SendMessageW(_hwnd, LVM_SETTEXTCOLOR, 0, RGB(r & 0xFF, g & 0xFF, b & 0xFF));
    InvalidateRect(_hwnd, nullptr, TRUE);
    return 0;
}

LRESULT TWindowsListBox::OnNotify(WPARAM, LPARAM lparam) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lparam);
    switch (hdr->code) {
    case LVN_GETINFOTIPW: {
        NMLVGETINFOTIPW* tip = reinterpret_cast<NMLVGETINFOTIPW*>(lparam);
        if (tip->iItem >= 0 && tip->iItem < ItemCount() && tip->pszText && tip->cchTextMax > 0) {
            String t = ItemTip(tip->iItem);
            int32_t n = std::min<int32_t>(t.Length(), tip->cchTextMax - 1);
            for (int32_t i = 0; i < n; ++i) tip->pszText[i] = static_cast<wchar_t>(t[i]);
            tip->pszText[n] = 0;
        }
        return 0;
    }
    case LVN_ITEMCHANGED: {
        NMLISTVIEW* lv = reinterpret_cast<NMLISTVIEW*>(lparam);
        if (lv->uChanged & LVIF_STATE) PostMessageW(_hwnd, DeferredSelect, 0, 0);
        return 0;
    }
    case NM_DBLCLK: PostRowEvent(EventGadgetAction, reinterpret_cast<NMITEMACTIVATE*>(lparam)->iItem); return 0;
    case NM_CLICK: {
        int32_t row = reinterpret_cast<NMITEMACTIVATE*>(lparam)->iItem;
        if (row == -1 && _selected != -1) {
            _selected = -1;
            PostGuiEvent(EventGadgetSelect, -1, 0, 0, 0, {});
        }
        return 0;
    }
    case NM_RCLICK: PostRowEvent(EventGadgetMenu, reinterpret_cast<NMITEMACTIVATE*>(lparam)->iItem); return 0;
    case LVN_DELETEALLITEMS: return 1;  // no per-row notifications follow
    default: return 0;
    }
}

void TWindowsListBox::PostRowEvent(int32_t id, int32_t row) {
    if (row >= 0 && row < ItemCount()) PostGuiEvent(id, row, 0, 0, 0, ItemExtra(row));
}

int32_t TWindowsListBox::FirstSelectedRow() {
    return static_cast<int32_t>(
        SendMessageW(_hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

LRESULT TWindowsListBox::OnDeferredSelect() {
    int32_t index = IsSingleSelect() ? FirstSelectedRow() : SelectionChanged();
    if (index != _selected) {
        if (IsSingleSelect()) _selected = index;
        Ref<Object> ex = (index >= 0 && index < ItemCount()) ? ItemExtra(index) : Ref<Object>();
        PostGuiEvent(EventGadgetSelect, index, 0, 0, 0, ex);
    }
    return 0;
}

// With a row selected the list keeps Enter for itself; without one, Enter
// goes on to the window's default button as before.
LRESULT TWindowsListBox::OnDialogCode(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    const MSG* m = reinterpret_cast<const MSG*>(lparam);
    if (!m || m->message != WM_KEYDOWN || m->wParam != VK_RETURN || FirstSelectedRow() < 0) return 0;
    LRESULT own = _proc ? CallWindowProcW(_proc, hwnd, WM_GETDLGCODE, wparam, lparam) : 0;
    return own | DLGC_WANTMESSAGE;
}

LRESULT TWindowsListBox::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == DeferredSelect) return OnDeferredSelect();
    if (msg == WM_GETDLGCODE) return OnDialogCode(hwnd, wparam, lparam);
    if (msg == WM_KEYDOWN && wparam == VK_RETURN) {
        PostRowEvent(EventGadgetAction, FirstSelectedRow());
        return 0;
    }
    if (msg == WM_ERASEBKGND) return TWindowsGUIDriver::CheckCommonControlVersion() != 0 ? 1 : 0;
    return 0;
}
