#include "gui/GuiDriver.h"

#include "event/Event.h"
#include "event/SystemDriver.h"
#include "runtime/List.h"
#include "runtime/Program.h"

Ref<TGanvikDriver> GuiDriver;

Ref<Object> TIconStrip::ExtractIconPixmap(int32_t index) {
    if (index >= count) return {};
    return pixmap;
}

// ---- driver base ----

Ref<TGuiFont> TGanvikDriver::LoadFont(const String&, int32_t, int32_t) { return {}; }
Ref<TGadget> TGanvikDriver::CreateGadget(int32_t, const String&, int32_t, int32_t, int32_t, int32_t,
                                         const Ref<TGadget>&, int32_t) {
    return {};
}
Ref<TGadget> TGanvikDriver::ActiveGadget() { return {}; }
int32_t TGanvikDriver::RequestColor(int32_t, int32_t, int32_t) { return 0; }
Ref<TGuiFont> TGanvikDriver::RequestFont(const Ref<TGuiFont>&) { return {}; }
int32_t TGanvikDriver::SetPointer(int32_t) { return 0; }
Ref<TIconStrip> TGanvikDriver::LoadIconStrip(const Ref<Object>&) { return {}; }

Ref<TGuiFont> TGanvikDriver::LibraryFont(int32_t kind, double size, int32_t style) {
    if (size <= 0) size = kind == 1 ? 8.0 : kind == 4 ? 11.0 : 10.0;
    switch (kind) {
    case 2: {
        Ref<TGuiFont> font = LoadFontWithDouble("Consolas", size, style);
        if (!font || font->name != String("Consolas")) font = LoadFontWithDouble("Courier New", size, style);
        return font;
    }
    case 3: return LoadFontWithDouble("Arial", size, style);
    case 4: return LoadFontWithDouble("Times New Roman", size, style);
    case 5: return LoadFontWithDouble("Comic Sans MS", size, style);
    default: return LoadFontWithDouble("MS Shell Dlg", size, style);
    }
}

Ref<TGuiFont> TGanvikDriver::LoadFontWithDouble(const String& name, double size, int32_t style) {
    return LoadFont(name, static_cast<int32_t>(size + 0.5), style);
}

// ---- hot keys ----

namespace {
Ref<THotKey> g_hotKeyHead;
Ref<TList> g_deferredGuiEvents;
int32_t g_lastRequestedColor = 0;

Ref<TGadget> TopOfSourceChain(Ref<TGadget> g) {
    // A proxy chain is short; the bound only guards against a cycle.
    for (int guard = 0; g && g->source && guard < 1000; ++guard) g = g->source;
    return g;
}
}  // namespace

Ref<THotKey> SetHotKeyEvent(int32_t key, int32_t mods, const Ref<TEvent>& event, intptr_t owner) {
    Ref<TEvent> ev = event ? event : TEvent::Create(EventHotkeyHit, {}, key, mods);
    Ref<THotKey> rec;
    for (Ref<THotKey> h = g_hotKeyHead; h; h = h->succ) {
        if (h->key == key && h->mods == mods && h->owner == owner) {
            rec = h;
            break;
        }
    }
    if (!rec) {
        rec = New<THotKey>();
        rec->key = key;
        rec->mods = mods;
        rec->owner = owner;
        rec->succ = g_hotKeyHead;
        g_hotKeyHead = rec;
    }
    rec->event = ev;
    return rec;
}

void RemoveHotKey(const Ref<THotKey>& record) {
    if (!record) return;
    if (g_hotKeyHead == record) {
        g_hotKeyHead = record->succ;
        return;
    }
    for (Ref<THotKey> h = g_hotKeyHead; h; h = h->succ) {
        if (h->succ == record) {
            h->succ = record->succ;
            return;
        }
    }
}

Ref<TEvent> FindHotKeyEvent(int32_t key, int32_t mods, intptr_t owner) {
    for (Ref<THotKey> h = g_hotKeyHead; h; h = h->succ) {
        if (h->key == key && h->mods == mods && (h->owner == 0 || h->owner == owner)) return h->event;
    }
    return {};
}

// ---- events ----

void EmitGuiEvent(int32_t id, const Ref<TGadget>& source, int32_t data, int32_t mods, int32_t x, int32_t y,
                  const Ref<Object>& extra) {
    TEvent::Create(id, TopOfSourceChain(source), data, mods, x, y, extra)->Emit();
}

