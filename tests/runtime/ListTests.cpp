#include <gtest/gtest.h>

#include <algorithm>

#include "TestPrinters.h"
#include "runtime/Errors.h"
#include "runtime/List.h"

namespace {

// An element with a key to sort by and a tag to check stability.
struct Item : Object {
    Item(int key, int tag) : key(key), tag(tag) {}
    int key, tag;
};

int32_t ByKey(const Ref<Object>& a, const Ref<Object>& b) { return Cast<Item>(a)->key - Cast<Item>(b)->key; }

std::string Texts(const Ref<TList>& list) {
    std::string out;
    for (Ref<Object> o : *list) {
        String s;
        out += String::FromObject(o, s) ? s.ToBytes8() : std::string("_");
    }
    return out;
}

Ref<TList> ListOf(const char* letters) {
    Ref<TList> list = New<TList>();
    for (const char* p = letters; *p; ++p) list->AddLast(String::FromBytes8(p, 1));
    return list;
}

}  // namespace

TEST(List, NewListIsEmpty) {
    Ref<TList> list = New<TList>();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_TRUE(list->IsEmpty());
    EXPECT_TRUE(list->First().IsNull());
    EXPECT_TRUE(list->RemoveLast().IsNull());
    EXPECT_TRUE(list->FirstLink().IsNull());
    EXPECT_FALSE(list->ObjectEnumerator()->HasNext());
}

TEST(List, AddReverseAndReversed) {
    Ref<TList> list = New<TList>();
    list->AddFirst(String("A"));
    list->AddLast(String("B"));
    EXPECT_EQ(Texts(list), "AB");
    Ref<TList> reversed = list->Reversed();
    EXPECT_EQ(Texts(reversed), "BA");
    EXPECT_EQ(Texts(list), "AB");
    list->Reverse();
    EXPECT_EQ(Texts(list), "BA");
    EXPECT_EQ(Texts(list->Copy()), "BA");
    list->AddLast(String("C"));  // still a well-formed ring after reversing
    EXPECT_EQ(Texts(list), "BAC");
    EXPECT_EQ(list->LastLink()->PrevLink()->Value()->ToString(), String("A"));
}

TEST(List, LinksAtTheEndsHaveNoNeighbours) {
    Ref<TList> list = ListOf("xyz");
    EXPECT_TRUE(list->LastLink()->NextLink().IsNull());
    EXPECT_TRUE(list->FirstLink()->PrevLink().IsNull());
    EXPECT_EQ(list->FirstLink()->NextLink()->Value()->ToString(), String("y"));
}

TEST(List, RemoveTakesTheFirstEqualElement) {
    Ref<TList> list = ListOf("abab");
    EXPECT_TRUE(list->Contains(String("b")));
    EXPECT_EQ(list->Remove(String("b")), 1);
    EXPECT_EQ(Texts(list), "aab");
    EXPECT_EQ(list->Remove(String("q")), 0);
    EXPECT_EQ(list->RemoveFirst()->ToString(), String("a"));
    EXPECT_EQ(list->RemoveLast()->ToString(), String("b"));
    EXPECT_EQ(Texts(list), "a");
}

TEST(List, ValueAtIndexChecksItsRange) {
    Ref<TList> list = ListOf("abc");
    EXPECT_EQ(list->ValueAtIndex(2)->ToString(), String("c"));
    for (int32_t bad : {-1, 3}) {
        try {
            list->ValueAtIndex(bad);
            ADD_FAILURE() << bad;
        } catch (const TRuntimeException& e) {
            EXPECT_EQ(e.error, String("List index out of range"));
        }
    }
}

TEST(ListEnumeration, RemovingTheReturnedElementVisitsEachOnce) {
    Ref<TList> list = ListOf("abcde");
    std::string seen;
    Ref<TListEnum> e = list->ObjectEnumerator();
    while (e->HasNext()) {
        Ref<Object> o = e->NextObject();
        seen += o->ToString().ToBytes8();
        list->Remove(o);
    }
    EXPECT_EQ(seen, "abcde");
    EXPECT_TRUE(list->IsEmpty());
}

TEST(ListEnumeration, RemovalAheadIsSkippedOrSeenAsNull) {
    auto rest = [](const Ref<TListEnum>& e) {
        std::string out;
        while (e->HasNext()) {
            Ref<Object> o = e->NextObject();
            out += o ? o->ToString().ToBytes8() : "_";
        }
        return out;
    };
    Ref<TList> list = ListOf("abcd");
    Ref<TListEnum> e = list->ObjectEnumerator();
    e->NextObject();            // a; the enumerator now holds b's link
    list->Remove(String("b"));  // already reached: comes out as the null object
    EXPECT_EQ(rest(e), "_cd");

    list = ListOf("abcd");
    e = list->ObjectEnumerator();
    e->NextObject();
    list->Remove(String("c"));  // not reached yet: skipped
    EXPECT_EQ(rest(e), "bd");
}

TEST(ListEnumeration, ElementsAddedAtTheEndAreReached) {
    Ref<TList> list = ListOf("ab");
    std::string seen;
    for (Ref<Object> o : *list) {
        std::string s = o->ToString().ToBytes8();
        seen += s;
        if (s == "a") list->AddLast(String("z"));
    }
    EXPECT_EQ(seen, "abz");
}

