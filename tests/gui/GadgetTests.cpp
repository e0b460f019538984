// The portable gadget model: tree, layout arithmetic, items and selection,
// the data source diff, clean-up and proxies.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "event/Event.h"
#include "gui/GuiDriver.h"
#include "runtime/Errors.h"

namespace {

// A container with a settable client area.
class TestParent : public TGadget {
public:
    int32_t ClientWidth() override { return cw; }
    int32_t ClientHeight() override { return ch; }
    int32_t cw = 100, ch = 100;
};

// An item-bearing gadget whose "native" side keeps the selection and logs
// the hook calls.
class TestList : public TGadget {
public:
    int32_t InsertListItem(int32_t index, const String& text, const String&, int32_t icon,
                           const Ref<Object>&) override {
        log += "ins" + std::to_string(index) + ":" + text.ToBytes8() + " ";
        lastIcon = icon;
        // Native states move with the rows.
        std::map<int32_t, int32_t> moved;
        for (auto [i, s] : states) moved[i >= index ? i + 1 : i] = s;
        states = moved;
        return 0;
    }
    int32_t SetListItem(int32_t index, const String&, const String&, int32_t icon, const Ref<Object>&) override {
        log += "set" + std::to_string(index) + " ";
        lastIcon = icon;
        return 0;
    }
    int32_t RemoveListItem(int32_t index) override {
        log += "rem" + std::to_string(index) + " ";
        std::map<int32_t, int32_t> moved;
        for (auto [i, s] : states)
            if (i != index) moved[i > index ? i - 1 : i] = s;
        states = moved;
        return 0;
    }
    int32_t ClearListItems() override {
        log += "clear ";
        states.clear();
        return 0;
    }
    int32_t SetListItemState(int32_t index, int32_t state) override {
        states[index] = state;
        return 0;
    }
    int32_t ListItemState(int32_t index) override { return states.count(index) ? states[index] : 0; }
    int32_t InsertListColumn(int32_t column, const String& title, int32_t width, int32_t weight) override {
        log += "col" + std::to_string(column) + ":" + title.ToBytes8() + "/" + std::to_string(width) + "/" +
               std::to_string(weight) + " ";
        return 0;
    }
    int32_t SetListCell(int32_t index, int32_t column, const String& text) override {
        log += "cell" + std::to_string(index) + "." + std::to_string(column) + ":" + text.ToBytes8() + " ";
        return 0;
    }

    std::string Texts() {
        std::string s;
        for (int32_t i = 0; i < ItemCount(); ++i) s += ItemText(i).ToBytes8() + (i + 1 < ItemCount() ? "," : "");
        return s;
    }

