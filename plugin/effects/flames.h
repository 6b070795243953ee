// Look-up tables of the flames, built once at start by buildFlameTables() (effects.h).
#pragma once
#include <cstdint>

// Indexed by a sum of four bytes (0..1020): s / 4 - 1 for s >= 4, else 0. Averages four
// pixels and darkens by one step.
extern uint8_t quarterFade[1024];
// s / 2 - 1 for s >= 2, else 0 (only 0..255 are used).
extern uint8_t halfFade[1024];

// Which loops the flames use, named by the instruction sets they need (AVX-512 F and BW, with
// AVX2 beside; AVX2; SSE2; none). buildFlameTables() picks the widest that cpuFeatures()
// (base/cpu_features.h) allows. All give the same results (tests compare them).
enum class FlameKernels { Scalar, Sse2, Avx2, Avx512Bw };
// Takes those loops where the build has them and cpuFeatures() allows them; false (and the
// loops in use stay) where not.
bool useFlameKernels(FlameKernels which);
// "avx512bw", "avx2", "sse2" or "scalar": the loops in use.
const char* flameKernelsInUse();