void DeferGuiEvent(int32_t id, const Ref<TGadget>& source, int32_t data, int32_t mods, int32_t x, int32_t y,
                   const Ref<Object>& extra) {
    if (!g_deferredGuiEvents) g_deferredGuiEvents = New<TList>();
    g_deferredGuiEvents->AddLast(TEvent::Create(id, TopOfSourceChain(source), data, mods, x, y, extra));
}

void FlushGuiEvents() {
    if (!g_deferredGuiEvents) return;
    // Take the list first: an emitted event may defer new ones for the next flush.
    Ref<TList> pending = g_deferredGuiEvents;
    g_deferredGuiEvents = New<TList>();
    for (Ref<Object> o : *pending) {
        if (Ref<TEvent> ev = Cast<TEvent>(o)) ev->Emit();
    }
}

int32_t DeferredGuiEventCount() { return g_deferredGuiEvents ? g_deferredGuiEvents->Count() : 0; }

// ---- creation ----

Ref<TGadget> ResolveGroup(const Ref<TGadget>& group) {
    Ref<TGadget> g = group;
    for (int guard = 0; guard < 1000; ++guard) {
        Ref<TProxyGadget> p = Cast<TProxyGadget>(g);
        if (!p) break;
        g = p->proxy;
    }
    return g;
}

Ref<TGadget> NewDesktopGadget() { return GuiDriver->CreateGadget(KIND_DESKTOP, "", 0, 0, 0, 0, {}, 0); }

Ref<TGadget> NewWindowGadget(const String& title, int32_t x, int32_t y, int32_t w, int32_t h,
                             const Ref<TGadget>& group, int32_t style) {
    Ref<TGadget> g = ResolveGroup(group);
    if (style & WINSTYLE_CENTER) {
        if (!g) {
            Ref<TGadget> desk = NewDesktopGadget();
            x = (desk->GetWidth() - w) / 2;
            y = (desk->GetHeight() - h) / 2;
        } else {
            x = g->GetXPos() + (g->GetWidth() - w) / 2;
            y = g->GetYPos() + (g->GetHeight() - h) / 2;
        }
    }
    return GuiDriver->CreateGadget(KIND_WINDOW, title, x, y, w, h, g, style);
}

