// The driver interface without a native driver: hot keys, gadget event
// emission, fonts of the base driver, group resolution and window centring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "event/Event.h"
#include "event/Hook.h"
#include "gui/GuiDriver.h"
#include "runtime/Program.h"

namespace {

std::vector<Ref<TEvent>> Seen;

Ref<Object> Catch(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    if (Ref<TEvent> e = Cast<TEvent>(data)) Seen.push_back(e);
    return data;
}

class EmitTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitGadgets();
        Seen.clear();
        InsertHook(EventHookId, Catch, {}, 1000);
    }
    void TearDown() override {
        DropHook(EventHookId, Catch, {});
        Seen.clear();
    }
};

TEST_F(EmitTest, EventNamesTopOfSourceChain) {
    Ref<TGadget> inner = New<TGadget>(), mid = New<TGadget>(), top = New<TGadget>();
    inner->source = mid;
    mid->source = top;
    EmitGuiEvent(EventGadgetSelect, inner, 2, 1, 3, 4, String("e"));
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen[0]->id, EventGadgetSelect);
    EXPECT_EQ(Seen[0]->source, Ref<Object>(top));
    EXPECT_EQ(Seen[0]->data, 2);
    EXPECT_EQ(Seen[0]->mods, 1);
    EXPECT_EQ(Seen[0]->x, 3);
    EXPECT_EQ(Seen[0]->y, 4);
    EmitGuiEvent(EventAppResume, nullptr);
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_TRUE(Seen[1]->source.IsNull());
}

TEST_F(EmitTest, DeferredEventsWaitForFlushInOrder) {
    Ref<TGadget> g = New<TGadget>();
    DeferGuiEvent(EventGadgetAction, g, 1);
    DeferGuiEvent(EventGadgetAction, g, 2);
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(DeferredGuiEventCount(), 2);
    FlushGuiEvents();
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_EQ(Seen[0]->data, 1);
    EXPECT_EQ(Seen[1]->data, 2);
    EXPECT_EQ(DeferredGuiEventCount(), 0);
    FlushGuiEvents();
    EXPECT_EQ(Seen.size(), 2u);
}

TEST(HotKeyRegistry, OwnerMatchingReuseAndRemoval) {
    InitGadgets();
    Ref<THotKey> any = SetHotKeyEvent(65, 2, {}, 0);
    Ref<TEvent> ev = FindHotKeyEvent(65, 2, 1234);
    ASSERT_TRUE(ev);
    EXPECT_EQ(ev->id, EventHotkeyHit);
    EXPECT_EQ(ev->data, 65);
    EXPECT_EQ(ev->mods, 2);
    EXPECT_TRUE(FindHotKeyEvent(65, 0, 1234).IsNull());

    Ref<TEvent> mine = TEvent::Create(EventGadgetAction);
    Ref<THotKey> owned = SetHotKeyEvent(66, 0, mine, 77);
    EXPECT_EQ(FindHotKeyEvent(66, 0, 77), mine);
    EXPECT_TRUE(FindHotKeyEvent(66, 0, 78).IsNull());
    // same key, mods and owner: the record is reused with the new event
    Ref<TEvent> other = TEvent::Create(EventMenuAction);
    EXPECT_EQ(SetHotKeyEvent(66, 0, other, 77), owned);
    EXPECT_EQ(FindHotKeyEvent(66, 0, 77), other);
    RemoveHotKey(owned);
    EXPECT_TRUE(FindHotKeyEvent(66, 0, 77).IsNull());
    RemoveHotKey(any);
    EXPECT_TRUE(FindHotKeyEvent(65, 2, 0).IsNull());
    RemoveHotKey(nullptr);
}

