// The platform-neutral gadget model: the gadget tree, rectangles and layout
// locks, items with selection bookkeeping, the data source and the key
// filter. Everything native is a virtual hook with a neutral default that the
// GUI driver's gadget classes override.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/List.h"
#include "runtime/Object.h"
#include "runtime/String.h"

class TEvent;
class TGadget;
class TGuiFont;
class TIconStrip;

// Item flags.
constexpr int32_t ITEMFLAG_DEFAULT = 1;
constexpr int32_t ITEMFLAG_TOGGLE = 2;

// Item and gadget state bits.
constexpr int32_t GSTATE_MINIMIZED = 1;
constexpr int32_t GSTATE_MAXIMIZED = 2;
constexpr int32_t GSTATE_DISABLED = 4;
constexpr int32_t GSTATE_HIDDEN = 8;
constexpr int32_t GSTATE_SELECTED = 0x10;
constexpr int32_t GSTATE_INDETERMINATE = 0x50;

// Sensitivity bits.
constexpr int32_t SENSE_MOUSE = 1;
constexpr int32_t SENSE_KEYS = 2;

// Layout locks of one edge.
constexpr int32_t LOCK_CENTERED = 0;
constexpr int32_t LOCK_ALIGNED = 1;
constexpr int32_t LOCK_RELATIVE = 2;

// Key filter of text gadgets: 0 drops the key.
using GadgetEventFilter = int32_t (*)(const Ref<TEvent>& event, const Ref<Object>& context);

// Array holders, so that a data source can be a string or object array.
class TStringArray : public Object {
public:
    TStringArray() = default;
    explicit TStringArray(std::vector<String> v) : values(std::move(v)) {}
    std::vector<String> values;
};

class TObjectArray : public Object {
public:
    TObjectArray() = default;
    explicit TObjectArray(std::vector<Ref<Object>> v) : values(std::move(v)) {}
    std::vector<Ref<Object>> values;
};

class TGadgetItem : public Object {
public:
    virtual int32_t Set(const String& text, const String& tip, int32_t icon, const Ref<Object>& extra,
                        int32_t flags);

    String text;
    String tip;
    int32_t icon = 0;
    int32_t flags = 0;
    Ref<Object> extra;
    // Texts of the columns after the first (column 1 first); a missing one
    // is empty.
    std::vector<String> cells;
};

// A column of an item-bearing gadget: its header, its width in layout
// pixels and its share of the room the widths of all columns leave over.
struct TGadgetColumn {
    String title;
    int32_t width = 0;
    int32_t weight = 0;
};

class TGadget : public Object {
public:
    TGadget();

