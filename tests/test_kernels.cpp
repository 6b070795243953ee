#include "cpu_shapes.h"
#include "frame/display_copy.h"
#include "effects/effects.h"
#include "effects/flames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The feature a set of loops is named by; 0 for "scalar", which needs none.
CpuFeatures featureOfLoops(const std::string& loops) {
    for (int i = 0; i < kCpuFeatureCount; ++i)
        if (loops == cpuFeatureName(1u << i)) return 1u << i;
    EXPECT_EQ(loops, "scalar") << "loops named by no feature";
    return 0;
}

// Every set of loops in use is named by a feature the processor (as it is now) has.
void expectLoopsInUseRunHere(const std::string& what) {
    const CpuFeatures have = cpuFeatures();
    const std::string inUse[] = {flameKernelsInUse(), frameCopyKernels(), frameCopyLoops(8),
                                 frameCopyLoops(16),  frameCopyLoops(24), frameCopyLoops(32)};
    for (const std::string& loops : inUse) {
        const CpuFeatures needed = featureOfLoops(loops);
        EXPECT_EQ(have & needed, needed)
            << what << ": loops " << loops << " in use with only " << cpuFeatureNames(have);
    }
}

} // namespace

// Every build, the 32- and 64-bit Windows ones as much as the native one, uses the widest loops
// the processor runs. The test runs natively and, built for Windows, under Wine; on a processor
// with AVX2 it proves that the DLL players load takes the same path as the code benchmarked.
// The expectation comes from the compiler's own reading of the processor.
TEST(Kernels, TheWidestLoopsTheProcessorRunsAreInUse) {
    if (std::getenv("QUORBEL_CPU_OFF"))
        GTEST_SKIP() << "QUORBEL_CPU_OFF is set: CpuOff.* checks the choice under it";
    buildFlameTables();
#if defined(__x86_64__) || defined(__i386__)
    const char* widest = __builtin_cpu_supports("avx2") ? "avx2" : "sse2";
    const bool bw = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                    __builtin_cpu_supports("avx512bw");
    const bool vbmi = bw && __builtin_cpu_supports("avx512vbmi");
    const char* widestFlames = bw ? "avx512bw" : widest;
    const char* widestCopy = vbmi ? "avx512vbmi" : bw ? "avx512bw" : widest;
#else
    const char* widestFlames = "scalar";
    const char* widestCopy = "scalar";
#endif
    std::printf("flames: %s (widest %s), frame copy: %s (widest %s)\n", flameKernelsInUse(),
                widestFlames, frameCopyKernels(), widestCopy);
    EXPECT_STREQ(flameKernelsInUse(), widestFlames);
    EXPECT_STREQ(frameCopyKernels(), widestCopy);
    expectLoopsInUseRunHere("this processor");
}

// On each processor shape the loops chosen are ones that shape runs: exactly the expected ones
// where this processor can honour the shape in full, and never more than it has elsewhere.
TEST(Kernels, EveryProcessorShapeGetsLoopsItRuns) {
    for (const CpuShape& shape : cpuShapes()) {
        SCOPED_TRACE(shape.name);
        const PretendedCpu pretended(shape.features);
        expectLoopsInUseRunHere(shape.name);
        if (!cpuHonours(shape)) continue;
        EXPECT_STREQ(flameKernelsInUse(), shape.flames);
        EXPECT_STREQ(frameCopyKernels(), shape.frameCopy);
        const int depths[] = {8, 16, 24, 32};
        for (int d = 0; d < 4; ++d)
            EXPECT_STREQ(frameCopyLoops(depths[d]), shape.copyOfDepth[d]) << depths[d] << " bits";
    }
}

