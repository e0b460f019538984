#include "gui/Gadget.h"

#include <algorithm>
#include <limits>

#include "runtime/Errors.h"

Ref<TGadget> MouseDownGadgets[3];

int32_t TGadgetItem::Set(const String& t, const String& tp, int32_t ic, const Ref<Object>& ex, int32_t fl) {
    text = t;
    tip = tp;
    icon = ic;
    extra = ex;
    flags = fl;
    return 0;
}

TGadget::TGadget() : kids(New<TList>()) {}

void TGadget::CheckItemIndex(int32_t index, int32_t limit) const {
    if (index < 0 || index >= limit) RaiseArrayBounds();
}

int32_t TGadget::SetFilter(GadgetEventFilter filter, const Ref<Object>& ctx) {
    eventfilter = filter;
    context = ctx;
    return 0;
}

int32_t TGadget::HasDescendant(const Ref<TGadget>& gadget) {
    if (gadget.Get() == this) return 1;
    for (Ref<Object> o : *kids) {
        Ref<TGadget> kid = Cast<TGadget>(o);
        if (!kid) continue;
        if (int32_t r = kid->HasDescendant(gadget)) return r;
    }
    return 0;
}

int32_t TGadget::_setparent(const Ref<TGadget>& p, int32_t index) {
    Ref<TGadget> self(this);  // the old parent's list may hold the last reference
    if (parent) parent->kids->Remove(self);
    parent = p;
    if (!p) return 0;
    int32_t count = p->kids->Count();
    if (index < 0 || index >= count) {
        p->kids->AddLast(self);
    } else if (index == 0) {
        p->kids->AddFirst(self);
    } else {
        Ref<TLink> link = p->kids->FirstLink();
        for (int32_t i = 0; i < index; ++i) link = link->NextLink();
        p->kids->InsertBeforeLink(self, link);
    }
    return 0;
}

int32_t TGadget::SelectionChanged() {
    std::vector<int32_t> old = std::move(arrPrevSelection);
    std::vector<int32_t> now = SelectedItems();
    arrPrevSelection = now;
    size_t i = 0;
    for (; i < std::min(old.size(), now.size()); ++i) {
        if (now[i] != old[i]) return std::min(now[i], old[i]);
    }
    if (i < old.size()) return old[i];
    if (i < now.size()) return now[i];
    return -1;
}

Ref<TGadget> TGadget::Handle() { return Ref<TGadget>(this); }
int32_t TGadget::GetXPos() { return xpos; }
int32_t TGadget::GetYPos() { return ypos; }
int32_t TGadget::GetWidth() { return width; }
int32_t TGadget::GetHeight() { return height; }

int32_t TGadget::SetShape(int32_t x, int32_t y, int32_t w, int32_t h) {
    SetArea(x, y, w, h);
    LockLayout();
    return 0;
}

int32_t TGadget::SetArea(int32_t x, int32_t y, int32_t w, int32_t h) {
    SetRect(x, y, w, h);
    Rethink();
    LayoutKids();
    return 0;
}

int32_t TGadget::SetRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    xpos = x;
    ypos = y;
    width = std::max(w, 0);
    height = std::max(h, 0);
    return 0;
}

int32_t TGadget::LockLayout() {
    lockx = xpos;
    locky = ypos;
    lockw = width;
    lockh = height;
    lockcw = lockch = 1;
    if (parent) {
        lockcw = std::max(parent->ClientWidth(), 1);
        lockch = std::max(parent->ClientHeight(), 1);
    }
    return 0;
}

int32_t TGadget::SetLayout(int32_t l, int32_t r, int32_t t, int32_t b) {
    lockl = l;
    lockr = r;
    lockt = t;
    lockb = b;
    LockLayout();
    return 0;
}

int32_t TGadget::LayoutKids() {
    for (Ref<Object> o : *kids) {
        if (Ref<TGadget> kid = Cast<TGadget>(o)) kid->DoLayout();
    }
    return 0;
}

