// The GUI driver interface and the gadget API: class numbers, style flags and
// Activate commands, the current driver, the creation and forwarding free
// functions, the hot-key registry and gadget event emission.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/Gadget.h"
#include "runtime/Object.h"
#include "runtime/String.h"

class TEvent;

// Gadget classes.
constexpr int32_t KIND_DESKTOP = 0;
constexpr int32_t KIND_WINDOW = 1;
constexpr int32_t KIND_BUTTON = 2;
constexpr int32_t KIND_PANEL = 3;
constexpr int32_t KIND_TEXTFIELD = 4;
constexpr int32_t KIND_TEXTAREA = 5;
constexpr int32_t KIND_COMBOBOX = 6;
constexpr int32_t KIND_LISTBOX = 7;
constexpr int32_t KIND_TOOLBAR = 8;
constexpr int32_t KIND_TABBER = 9;
constexpr int32_t KIND_TREEVIEW = 10;
constexpr int32_t KIND_HTMLVIEW = 11;
constexpr int32_t KIND_LABEL = 12;
constexpr int32_t KIND_SLIDER = 13;
constexpr int32_t KIND_PROGBAR = 14;
constexpr int32_t KIND_MENUITEM = 15;
constexpr int32_t KIND_NODE = 16;
constexpr int32_t KIND_CANVAS = 17;

// Window styles.
constexpr int32_t WINSTYLE_TITLEBAR = 1;
constexpr int32_t WINSTYLE_RESIZABLE = 2;
constexpr int32_t WINSTYLE_MENU = 4;
constexpr int32_t WINSTYLE_STATUS = 8;
constexpr int32_t WINSTYLE_TOOL = 0x10;
constexpr int32_t WINSTYLE_CLIENTCOORDS = 0x20;
constexpr int32_t WINSTYLE_HIDDEN = 0x40;
constexpr int32_t WINSTYLE_ACCEPTFILES = 0x80;
constexpr int32_t WINSTYLE_CENTER = 0x200;

// Button styles (low three bits) and the push-like flag.
constexpr int32_t BTNSTYLE_PUSH = 0;
constexpr int32_t BTNSTYLE_CHECKBOX = 2;
constexpr int32_t BTNSTYLE_RADIO = 3;
constexpr int32_t BTNSTYLE_OK = 4;
constexpr int32_t BTNSTYLE_CANCEL = 5;
constexpr int32_t BTNSTYLE_PUSHLIKE = 8;

constexpr int32_t FIELDSTYLE_PASSWORD = 1;
constexpr int32_t LISTSTYLE_MULTISELECT = 1;

// Label frames (low three bits) and alignment (bits 3-4).
constexpr int32_t LBLSTYLE_FRAME = 1;
constexpr int32_t LBLSTYLE_SUNKENFRAME = 2;
constexpr int32_t LBLSTYLE_SEPARATOR = 3;
constexpr int32_t LBLSTYLE_LEFT = 0;
constexpr int32_t LBLSTYLE_RIGHT = 8;
constexpr int32_t LBLSTYLE_CENTER = 0x10;

// Activate commands.
constexpr int32_t ACT_FOCUS = 0;
constexpr int32_t ACT_CUT = 1;
constexpr int32_t ACT_COPY = 2;
constexpr int32_t ACT_PASTE = 3;
constexpr int32_t ACT_MINIMIZE = 4;
constexpr int32_t ACT_MAXIMIZE = 5;
constexpr int32_t ACT_RESTORE = 6;
constexpr int32_t ACT_SELECT = 7;
constexpr int32_t ACT_EXPAND = 8;
constexpr int32_t ACT_COLLAPSE = 9;
constexpr int32_t ACT_BACK = 10;
constexpr int32_t ACT_FORWARD = 11;
constexpr int32_t ACT_PRINT = 12;
constexpr int32_t ACT_REDRAW = 13;

class TGuiFont : public Object {
public:
    String name;
    String path;
    int32_t style = 0;
    double size = 0;
    intptr_t handle = 0;  // native font handle
};

class TIconStrip : public Object {
public:
    // The null object for index >= count, the whole pixel map for a negative
    // index; slicing a pixel map needs the graphics module, which this
    // system does not have, so a valid index also gives the whole map.
    virtual Ref<Object> ExtractIconPixmap(int32_t index);

    Ref<Object> pixmap;
    int32_t count = 0;
};

class TGanvikDriver : public Object {
public:
    virtual Ref<TGuiFont> LoadFont(const String& name, int32_t size, int32_t style);
    virtual Ref<TGadget> CreateGadget(int32_t cls, const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                                      const Ref<TGadget>& group, int32_t style);
    virtual Ref<TGadget> ActiveGadget();
    virtual int32_t RequestColor(int32_t r, int32_t g, int32_t b);
    virtual Ref<TGuiFont> RequestFont(const Ref<TGuiFont>& font);
    virtual int32_t SetPointer(int32_t shape);
    virtual Ref<TIconStrip> LoadIconStrip(const Ref<Object>& source);
    virtual Ref<TGuiFont> LibraryFont(int32_t kind, double size, int32_t style);
    virtual Ref<TGuiFont> LoadFontWithDouble(const String& name, double size, int32_t style);
};

