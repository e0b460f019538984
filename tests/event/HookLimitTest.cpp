// Hook ids are a process-wide resource, so their exhaustion runs alone.
#include <gtest/gtest.h>

#include "event/Event.h"
#include "runtime/Errors.h"

TEST(HookIds, EventHookIsZeroAnd256IdsInAll) {
    InitHooks();
    EXPECT_EQ(0, EventHookId);
    for (int32_t expected = 1; expected <= 255; ++expected) ASSERT_EQ(expected, NewHookId());
    try {
        NewHookId();
        FAIL() << "the 257th id was handed out";
    } catch (const TRuntimeException& e) {
        EXPECT_EQ(String("Too many hook ids"), e.error);
    }
    EXPECT_THROW(NewHookId(), TRuntimeException);  // and it stays refused
}
