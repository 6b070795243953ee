#include "base/errorlog.h"
#include "fault_injection.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <vector>

TEST(FaultGuard, CatchesAnAccessViolationAndADivisionByZeroAndGoesOn) {
    settings.Log_Errors_To_File = 0;
    plugin.errorCount = 0;
    volatile bool after = false;
    EXPECT_FALSE(guarded("test", __LINE__, [] { causeAccessViolation(); }));
    EXPECT_EQ(lastExceptionCode(), kExceptionAccessViolation);
    EXPECT_FALSE(guarded("test", __LINE__, [] { causeIntegerDivisionByZero(); }));
    EXPECT_EQ(lastExceptionCode(), kExceptionIntDivideByZero);
    EXPECT_TRUE(guarded("test", __LINE__, [&] { after = true; }));
    EXPECT_TRUE(after);
    EXPECT_EQ(plugin.errorCount, 2);
}

TEST(FaultGuard, NestedGuardsReturnToTheInnermost) {
    plugin.errorCount = 0;
    volatile int reached = 0;
    EXPECT_TRUE(guarded("outer", __LINE__, [&] {
        guarded("inner", __LINE__, [] { causeAccessViolation(); });
        reached = 1;
    }));
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(plugin.errorCount, 1);
}

TEST(FaultGuard, ASilentGuardCatchesWithoutCounting) {
    plugin.errorCount = 0;
    EXPECT_FALSE(runGuarded(
        nullptr, 0, [](void*) { causeAccessViolation(); }, nullptr));
    EXPECT_EQ(plugin.errorCount, 0);
}

namespace {
// Sets a thread's alternate signal stack for a test and notes the one the thread has when it
// ends. Made on the thread before the guard's first use there, it is destroyed after the
// guard's per-thread state; it then gives the thread back the stack it started with (a
// sanitizer's, which the sanitizer unmaps itself at the thread's end).
struct AlternateStackProbe {
    static stack_t atThreadEnd;
    stack_t original = {};
    bool replaced = false;

    void replace(void* memory, size_t size) {
        sigaltstack(nullptr, &original);
        stack_t own = {};
        own.ss_sp = memory;
        own.ss_size = size;
        replaced = sigaltstack(&own, nullptr) == 0;
    }
    ~AlternateStackProbe() {
        if (!replaced) return;
        sigaltstack(nullptr, &atThreadEnd);
        if (original.ss_flags & SS_DISABLE) {
            stack_t none = {};
            none.ss_flags = SS_DISABLE;
            sigaltstack(&none, nullptr);
        } else {
            original.ss_flags = 0;
            sigaltstack(&original, nullptr);
        }
    }
};
stack_t AlternateStackProbe::atThreadEnd = {};
thread_local AlternateStackProbe probe;

struct GuardOnThread {
    bool caught = false;
    stack_t insideGuard = {};
};

// A fault caught on a thread of its own whose alternate stack is `stack`.
GuardOnThread faultOnThreadWithStack(std::vector<char>& stack) {
    GuardOnThread result;
    AlternateStackProbe::atThreadEnd = {};
    std::thread([&] {
        probe.replace(stack.data(), stack.size());
        result.caught = !guarded("test", __LINE__, [] { causeAccessViolation(); });
        sigaltstack(nullptr, &result.insideGuard);
    }).join();
    return result;
}
} // namespace

TEST(FaultGuard, AThreadKeepsItsOwnAlternateStackOrGetsItsSmallOneBackAtItsEnd) {
    plugin.errorCount = 0;
    // Large enough: the guard's handler runs on it, and it stays.
    std::vector<char> large(128 * 1024);
    GuardOnThread run = faultOnThreadWithStack(large);
    EXPECT_TRUE(run.caught);
    EXPECT_EQ(run.insideGuard.ss_sp, large.data());
    EXPECT_EQ(AlternateStackProbe::atThreadEnd.ss_sp, large.data());

    // Too small for the guard: it sets its own for the thread's life, and at the thread's end
    // the small one is back (and the guard's freed, which LeakSanitizer checks).
    std::vector<char> small(8 * 1024);
    run = faultOnThreadWithStack(small);
    EXPECT_TRUE(run.caught);
    EXPECT_NE(run.insideGuard.ss_sp, small.data());
    EXPECT_GE(run.insideGuard.ss_size, 64u * 1024);
    EXPECT_EQ(AlternateStackProbe::atThreadEnd.ss_sp, small.data());
    EXPECT_EQ(AlternateStackProbe::atThreadEnd.ss_size, small.size());
    EXPECT_EQ(plugin.errorCount, 2);
}