// A driver whose fonts exist only by the names it was told about.
class FontDriver : public TGanvikDriver {
public:
    Ref<TGuiFont> LoadFont(const String& name, int32_t size, int32_t style) override {
        Ref<TGuiFont> f = New<TGuiFont>();
        f->name = (name == String("Consolas") && !haveConsolas) ? String("Arial") : name;
        f->size = size;
        f->style = style;
        return f;
    }
    Ref<TGadget> CreateGadget(int32_t cls, const String&, int32_t x, int32_t y, int32_t w, int32_t h,
                              const Ref<TGadget>& group, int32_t) override {
        Ref<TGadget> g = New<TGadget>();
        lastGroup = group;
        if (cls == KIND_DESKTOP) g->SetRect(0, 0, 1280, 1024);
        else g->SetRect(x, y, w, h);
        return g;
    }
    bool haveConsolas = false;
    Ref<TGadget> lastGroup;
};

TEST(DriverBase, LibraryFontFallsBackAndDefaultsSizes) {
    InitGadgets();
    Ref<FontDriver> d = New<FontDriver>();
    Ref<TGuiFont> f = d->LibraryFont(2, 0, 0);
    EXPECT_EQ(f->name, String("Courier New"));
    EXPECT_EQ(f->size, 10);
    d->haveConsolas = true;
    EXPECT_EQ(d->LibraryFont(2, 12.4, 1)->name, String("Consolas"));
    EXPECT_EQ(d->LibraryFont(4, -1, 0)->size, 11);
    EXPECT_EQ(d->LibraryFont(1, 0, 0)->size, 8);
    EXPECT_EQ(d->LibraryFont(9, 0, 0)->name, String("MS Shell Dlg"));
    EXPECT_EQ(d->LoadFontWithDouble("Arial", 9.5, 0)->size, 10);
    EXPECT_EQ(d->LoadFontWithDouble("Arial", 9.49, 0)->size, 9);
}

TEST(DriverBase, CentredWindowsAndProxyGroups) {
    InitGadgets();
    Ref<FontDriver> d = New<FontDriver>();
    Ref<TGanvikDriver> saved = GuiDriver;
    GuiDriver = d;
    Ref<TGadget> w = NewWindowGadget("t", 0, 0, 500, 401, {}, WINSTYLE_CENTER);
    EXPECT_EQ(w->xpos, 390);
    EXPECT_EQ(w->ypos, 311);
    Ref<TGadget> group = New<TGadget>();
    group->SetRect(100, 100, 301, 200);
    Ref<TGadget> c = NewWindowGadget("t", 0, 0, 100, 100, group, WINSTYLE_CENTER | WINSTYLE_TITLEBAR);
    EXPECT_EQ(c->xpos, 200);
    EXPECT_EQ(c->ypos, 150);
    Ref<TProxyGadget> proxy = New<TProxyGadget>();
    proxy->SetProxy(group);
    NewButtonGadget("b", 0, 0, 1, 1, proxy, 0);
    EXPECT_EQ(d->lastGroup, group);
    proxy->SetProxy(nullptr);
    GuiDriver = saved;
}

}  // namespace

namespace {

TEST(GuiInitialisers, RunAfterEventsAndSystemDriverInOrder) {
    InitGuiPlatform();
    const auto& order = ModuleInitOrder();
    auto at = [&](const char* name) {
        for (size_t i = 0; i < order.size(); ++i)
            if (std::string(order[i]) == name) return static_cast<int>(i);
        return -1;
    };
    int hooks = at("hooks, events"), driver = at("system driver");
    int gadgets = at("gadget model, GUI driver interface, GUI toolkit functions");
    int platform = at("GUI platform selection");
    ASSERT_GE(hooks, 0);
    ASSERT_GE(driver, 0);
    EXPECT_LT(hooks, driver);
    EXPECT_LT(driver, gadgets);
    EXPECT_LT(gadgets, platform);
#ifdef _WIN32
    int win32 = at("Win32 GUI driver");
    EXPECT_LT(gadgets, win32);
    EXPECT_LT(win32, platform);
    EXPECT_TRUE(GuiDriver);
#else
    EXPECT_EQ(at("Win32 GUI driver"), -1);
#endif
    EXPECT_EQ(at("event queue"), -1);  // the queue comes much later, from the application
}

}  // namespace