// The current driver; the null object until a platform driver is initialised.
extern Ref<TGanvikDriver> GuiDriver;

// ---- hot-key registry ----

class THotKey : public Object {
public:
    Ref<THotKey> succ;
    int32_t key = 0;
    int32_t mods = 0;  // 1 shift, 2 control, 4 alt, 8 Windows key
    Ref<TEvent> event;
    intptr_t owner = 0;  // native handle of the owning top-level window, 0 = any
};

Ref<THotKey> SetHotKeyEvent(int32_t key, int32_t mods, const Ref<TEvent>& event, intptr_t owner);
void RemoveHotKey(const Ref<THotKey>& record);
Ref<TEvent> FindHotKeyEvent(int32_t key, int32_t mods, intptr_t owner);

// ---- event emission ----

// Names the top of the source chain and emits at once.
void EmitGuiEvent(int32_t id, const Ref<TGadget>& source, int32_t data = 0, int32_t mods = 0, int32_t x = 0,
                  int32_t y = 0, const Ref<Object>& extra = {});
// The same event, kept for FlushGuiEvents instead.
void DeferGuiEvent(int32_t id, const Ref<TGadget>& source, int32_t data = 0, int32_t mods = 0, int32_t x = 0,
                   int32_t y = 0, const Ref<Object>& extra = {});
void FlushGuiEvents();
int32_t DeferredGuiEventCount();

// ---- creation ----

Ref<TGadget> ResolveGroup(const Ref<TGadget>& group);
Ref<TGadget> NewDesktopGadget();
Ref<TGadget> NewWindowGadget(const String& title, int32_t x, int32_t y, int32_t w, int32_t h,
                             const Ref<TGadget>& group, int32_t style);
Ref<TGadget> NewButtonGadget(const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                             const Ref<TGadget>& group, int32_t style);
Ref<TGadget> NewLabelGadget(const String& text, int32_t x, int32_t y, int32_t w, int32_t h,
                            const Ref<TGadget>& group, int32_t style);
Ref<TGadget> NewTextFieldGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                                int32_t style);
Ref<TGadget> NewListBoxGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                              int32_t style);
Ref<TGadget> NewPanelGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                            int32_t style, const String& text);
Ref<TGadget> NewTextAreaGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                               int32_t style);
Ref<TGadget> NewComboBoxGadget(int32_t x, int32_t y, int32_t w, int32_t h, const Ref<TGadget>& group,
                               int32_t style);
Ref<TGadget> NewMenuGadget(const String& text, int32_t tag, const Ref<TGadget>& parent, int32_t key,
                           int32_t mods);

// ---- forwarding ----

int32_t CommandGadget(const Ref<TGadget>& gadget);
int32_t PutGadgetText(const Ref<TGadget>& gadget, const String& text);
String GetGadgetText(const Ref<TGadget>& gadget);
int32_t LimitWindowMinimum(const Ref<TGadget>& window, int32_t w, int32_t h);
int32_t LimitWindowMaximum(const Ref<TGadget>& window, int32_t w, int32_t h);
int32_t AppendGadgetItem(const Ref<TGadget>& gadget, const String& text, int32_t flags, int32_t icon,
                         const String& tip, const Ref<Object>& extra);
int32_t DeleteGadgetItem(const Ref<TGadget>& gadget, int32_t index);