// Features whose base is missing (here AVX, as where the system saves no YMM state) choose no
// loops: the AVX2 and AVX-512 loops need AVX's encoding and registers.
TEST(Kernels, NoLoopsAreChosenByAFeatureWhoseBaseIsMissing) {
    const PretendedCpu pretended(kCpuSse4 | kCpuBmi1 | kCpuBmi2 | kCpuAvx2 | kCpuAvx512F |
                                 kCpuAvx512Bw | kCpuAvx512Vbmi);
    EXPECT_EQ(cpuFeatures() & (kCpuAvx2 | kCpuAvx512F | kCpuAvx512Bw | kCpuAvx512Vbmi), 0u);
    if (!cpuHas(kCpuSse2)) GTEST_SKIP() << "this processor has no SSE2";
    EXPECT_STREQ(flameKernelsInUse(), "sse2");
    EXPECT_STREQ(frameCopyKernels(), "sse2");
}

TEST(Kernels, ChoosingLoopsByHandIsReportedAndRefusedBeyondTheProcessor) {
    EXPECT_TRUE(useFlameKernels(FlameKernels::Scalar));
    EXPECT_STREQ(flameKernelsInUse(), "scalar");
    if (cpuHas(kCpuSse2)) {
        EXPECT_TRUE(useFlameKernels(FlameKernels::Sse2));
        EXPECT_STREQ(flameKernelsInUse(), "sse2");
    }
    if (cpuHas(kCpuAvx512F | kCpuAvx512Bw)) {
        EXPECT_TRUE(useFlameKernels(FlameKernels::Avx2));
        EXPECT_STREQ(flameKernelsInUse(), "avx2");
        EXPECT_TRUE(useFlameKernels(FlameKernels::Avx512Bw));
        EXPECT_STREQ(flameKernelsInUse(), "avx512bw");
    }
    {
        const PretendedCpu pretended(kCpuHaswell);
        EXPECT_FALSE(useFlameKernels(FlameKernels::Avx512Bw));
        EXPECT_STRNE(flameKernelsInUse(), "avx512bw");
    }
    {
        const PretendedCpu pretended(0);
        EXPECT_FALSE(useFlameKernels(FlameKernels::Sse2));
        EXPECT_FALSE(useFlameKernels(FlameKernels::Avx2));
        EXPECT_STREQ(flameKernelsInUse(), "scalar");
    }
    buildFlameTables();
}

// Run by ctest with QUORBEL_CPU_OFF set (natively and under Wine): every feature it names is
// missing from the start, whatever the processor has, and no loop in use needs one.
TEST(CpuOff, TheFeaturesNamedInTheEnvironmentAreMissingFromTheStart) {
    const char* off = std::getenv("QUORBEL_CPU_OFF");
    if (!off) GTEST_SKIP() << "QUORBEL_CPU_OFF is not set (ctest's cpu_off tests set it)";
    buildFlameTables();
    std::printf("QUORBEL_CPU_OFF=%s: features %s; flames: %s, frame copy: %s\n", off,
                cpuFeatureNames(cpuFeatures()).c_str(), flameKernelsInUse(), frameCopyKernels());
    const std::string list = off;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string name = list.substr(start, end - start);
        start = end + 1;
        CpuFeatures named = 0;
        for (int i = 0; i < kCpuFeatureCount; ++i)
            if (name == cpuFeatureName(1u << i)) named = 1u << i;
        if (!named) continue;
        EXPECT_EQ(cpuFeatures() & named, 0u) << name << " is in use";
        EXPECT_EQ(ownCpuFeatures() & named, 0u) << name << " is in use";
        for (const char* loops : {flameKernelsInUse(), frameCopyKernels()})
            EXPECT_STRNE(loops, name.c_str());
    }
    expectLoopsInUseRunHere(std::string("QUORBEL_CPU_OFF=") + off);
    // The value ctest gives on a processor with every AVX-512 part: the frame copy steps down
    // to its BW loops, the flames keep theirs.
    if (list == "avx512vbmi" && (detectedCpuFeatures() & kCpuAvx512Vbmi)) {
        EXPECT_STREQ(frameCopyKernels(), "avx512bw");
        EXPECT_STREQ(flameKernelsInUse(), "avx512bw");
    }
}