    std::map<int32_t, int32_t> states;
    std::string log;
    int32_t lastIcon = -99;
};

class GadgetTreeTest : public ::testing::Test {
protected:
    void SetUp() override { InitGadgets(); }
};

TEST_F(GadgetTreeTest, SetParentOrdersKidsAndMovesBetweenParents) {
    Ref<TGadget> p = New<TGadget>(), q = New<TGadget>();
    Ref<TGadget> a = New<TGadget>(), b = New<TGadget>(), c = New<TGadget>(), d = New<TGadget>();
    a->_setparent(p, -1);
    b->_setparent(p, -1);
    c->_setparent(p, 0);   // front
    d->_setparent(p, 1);   // before the kid now at 1
    std::vector<Ref<Object>> kids = p->kids->ToArray();
    ASSERT_EQ(kids.size(), 4u);
    EXPECT_EQ(kids[0], Ref<Object>(c));
    EXPECT_EQ(kids[1], Ref<Object>(d));
    EXPECT_EQ(kids[2], Ref<Object>(a));
    EXPECT_EQ(kids[3], Ref<Object>(b));
    a->_setparent(q, 99);  // out of range appends
    EXPECT_EQ(p->kids->Count(), 3);
    EXPECT_EQ(q->kids->First(), Ref<Object>(a));
    EXPECT_EQ(a->parent, q);
    EXPECT_EQ(p->HasDescendant(a), 0);
    EXPECT_EQ(q->HasDescendant(a), 1);
    p->CleanUp();
    q->CleanUp();
}

TEST_F(GadgetTreeTest, HasDescendantSearchesDeeplyAndSkipsForeignKids) {
    Ref<TGadget> root = New<TGadget>(), mid = New<TGadget>(), leaf = New<TGadget>(), other = New<TGadget>();
    mid->_setparent(root, -1);
    leaf->_setparent(mid, -1);
    root->kids->AddFirst(String("not a gadget"));
    EXPECT_EQ(root->HasDescendant(root), 1);
    EXPECT_EQ(root->HasDescendant(leaf), 1);
    EXPECT_EQ(root->HasDescendant(other), 0);
    EXPECT_EQ(leaf->HasDescendant(root), 0);
    root->CleanUp();
}

TEST_F(GadgetTreeTest, CleanUpReleasesWholeSubtree) {
    int64_t before = Object::LiveCount();
    {
        Ref<TGadget> root = New<TGadget>();
        Ref<TGadget> kid = New<TGadget>();
        kid->_setparent(root, -1);
        for (int i = 0; i < 3; ++i) {
            Ref<TGadget> g = New<TGadget>();
            g->_setparent(kid, -1);
            g->extra = New<TGadget>();
            g->SetFilter([](const Ref<TEvent>&, const Ref<Object>&) { return 1; }, g);
        }
        kid->InsertItem(0, "x", "", 0, kid, 0);  // an item that refers back
        MouseDownGadgets[1] = kid;
        root->CleanUp();
        EXPECT_TRUE(MouseDownGadgets[1].IsNull());
        EXPECT_TRUE(kid->parent.IsNull());
        EXPECT_EQ(kid->ItemCount(), 0);
        EXPECT_EQ(kid->eventfilter, nullptr);
    }
    EXPECT_EQ(Object::LiveCount(), before);
}

TEST_F(GadgetTreeTest, CleanUpOfAKidLeavesItsParent) {
    Ref<TGadget> root = New<TGadget>(), kid = New<TGadget>();
    kid->_setparent(root, -1);
    kid->CleanUp();
    EXPECT_EQ(root->kids->Count(), 0);
    EXPECT_EQ(root->HasDescendant(kid), 0);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitGadgets();
        parent = New<TestParent>();
        parent->cw = 200;
        parent->ch = 100;
        kid = New<TGadget>();
        kid->_setparent(parent, -1);
    }
    void TearDown() override { parent->CleanUp(); }
    void Relayout(int32_t cw, int32_t ch) {
        parent->cw = cw;
        parent->ch = ch;
        parent->LayoutKids();
    }
    Ref<TestParent> parent;
    Ref<TGadget> kid;
};

TEST_F(LayoutTest, SetRectClampsNegativeSizes) {
    kid->SetRect(5, 6, -3, -1);
    EXPECT_EQ(kid->width, 0);
    EXPECT_EQ(kid->height, 0);
    EXPECT_EQ(kid->xpos, 5);
}

TEST_F(LayoutTest, ShapeRecordsReferenceAndCentredKeepsSizeAndCentreFraction) {
    kid->SetShape(40, 10, 20, 30);
    EXPECT_EQ(kid->lockcw, 200);
    EXPECT_EQ(kid->lockch, 100);
    Relayout(400, 100);
    // centre 50 of 200 -> 100 of 400; width unchanged
    EXPECT_EQ(kid->xpos, 90);
    EXPECT_EQ(kid->width, 20);
    EXPECT_EQ(kid->ypos, 10);
    EXPECT_EQ(kid->height, 30);
    // the reference is untouched by layout
    EXPECT_EQ(kid->lockx, 40);
    EXPECT_EQ(kid->lockcw, 200);
}

TEST_F(LayoutTest, CentredUsesTruncatingIntegerArithmetic) {
    kid->SetShape(10, 0, 7, 5);  // lockw/2 = 3
    Relayout(333, 100);
    // 333 * (10 + 3) / 200 - 3 = 4329/200 - 3 = 21 - 3
    EXPECT_EQ(kid->xpos, 18);
    EXPECT_EQ(kid->width, 7);
}

TEST_F(LayoutTest, AlignedBothSidesStretchesWithParent) {
    kid->SetShape(10, 10, 50, 20);
    kid->SetLayout(LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED);
    Relayout(250, 130);
    EXPECT_EQ(kid->xpos, 10);
    EXPECT_EQ(kid->width, 100);
    EXPECT_EQ(kid->ypos, 10);
    EXPECT_EQ(kid->height, 50);
}

TEST_F(LayoutTest, OneAlignedEdgeKeepsSize) {
    kid->SetShape(10, 10, 50, 20);
    kid->SetLayout(LOCK_CENTERED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_CENTERED);
    Relayout(300, 50);
    // right edge follows the parent's right edge, left follows at fixed width
    EXPECT_EQ(kid->xpos + kid->width, 160);
    EXPECT_EQ(kid->width, 50);
    // top stays, bottom follows the size
    EXPECT_EQ(kid->ypos, 10);
    EXPECT_EQ(kid->height, 20);
}

