#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "event/Event.h"
#include "runtime/Errors.h"

namespace {

// Each call appends its context's text to the data string.
Ref<Object> Append(int32_t, const Ref<Object>& data, const Ref<Object>& context) {
    String text, tag;
    String::FromObject(data, text);
    String::FromObject(context, tag);
    return text + tag;
}

Ref<Object> ReturnNull(int32_t, const Ref<Object>&, const Ref<Object>&) { return Ref<Object>(); }

std::vector<bool> g_sawNull;
Ref<Object> NoteNull(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    g_sawNull.push_back(data.IsNull());
    return data;
}

class HookChain : public ::testing::Test {
protected:
    void SetUp() override {
        InitHooks();
        static int32_t id = NewHookId();  // one private chain for this fixture
        _id = id;
    }
    String Run(const String& start = String()) {
        String out;
        String::FromObject(CallHooks(_id, start), out);
        return out;
    }
    int32_t _id = -1;
};

TEST_F(HookChain, HigherPriorityRunsFirstAndEqualsRunInArrivalOrder) {
    // Contexts are distinct string objects; DropHook compares identity.
    String a("a"), b("b"), c("c");
    InsertHook(_id, Append, a, 0);
    InsertHook(_id, Append, b, 5);
    InsertHook(_id, Append, c, 0);
    EXPECT_EQ(String("bac"), Run());
    DropHook(_id, Append, a);
    DropHook(_id, Append, b);
    DropHook(_id, Append, c);
    EXPECT_EQ(String(""), Run());
}

TEST_F(HookChain, ValueIsPassedAlongAndNullReachesLaterFunctions) {
    String a("a");
    InsertHook(_id, Append, a, 10);
    InsertHook(_id, ReturnNull, Ref<Object>(), 5);
    InsertHook(_id, NoteNull, Ref<Object>(), 0);
    g_sawNull.clear();
    EXPECT_TRUE(CallHooks(_id, String("start")).IsNull());
    EXPECT_EQ(std::vector<bool>{true}, g_sawNull);
    DropHook(_id, Append, a);
    DropHook(_id, ReturnNull, Ref<Object>());
    DropHook(_id, NoteNull, Ref<Object>());
}

TEST_F(HookChain, DropRemovesOnlyTheFirstMatchOfFunctionAndContext) {
    String a("a"), other("a");
    InsertHook(_id, Append, a, 0);
    InsertHook(_id, Append, a, 0);
    InsertHook(_id, Append, other, 0);
    DropHook(_id, Append, a);
    EXPECT_EQ(String("aa"), Run());
    DropHook(_id, Append, String("zzz"));  // no such link: nothing happens
    EXPECT_EQ(String("aa"), Run());
    DropHook(_id, Append, a);
    DropHook(_id, Append, other);
    EXPECT_EQ(String(""), Run());
}

int g_selfDropCalls = 0;
Ref<Object> DropSelf(int32_t id, const Ref<Object>& data, const Ref<Object>& context) {
    ++g_selfDropCalls;
    DropHook(id, DropSelf, context);
    return data;
}

TEST_F(HookChain, FunctionMayDropItselfWhileTheChainRuns) {
    String tail("t");
    InsertHook(_id, DropSelf, Ref<Object>(), 10);
    InsertHook(_id, Append, tail, 0);
    g_selfDropCalls = 0;
    EXPECT_EQ(String("t"), Run());
    EXPECT_EQ(String("t"), Run());
    EXPECT_EQ(1, g_selfDropCalls);
    DropHook(_id, Append, tail);
}

// Drops itself and the link after it; the dropped link must not run.
String g_dropTail("dropped");
Ref<Object> DropSelfAndNext(int32_t id, const Ref<Object>& data, const Ref<Object>& context) {
    DropHook(id, DropSelfAndNext, context);
    DropHook(id, Append, g_dropTail);
    return data;
}

TEST_F(HookChain, LinksDroppedDuringTheWalkAreNotCalled) {
    String last("z");
    InsertHook(_id, DropSelfAndNext, Ref<Object>(), 10);
    InsertHook(_id, Append, g_dropTail, 5);
    InsertHook(_id, Append, last, 0);
    EXPECT_EQ(String("z"), Run());
    EXPECT_EQ(String("z"), Run());
    DropHook(_id, Append, last);
}

TEST_F(HookChain, UnsetFunctionAndBadIdsAreReported) {
    InsertHook(_id, nullptr, Ref<Object>(), 0);
    EXPECT_THROW(CallHooks(_id, Ref<Object>()), TNullFunctionException);
    DropHook(_id, nullptr, Ref<Object>());
    EXPECT_THROW(InsertHook(256, Append, Ref<Object>(), 0), TRuntimeException);
    EXPECT_THROW(InsertHook(-1, Append, Ref<Object>(), 0), TRuntimeException);
    String s("same");
    EXPECT_TRUE(CallHooks(999, s) == Ref<Object>(s));
}

}  // namespace