namespace {

// One axis of the layout. The arithmetic is 64-bit so that huge rectangles
// cannot overflow; the results are clamped back into 32 bits. A reference
// size below 1 (a gadget never locked) counts as 1 instead of dividing by 0.
void LayoutAxis(int32_t lockLow, int32_t lockHigh, int32_t pos, int32_t size, int32_t lockPos, int32_t lockSize,
                int32_t lockClient, int32_t client, int64_t& low, int64_t& high) {
    const int64_t c = client, lc = std::max(lockClient, 1), lp = lockPos, ls = lockSize;
    low = pos;
    high = int64_t{pos} + size;
    if (lockLow == LOCK_CENTERED && lockHigh == LOCK_CENTERED) {
        low = c * (lp + ls / 2) / lc - ls / 2;
        high = low + ls;
        return;
    }
    if (lockLow == LOCK_ALIGNED) low = lp;
    else if (lockLow == LOCK_RELATIVE) low = c * lp / lc;
    if (lockHigh == LOCK_ALIGNED) high = lp + ls - lc + c;
    else if (lockHigh == LOCK_RELATIVE) high = c * (lp + ls) / lc;
    if (lockLow == LOCK_CENTERED) low = high - ls;
    else if (lockHigh == LOCK_CENTERED) high = low + ls;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t TGadget::DoLayout() {
    if (!parent) return 0;
    int32_t cls = Class();
    if (cls == 1 || cls == 15 || cls == 16) return 0;
    int32_t cw = std::max(parent->ClientWidth(), 1);
    int32_t ch = std::max(parent->ClientHeight(), 1);
    int64_t left, right, top, bottom;
    LayoutAxis(lockl, lockr, xpos, width, lockx, lockw, lockcw, cw, left, right);
    LayoutAxis(lockt, lockb, ypos, height, locky, lockh, lockch, ch, top, bottom);
    SetArea(Clamp32(left), Clamp32(top), Clamp32(right - left), Clamp32(bottom - top));
    return 0;
}

int32_t TGadget::SetDataSource(const Ref<Object>& src) {
    Clear();
    datasource = src;
    datakeys.clear();
    SyncDataSource();
    return 0;
}

std::vector<String> TGadget::KeysFromList(const Ref<TList>& list) {
    std::vector<String> keys(static_cast<size_t>(list->Count()));
    size_t n = 0;
    for (Ref<Object> o : *list) {
        if (o && n < keys.size()) keys[n++] = o->ToString();
    }
    return keys;
}

std::vector<String> TGadget::KeysFromObjectArray(const std::vector<Ref<Object>>& array) {
    std::vector<String> keys(array.size());
    size_t n = 0;
    for (const Ref<Object>& o : array) {
        if (o) keys[n++] = o->ToString();
    }
    return keys;
}

int32_t TGadget::SyncDataSource() {
    if (!datasource) return 0;
    std::vector<String> keys;
    if (Ref<TList> list = Cast<TList>(datasource)) {
        keys = KeysFromList(list);
    } else if (Ref<TStringArray> sa = Cast<TStringArray>(datasource); sa && !sa->values.empty()) {
        keys = sa->values;
    } else if (Ref<TObjectArray> oa = Cast<TObjectArray>(datasource); oa && !oa->values.empty()) {
        keys = KeysFromObjectArray(oa->values);
    }
    if (keys.empty()) {
        if (ItemCount() > 0) {
            Clear();
            return 1;
        }
        return 0;
    }
    SyncData(keys);
    datakeys = keys;
    return 0;
}

int32_t TGadget::SyncData(const std::vector<String>& keys) {
    const int32_t oldCount = static_cast<int32_t>(datakeys.size());
    const int32_t newCount = static_cast<int32_t>(keys.size());
    int32_t o = 0, n = 0;
    for (int32_t i = 0; i < newCount; ++i) {
        const String& k = keys[i];
        if (o >= oldCount) {
            InsertItemFromKey(n, k);
            ++n;
            continue;
        }
        if (k == datakeys[o]) {
            ++o;
            ++n;
            continue;
        }
        int32_t skip = 1, j = o + 1;
        while (j < oldCount && datakeys[j] != k) {
            ++skip;
            ++j;
        }
        int32_t run = 1;
        for (int32_t jj = j + 1, ii = i + 1; jj < oldCount && ii < newCount && keys[ii] == datakeys[jj]; ++jj, ++ii)
            ++run;
        if (run > skip) {
            o += skip;
            for (int32_t r = 0; r < skip; ++r) RemoveItem(n);
            ++o;
            ++n;
        } else {
            InsertItemFromKey(n, k);
            ++n;
        }
    }
    while (n < ItemCount()) RemoveItem(n);
    return 0;
}

int32_t TGadget::InsertItemFromKey(int32_t index, const String& key) {
    return InsertItem(index, key, "", 0, datasource, 0);
}

int32_t TGadget::Clear() {
    ClearListItems();
    items.clear();
    return 0;
}

int32_t TGadget::InsertItem(int32_t index, const String& text, const String& tip, int32_t icon,
                            const Ref<Object>& ex, int32_t flags) {
    CheckItemIndex(index, ItemCount() + 1);
    Ref<TGadgetItem> item = New<TGadgetItem>();
    item->Set(text, tip, icon, ex, flags);
    items.insert(items.begin() + index, item);
    InsertListItem(index, text, tip, icon, ex);
    if (flags & ITEMFLAG_DEFAULT) SelectItem(index, 1);
    return 0;
}

int32_t TGadget::SetItem(int32_t index, const String& text, const String& tip, int32_t icon,
                         const Ref<Object>& ex, int32_t flags) {
    CheckItemIndex(index, ItemCount());
    items[index]->Set(text, tip, icon, ex, flags);
    SetListItem(index, text, tip, icon, ex);
    if (flags & ITEMFLAG_DEFAULT) SelectItem(index, 1);
    return 0;
}

int32_t TGadget::RemoveItem(int32_t index) {
    CheckItemIndex(index, ItemCount());
    items.erase(items.begin() + index);
    RemoveListItem(index);
    return 0;
}

int32_t TGadget::ItemCount() { return static_cast<int32_t>(items.size()); }

String TGadget::ItemText(int32_t index) {
    CheckItemIndex(index, ItemCount());
    return items[index]->text;
}

String TGadget::ItemTip(int32_t index) {
    CheckItemIndex(index, ItemCount());
    return items[index]->tip;
}

int32_t TGadget::ItemFlags(int32_t index) {
    CheckItemIndex(index, ItemCount());
    return items[index]->flags;
}

int32_t TGadget::ItemIcon(int32_t index) {
    CheckItemIndex(index, ItemCount());
    return items[index]->icon;
}

Ref<Object> TGadget::ItemExtra(int32_t index) {
    if (index == -1) return {};
    CheckItemIndex(index, ItemCount());
    return items[index]->extra;
}

int32_t TGadget::SetItemState(int32_t index, int32_t state) { return SetListItemState(index, state); }
int32_t TGadget::ItemState(int32_t index) { return ListItemState(index); }

int32_t TGadget::SelectItem(int32_t index, int32_t op) {
    if (index == -1) {
        for (int32_t i = 0; i < ItemCount(); ++i) SelectItem(i, op);
        return 0;
    }
    CheckItemIndex(index, ItemCount());
    int32_t state = ItemState(index);
    if (op == 0) state &= ~GSTATE_SELECTED;
    else if (op == 1) state |= GSTATE_SELECTED;
    else if (op == 2) state ^= GSTATE_SELECTED;
    Ref<TGadgetItem> item = items[index];
    if (item->icon >= 0 && (item->flags & ITEMFLAG_TOGGLE)) {
        SetListItem(index, item->text, item->tip, (state & GSTATE_SELECTED) ? item->icon + 1 : item->icon,
                    item->extra);
    }
    SetItemState(index, state);
    return 0;
}

int32_t TGadget::SelectedItem() {
    std::vector<int32_t> sel = SelectedItems();
    return sel.size() == 1 ? sel[0] : -1;
}

std::vector<int32_t> TGadget::SelectedItems() {
    std::vector<int32_t> sel;
    for (int32_t i = 0; i < ItemCount(); ++i) {
        if (ItemState(i) & GSTATE_SELECTED) sel.push_back(i);
    }
    return sel;
}

int32_t TGadget::AddColumn(const String& title, int32_t width, int32_t weight) {
    int32_t column = static_cast<int32_t>(columns.size());
    columns.push_back({title, std::max(width, 0), std::max(weight, 0)});
    InsertListColumn(column, title, columns.back().width, columns.back().weight);
    return column;
}

int32_t TGadget::ColumnCount() { return std::max<int32_t>(static_cast<int32_t>(columns.size()), 1); }

int32_t TGadget::SetItemCell(int32_t index, int32_t column, const String& text) {
    CheckItemIndex(index, ItemCount());
    CheckItemIndex(column, ColumnCount());
    Ref<TGadgetItem> item = items[index];
    // A cell that keeps its text costs the control nothing: no repaint.
    if (ItemCell(index, column) == text) return 0;
    if (column == 0) {
        item->text = text;
    } else {
        if (item->cells.size() < static_cast<size_t>(column)) item->cells.resize(column);
        item->cells[column - 1] = text;
    }
    SetListCell(index, column, text);
    return 0;
}

String TGadget::ItemCell(int32_t index, int32_t column) {
    CheckItemIndex(index, ItemCount());
    CheckItemIndex(column, ColumnCount());
    const Ref<TGadgetItem>& item = items[index];
    if (column == 0) return item->text;
    return static_cast<size_t>(column) <= item->cells.size() ? item->cells[column - 1] : String();
}

int32_t TGadget::Insert(const Ref<TGadget>&, int32_t) { return 0; }
intptr_t TGadget::Query(int32_t) { return 0; }

int32_t TGadget::CleanUp() {
    Ref<TGadget> self(this);
    Ref<TList> copy = kids->Copy();
    for (Ref<Object> o : *copy) {
        if (Ref<TGadget> kid = Cast<TGadget>(o)) kid->CleanUp();
    }
    Free();
    kids->Clear();
    // Leave the parent's kids too: a freed gadget must not stay in the tree
    // (native gadgets already do this in Free).
    _setparent(nullptr, -1);
    extra = nullptr;
    eventfilter = nullptr;
    context = nullptr;
    items.clear();
    for (Ref<TGadget>& slot : MouseDownGadgets) {
        if (slot.Get() == this) slot = nullptr;
    }
    return 0;
}

int32_t TGadget::Free() { return 0; }
int32_t TGadget::Rethink() { return 0; }
int32_t TGadget::ClientWidth() { return 0; }
int32_t TGadget::ClientHeight() { return 0; }
int32_t TGadget::Activate(int32_t) { return 0; }
int32_t TGadget::State() { return 0; }
int32_t TGadget::SetText(const String&) { return 0; }
String TGadget::GetText() { return String(); }
int32_t TGadget::SetFont(const Ref<TGuiFont>&) { return 0; }
int32_t TGadget::SetColor(int32_t, int32_t, int32_t) { return 0; }
int32_t TGadget::SetAlpha(double) { return 0; }
int32_t TGadget::SetTextColor(int32_t, int32_t, int32_t) { return 0; }
int32_t TGadget::SetTooltip(const String&) { return 0; }
String TGadget::GetTooltip() { return String(); }
int32_t TGadget::SetPixmap(const Ref<Object>&, int32_t) { return 0; }
int32_t TGadget::SetIconStrip(const Ref<TIconStrip>&) { return 0; }
int32_t TGadget::SetShow(int32_t) { return 0; }
int32_t TGadget::SetEnabled(int32_t) { return 0; }
int32_t TGadget::SetSelected(int32_t) { return 0; }
int32_t TGadget::SetHotKey(int32_t, int32_t) { return 0; }
int32_t TGadget::SetSensitivity(int32_t bits) {
    sensitivity = bits;
    return 0;
}
int32_t TGadget::GetSensitivity() { return sensitivity; }
int32_t TGadget::Class() { return 0; }
int32_t TGadget::SetStatus(const String&) { return 0; }
Ref<TGadget> TGadget::GetMenu() { return {}; }
int32_t TGadget::PopupMenu(const Ref<TGadget>&, const Ref<Object>&) { return 0; }
int32_t TGadget::UpdateMenu() { return 0; }
int32_t TGadget::SetMinimumSize(int32_t, int32_t) { return 0; }
int32_t TGadget::SetMaximumSize(int32_t, int32_t) { return 0; }
int32_t TGadget::ClearListItems() { return 0; }
int32_t TGadget::InsertListItem(int32_t, const String&, const String&, int32_t, const Ref<Object>&) { return 0; }
int32_t TGadget::SetListItem(int32_t, const String&, const String&, int32_t, const Ref<Object>&) { return 0; }
int32_t TGadget::RemoveListItem(int32_t) { return 0; }
int32_t TGadget::SetListItemState(int32_t, int32_t) { return 0; }
int32_t TGadget::ListItemState(int32_t) { return 0; }
int32_t TGadget::InsertListColumn(int32_t, const String&, int32_t, int32_t) { return 0; }
int32_t TGadget::SetListCell(int32_t, int32_t, const String&) { return 0; }
Ref<TGadget> TGadget::RootNode() { return {}; }
Ref<TGadget> TGadget::InsertNode(int32_t, const String&, int32_t) { return {}; }
int32_t TGadget::ModifyNode(const Ref<TGadget>&, const String&, int32_t) { return 0; }
Ref<TGadget> TGadget::SelectedNode() { return {}; }
int32_t TGadget::CountKids() { return 0; }
int32_t TGadget::ReplaceText(int32_t, int32_t, const String&, int32_t) { return 0; }
int32_t TGadget::AddText(const String&) { return 0; }
String TGadget::AreaText(int32_t, int32_t, int32_t) { return String(); }
int32_t TGadget::AreaLen(int32_t) { return 0; }
int32_t TGadget::LockText() { return 0; }
int32_t TGadget::UnlockText() { return 0; }
int32_t TGadget::SetTabs(int32_t) { return 0; }
int32_t TGadget::GetCursorPos(int32_t) { return 0; }
int32_t TGadget::GetSelectionLength(int32_t) { return 0; }
int32_t TGadget::SetStyle(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
int32_t TGadget::SetSelection(int32_t, int32_t, int32_t) { return 0; }
int32_t TGadget::CharX(int32_t) { return 0; }
int32_t TGadget::CharY(int32_t) { return 0; }
int32_t TGadget::CharAt(int32_t) { return 0; }
int32_t TGadget::LineAt(int32_t) { return 0; }
int32_t TGadget::SetValue(int32_t) { return 0; }
int32_t TGadget::SetRange(int32_t, int32_t) { return 0; }
int32_t TGadget::SetProp(const String&, const Ref<Object>&) { return 0; }
Ref<Object> TGadget::GetProp(const String&) { return {}; }
Ref<Object> TGadget::AttachGraphics(int32_t) { return {}; }
Ref<Object> TGadget::CanvasGraphics() { return {}; }
String TGadget::Run(const String&) { return String(); }

// ---- proxy ----

int32_t TProxyGadget::SetProxy(const Ref<TGadget>& gadget) {
    if (proxy && proxy->source.Get() == this) proxy->source = nullptr;
    proxy = gadget;
    if (proxy) proxy->source = Ref<TGadget>(this);
    return 0;
}

Ref<TGadget> TProxyGadget::GetProxy() { return proxy; }

#define VW_FORWARD(ret, name, params, args) \
    ret TProxyGadget::name params { return proxy->name args; }

VW_FORWARD(int32_t, HasDescendant, (const Ref<TGadget>& g), (g))
VW_FORWARD(int32_t, SelectionChanged, (), ())
VW_FORWARD(int32_t, GetXPos, (), ())
VW_FORWARD(int32_t, GetYPos, (), ())
VW_FORWARD(int32_t, GetWidth, (), ())
VW_FORWARD(int32_t, GetHeight, (), ())
VW_FORWARD(int32_t, SetShape, (int32_t x, int32_t y, int32_t w, int32_t h), (x, y, w, h))
VW_FORWARD(int32_t, SetLayout, (int32_t l, int32_t r, int32_t t, int32_t b), (l, r, t, b))
VW_FORWARD(int32_t, SetDataSource, (const Ref<Object>& s), (s))
VW_FORWARD(int32_t, SyncDataSource, (), ())
VW_FORWARD(int32_t, Clear, (), ())
VW_FORWARD(int32_t, InsertItem,
           (int32_t i, const String& t, const String& tp, int32_t ic, const Ref<Object>& e, int32_t f),
           (i, t, tp, ic, e, f))
VW_FORWARD(int32_t, SetItem,
           (int32_t i, const String& t, const String& tp, int32_t ic, const Ref<Object>& e, int32_t f),
           (i, t, tp, ic, e, f))
VW_FORWARD(int32_t, RemoveItem, (int32_t i), (i))
VW_FORWARD(int32_t, ItemCount, (), ())
VW_FORWARD(String, ItemText, (int32_t i), (i))
VW_FORWARD(String, ItemTip, (int32_t i), (i))
VW_FORWARD(int32_t, ItemFlags, (int32_t i), (i))
VW_FORWARD(int32_t, ItemIcon, (int32_t i), (i))
VW_FORWARD(Ref<Object>, ItemExtra, (int32_t i), (i))
VW_FORWARD(int32_t, SetItemState, (int32_t i, int32_t s), (i, s))
VW_FORWARD(int32_t, ItemState, (int32_t i), (i))
VW_FORWARD(int32_t, SelectItem, (int32_t i, int32_t op), (i, op))
VW_FORWARD(int32_t, SelectedItem, (), ())
VW_FORWARD(std::vector<int32_t>, SelectedItems, (), ())
VW_FORWARD(int32_t, AddColumn, (const String& t, int32_t w, int32_t g), (t, w, g))
VW_FORWARD(int32_t, ColumnCount, (), ())
VW_FORWARD(int32_t, SetItemCell, (int32_t i, int32_t c, const String& t), (i, c, t))
VW_FORWARD(String, ItemCell, (int32_t i, int32_t c), (i, c))
VW_FORWARD(int32_t, Insert, (const Ref<TGadget>& g, int32_t i), (g, i))
VW_FORWARD(intptr_t, Query, (int32_t w), (w))
VW_FORWARD(int32_t, CleanUp, (), ())
VW_FORWARD(int32_t, Free, (), ())
VW_FORWARD(int32_t, Rethink, (), ())
VW_FORWARD(int32_t, ClientWidth, (), ())
VW_FORWARD(int32_t, ClientHeight, (), ())
VW_FORWARD(int32_t, Activate, (int32_t c), (c))
VW_FORWARD(int32_t, State, (), ())
VW_FORWARD(int32_t, SetText, (const String& t), (t))
VW_FORWARD(String, GetText, (), ())
VW_FORWARD(int32_t, SetFont, (const Ref<TGuiFont>& f), (f))
VW_FORWARD(int32_t, SetColor, (int32_t r, int32_t g, int32_t b), (r, g, b))
VW_FORWARD(int32_t, SetAlpha, (double a), (a))
VW_FORWARD(int32_t, SetTextColor, (int32_t r, int32_t g, int32_t b), (r, g, b))
VW_FORWARD(int32_t, SetTooltip, (const String& t), (t))
VW_FORWARD(String, GetTooltip, (), ())
VW_FORWARD(int32_t, SetPixmap, (const Ref<Object>& p, int32_t f), (p, f))
VW_FORWARD(int32_t, SetIconStrip, (const Ref<TIconStrip>& s), (s))
VW_FORWARD(int32_t, SetShow, (int32_t f), (f))
VW_FORWARD(int32_t, SetEnabled, (int32_t f), (f))
VW_FORWARD(int32_t, SetSelected, (int32_t s), (s))
VW_FORWARD(int32_t, SetHotKey, (int32_t k, int32_t m), (k, m))
VW_FORWARD(int32_t, SetSensitivity, (int32_t b), (b))
VW_FORWARD(int32_t, GetSensitivity, (), ())
VW_FORWARD(int32_t, Class, (), ())
VW_FORWARD(int32_t, SetStatus, (const String& t), (t))
VW_FORWARD(Ref<TGadget>, GetMenu, (), ())
VW_FORWARD(int32_t, PopupMenu, (const Ref<TGadget>& m, const Ref<Object>& e), (m, e))
VW_FORWARD(int32_t, UpdateMenu, (), ())
VW_FORWARD(int32_t, SetMinimumSize, (int32_t w, int32_t h), (w, h))
VW_FORWARD(int32_t, SetMaximumSize, (int32_t w, int32_t h), (w, h))
VW_FORWARD(int32_t, ClearListItems, (), ())
VW_FORWARD(int32_t, InsertListItem,
           (int32_t i, const String& t, const String& tp, int32_t ic, const Ref<Object>& e), (i, t, tp, ic, e))
VW_FORWARD(int32_t, SetListItem,
           (int32_t i, const String& t, const String& tp, int32_t ic, const Ref<Object>& e), (i, t, tp, ic, e))
VW_FORWARD(int32_t, RemoveListItem, (int32_t i), (i))
VW_FORWARD(int32_t, SetListItemState, (int32_t i, int32_t s), (i, s))
VW_FORWARD(int32_t, ListItemState, (int32_t i), (i))
VW_FORWARD(int32_t, InsertListColumn, (int32_t c, const String& t, int32_t w, int32_t g), (c, t, w, g))
VW_FORWARD(int32_t, SetListCell, (int32_t i, int32_t c, const String& t), (i, c, t))
VW_FORWARD(Ref<TGadget>, RootNode, (), ())
VW_FORWARD(Ref<TGadget>, InsertNode, (int32_t i, const String& t, int32_t ic), (i, t, ic))
VW_FORWARD(int32_t, ModifyNode, (const Ref<TGadget>& n, const String& t, int32_t ic), (n, t, ic))
VW_FORWARD(Ref<TGadget>, SelectedNode, (), ())
VW_FORWARD(int32_t, CountKids, (), ())
VW_FORWARD(int32_t, ReplaceText, (int32_t p, int32_t l, const String& t, int32_t u), (p, l, t, u))
VW_FORWARD(int32_t, AddText, (const String& t), (t))
VW_FORWARD(String, AreaText, (int32_t p, int32_t l, int32_t u), (p, l, u))
VW_FORWARD(int32_t, AreaLen, (int32_t u), (u))
VW_FORWARD(int32_t, LockText, (), ())
VW_FORWARD(int32_t, UnlockText, (), ())
VW_FORWARD(int32_t, SetTabs, (int32_t t), (t))
VW_FORWARD(int32_t, GetCursorPos, (int32_t u), (u))
VW_FORWARD(int32_t, GetSelectionLength, (int32_t u), (u))
VW_FORWARD(int32_t, SetStyle,
           (int32_t r, int32_t g, int32_t b, int32_t f, int32_t p, int32_t l, int32_t u), (r, g, b, f, p, l, u))
VW_FORWARD(int32_t, SetSelection, (int32_t p, int32_t l, int32_t u), (p, l, u))
VW_FORWARD(int32_t, CharX, (int32_t i), (i))
VW_FORWARD(int32_t, CharY, (int32_t i), (i))
VW_FORWARD(int32_t, CharAt, (int32_t l), (l))
VW_FORWARD(int32_t, LineAt, (int32_t i), (i))
VW_FORWARD(int32_t, SetValue, (int32_t v), (v))
VW_FORWARD(int32_t, SetRange, (int32_t v, int32_t t), (v, t))
VW_FORWARD(int32_t, SetProp, (const String& k, const Ref<Object>& v), (k, v))
VW_FORWARD(Ref<Object>, GetProp, (const String& k), (k))
VW_FORWARD(Ref<Object>, AttachGraphics, (int32_t f), (f))
VW_FORWARD(Ref<Object>, CanvasGraphics, (), ())
VW_FORWARD(String, Run, (const String& s), (s))

#undef VW_FORWARD
