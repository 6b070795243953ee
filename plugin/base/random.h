// The plug-in's random source: a linear congruential generator with one state per thread.
// Every thread starts at state 1; the visualisation thread is seeded from the clock at start.
#pragma once
#include <cstdint>

// Next number 0..32767: state = state * 214013 + 2531011, result = bits 16..30.
int randomNext();
// Sets the calling thread's state.
void randomSeed(uint32_t seed);
// The calling thread's state (for tests and for carrying a sequence over).
uint32_t randomState();
// 0 when n <= 0, otherwise randomNext() % n.
int randomBelow(int n);
