// The object model: references, the null object, casts, errors, handles.
#include <gtest/gtest.h>

#include "TestPrinters.h"
#include "runtime/Errors.h"
#include "runtime/Handles.h"
#include "runtime/List.h"

namespace {

struct Counted : Object {
    explicit Counted(int* deaths) : deaths(deaths) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};

struct Derived : Counted {
    using Counted::Counted;
};

}  // namespace

TEST(ObjectModel, LastReferenceDestroysAndCopiesShare) {
    int deaths = 0;
    {
        Ref<Counted> a = New<Counted>(&deaths);
        EXPECT_EQ(a->RefCount(), 1);
        Ref<Object> b = a;
        EXPECT_EQ(a->RefCount(), 2);
        Ref<Object> c = std::move(b);
        EXPECT_TRUE(b.IsNull());
        EXPECT_EQ(a->RefCount(), 2);
        a = nullptr;
        EXPECT_EQ(deaths, 0);
    }
    EXPECT_EQ(deaths, 1);
}

TEST(ObjectModel, NullObjectAccessRaisesNullObjectException) {
    Ref<Object> nothing;
    try {
        nothing->ToString();
        FAIL() << "no exception";
    } catch (const TVostleException& e) {
        EXPECT_EQ(e.ToString(), String("Attempt to access field or method of Null object"));
        EXPECT_NE(dynamic_cast<const TNullObjectException*>(&e), nullptr);
    }
}

TEST(ObjectModel, CheckedCastWalksTheBaseChain) {
    int deaths = 0;
    Ref<Object> derived = New<Derived>(&deaths);
    EXPECT_FALSE(Cast<Counted>(derived).IsNull());
    EXPECT_FALSE(Cast<Derived>(derived).IsNull());
    EXPECT_TRUE(Cast<TList>(derived).IsNull());
    EXPECT_TRUE(Cast<Counted>(Ref<Object>()).IsNull());
    EXPECT_TRUE(Cast<StringObject>(derived).IsNull());
}

TEST(ObjectModel, DefaultToStringIsTheAddressInUpperCaseHexDigits) {
    Ref<Object> o = New<Object>();
    String text = o->ToString();
    // As many digits as a pointer has (eight on 32-bit Windows), no prefix,
    // and they read back as the object's address.
    ASSERT_EQ(text.Length(), static_cast<int32_t>(2 * sizeof(void*)));
    uintptr_t value = 0;
    for (char16_t c : text.View()) {
        ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << text.ToBytes8();
        value = value * 16 + (c <= '9' ? c - '0' : c - 'A' + 10);
    }
    EXPECT_EQ(value, reinterpret_cast<uintptr_t>(o.Get()));
}

TEST(ObjectModel, DefaultCompareOrdersByIdentityAndPassMessageGivesNull) {
    Ref<Object> a = New<Object>(), b = New<Object>();
    EXPECT_EQ(a->Compare(a.Get()), 0);
    EXPECT_EQ(a->Compare(b.Get()), -b->Compare(a.Get()));
    EXPECT_NE(a->Compare(b.Get()), 0);
    EXPECT_TRUE(a->PassMessage(b).IsNull());
    EXPECT_EQ(CompareObjects(nullptr, nullptr), 0);
    EXPECT_LT(CompareObjects(nullptr, a.Get()), 0);
}

TEST(ObjectModel, ReservedOperationsRaiseTheirText) {
    Ref<Object> o = New<Object>();
    try {
        o->Reserved2();
        FAIL() << "no exception";
    } catch (const String& text) {
        EXPECT_EQ(text, String("Illegal call to reserved method"));
    }
}

TEST(Errors, EachTypeHasItsTextAndFamily) {
    struct Case {
        void (*raise)();
        const char* text;
    } cases[] = {
        {[] { RaiseNullObject(); }, "Attempt to access field or method of Null object"},
        {[] { RaiseAbstractCall(); }, "Attempt to call abstract method"},
        {[] { RaiseNullFunction(); }, "Attempt to call uninitialized function pointer"},
        {[] { RaiseArrayBounds(); }, "Attempt to index array element beyond array length"},
        {[] { RaiseOutOfData(); }, "Attempt to read beyond end of data"},
        {[] { RaiseRuntimeError("List index out of range"); }, "List index out of range"},
    };
    for (const Case& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << c.text;
        } catch (const TVostleException& e) {
            EXPECT_EQ(e.ToString(), String(c.text));
        }
    }
    EXPECT_EQ(TRuntimeException::Create("why")->error, String("why"));
    EXPECT_EQ(TRuntimeException().ToString().Length(), 0);
}

TEST(Errors, DescribeCurrentExceptionCoversEveryFamily) {
    auto describe = [](auto raise) {
        try {
            raise();
        } catch (...) {
            return DescribeCurrentException();
        }
        return String("none");
    };
    EXPECT_EQ(describe([] { RaiseRuntimeError("a"); }), String("a"));
    EXPECT_EQ(describe([] { RaiseText("b"); }), String("b"));
    EXPECT_EQ(describe([] { throw 5; }), String("Unknown exception"));
}

TEST(Handles, CountUpKeepTheirObjectAndHoldAReference) {
    int deaths = 0;
    Ref<Object> a = New<Counted>(&deaths), b = New<Counted>(&deaths);
    int32_t ha = ObjectHandle(a);
    int32_t hb = ObjectHandle(b);
    EXPECT_GT(ha, 0);
    EXPECT_EQ(hb, ha + 1);
    EXPECT_EQ(ObjectHandle(a), ha);  // the same handle while it lives
    EXPECT_EQ(ObjectHandle(nullptr), 0);
    EXPECT_TRUE(ObjectFromHandle(0).IsNull());
    EXPECT_EQ(ObjectFromHandle(ha), a);
    a = nullptr;
    EXPECT_EQ(deaths, 0);  // the handle keeps it alive
    ReleaseObjectHandle(ha);
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(ObjectFromHandle(ha).IsNull());
    ReleaseObjectHandle(ha);      // unknown now: nothing happens
    ReleaseObjectHandle(123456);  // never given
    ReleaseObjectHandle(hb);
    EXPECT_EQ(deaths, 1);  // b is still referenced here
}

TEST(Handles, ManyObjectsShareBucketsWithoutMixingUp) {
    std::vector<Ref<Object>> objects;
    std::vector<int32_t> handles;
    for (int i = 0; i < 5000; ++i) {
        objects.push_back(New<Object>());
        handles.push_back(ObjectHandle(objects.back()));
    }
    for (int i = 0; i < 5000; i += 7) ReleaseObjectHandle(handles[i]);
    for (int i = 0; i < 5000; ++i) {
        if (i % 7 == 0) EXPECT_TRUE(ObjectFromHandle(handles[i]).IsNull());
        else EXPECT_EQ(ObjectFromHandle(handles[i]), objects[i]);
    }
    for (int i = 0; i < 5000; ++i) ReleaseObjectHandle(handles[i]);
}

TEST(Handles, WrapAroundSkipsZeroAndHandlesInUse) {
    Ref<Object> kept = New<Object>();
    SetObjectHandleCounterForTests(0);
    int32_t one = ObjectHandle(kept);
    EXPECT_EQ(one, 1);
    SetObjectHandleCounterForTests(0xFFFFFFFEu);
    Ref<Object> x = New<Object>(), y = New<Object>();
    EXPECT_EQ(ObjectHandle(x), -1);  // 0xFFFFFFFF as a 32-bit value
    EXPECT_EQ(ObjectHandle(y), 2);   // 0 skipped, 1 still in use
    for (int32_t h : {one, -1, 2}) ReleaseObjectHandle(h);
}
