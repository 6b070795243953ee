#include "errorlog.h"
#include "guard.h"
#include "instance.h"
#include "settings.h"

#include <gtest/gtest.h>

namespace {
volatile int zero = 0;
}

TEST(FaultGuard, CatchesANullWriteAndADivisionByZeroAndGoesOn) {
    settings.Log_Errors_To_File = 0;
    plugin.errorCount = 0;
    volatile bool after = false;
    EXPECT_FALSE(guarded("test", __LINE__, [] {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }));
    EXPECT_EQ(lastExceptionCode(), kExceptionAccessViolation);
    EXPECT_FALSE(guarded("test", __LINE__, [] {
        volatile int result = 10 / zero;
        (void)result;
    }));
    EXPECT_EQ(lastExceptionCode(), kExceptionIntDivideByZero);
    EXPECT_TRUE(guarded("test", __LINE__, [&] { after = true; }));
    EXPECT_TRUE(after);
    EXPECT_EQ(plugin.errorCount, 2);
}

TEST(FaultGuard, NestedGuardsReturnToTheInnermost) {
    plugin.errorCount = 0;
    volatile int reached = 0;
    EXPECT_TRUE(guarded("outer", __LINE__, [&] {
        guarded("inner", __LINE__, [] {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        });
        reached = 1;
    }));
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(plugin.errorCount, 1);
}

TEST(FaultGuard, ASilentGuardCatchesWithoutCounting) {
    plugin.errorCount = 0;
    EXPECT_FALSE(runGuarded(
        nullptr, 0,
        [](void*) {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        },
        nullptr));
    EXPECT_EQ(plugin.errorCount, 0);
}
