// The instruction sets the fast loops are chosen by: what the processor reports, what the
// operating system has enabled the register state for, and what the user switched off.
//
// QUORBEL_CPU_OFF is a comma-separated list of feature names to treat as missing (for example
// "avx512vbmi" or "avx2,bmi2"); it is read once, on the first call of cpuFeatures(). A feature
// switched off also switches off every feature that builds on it (avx2 off takes every avx512*
// with it, sse2 off everything but the scalar bit manipulations). Unknown names are ignored,
// with a note on standard error.
// The compiler's own baseline is not affected: SSE2 stays in use wherever the build targets it
// (every x86-64 build, and the 32-bit Windows build); switched off, only the loops chosen at
// run time fall back to their plain forms.
#pragma once
#include <cstdint>
#include <string>

using CpuFeatures = uint32_t;

constexpr CpuFeatures kCpuSse2 = 1u << 0;
constexpr CpuFeatures kCpuSse3 = 1u << 1;
constexpr CpuFeatures kCpuSsse3 = 1u << 2;
constexpr CpuFeatures kCpuSse41 = 1u << 3;
constexpr CpuFeatures kCpuSse42 = 1u << 4;
constexpr CpuFeatures kCpuAvx = 1u << 5; // also needs the YMM state enabled (XCR0)
constexpr CpuFeatures kCpuFma = 1u << 6;
constexpr CpuFeatures kCpuAvx2 = 1u << 7;
constexpr CpuFeatures kCpuBmi1 = 1u << 8;
constexpr CpuFeatures kCpuBmi2 = 1u << 9;
constexpr CpuFeatures kCpuAvx512F = 1u << 10; // also needs the opmask and ZMM state enabled
constexpr CpuFeatures kCpuAvx512Dq = 1u << 11;
constexpr CpuFeatures kCpuAvx512Cd = 1u << 12;
constexpr CpuFeatures kCpuAvx512Bw = 1u << 13;
constexpr CpuFeatures kCpuAvx512Vl = 1u << 14;
constexpr CpuFeatures kCpuAvx512Vbmi = 1u << 15;
constexpr int kCpuFeatureCount = 16;
constexpr CpuFeatures kCpuAllFeatures = (1u << kCpuFeatureCount) - 1;

// What the loops of this program may use: detectedCpuFeatures() less QUORBEL_CPU_OFF (and less
// what a test pretends away). Cheap enough to ask for every frame.
CpuFeatures cpuFeatures();
// Whether every feature of needed is in cpuFeatures().
inline bool cpuHas(CpuFeatures needed) {
    return (cpuFeatures() & needed) == needed;
}

// The processor's features less QUORBEL_CPU_OFF, whatever a test pretends.
CpuFeatures ownCpuFeatures();

// What the processor reports and the operating system has enabled (OSXSAVE and XGETBV: the
// XMM and YMM state for AVX and above, the opmask and ZMM state too for AVX-512), with every
// feature whose prerequisites are missing taken out. None on a processor that is not x86.
CpuFeatures detectedCpuFeatures();

// The words of CPUID and XGETBV the features are read from (0 where not read).
struct CpuidWords {
    uint32_t maxLeaf;            // leaf 0, EAX (0: no CPUID at all)
    uint32_t leaf1Ecx, leaf1Edx; // leaf 1
    uint32_t leaf7Ebx, leaf7Ecx; // leaf 7, subleaf 0
    uint64_t xcr0;               // XGETBV(0), read only where leaf 1 has OSXSAVE
};
// The features those words give, as detectedCpuFeatures() reads them.
CpuFeatures cpuFeaturesFrom(const CpuidWords& words);

// present without off and without every feature that builds on one missing: the set a
// processor of that shape can honestly report.
CpuFeatures cpuFeaturesWithout(CpuFeatures present, CpuFeatures off);

// The features named in a QUORBEL_CPU_OFF value. Names are matched without regard to case and
// spaces around them; "sse4.1" may also be written "sse41". Names that mean nothing here are
// appended to unknown (comma-separated), when it is given.
CpuFeatures parseCpuFeatureList(const char* list, std::string* unknown = nullptr);

// The feature's name as QUORBEL_CPU_OFF takes it ("avx512vbmi"); "" for anything but one bit.
const char* cpuFeatureName(CpuFeatures oneFeature);
// "avx2,bmi1,..." for a set, "none" for the empty one.
std::string cpuFeatureNames(CpuFeatures features);

// For the tests: behave as if the processor had only shape (besides QUORBEL_CPU_OFF, and never
// more than it has). The loops chosen at start (the flames) are chosen again by the next
// buildFlameTables(). stopPretendingCpuFeatures() returns to the processor's own features.
void pretendCpuFeatures(CpuFeatures shape);
void stopPretendingCpuFeatures();
