#include "base/cpu_features.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#define QUORBEL_CPUID 1
#endif

namespace {

struct FeatureInfo {
    const char* name;
    CpuFeatures needs; // what it builds on: missing, it is missing too
};

// In bit order; every feature builds only on features of lower bits, so one pass in this
// order settles what a set of features can hold.
const FeatureInfo kFeatures[kCpuFeatureCount] = {
    {"sse2", 0},
    {"sse3", kCpuSse2},
    {"ssse3", kCpuSse3},
    {"sse4.1", kCpuSsse3},
    {"sse4.2", kCpuSse41},
    {"avx", kCpuSse42},
    {"fma", kCpuAvx},
    {"avx2", kCpuAvx},
    {"bmi1", 0},
    {"bmi2", 0},
    // The compiler may use AVX2 in any function built for AVX-512F.
    {"avx512f", kCpuAvx2},
    {"avx512dq", kCpuAvx512F},
    {"avx512cd", kCpuAvx512F},
    {"avx512bw", kCpuAvx512F},
    {"avx512vl", kCpuAvx512F},
    {"avx512vbmi", kCpuAvx512Bw},
};

struct Alias {
    const char* name;
    CpuFeatures feature;
};
const Alias kAliases[] = {
    {"sse41", kCpuSse41}, {"sse42", kCpuSse42}, {"bmi", kCpuBmi1}, {"avx512", kCpuAvx512F}};

#if QUORBEL_CPUID
CpuidWords readCpuid() {
    CpuidWords w{};
    uint32_t eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return w;
    w.maxLeaf = __get_cpuid_max(0, nullptr);
    w.leaf1Ecx = ecx;
    w.leaf1Edx = edx;
    if (w.maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        w.leaf7Ebx = ebx;
        w.leaf7Ecx = ecx;
    }
    // XGETBV exists only where the system has set OSXSAVE.
    if (w.leaf1Ecx & (1u << 27)) {
        uint32_t low, high;
        __asm__ __volatile__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        w.xcr0 = (uint64_t(high) << 32) | low;
    }
    return w;
}
#endif

// The processor's features less QUORBEL_CPU_OFF, settled once.
CpuFeatures startFeatures() {
    static const CpuFeatures features = [] {
        const char* off = std::getenv("QUORBEL_CPU_OFF");
        std::string unknown;
        const CpuFeatures masked = off ? parseCpuFeatureList(off, &unknown) : 0;
        if (!unknown.empty())
            std::fprintf(stderr, "QUORBEL_CPU_OFF: unknown feature names ignored: %s\n",
                         unknown.c_str());
        return cpuFeaturesWithout(detectedCpuFeatures(), masked);
    }();
    return features;
}

std::atomic<CpuFeatures> pretended{kCpuAllFeatures};

bool sameName(const char* a, size_t length, const char* b) {
    if (std::strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

CpuFeatures featureNamed(const char* name, size_t length) {
    for (int i = 0; i < kCpuFeatureCount; ++i)
        if (sameName(name, length, kFeatures[i].name)) return 1u << i;
    for (const Alias& a : kAliases)
        if (sameName(name, length, a.name)) return a.feature;
    return 0;
}

} // namespace

CpuFeatures cpuFeaturesFrom(const CpuidWords& w) {
    if (w.maxLeaf < 1) return 0;
    CpuFeatures f = 0;
    if (w.leaf1Edx & (1u << 26)) f |= kCpuSse2;
    if (w.leaf1Ecx & (1u << 0)) f |= kCpuSse3;
    if (w.leaf1Ecx & (1u << 9)) f |= kCpuSsse3;
    if (w.leaf1Ecx & (1u << 19)) f |= kCpuSse41;
    if (w.leaf1Ecx & (1u << 20)) f |= kCpuSse42;
    // The register state the system saves and restores: XMM and the upper halves of YMM for
    // AVX, and the opmask, ZMM_Hi256 and Hi16_ZMM state too for AVX-512.
    const bool osxsave = (w.leaf1Ecx & (1u << 27)) != 0;
    const bool ymm = osxsave && (w.xcr0 & 0x6) == 0x6;
    const bool zmm = osxsave && (w.xcr0 & 0xE6) == 0xE6;
    if (ymm && (w.leaf1Ecx & (1u << 28))) f |= kCpuAvx;
    if (ymm && (w.leaf1Ecx & (1u << 12))) f |= kCpuFma;
    if (w.maxLeaf >= 7) {
        if (w.leaf7Ebx & (1u << 3)) f |= kCpuBmi1;
        if (w.leaf7Ebx & (1u << 8)) f |= kCpuBmi2;
        if (ymm && (w.leaf7Ebx & (1u << 5))) f |= kCpuAvx2;
        if (zmm) {
            if (w.leaf7Ebx & (1u << 16)) f |= kCpuAvx512F;
            if (w.leaf7Ebx & (1u << 17)) f |= kCpuAvx512Dq;
            if (w.leaf7Ebx & (1u << 28)) f |= kCpuAvx512Cd;
            if (w.leaf7Ebx & (1u << 30)) f |= kCpuAvx512Bw;
            if (w.leaf7Ebx & (1u << 31)) f |= kCpuAvx512Vl;
            if (w.leaf7Ecx & (1u << 1)) f |= kCpuAvx512Vbmi;
        }
    }
    return cpuFeaturesWithout(f, 0);
}

CpuFeatures detectedCpuFeatures() {
#if QUORBEL_CPUID
    static const CpuFeatures features = cpuFeaturesFrom(readCpuid());
    return features;
#else
    return 0;
#endif
}

CpuFeatures ownCpuFeatures() {
    return startFeatures();
}

CpuFeatures cpuFeatures() {
    return cpuFeaturesWithout(startFeatures(),
                              ~pretended.load(std::memory_order_relaxed) & kCpuAllFeatures);
}

CpuFeatures cpuFeaturesWithout(CpuFeatures present, CpuFeatures off) {
    CpuFeatures kept = 0;
    for (int i = 0; i < kCpuFeatureCount; ++i) {
        const CpuFeatures bit = 1u << i;
        if ((present & bit) && !(off & bit) && (kept & kFeatures[i].needs) == kFeatures[i].needs)
            kept |= bit;
    }
    return kept;
}

CpuFeatures parseCpuFeatureList(const char* list, std::string* unknown) {
    CpuFeatures named = 0;
    if (!list) return 0;
    const char* p = list;
    while (*p) {
        const char* end = std::strchr(p, ',');
        if (!end) end = p + std::strlen(p);
        const char* first = p;
        const char* last = end;
        while (first < last && std::isspace(static_cast<unsigned char>(*first))) ++first;
        while (last > first && std::isspace(static_cast<unsigned char>(last[-1]))) --last;
        if (first < last) {
            const CpuFeatures f = featureNamed(first, static_cast<size_t>(last - first));
            named |= f;
            // The unknown names go into one line of a message: each and all of them cut short.
            if (!f && unknown && unknown->size() < 200) {
                if (!unknown->empty()) unknown->push_back(',');
                unknown->append(first, std::min<size_t>(static_cast<size_t>(last - first), 40));
            }
        }
        p = *end ? end + 1 : end;
    }
    return named;
}

const char* cpuFeatureName(CpuFeatures oneFeature) {
    for (int i = 0; i < kCpuFeatureCount; ++i)
        if (oneFeature == (1u << i)) return kFeatures[i].name;
    return "";
}

std::string cpuFeatureNames(CpuFeatures features) {
    std::string names;
    for (int i = 0; i < kCpuFeatureCount; ++i) {
        if (!(features & (1u << i))) continue;
        if (!names.empty()) names.push_back(',');
        names += kFeatures[i].name;
    }
    return names.empty() ? "none" : names;
}

void pretendCpuFeatures(CpuFeatures shape) {
    pretended.store(shape & kCpuAllFeatures, std::memory_order_relaxed);
}

void stopPretendingCpuFeatures() {
    pretended.store(kCpuAllFeatures, std::memory_order_relaxed);
}
