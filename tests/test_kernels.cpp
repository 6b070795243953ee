#include "frame/display_copy.h"
#include "effects/effects.h"
#include "effects/flames.h"

#include <gtest/gtest.h>

#include <cstdio>

// Every build, the 32- and 64-bit Windows ones as much as the native one, uses the widest loops
// the processor runs. The test runs natively and, built for Windows, under Wine; on a processor
// with AVX2 it proves that the DLL players load takes the same path as the code benchmarked.
TEST(Kernels, TheWidestLoopsTheProcessorRunsAreInUse) {
    buildFlameTables();
#if defined(__x86_64__) || defined(__i386__)
    const char* widest = __builtin_cpu_supports("avx2") ? "avx2" : "sse2";
    // AVX-512: the flames use BW, the frame copy BW and VBMI.
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const char* widestFlames = avx512 ? "avx512" : widest;
    const char* widestCopy = avx512 && __builtin_cpu_supports("avx512vbmi") ? "avx512" : widest;
#else
    const char* widest = "scalar";
    const char* widestFlames = widest;
    const char* widestCopy = widest;
#endif
    std::printf("flames: %s (widest %s), frame copy: %s (widest %s)\n", flameKernelsInUse(),
                widestFlames, frameCopyKernels(), widestCopy);
    EXPECT_STREQ(flameKernelsInUse(), widestFlames);
    EXPECT_STREQ(frameCopyKernels(), widestCopy);
}

TEST(Kernels, ChoosingLoopsByHandIsReported) {
    useFlameKernels(FlameKernels::Scalar);
    EXPECT_STREQ(flameKernelsInUse(), "scalar");
#if defined(__SSE2__)
    useFlameKernels(FlameKernels::Sse2);
    EXPECT_STREQ(flameKernelsInUse(), "sse2");
#endif
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        useFlameKernels(FlameKernels::Avx2);
        EXPECT_STREQ(flameKernelsInUse(), "avx2");
        useFlameKernels(FlameKernels::Avx512);
        EXPECT_STREQ(flameKernelsInUse(), "avx512");
    }
#endif
    buildFlameTables();
}
