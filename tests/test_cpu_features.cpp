#include "cpu_shapes.h"
#include "base/cpu_features.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// CPUID words of real processors (the bits the features are read from).
constexpr uint32_t kLeaf1EcxAvxFma = (1u << 0) | (1u << 9) | (1u << 12) | (1u << 19) | (1u << 20) |
                                     (1u << 27) | (1u << 28); // ... OSXSAVE, AVX
constexpr uint32_t kLeaf1EdxSse2 = 1u << 26;
constexpr uint32_t kLeaf7EbxHaswell = (1u << 3) | (1u << 5) | (1u << 8); // BMI1, AVX2, BMI2
constexpr uint32_t kLeaf7EbxSkylakeX = kLeaf7EbxHaswell | (1u << 16) | (1u << 17) | (1u << 28) |
                                       (1u << 30) | (1u << 31); // F, DQ, CD, BW, VL
constexpr uint32_t kLeaf7EcxVbmi = 1u << 1;
constexpr uint64_t kXmmYmm = 0x7, kXmmYmmZmm = 0xE7;

CpuidWords words(uint32_t ecx1, uint32_t ebx7, uint32_t ecx7, uint64_t xcr0) {
    return CpuidWords{0xD, ecx1, kLeaf1EdxSse2, ebx7, ecx7, xcr0};
}

} // namespace

TEST(CpuFeatures, TheProcessorsOfEachShapeAreReadAsThatShape) {
    EXPECT_EQ(cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxSkylakeX, kLeaf7EcxVbmi, kXmmYmmZmm)),
              kCpuSkylakeX | kCpuAvx512Vbmi);
    EXPECT_EQ(cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxSkylakeX, 0, kXmmYmmZmm)),
              kCpuSkylakeX);
    EXPECT_EQ(cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxHaswell, 0, kXmmYmm)), kCpuHaswell);
    EXPECT_EQ(cpuFeaturesFrom(CpuidWords{1, 0, kLeaf1EdxSse2, 0, 0, 0}), kCpuSse2);
    EXPECT_EQ(cpuFeaturesFrom(CpuidWords{}), 0u);
    // Leaf 7 is read only where the processor has it.
    EXPECT_EQ(cpuFeaturesFrom(CpuidWords{6, 0, kLeaf1EdxSse2, kLeaf7EbxSkylakeX, 0, 0}), kCpuSse2);
}

// A processor can have AVX-512 (or AVX) that the system has switched off: its registers are
// then not saved across a switch of threads, and the instructions fault.
TEST(CpuFeatures, WhatTheSystemHasNotEnabledIsMissing) {
    const CpuFeatures noZmm =
        cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxSkylakeX, kLeaf7EcxVbmi, kXmmYmm));
    EXPECT_EQ(noZmm, kCpuHaswell) << cpuFeatureNames(noZmm);
    // The opmask state without the upper ZMM state is not enough.
    EXPECT_EQ(cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxSkylakeX, kLeaf7EcxVbmi, 0x27)),
              kCpuHaswell);
    const CpuFeatures noYmm =
        cpuFeaturesFrom(words(kLeaf1EcxAvxFma, kLeaf7EbxSkylakeX, kLeaf7EcxVbmi, 0x3));
    EXPECT_EQ(noYmm, kCpuSse4 | kCpuBmi1 | kCpuBmi2) << cpuFeatureNames(noYmm);
    // Without OSXSAVE the system uses no XSAVE at all, whatever XCR0 would say.
    const CpuFeatures noXsave = cpuFeaturesFrom(
        words(kLeaf1EcxAvxFma & ~(1u << 27), kLeaf7EbxSkylakeX, kLeaf7EcxVbmi, kXmmYmmZmm));
    EXPECT_EQ(noXsave, kCpuSse4 | kCpuBmi1 | kCpuBmi2) << cpuFeatureNames(noXsave);
}

TEST(CpuFeatures, AFeatureMissingTakesWhatBuildsOnItAlong) {
    const CpuFeatures all = kCpuAllFeatures;
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuAvx512Vbmi), all & ~kCpuAvx512Vbmi);
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuAvx512Bw), all & ~(kCpuAvx512Bw | kCpuAvx512Vbmi));
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuAvx512F), kCpuHaswell);
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuAvx2),
              kCpuSse4 | kCpuAvx | kCpuFma | kCpuBmi1 | kCpuBmi2);
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuAvx), kCpuSse4 | kCpuBmi1 | kCpuBmi2);
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuSse2), kCpuBmi1 | kCpuBmi2);
    EXPECT_EQ(cpuFeaturesWithout(all, kCpuBmi2), all & ~kCpuBmi2);
    EXPECT_EQ(cpuFeaturesWithout(all, 0), all);
    // A set that claims a feature without what it builds on holds neither.
    EXPECT_EQ(cpuFeaturesWithout(kCpuAvx512F | kCpuAvx512Bw | kCpuAvx512Vbmi, 0), 0u);
    EXPECT_EQ(cpuFeaturesWithout(kCpuSse2 | kCpuAvx2, 0), kCpuSse2);
}

