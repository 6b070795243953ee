// The processor shapes the loops are tested on: the features of processors people run, from
// the widest down to none. A shape is made on this processor by pretending its features away
// (base/cpu_features.h); the tests run each shape the processor can honour and say which ones
// it cannot.
#pragma once
#include "base/cpu_features.h"
#include "effects/effects.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

struct CpuShape {
    const char* name;
    CpuFeatures features;
    // What a processor of this shape must get: the flames' loops, the frame copy's widest and
    // those of each depth (8, 16, 24, 32 bits).
    const char* flames;
    const char* frameCopy;
    const char* copyOfDepth[4];
};

constexpr CpuFeatures kCpuSse4 = kCpuSse2 | kCpuSse3 | kCpuSsse3 | kCpuSse41 | kCpuSse42;
constexpr CpuFeatures kCpuHaswell = kCpuSse4 | kCpuAvx | kCpuFma | kCpuAvx2 | kCpuBmi1 | kCpuBmi2;
// Skylake-SP/X, Cascade Lake, Cooper Lake: AVX-512 F, CD, DQ, BW and VL, no VBMI.
constexpr CpuFeatures kCpuSkylakeX =
    kCpuHaswell | kCpuAvx512F | kCpuAvx512Cd | kCpuAvx512Dq | kCpuAvx512Bw | kCpuAvx512Vl;

inline const std::vector<CpuShape>& cpuShapes() {
    static const std::vector<CpuShape> shapes = {
        {"every feature",
         kCpuAllFeatures,
         "avx512bw",
         "avx512vbmi",
         {"avx512vbmi", "avx512bw", "avx512vbmi", "avx512vbmi"}},
        {"AVX-512 F+BW+VL without VBMI",
         kCpuSkylakeX,
         "avx512bw",
         "avx512bw",
         {"sse2", "avx512bw", "avx2", "avx2"}},
        {"AVX2 only", kCpuHaswell, "avx2", "avx2", {"sse2", "avx2", "avx2", "avx2"}},
        {"SSE2 only", kCpuSse2, "sse2", "sse2", {"sse2", "scalar", "scalar", "scalar"}},
        {"no vector unit", 0, "scalar", "scalar", {"scalar", "scalar", "scalar", "scalar"}},
    };
    return shapes;
}

// Whether this processor (less QUORBEL_CPU_OFF) has every feature of the shape, so that
// pretending gives exactly the shape.
inline bool cpuHonours(const CpuShape& shape) {
    return (ownCpuFeatures() & shape.features) == shape.features;
}

// The shapes that give different features here: on a processor without AVX-512, "every
// feature" is "AVX2 only", and runs once. Each shape not honoured in full is noted.
inline std::vector<CpuShape> distinctCpuShapes() {
    std::vector<CpuShape> distinct;
    std::vector<CpuFeatures> seen;
    const CpuFeatures own = ownCpuFeatures();
    for (const CpuShape& shape : cpuShapes()) {
        const CpuFeatures effective = cpuFeaturesWithout(own, ~shape.features);
        bool already = false;
        for (CpuFeatures s : seen) already = already || s == effective;
        if (!cpuHonours(shape))
            std::printf("[ note ] this processor cannot honour the shape \"%s\"; as far as it "
                        "can: %s\n",
                        shape.name, cpuFeatureNames(effective).c_str());
        if (already) continue;
        seen.push_back(effective);
        distinct.push_back(shape);
    }
    return distinct;
}

// For the life of the object, the processor is of the shape given and the flames' loops are
// chosen for it; the processor's own features and loops come back at its end.
class PretendedCpu {
  public:
    explicit PretendedCpu(CpuFeatures shape) {
        pretendCpuFeatures(shape);
        buildFlameTables();
    }
    ~PretendedCpu() {
        stopPretendingCpuFeatures();
        buildFlameTables();
    }
    PretendedCpu(const PretendedCpu&) = delete;
    PretendedCpu& operator=(const PretendedCpu&) = delete;
};