    virtual int32_t SetFilter(GadgetEventFilter filter, const Ref<Object>& context);
    virtual int32_t HasDescendant(const Ref<TGadget>& gadget);
    virtual int32_t _setparent(const Ref<TGadget>& p, int32_t index);
    virtual int32_t SelectionChanged();
    virtual Ref<TGadget> Handle();
    virtual int32_t GetXPos();
    virtual int32_t GetYPos();
    virtual int32_t GetWidth();
    virtual int32_t GetHeight();
    virtual int32_t SetShape(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual int32_t SetArea(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual int32_t SetRect(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual int32_t LockLayout();
    virtual int32_t SetLayout(int32_t l, int32_t r, int32_t t, int32_t b);
    virtual int32_t LayoutKids();
    virtual int32_t DoLayout();
    virtual int32_t SetDataSource(const Ref<Object>& source);
    static std::vector<String> KeysFromList(const Ref<TList>& list);
    static std::vector<String> KeysFromObjectArray(const std::vector<Ref<Object>>& array);
    virtual int32_t SyncDataSource();
    virtual int32_t SyncData(const std::vector<String>& keys);
    virtual int32_t InsertItemFromKey(int32_t index, const String& key);
    virtual int32_t Clear();
    virtual int32_t InsertItem(int32_t index, const String& text, const String& tip, int32_t icon,
                               const Ref<Object>& extra, int32_t flags);
    virtual int32_t SetItem(int32_t index, const String& text, const String& tip, int32_t icon,
                            const Ref<Object>& extra, int32_t flags);
    virtual int32_t RemoveItem(int32_t index);
    virtual int32_t ItemCount();
    virtual String ItemText(int32_t index);
    virtual String ItemTip(int32_t index);
    virtual int32_t ItemFlags(int32_t index);
    virtual int32_t ItemIcon(int32_t index);
    virtual Ref<Object> ItemExtra(int32_t index);
    virtual int32_t SetItemState(int32_t index, int32_t state);
    virtual int32_t ItemState(int32_t index);
    virtual int32_t SelectItem(int32_t index, int32_t op);
    virtual int32_t SelectedItem();
    virtual std::vector<int32_t> SelectedItems();
    // Columns: a gadget without any has one, without a header, showing the
    // item texts. The first column added names that one; each later one
    // comes after the last. Returns the new column's number.
    virtual int32_t AddColumn(const String& title, int32_t width, int32_t weight);
    // At least 1: the item text column is always there.
    virtual int32_t ColumnCount();
    // The text of one cell; column 0 is the item's text. Only that cell
    // changes, natively too: no row is rebuilt.
    virtual int32_t SetItemCell(int32_t index, int32_t column, const String& text);
    virtual String ItemCell(int32_t index, int32_t column);

    // Driver hooks from here on; the defaults do nothing.
    virtual int32_t Insert(const Ref<TGadget>& gadget, int32_t index);
    // Native handles: 1 the gadget's own window, 2 the window holding its kids.
    virtual intptr_t Query(int32_t which);
    virtual int32_t CleanUp();
    virtual int32_t Free();
    virtual int32_t Rethink();
    virtual int32_t ClientWidth();
    virtual int32_t ClientHeight();
    virtual int32_t Activate(int32_t command);
    virtual int32_t State();
    virtual int32_t SetText(const String& text);
    virtual String GetText();
    virtual int32_t SetFont(const Ref<TGuiFont>& font);
    virtual int32_t SetColor(int32_t r, int32_t g, int32_t b);
    virtual int32_t SetAlpha(double alpha);
    virtual int32_t SetTextColor(int32_t r, int32_t g, int32_t b);
    virtual int32_t SetTooltip(const String& text);
    virtual String GetTooltip();
    virtual int32_t SetPixmap(const Ref<Object>& pixmap, int32_t flags);
    virtual int32_t SetIconStrip(const Ref<TIconStrip>& strip);
    virtual int32_t SetShow(int32_t flag);
    virtual int32_t SetEnabled(int32_t flag);
    virtual int32_t SetSelected(int32_t state);
    virtual int32_t SetHotKey(int32_t key, int32_t mods);
    virtual int32_t SetSensitivity(int32_t bits);
    virtual int32_t GetSensitivity();
    virtual int32_t Class();
    virtual int32_t SetStatus(const String& text);
    virtual Ref<TGadget> GetMenu();
    virtual int32_t PopupMenu(const Ref<TGadget>& menu, const Ref<Object>& extra);
    virtual int32_t UpdateMenu();
    virtual int32_t SetMinimumSize(int32_t w, int32_t h);
    virtual int32_t SetMaximumSize(int32_t w, int32_t h);
    virtual int32_t ClearListItems();
    virtual int32_t InsertListItem(int32_t index, const String& text, const String& tip, int32_t icon,
                                   const Ref<Object>& extra);
    virtual int32_t SetListItem(int32_t index, const String& text, const String& tip, int32_t icon,
                                const Ref<Object>& extra);
    virtual int32_t RemoveListItem(int32_t index);
    virtual int32_t SetListItemState(int32_t index, int32_t state);
    virtual int32_t ListItemState(int32_t index);
    virtual int32_t InsertListColumn(int32_t column, const String& title, int32_t width, int32_t weight);
    virtual int32_t SetListCell(int32_t index, int32_t column, const String& text);
    virtual Ref<TGadget> RootNode();
    virtual Ref<TGadget> InsertNode(int32_t index, const String& text, int32_t icon);
    virtual int32_t ModifyNode(const Ref<TGadget>& node, const String& text, int32_t icon);
    virtual Ref<TGadget> SelectedNode();
    virtual int32_t CountKids();
    virtual int32_t ReplaceText(int32_t pos, int32_t length, const String& text, int32_t units);
    virtual int32_t AddText(const String& text);
    virtual String AreaText(int32_t pos, int32_t length, int32_t units);
    virtual int32_t AreaLen(int32_t units);
    virtual int32_t LockText();
    virtual int32_t UnlockText();
    virtual int32_t SetTabs(int32_t tabs);
    virtual int32_t GetCursorPos(int32_t units);
    virtual int32_t GetSelectionLength(int32_t units);
    virtual int32_t SetStyle(int32_t r, int32_t g, int32_t b, int32_t flags, int32_t pos, int32_t length,
                             int32_t units);
    virtual int32_t SetSelection(int32_t pos, int32_t length, int32_t units);
    virtual int32_t CharX(int32_t index);
    virtual int32_t CharY(int32_t index);
    virtual int32_t CharAt(int32_t line);
    virtual int32_t LineAt(int32_t index);
    virtual int32_t SetValue(int32_t value);
    virtual int32_t SetRange(int32_t visible, int32_t total);
    virtual int32_t SetProp(const String& key, const Ref<Object>& value);
    virtual Ref<Object> GetProp(const String& key);
    virtual Ref<Object> AttachGraphics(int32_t flags);
    virtual Ref<Object> CanvasGraphics();
    virtual String Run(const String& script);

    Ref<TGadget> source;
    Ref<TGadget> parent;
    Ref<TList> kids;
    int32_t xpos = 0, ypos = 0, width = 0, height = 0;
    String name;
    Ref<Object> extra;
    int32_t style = 0;
    int32_t sensitivity = 0;
    int32_t visible = 0;
    int32_t total = 1;
    int32_t lockl = LOCK_CENTERED, lockr = LOCK_CENTERED, lockt = LOCK_CENTERED, lockb = LOCK_CENTERED;
    int32_t lockx = 0, locky = 0, lockw = 0, lockh = 0;
    int32_t lockcw = 0, lockch = 0;
    GadgetEventFilter eventfilter = nullptr;  // unset
    Ref<Object> context;
    std::vector<Ref<TGadgetItem>> items;
    std::vector<TGadgetColumn> columns;
    std::vector<int32_t> arrPrevSelection;
    Ref<Object> datasource;
    std::vector<String> datakeys;

protected:
    // Raises an array-bounds error for an index outside 0 .. limit - 1.
    void CheckItemIndex(int32_t index, int32_t limit) const;
};

// Stands for another gadget: every operation goes to `proxy`, and the
// proxied gadget reports its events on behalf of the proxy.
class TProxyGadget : public TGadget {
public:
    virtual int32_t SetProxy(const Ref<TGadget>& gadget);
    virtual Ref<TGadget> GetProxy();

    int32_t HasDescendant(const Ref<TGadget>& gadget) override;
    int32_t SelectionChanged() override;
    int32_t GetXPos() override;
    int32_t GetYPos() override;
    int32_t GetWidth() override;
    int32_t GetHeight() override;
    int32_t SetShape(int32_t x, int32_t y, int32_t w, int32_t h) override;
    int32_t SetLayout(int32_t l, int32_t r, int32_t t, int32_t b) override;
    int32_t SetDataSource(const Ref<Object>& source) override;
    int32_t SyncDataSource() override;
    int32_t Clear() override;
    int32_t InsertItem(int32_t index, const String& text, const String& tip, int32_t icon,
                       const Ref<Object>& extra, int32_t flags) override;
    int32_t SetItem(int32_t index, const String& text, const String& tip, int32_t icon, const Ref<Object>& extra,
                    int32_t flags) override;
    int32_t RemoveItem(int32_t index) override;
    int32_t ItemCount() override;
    String ItemText(int32_t index) override;
    String ItemTip(int32_t index) override;
    int32_t ItemFlags(int32_t index) override;
    int32_t ItemIcon(int32_t index) override;
    Ref<Object> ItemExtra(int32_t index) override;
    int32_t SetItemState(int32_t index, int32_t state) override;
    int32_t ItemState(int32_t index) override;
    int32_t SelectItem(int32_t index, int32_t op) override;
    int32_t SelectedItem() override;
    std::vector<int32_t> SelectedItems() override;
    int32_t AddColumn(const String& title, int32_t width, int32_t weight) override;
    int32_t ColumnCount() override;
    int32_t SetItemCell(int32_t index, int32_t column, const String& text) override;
    String ItemCell(int32_t index, int32_t column) override;
    int32_t Insert(const Ref<TGadget>& gadget, int32_t index) override;
    intptr_t Query(int32_t which) override;
    int32_t CleanUp() override;
    int32_t Free() override;
    int32_t Rethink() override;
    int32_t ClientWidth() override;
    int32_t ClientHeight() override;
    int32_t Activate(int32_t command) override;
    int32_t State() override;
    int32_t SetText(const String& text) override;
    String GetText() override;
    int32_t SetFont(const Ref<TGuiFont>& font) override;
    int32_t SetColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetAlpha(double alpha) override;
    int32_t SetTextColor(int32_t r, int32_t g, int32_t b) override;
    int32_t SetTooltip(const String& text) override;
    String GetTooltip() override;
    int32_t SetPixmap(const Ref<Object>& pixmap, int32_t flags) override;
    int32_t SetIconStrip(const Ref<TIconStrip>& strip) override;
    int32_t SetShow(int32_t flag) override;
    int32_t SetEnabled(int32_t flag) override;
    int32_t SetSelected(int32_t state) override;
    int32_t SetHotKey(int32_t key, int32_t mods) override;
    int32_t SetSensitivity(int32_t bits) override;
    int32_t GetSensitivity() override;
    int32_t Class() override;
    int32_t SetStatus(const String& text) override;
    Ref<TGadget> GetMenu() override;
    int32_t PopupMenu(const Ref<TGadget>& menu, const Ref<Object>& extra) override;
    int32_t UpdateMenu() override;
    int32_t SetMinimumSize(int32_t w, int32_t h) override;
    int32_t SetMaximumSize(int32_t w, int32_t h) override;
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
    Ref<TGadget> RootNode() override;
    Ref<TGadget> InsertNode(int32_t index, const String& text, int32_t icon) override;
    int32_t ModifyNode(const Ref<TGadget>& node, const String& text, int32_t icon) override;
    Ref<TGadget> SelectedNode() override;
    int32_t CountKids() override;
    int32_t ReplaceText(int32_t pos, int32_t length, const String& text, int32_t units) override;
    int32_t AddText(const String& text) override;
    String AreaText(int32_t pos, int32_t length, int32_t units) override;
    int32_t AreaLen(int32_t units) override;
    int32_t LockText() override;
    int32_t UnlockText() override;
    int32_t SetTabs(int32_t tabs) override;
    int32_t GetCursorPos(int32_t units) override;
    int32_t GetSelectionLength(int32_t units) override;
    int32_t SetStyle(int32_t r, int32_t g, int32_t b, int32_t flags, int32_t pos, int32_t length,
                     int32_t units) override;
    int32_t SetSelection(int32_t pos, int32_t length, int32_t units) override;
    int32_t CharX(int32_t index) override;
    int32_t CharY(int32_t index) override;
    int32_t CharAt(int32_t line) override;
    int32_t LineAt(int32_t index) override;
    int32_t SetValue(int32_t value) override;
    int32_t SetRange(int32_t visible, int32_t total) override;
    int32_t SetProp(const String& key, const Ref<Object>& value) override;
    Ref<Object> GetProp(const String& key) override;
    Ref<Object> AttachGraphics(int32_t flags) override;
    Ref<Object> CanvasGraphics() override;
    String Run(const String& script) override;

    Ref<TGadget> proxy;
};

// The three-slot mouse-button array (left, right, middle) of gadgets that
// started a drag; CleanUp clears the slots of a freed gadget.
extern Ref<TGadget> MouseDownGadgets[3];