TEST(CpuFeatures, TheOffListIsReadByNameAndIgnoresTheRest) {
    std::string unknown;
    EXPECT_EQ(parseCpuFeatureList("avx512vbmi", &unknown), kCpuAvx512Vbmi);
    EXPECT_EQ(parseCpuFeatureList(" AVX2 , bmi2,", &unknown), kCpuAvx2 | kCpuBmi2);
    EXPECT_EQ(parseCpuFeatureList("sse4.1,SSE42", &unknown), kCpuSse41 | kCpuSse42);
    EXPECT_EQ(parseCpuFeatureList("avx512,sse2", &unknown), kCpuAvx512F | kCpuSse2);
    EXPECT_EQ(unknown, "");
    for (int i = 0; i < kCpuFeatureCount; ++i)
        EXPECT_EQ(parseCpuFeatureList(cpuFeatureName(1u << i)), 1u << i) << i;
    EXPECT_EQ(parseCpuFeatureList(""), 0u);
    EXPECT_EQ(parseCpuFeatureList(",, ,"), 0u);
    EXPECT_EQ(parseCpuFeatureList(nullptr), 0u);
    EXPECT_EQ(parseCpuFeatureList("mmx,avx2,avx2x,avx 2", &unknown), kCpuAvx2);
    EXPECT_EQ(unknown, "mmx,avx2x,avx 2");
    // A huge value is read to its end; what the message would show of it stays short.
    std::string huge(100000, 'x');
    huge += ",avx2";
    unknown.clear();
    EXPECT_EQ(parseCpuFeatureList(huge.c_str(), &unknown), kCpuAvx2);
    EXPECT_LE(unknown.size(), 250u);
    EXPECT_STREQ(cpuFeatureName(kCpuAvx2 | kCpuSse2), "");
    EXPECT_EQ(cpuFeatureNames(kCpuSse2 | kCpuAvx512Vbmi), "sse2,avx512vbmi");
    EXPECT_EQ(cpuFeatureNames(0), "none");
}

// The features read here agree with the compiler's own reading of this processor (which also
// checks what the system has enabled), in every build: natively and under Wine.
TEST(CpuFeatures, WhatIsReadHereAgreesWithTheCompilersReading) {
    const CpuFeatures detected = detectedCpuFeatures();
    std::printf("this processor: %s\n", cpuFeatureNames(detected).c_str());
    EXPECT_EQ(cpuFeaturesWithout(detected, 0), detected);
#if defined(__x86_64__) || defined(__i386__)
    const struct {
        const char* name;
        bool has;
        CpuFeatures feature;
    } checks[] = {{"sse2", __builtin_cpu_supports("sse2") != 0, kCpuSse2},
                  {"avx2", __builtin_cpu_supports("avx2") != 0, kCpuAvx2},
                  {"bmi2", __builtin_cpu_supports("bmi2") != 0, kCpuBmi2},
                  {"avx512f", __builtin_cpu_supports("avx512f") != 0, kCpuAvx512F},
                  {"avx512bw", __builtin_cpu_supports("avx512bw") != 0, kCpuAvx512Bw},
                  {"avx512vl", __builtin_cpu_supports("avx512vl") != 0, kCpuAvx512Vl},
                  {"avx512vbmi", __builtin_cpu_supports("avx512vbmi") != 0, kCpuAvx512Vbmi}};
    for (const auto& c : checks) EXPECT_EQ(c.has, (detected & c.feature) != 0) << c.name;
#else
    EXPECT_EQ(detected, 0u);
#endif
}

TEST(CpuFeatures, PretendingNeverGivesMoreThanTheProcessorHas) {
    const CpuFeatures own = ownCpuFeatures();
    EXPECT_EQ(cpuFeatures(), own);
    for (const CpuShape& shape : cpuShapes()) {
        pretendCpuFeatures(shape.features);
        EXPECT_EQ(cpuFeatures(), cpuFeaturesWithout(own, ~shape.features)) << shape.name;
        EXPECT_EQ(cpuFeatures() & ~own, 0u) << shape.name;
        EXPECT_EQ(ownCpuFeatures(), own);
    }
    pretendCpuFeatures(kCpuAllFeatures & ~kCpuAvx2);
    EXPECT_EQ(cpuFeatures() & (kCpuAvx2 | kCpuAvx512F | kCpuAvx512Bw | kCpuAvx512Vbmi), 0u);
    stopPretendingCpuFeatures();
    EXPECT_EQ(cpuFeatures(), own);
}