TEST(ListSort, StableBothWays) {
    Ref<TList> list = New<TList>();
    int keys[] = {3, 1, 2, 1, 3, 2, 1, 0, 3};
    for (int i = 0; i < 9; ++i) list->AddLast(New<Item>(keys[i], i));
    list->Sort(true, ByKey);
    std::vector<std::pair<int, int>> got;
    for (Ref<Object> o : *list) got.emplace_back(Cast<Item>(o)->key, Cast<Item>(o)->tag);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 7}, {1, 1}, {1, 3}, {1, 6}, {2, 2}, {2, 5}, {3, 0}, {3, 4}, {3, 8}}));
    list->Sort(false, ByKey);
    got.clear();
    for (Ref<Object> o : *list) got.emplace_back(Cast<Item>(o)->key, Cast<Item>(o)->tag);
    // Descending keeps equal keys in the order they had.
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{3, 0}, {3, 4}, {3, 8}, {2, 2}, {2, 5}, {1, 1}, {1, 3}, {1, 6}, {0, 7}}));
    EXPECT_EQ(list->LastLink()->PrevLink()->Value(), list->ValueAtIndex(7));  // back links rebuilt
}

TEST(ListSort, ManySizesWithTheDefaultComparison) {
    for (int n : {0, 1, 2, 3, 7, 64, 1000}) {
        Ref<TList> list = New<TList>();
        uint32_t seed = 12345u + n;
        for (int i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            list->AddLast(FormatInt(static_cast<int32_t>(seed >> 20) % 1000 + 1000));
        }
        list->Sort();
        EXPECT_EQ(list->Count(), n);
        String previous("");
        for (Ref<Object> o : *list) {
            String s = o->ToString();
            EXPECT_LE(previous.Compare(s), 0);
            previous = s;
        }
    }
}

namespace {
int g_compares = 0;
int g_failAt = 0;
int32_t FailingByKey(const Ref<Object>& a, const Ref<Object>& b) {
    if (++g_compares == g_failAt) RaiseText("compare failed");
    return ByKey(a, b);
}
}  // namespace

TEST(ListSort, ACompareThatRaisesLeavesTheListWholeAndLeaksNothing) {
    // Twelve reversed keys take 20 comparisons: fail in every pass.
    for (int failAt : {1, 2, 7, 13, 20}) {
        int64_t before = Object::LiveCount();
        {
            Ref<TList> list = New<TList>();
            for (int i = 0; i < 12; ++i) list->AddLast(New<Item>(12 - i, i));
            g_compares = 0;
            g_failAt = failAt;
            EXPECT_THROW(list->Sort(true, FailingByKey), String) << failAt;
            std::vector<int> forward, backward;
            for (Ref<TLink> l = list->FirstLink(); l && forward.size() < 50; l = l->NextLink())
                forward.push_back(Cast<Item>(l->Value())->tag);
            for (Ref<TLink> l = list->LastLink(); l && backward.size() < 50; l = l->PrevLink())
                backward.push_back(Cast<Item>(l->Value())->tag);
            if (forward.size() == 50 || backward.size() == 50) {
                ADD_FAILURE() << "the ring never reaches its sentinel, fail at " << failAt;
                list.Detach();  // leak it: clearing it would loop for ever
                continue;
            }
            EXPECT_EQ(std::vector<int>(forward.rbegin(), forward.rend()), backward) << failAt;
            std::sort(forward.begin(), forward.end());
            EXPECT_EQ(forward, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})) << failAt;
            list->Sort(true, ByKey);
            EXPECT_EQ(Cast<Item>(list->First())->key, 1);
        }
        EXPECT_EQ(Object::LiveCount(), before) << failAt;
    }
}

TEST(ListLifetime, DroppingAListFreesEveryLinkAndValue) {
    int64_t before = Object::LiveCount();
    {
        Ref<TList> list = ListOf("abcdefgh");
        Ref<TList> other = ListOf("xy");
        list->Swap(*other);
        list->Sort(false);
        list->Reverse();
        Ref<TListEnum> e = other->ObjectEnumerator();
        e->NextObject();
        other->Clear();  // the enumerator still holds a removed link
        EXPECT_GT(Object::LiveCount(), before);
    }
    EXPECT_EQ(Object::LiveCount(), before);
}

TEST(ListLifetime, ArraysRoundTrip) {
    Ref<TList> list = ListOf("pqr");
    std::vector<Ref<Object>> array = list->ToArray();
    ASSERT_EQ(array.size(), 3u);
    EXPECT_EQ(Texts(TList::FromArray(array)), "pqr");
    EXPECT_EQ(Texts(ListFromArray({})), "");
}

TEST(ListWrappers, ForwardToTheMethods) {
    Ref<TList> list = CreateList();
    ListAddLast(list, String("b"));
    ListAddFirst(list, String("a"));
    EXPECT_EQ(CountList(list), 2);
    EXPECT_TRUE(ListContains(list, String("a")));
    RemoveLink(ListFindLink(list, String("a")));
    EXPECT_EQ(Texts(list), "b");
    EXPECT_EQ(ListRemove(list, String("b")), 1);
    EXPECT_TRUE(ListIsEmpty(list));
}
