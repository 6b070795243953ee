#include "test_hooks.h"

#include "frame_loop.h"

#ifdef QUORBEL_TEST_HOOKS
#include <cstdlib>
#include <cstring>

namespace {
FrameStep faultStep = FrameStep::Flame;
volatile int faultsLeft = 0;

void injectFault(FrameStep step) {
    if (step != faultStep || faultsLeft <= 0) return;
    --faultsLeft;
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}
} // namespace

void installTestHooks() {
    const char* which = std::getenv("QUORBEL_TEST_FAULT");
    if (!which) return;
    faultStep = std::strcmp(which, "wave") == 0 ? FrameStep::Wave : FrameStep::Flame;
    const char* frames = std::getenv("QUORBEL_TEST_FAULT_FRAMES");
    faultsLeft = frames ? std::atoi(frames) : 1 << 30;
    frameFaultHook = injectFault;
}

void removeTestHooks() { frameFaultHook = nullptr; }
#else
void installTestHooks() {}
void removeTestHooks() {}
#endif