TEST_F(LayoutTest, RelativeEdgesScale) {
    kid->SetShape(20, 10, 40, 20);
    kid->SetLayout(LOCK_RELATIVE, LOCK_RELATIVE, LOCK_RELATIVE, LOCK_ALIGNED);
    Relayout(300, 150);
    EXPECT_EQ(kid->xpos, 30);
    EXPECT_EQ(kid->width, 60);
    EXPECT_EQ(kid->ypos, 15);
    EXPECT_EQ(kid->ypos + kid->height, 80);  // 10 + 20 - 100 + 150
}

TEST_F(LayoutTest, RelativeLeftCentredRight) {
    kid->SetShape(20, 0, 40, 10);
    kid->SetLayout(LOCK_RELATIVE, LOCK_CENTERED, LOCK_ALIGNED, LOCK_ALIGNED);
    Relayout(100, 100);
    EXPECT_EQ(kid->xpos, 10);
    EXPECT_EQ(kid->width, 40);
}

TEST_F(LayoutTest, UnknownLockValueLeavesEdge) {
    kid->SetShape(20, 0, 40, 10);
    kid->SetLayout(7, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED);
    kid->xpos = 25;  // moved since the lock
    Relayout(300, 100);
    EXPECT_EQ(kid->xpos, 25);
    EXPECT_EQ(kid->xpos + kid->width, 160);
}

TEST_F(LayoutTest, ZeroClientSizeCountsAsOne) {
    parent->cw = 0;
    kid->SetShape(0, 0, 10, 10);
    EXPECT_EQ(kid->lockcw, 1);
    kid->SetLayout(LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED);
    Relayout(0, 100);
    EXPECT_EQ(kid->width, 10);
    Relayout(21, 100);  // grows by 20 over the reference of 1
    EXPECT_EQ(kid->width, 30);
}

TEST_F(LayoutTest, NeverLockedGadgetAndHugeValuesStayBounded) {
    // lockcw is 0 until the first lock: no division by zero
    kid->SetRect(0, 0, 10, 10);
    Relayout(500, 500);
    EXPECT_EQ(kid->width, 0);
    // 32-bit arithmetic would overflow here: the centre lands far beyond the
    // range and is clamped, the size stays what it was
    kid->SetShape(0x7FFFFF00, 0, 0x7FFFFFF, 10);
    Relayout(0x7FFFFFFF, 100);
    EXPECT_EQ(kid->xpos, INT32_MAX);
    EXPECT_EQ(kid->width, 0x7FFFFFF);
}

TEST_F(LayoutTest, WindowsAndOrphansAreNotLaidOut) {
    class Win : public TGadget {
    public:
        int32_t Class() override { return KIND_WINDOW; }
    };
    Ref<Win> w = New<Win>();
    w->_setparent(parent, -1);
    w->SetShape(10, 10, 10, 10);
    Relayout(1000, 1000);
    EXPECT_EQ(w->xpos, 10);
    Ref<TGadget> orphan = New<TGadget>();
    orphan->SetShape(3, 3, 3, 3);
    orphan->DoLayout();
    EXPECT_EQ(orphan->xpos, 3);
}

class ItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitGadgets();
        list = New<TestList>();
    }
    void TearDown() override { list->CleanUp(); }
    void Add(const char* text, int32_t flags = 0, int32_t icon = 0) {
        AppendGadgetItem(list, text, flags, icon, "tip", String(text));
    }
    Ref<TestList> list;
};

TEST_F(ItemTest, InsertAtFrontMovesItemsAndCallsHook) {
    Add("a");
    Add("b");
    list->log.clear();
    list->InsertItem(0, "z", "", 3, {}, 0);
    EXPECT_EQ(list->Texts(), "z,a,b");
    EXPECT_EQ(list->log, "ins0:z ");
    EXPECT_EQ(list->ItemIcon(0), 3);
    String extra;
    ASSERT_TRUE(String::FromObject(list->ItemExtra(2), extra));
    EXPECT_EQ(extra, String("b"));
    EXPECT_TRUE(list->ItemExtra(-1).IsNull());
}

