#include "base/random.h"

namespace {
thread_local uint32_t state = 1;
}

int randomNext() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

void randomSeed(uint32_t seed) {
    state = seed;
}

uint32_t randomState() {
    return state;
}

int randomBelow(int n) {
    return n <= 0 ? 0 : randomNext() % n;
}
