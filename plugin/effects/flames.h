// Look-up tables of the flames, built once at start by buildFlameTables() (effects.h).
#pragma once
#include <cstdint>

// Indexed by a sum of four bytes (0..1020): s / 4 - 1 for s >= 4, else 0. Averages four
// pixels and darkens by one step.
extern uint8_t quarterFade[1024];
// s / 2 - 1 for s >= 2, else 0 (only 0..255 are used).
extern uint8_t halfFade[1024];

// Which loops the flames use; buildFlameTables() picks the widest the processor runs. All give
// the same results (tests compare them).
enum class FlameKernels { Scalar, Sse2, Avx2, Avx512 };
void useFlameKernels(FlameKernels which);
// "avx512", "avx2", "sse2" or "scalar": the loops in use.
const char* flameKernelsInUse();