TEST_F(ItemTest, AppendKeepsArgumentsAndSelectsOnlyWithDefaultFlag) {
    Add("a", 0, 0);
    EXPECT_EQ(list->ItemIcon(0), 0);
    EXPECT_EQ(list->ItemTip(0), String("tip"));
    EXPECT_EQ(list->SelectedItems().size(), 0u);
    Add("b", ITEMFLAG_DEFAULT);
    EXPECT_EQ(list->SelectedItem(), 1);
}

TEST_F(ItemTest, BadIndicesRaiseBeforeAnyChange) {
    Add("a");
    list->log.clear();
    EXPECT_THROW(list->RemoveItem(1), TArrayBoundsException);
    EXPECT_THROW(list->InsertItem(2, "x", "", 0, {}, 0), TArrayBoundsException);
    EXPECT_THROW(list->SetItem(-1, "x", "", 0, {}, 0), TArrayBoundsException);
    EXPECT_THROW(list->ItemText(5), TArrayBoundsException);
    EXPECT_THROW(list->SelectItem(3, 1), TArrayBoundsException);
    EXPECT_EQ(list->Texts(), "a");
    EXPECT_EQ(list->log, "");
}

TEST_F(ItemTest, ColumnsAndCellsChangeOneCellAndTravelWithTheirItem) {
    EXPECT_EQ(CountGadgetColumns(list), 1);  // the item texts, without a header
    EXPECT_THROW(SetGadgetItemCell(list, 0, 0, "x"), TArrayBoundsException);  // no item yet
    EXPECT_EQ(AddGadgetColumn(list, "Name", 100, 3), 0);
    EXPECT_EQ(AddGadgetColumn(list, "State", -5, -1), 1);  // negative sizes count as none
    EXPECT_EQ(CountGadgetColumns(list), 2);
    EXPECT_EQ(list->log, "col0:Name/100/3 col1:State/0/0 ");
    Add("a");
    Add("b");
    list->log.clear();
    SetGadgetItemCell(list, 1, 1, "failing");
    SetGadgetItemCell(list, 0, 0, "renamed");
    EXPECT_EQ(list->log, "cell1.1:failing cell0.0:renamed ");
    EXPECT_EQ(GadgetItemText(list, 0), String("renamed"));
    EXPECT_EQ(GadgetItemCell(list, 0, 1), String(""));
    // An inserted item moves the others' cells with them; SetItem keeps them.
    list->InsertItem(0, "new", "", 0, {}, 0);
    EXPECT_EQ(GadgetItemCell(list, 2, 1), String("failing"));
    ModifyGadgetItem(list, 2, "b2", 0, 0, "", {});
    EXPECT_EQ(GadgetItemCell(list, 2, 1), String("failing"));
    list->log.clear();
    EXPECT_THROW(SetGadgetItemCell(list, 0, 2, "x"), TArrayBoundsException);
    EXPECT_THROW(SetGadgetItemCell(list, 3, 1, "x"), TArrayBoundsException);
    EXPECT_THROW(GadgetItemCell(list, 0, -1), TArrayBoundsException);
    EXPECT_EQ(list->log, "");
}