int32_t ShowGadget(const Ref<TGadget>& gadget);
int32_t HideGadget(const Ref<TGadget>& gadget);
int32_t EnableGadget(const Ref<TGadget>& gadget);
int32_t DisableGadget(const Ref<TGadget>& gadget);
int32_t GadgetHidden(const Ref<TGadget>& gadget);
int32_t GadgetDisabled(const Ref<TGadget>& gadget);
int32_t GadgetEnabled(const Ref<TGadget>& gadget);
int32_t WindowMinimized(const Ref<TGadget>& gadget);
int32_t WindowMaximized(const Ref<TGadget>& gadget);
// -1 for the third state, 1 checked, 0 unchecked.
int32_t ButtonState(const Ref<TGadget>& gadget);
int32_t SetButtonState(const Ref<TGadget>& gadget, int32_t state);
int32_t ActivateGadget(const Ref<TGadget>& gadget, int32_t command);
Ref<TGadget> ActiveGadget();
int32_t SetGadgetShape(const Ref<TGadget>& gadget, int32_t x, int32_t y, int32_t w, int32_t h);
int32_t SetGadgetLayout(const Ref<TGadget>& gadget, int32_t l, int32_t r, int32_t t, int32_t b);
int32_t SetGadgetSensitivity(const Ref<TGadget>& gadget, int32_t bits);
int32_t GadgetSensitivity(const Ref<TGadget>& gadget);
int32_t ClientWidth(const Ref<TGadget>& gadget);
int32_t ClientHeight(const Ref<TGadget>& gadget);
int32_t GadgetX(const Ref<TGadget>& gadget);
int32_t GadgetY(const Ref<TGadget>& gadget);
int32_t GadgetWidth(const Ref<TGadget>& gadget);
int32_t GadgetHeight(const Ref<TGadget>& gadget);
int32_t GadgetClass(const Ref<TGadget>& gadget);
int32_t FreeGadget(const Ref<TGadget>& gadget);
// bg non-zero: background colour, else text colour.
int32_t SetGadgetColor(const Ref<TGadget>& gadget, int32_t r, int32_t g, int32_t b, int32_t bg = 1);
int32_t SetGadgetTextColor(const Ref<TGadget>& gadget, int32_t r, int32_t g, int32_t b);
int32_t SetGadgetAlpha(const Ref<TGadget>& gadget, double alpha);
int32_t SetGadgetPixmap(const Ref<TGadget>& gadget, const Ref<Object>& pixmap, int32_t flags);
int32_t SetGadgetToolTip(const Ref<TGadget>& gadget, const String& tip);
String GetGadgetToolTip(const Ref<TGadget>& gadget);
int32_t SetGadgetFont(const Ref<TGadget>& gadget, const Ref<TGuiFont>& font);
int32_t SetGadgetHotKey(const Ref<TGadget>& gadget, int32_t key, int32_t mods);
int32_t SetGadgetFilter(const Ref<TGadget>& gadget, GadgetEventFilter filter, const Ref<Object>& context);
int32_t SetStatusText(const Ref<TGadget>& window, const String& text);
Ref<TGadget> WindowMenu(const Ref<TGadget>& window);
int32_t UpdateWindowMenu(const Ref<TGadget>& window);
int32_t PopupWindowMenu(const Ref<TGadget>& window, const Ref<TGadget>& menu, const Ref<Object>& extra);
int32_t ClearGadgetItems(const Ref<TGadget>& gadget);
int32_t InsertGadgetItem(const Ref<TGadget>& gadget, int32_t index, const String& text, int32_t flags,
                         int32_t icon, const String& tip, const Ref<Object>& extra);
int32_t ModifyGadgetItem(const Ref<TGadget>& gadget, int32_t index, const String& text, int32_t flags,
                         int32_t icon, const String& tip, const Ref<Object>& extra);
int32_t CountGadgetItems(const Ref<TGadget>& gadget);
// Columns with headers: width in layout pixels, weight the share of the room
// left over (0: none). The first column added is the item text column.
int32_t AddGadgetColumn(const Ref<TGadget>& gadget, const String& title, int32_t width, int32_t weight);
int32_t CountGadgetColumns(const Ref<TGadget>& gadget);
int32_t SetGadgetItemCell(const Ref<TGadget>& gadget, int32_t index, int32_t column, const String& text);
String GadgetItemCell(const Ref<TGadget>& gadget, int32_t index, int32_t column);
String GadgetItemText(const Ref<TGadget>& gadget, int32_t index);
int32_t GadgetItemIcon(const Ref<TGadget>& gadget, int32_t index);
Ref<Object> GadgetItemExtra(const Ref<TGadget>& gadget, int32_t index);
int32_t GadgetItemFlags(const Ref<TGadget>& gadget, int32_t index);
int32_t SelectGadgetItem(const Ref<TGadget>& gadget, int32_t index);
int32_t DeselectGadgetItem(const Ref<TGadget>& gadget, int32_t index);
int32_t ToggleGadgetItem(const Ref<TGadget>& gadget, int32_t index);
int32_t SelectedGadgetItem(const Ref<TGadget>& gadget);
std::vector<int32_t> SelectedGadgetItems(const Ref<TGadget>& gadget);
int32_t EnableGadgetItem(const Ref<TGadget>& gadget, int32_t index);
int32_t DisableGadgetItem(const Ref<TGadget>& gadget, int32_t index);
int32_t SetGadgetIconStrip(const Ref<TGadget>& gadget, const Ref<TIconStrip>& strip);
intptr_t QueryGadget(const Ref<TGadget>& gadget, int32_t which);
int32_t SetPointer(int32_t shape);
// Colour chooser; the channel accessors read the last non-zero answer.
int32_t RequestColor(int32_t r, int32_t g, int32_t b);
int32_t RequestedRed();
int32_t RequestedGreen();
int32_t RequestedBlue();
Ref<TGuiFont> LoadGuiFont(const String& name, double size, int32_t style);
Ref<TGuiFont> LookupGuiFont(int32_t kind, double size, int32_t style);

// Initialiser of the gadget model, the driver interface and the toolkit
// functions.
void InitGadgets();
// Initialiser of the GUI platform selection: the Win32 driver on Windows,
// nothing more elsewhere.
void InitGuiPlatform();
// Initialiser of the Win32 GUI driver (Windows builds only).
void InitWin32Gui();