Ref<TGadget> NewButtonGadget(const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                             const Ref<TGadget>& group, int32_t style) {
    return GuiDriver->CreateGadget(KIND_BUTTON, text, x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewLabelGadget(const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                            const Ref<TGadget>& group, int32_t style) {
    return GuiDriver->CreateGadget(KIND_LABEL, text, x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewTextFieldGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                                int32_t style) {
    return GuiDriver->CreateGadget(KIND_TEXTFIELD, "", x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewListBoxGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                              int32_t style) {
    return GuiDriver->CreateGadget(KIND_LISTBOX, "", x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewPanelGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                            int32_t style, const String& text) {
    return GuiDriver->CreateGadget(KIND_PANEL, text, x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewTextAreaGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                               int32_t style) {
    return GuiDriver->CreateGadget(KIND_TEXTAREA, "", x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewComboBoxGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                               int32_t style) {
    return GuiDriver->CreateGadget(KIND_COMBOBOX, "", x, y, w, h, ResolveGroup(group), style);
}

Ref<TGadget> NewMenuGadget(const String& text, int32_t tag, const Ref<TGadget>& parent, int32_t key,
                           int32_t mods) {
    Ref<TGadget> menu = GuiDriver->CreateGadget(KIND_MENUITEM, text, 0, 0, 0, 0, ResolveGroup(parent), tag);
    if (menu && key != 0) menu->SetHotKey(key, mods);
    return menu;
}

// ---- forwarding ----

int32_t CommandGadget(const Ref<TGadget>& g) { return g->Activate(ACT_FOCUS); }
int32_t PutGadgetText(const Ref<TGadget>& g, const String& text) { return g->SetText(text); }
String GetGadgetText(const Ref<TGadget>& g) { return g->GetText(); }
int32_t LimitWindowMinimum(const Ref<TGadget>& w, int32_t width, int32_t height) {
    return w->SetMinimumSize(width, height);
}
int32_t LimitWindowMaximum(const Ref<TGadget>& w, int32_t width, int32_t height) {
    return w->SetMaximumSize(width, height);
}
int32_t AppendGadgetItem(const Ref<TGadget>& g, const String& text, int32_t flags, int32_t icon, const String& tip,
                         const Ref<Object>& extra) {
    return g->InsertItem(g->ItemCount(), text, tip, icon, extra, flags);
}
int32_t DeleteGadgetItem(const Ref<TGadget>& g, int32_t index) { return g->RemoveItem(index); }

int32_t ShowGadget(const Ref<TGadget>& g) { return g->SetShow(1); }
int32_t HideGadget(const Ref<TGadget>& g) { return g->SetShow(0); }
int32_t EnableGadget(const Ref<TGadget>& g) { return g->SetEnabled(1); }
int32_t DisableGadget(const Ref<TGadget>& g) { return g->SetEnabled(0); }
int32_t GadgetHidden(const Ref<TGadget>& g) { return (g->State() & GSTATE_HIDDEN) ? 1 : 0; }
int32_t GadgetDisabled(const Ref<TGadget>& g) { return (g->State() & GSTATE_DISABLED) ? 1 : 0; }
int32_t GadgetEnabled(const Ref<TGadget>& g) { return (g->State() & GSTATE_DISABLED) ? 0 : 1; }
int32_t WindowMinimized(const Ref<TGadget>& g) { return (g->State() & GSTATE_MINIMIZED) ? 1 : 0; }
int32_t WindowMaximized(const Ref<TGadget>& g) { return (g->State() & GSTATE_MAXIMIZED) ? 1 : 0; }
int32_t ButtonState(const Ref<TGadget>& g) {
    int32_t s = g->State();
    if ((s & 0x40) == 0x40) return -1;
    return (s & 0x50) ? 1 : 0;
}
int32_t SetButtonState(const Ref<TGadget>& g, int32_t state) { return g->SetSelected(state); }
int32_t ActivateGadget(const Ref<TGadget>& g, int32_t command) { return g->Activate(command); }
Ref<TGadget> ActiveGadget() { return GuiDriver->ActiveGadget(); }
int32_t SetGadgetShape(const Ref<TGadget>& g, int32_t x, int32_t y, int32_t w, int32_t h) {
    return g->SetShape(x, y, w, h);
}
int32_t SetGadgetLayout(const Ref<TGadget>& g, int32_t l, int32_t r, int32_t t, int32_t b) {
    return g->SetLayout(l, r, t, b);
}
int32_t SetGadgetSensitivity(const Ref<TGadget>& g, int32_t bits) { return g->SetSensitivity(bits); }
int32_t GadgetSensitivity(const Ref<TGadget>& g) { return g->GetSensitivity(); }
int32_t ClientWidth(const Ref<TGadget>& g) { return g->ClientWidth(); }
int32_t ClientHeight(const Ref<TGadget>& g) { return g->ClientHeight(); }
int32_t GadgetX(const Ref<TGadget>& g) { return g->GetXPos(); }
int32_t GadgetY(const Ref<TGadget>& g) { return g->GetYPos(); }
int32_t GadgetWidth(const Ref<TGadget>& g) { return g->GetWidth(); }
int32_t GadgetHeight(const Ref<TGadget>& g) { return g->GetHeight(); }
int32_t GadgetClass(const Ref<TGadget>& g) { return g->Class(); }
int32_t FreeGadget(const Ref<TGadget>& g) { return g->CleanUp(); }
int32_t SetGadgetColor(const Ref<TGadget>& g, int32_t r, int32_t gr, int32_t b, int32_t bg) {
    return bg ? g->SetColor(r, gr, b) : g->SetTextColor(r, gr, b);
}
int32_t SetGadgetTextColor(const Ref<TGadget>& g, int32_t r, int32_t gr, int32_t b) {
    return g->SetTextColor(r, gr, b);
}
int32_t SetGadgetAlpha(const Ref<TGadget>& g, double alpha) { return g->SetAlpha(alpha); }
int32_t SetGadgetPixmap(const Ref<TGadget>& g, const Ref<Object>& pixmap, int32_t flags) {
    return g->SetPixmap(pixmap, flags);
}
int32_t SetGadgetToolTip(const Ref<TGadget>& g, const String& tip) { return g->SetTooltip(tip); }
String GetGadgetToolTip(const Ref<TGadget>& g) { return g->GetTooltip(); }
int32_t SetGadgetFont(const Ref<TGadget>& g, const Ref<TGuiFont>& font) { return g->SetFont(font); }
int32_t SetGadgetHotKey(const Ref<TGadget>& g, int32_t key, int32_t mods) { return g->SetHotKey(key, mods); }
int32_t SetGadgetFilter(const Ref<TGadget>& g, GadgetEventFilter filter, const Ref<Object>& context) {
    return g->SetFilter(filter, context);
}
int32_t SetStatusText(const Ref<TGadget>& w, const String& text) { return w->SetStatus(text); }
Ref<TGadget> WindowMenu(const Ref<TGadget>& w) { return w->GetMenu(); }
int32_t UpdateWindowMenu(const Ref<TGadget>& w) { return w->UpdateMenu(); }
int32_t PopupWindowMenu(const Ref<TGadget>& w, const Ref<TGadget>& menu, const Ref<Object>& extra) {
    return w->PopupMenu(menu, extra);
}
int32_t ClearGadgetItems(const Ref<TGadget>& g) { return g->Clear(); }
int32_t InsertGadgetItem(const Ref<TGadget>& g, int32_t index, const String& text, int32_t flags, int32_t icon,
                         const String& tip, const Ref<Object>& extra) {
    return g->InsertItem(index, text, tip, icon, extra, flags);
}
int32_t ModifyGadgetItem(const Ref<TGadget>& g, int32_t index, const String& text, int32_t flags, int32_t icon,
                         const String& tip, const Ref<Object>& extra) {
    return g->SetItem(index, text, tip, icon, extra, flags);
}
int32_t CountGadgetItems(const Ref<TGadget>& g) { return g->ItemCount(); }
int32_t AddGadgetColumn(const Ref<TGadget>& g, const String& title, int32_t width, int32_t weight) {
    return g->AddColumn(title, width, weight);
}
int32_t CountGadgetColumns(const Ref<TGadget>& g) { return g->ColumnCount(); }
int32_t SetGadgetItemCell(const Ref<TGadget>& g, int32_t index, int32_t column, const String& text) {
    return g->SetItemCell(index, column, text);
}
String GadgetItemCell(const Ref<TGadget>& g, int32_t index, int32_t column) { return g->ItemCell(index, column); }
String GadgetItemText(const Ref<TGadget>& g, int32_t index) { return g->ItemText(index); }
int32_t GadgetItemIcon(const Ref<TGadget>& g, int32_t index) { return g->ItemIcon(index); }
Ref<Object> GadgetItemExtra(const Ref<TGadget>& g, int32_t index) { return g->ItemExtra(index); }
int32_t GadgetItemFlags(const Ref<TGadget>& g, int32_t index) { return g->ItemFlags(index); }
int32_t SelectGadgetItem(const Ref<TGadget>& g, int32_t index) { return g->SelectItem(index, 1); }
int32_t DeselectGadgetItem(const Ref<TGadget>& g, int32_t index) { return g->SelectItem(index, 0); }
int32_t ToggleGadgetItem(const Ref<TGadget>& g, int32_t index) { return g->SelectItem(index, 2); }
int32_t SelectedGadgetItem(const Ref<TGadget>& g) { return g->SelectedItem(); }
std::vector<int32_t> SelectedGadgetItems(const Ref<TGadget>& g) { return g->SelectedItems(); }
int32_t EnableGadgetItem(const Ref<TGadget>& g, int32_t index) {
    return g->SetItemState(index, g->ItemState(index) & ~GSTATE_DISABLED);
}
int32_t DisableGadgetItem(const Ref<TGadget>& g, int32_t index) {
    return g->SetItemState(index, g->ItemState(index) | GSTATE_DISABLED);
}
int32_t SetGadgetIconStrip(const Ref<TGadget>& g, const Ref<TIconStrip>& strip) { return g->SetIconStrip(strip); }
intptr_t QueryGadget(const Ref<TGadget>& g, int32_t which) { return g->Query(which); }
int32_t SetPointer(int32_t shape) { return GuiDriver->SetPointer(shape); }
int32_t RequestColor(int32_t r, int32_t g, int32_t b) {
    int32_t c = GuiDriver->RequestColor(r, g, b);
    if (c != 0) g_lastRequestedColor = c;
    return c;
}
int32_t RequestedRed() { return (g_lastRequestedColor >> 16) & 0xFF; }
int32_t RequestedGreen() { return (g_lastRequestedColor >> 8) & 0xFF; }
int32_t RequestedBlue() { return g_lastRequestedColor & 0xFF; }
Ref<TGuiFont> LoadGuiFont(const String& name, double size, int32_t style) {
    return GuiDriver->LoadFontWithDouble(name, size, style);
}
Ref<TGuiFont> LookupGuiFont(int32_t kind, double size, int32_t style) {
    return GuiDriver->LibraryFont(kind, size, style);
}

void InitGadgets() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    InitList();
    InitHooks();
    InitSystemDriver();
    // The registry, the mouse-button slots and the deferred list start empty.
    g_hotKeyHead = nullptr;
    for (Ref<TGadget>& slot : MouseDownGadgets) slot = nullptr;
    g_deferredGuiEvents = New<TList>();
    RecordModuleInit("gadget model, GUI driver interface, GUI toolkit functions");
}