TEST_F(ItemTest, SelectionQueries) {
    for (const char* t : {"a", "b", "c", "d"}) Add(t);
    EXPECT_EQ(list->SelectedItem(), -1);
    list->SelectItem(1, 1);
    list->SelectItem(3, 1);
    EXPECT_EQ(list->SelectedItems(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(list->SelectedItem(), -1);
    list->SelectItem(-1, 0);
    EXPECT_TRUE(list->SelectedItems().empty());
    list->SelectItem(2, 2);
    list->SelectItem(2, 2);
    EXPECT_EQ(list->ItemState(2), 0);
    list->SelectItem(2, 2);
    EXPECT_EQ(list->SelectedItem(), 2);
}

TEST_F(ItemTest, ToggleItemShowsNextIconWhileSelected) {
    Add("t", ITEMFLAG_TOGGLE, 4);
    list->SelectItem(0, 2);
    EXPECT_EQ(list->lastIcon, 5);
    list->SelectItem(0, 2);
    EXPECT_EQ(list->lastIcon, 4);
    EXPECT_EQ(list->ItemIcon(0), 4);  // the stored icon never changes
    Add("n", ITEMFLAG_TOGGLE, -1);     // no icon: no native update
    list->log.clear();
    list->SelectItem(1, 1);
    EXPECT_EQ(list->log, "");
}

TEST_F(ItemTest, SelectionChangedReportsLowestChange) {
    for (const char* t : {"a", "b", "c", "d", "e"}) Add(t);
    list->SelectItem(3, 1);
    EXPECT_EQ(list->SelectionChanged(), 3);
    list->SelectItem(1, 1);
    EXPECT_EQ(list->SelectionChanged(), 1);
    EXPECT_EQ(list->SelectionChanged(), -1);
    list->SelectItem(3, 0);
    EXPECT_EQ(list->SelectionChanged(), 3);  // {1,3} -> {1}: tail of old
    list->SelectItem(1, 0);
    list->SelectItem(4, 1);
    EXPECT_EQ(list->SelectionChanged(), 1);
}

TEST_F(ItemTest, ClearEmptiesItemsButKeepsPreviousSelection) {
    Add("a", ITEMFLAG_DEFAULT);
    list->SelectionChanged();
    list->Clear();
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(list->arrPrevSelection, (std::vector<int32_t>{0}));
    EXPECT_EQ(list->SelectionChanged(), 0);
}

class DataSourceTest : public ItemTest {
protected:
    Ref<TStringArray> Keys(std::vector<String> k) { return New<TStringArray>(std::move(k)); }
};

TEST_F(DataSourceTest, RemovesOnlyTheDroppedKeyWhenTheRunIsLonger) {
    list->SetDataSource(Keys({"k1", "k2", "k3", "k4"}));
    EXPECT_EQ(list->Texts(), "k1,k2,k3,k4");
    list->log.clear();
    list->SyncData({"k1", "k3", "k4"});
    EXPECT_EQ(list->Texts(), "k1,k3,k4");
    EXPECT_EQ(list->log, "rem1 ");
}

TEST_F(DataSourceTest, ShortRunInsertsThenTrims) {
    list->SetDataSource(Keys({"k1", "k2", "k3"}));
    list->log.clear();
    list->SyncData({"k1", "k3"});
    EXPECT_EQ(list->Texts(), "k1,k3");
    EXPECT_EQ(list->log, "ins1:k3 rem2 rem2 ");
}

TEST_F(DataSourceTest, SourcesOfEachKindAndEmptying) {
    Ref<TList> src = New<TList>();
    src->AddLast(String("a"));
    src->AddLast(Ref<Object>());
    src->AddLast(String("b"));
    EXPECT_EQ(TGadget::KeysFromList(src), (std::vector<String>{"a", "b", ""}));
    list->SetDataSource(New<TObjectArray>(std::vector<Ref<Object>>{String("x"), String("y")}));
    EXPECT_EQ(list->Texts(), "x,y");
    // items made from keys carry the data source as extra
    EXPECT_TRUE(list->ItemExtra(0).Get() == list->datasource.Get());
    list->datasource = Keys({"y", "z"});
    EXPECT_EQ(list->SyncDataSource(), 0);
    EXPECT_EQ(list->Texts(), "y,z");
    list->datasource = Keys({});
    EXPECT_EQ(list->SyncDataSource(), 1);
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_EQ(list->SyncDataSource(), 0);
    list->datasource = nullptr;
}

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override { InitGadgets(); }
};

TEST_F(ProxyTest, ForwardsAndTakesOverSource) {
    Ref<TestList> inner = New<TestList>();
    Ref<TProxyGadget> proxy = New<TProxyGadget>();
    proxy->SetProxy(inner);
    EXPECT_EQ(inner->source, Ref<TGadget>(proxy));
    AppendGadgetItem(proxy, "a", ITEMFLAG_DEFAULT, 0, "", {});
    EXPECT_EQ(inner->ItemCount(), 1);
    EXPECT_EQ(proxy->SelectedItem(), 0);
    proxy->SetShape(1, 2, 3, 4);
    EXPECT_EQ(GadgetWidth(proxy), 3);
    EXPECT_EQ(inner->xpos, 1);
    // nested proxies resolve to the innermost gadget
    Ref<TProxyGadget> outer = New<TProxyGadget>();
    outer->SetProxy(proxy);
    EXPECT_EQ(ResolveGroup(outer), Ref<TGadget>(inner));
    // replacing the proxy gives the old one its own source back
    Ref<TGadget> other = New<TGadget>();
    proxy->SetProxy(other);
    EXPECT_TRUE(inner->source.IsNull());
    EXPECT_EQ(other->source, Ref<TGadget>(proxy));
    outer->SetProxy(nullptr);
    proxy->SetProxy(nullptr);
    inner->CleanUp();
    EXPECT_THROW(proxy->ItemCount(), TNullObjectException);
}

}  // namespace
