#include "win32/test_hooks.h"

#include "frame/frame_loop.h"

#ifdef QUORBEL_TEST_HOOKS
#include "base/instance.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
FrameStep faultStep = FrameStep::Flame;
volatile int faultsLeft = 0;
int faultFrom = 1;
int loseSurfacesAt = 0;
std::FILE* trace = nullptr;
int tracedFrames = 0;
// Frames rendered since Init; the frame being rendered is one more.
int renderedFrames = 0;

void injectFault(FrameStep step) {
    if (step != faultStep || faultsLeft <= 0 || renderedFrames + 1 < faultFrom) return;
    --faultsLeft;
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}
} // namespace

void installTestHooks() {
    renderedFrames = 0;
    if (const char* file = std::getenv("QUORBEL_TEST_TRACE")) {
        trace = std::fopen(file, "a");
        tracedFrames = 0;
    }
    const char* lose = std::getenv("QUORBEL_TEST_LOSE_SURFACES_AT");
    loseSurfacesAt = lose ? std::atoi(lose) : 0;
    const char* which = std::getenv("QUORBEL_TEST_FAULT");
    if (!which) return;
    faultStep = std::strcmp(which, "wave") == 0   ? FrameStep::Wave
                : std::strcmp(which, "copy") == 0 ? FrameStep::Copy
                                                  : FrameStep::Flame;
    const char* frames = std::getenv("QUORBEL_TEST_FAULT_FRAMES");
    faultsLeft = frames ? std::atoi(frames) : 1 << 30;
    const char* from = std::getenv("QUORBEL_TEST_FAULT_AT");
    faultFrom = from ? std::atoi(from) : 1;
    frameFaultHook = injectFault;
}

void removeTestHooks() {
    frameFaultHook = nullptr;
    if (trace) std::fclose(trace);
    trace = nullptr;
}

int testSystemDpi() {
    const char* dpi = std::getenv("QUORBEL_TEST_SYSTEM_DPI");
    return dpi ? std::atoi(dpi) : 0;
}

bool testLoseSurfacesNow() {
    if (loseSurfacesAt <= 0 || renderedFrames + 1 != loseSurfacesAt) return false;
    loseSurfacesAt = 0;
    return true;
}

void traceFrame() {
    ++renderedFrames;
    if (!trace) return;
    std::fprintf(trace, "frame=%d level=%d wave=%d flame=%d display=%d palette=%d translation=%d\n",
                 ++tracedFrames, plugin.beatLevel, plugin.currentWave, plugin.currentFlame,
                 plugin.currentDisplay, plugin.currentPalette, plugin.currentTranslation);
}
long testPresentationFailure(int way) {
    static const char* const kNames[] = {"mode", "desktop", "window", "window640"};
    const char* list = std::getenv("QUORBEL_TEST_FAIL_WAYS");
    if (!list || way < 0 || way > 3) return 0;
    const size_t length = std::strlen(kNames[way]);
    for (const char* item = list; *item;) {
        const char* end = std::strchr(item, ',');
        const size_t itemLength = end ? size_t(end - item) : std::strlen(item);
        if (itemLength == length && std::strncmp(item, kNames[way], length) == 0)
            return static_cast<long>(0x80004001u); // DDERR_UNSUPPORTED
        if (!end) break;
        item = end + 1;
    }
    return 0;
}
#else
long testPresentationFailure(int) {
    return 0;
}
bool testLoseSurfacesNow() {
    return false;
}
int testSystemDpi() {
    return 0;
}
void installTestHooks() {}
void removeTestHooks() {}
void traceFrame() {}
#endif
